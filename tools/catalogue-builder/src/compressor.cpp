#include "kvcat/compressor.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace kvcat {

namespace {

template <class T>
T need(const asere::Result<T>& r, const std::string& fluid, const char* what, double a,
       double b = NAN) {
    if (!r.ok()) {
        std::ostringstream msg;
        msg << fluid << ": " << what << " at " << a;
        if (!std::isnan(b))
            msg << ", " << b;
        msg << " failed: " << asere::describe(r.status);
        throw ThermoError(msg.str());
    }
    return r.value;
}

} // namespace

Thermo::Thermo(std::shared_ptr<const asere::Fluid> fluid) : fluid_(std::move(fluid)) {
    if (!fluid_)
        throw ThermoError("no fluid");
}

double Thermo::dewPressure(double t) const {
    return need(fluid_->dewPressure(t + kZeroCelsius), name(), "dew pressure", t);
}

double Thermo::dewTemperature(double p) const {
    return need(fluid_->dewTemperature(p), name(), "dew temperature", p) - kZeroCelsius;
}

double Thermo::bubbleTemperature(double p) const {
    return need(fluid_->bubbleTemperature(p), name(), "bubble temperature", p) - kZeroCelsius;
}

double Thermo::liquidEnthalpy(double pc, double sc) const {
    const double bubble = need(fluid_->bubbleTemperature(pc), name(), "bubble point", pc);
    return need(fluid_->liquidEnthalpy(bubble - sc), name(), "liquid", bubble);
}

double Thermo::effect(double te, double tc, double tSuction, double sc) const {
    const double pe = dewPressure(te);
    const double h1 =
        need(fluid_->vapourState(tSuction + kZeroCelsius, pe), name(), "suction gas", tSuction, pe)
            .h;
    return h1 - liquidEnthalpy(dewPressure(tc), sc);
}

double Thermo::criticalTemperature() const {
    return std::min(fluid_->criticalTemperature(), fluid_->maxSaturationTemperature()) -
           kZeroCelsius;
}

double Thermo::maxTemperature() const {
    return fluid_->maxTemperature() - kZeroCelsius;
}

CyclePoint Thermo::cycle(double te, double tc, double tSuction, double sc) const {
    CyclePoint c;
    c.te = te;
    c.tc = tc;
    c.tSuction = tSuction;
    c.sc = sc;
    c.pe = dewPressure(te);
    c.pc = dewPressure(tc);
    const asere::State suction = need(fluid_->vapourState(tSuction + kZeroCelsius, c.pe), name(),
                                      "suction gas", tSuction, c.pe);
    c.v1 = suction.v;
    c.h1 = suction.h;
    c.s1 = suction.s;
    const asere::State out = need(fluid_->stateAtPressureEntropy(c.pc, c.s1), name(),
                                  "isentropic discharge", c.pc, c.s1);
    c.dhIs = out.h - c.h1;
    c.effect = c.h1 - liquidEnthalpy(c.pc, sc);
    if (!(c.dhIs > 0) || !(c.effect > 0) || !(c.v1 > 0))
        throw ThermoError(name() + ": no compression cycle at " + std::to_string(te) + "/" +
                          std::to_string(tc));
    return c;
}

CyclePoint Thermo::gasCoolerCycle(double te, double pgc, double hOut, double tSuction) const {
    CyclePoint c;
    c.te = te;
    c.tc = NAN;
    c.tSuction = tSuction;
    c.pe = dewPressure(te);
    c.pc = pgc;
    const asere::State suction = need(fluid_->vapourState(tSuction + kZeroCelsius, c.pe), name(),
                                      "suction gas", tSuction, c.pe);
    c.v1 = suction.v;
    c.h1 = suction.h;
    c.s1 = suction.s;
    const asere::State out =
        need(fluid_->stateAtPressureEntropy(pgc, c.s1), name(), "isentropic discharge", pgc, c.s1);
    c.dhIs = out.h - c.h1;
    c.effect = c.h1 - hOut;
    if (!(c.dhIs > 0) || !(c.effect > 0) || !(c.v1 > 0))
        throw ThermoError(name() + ": no transcritical cycle at " + std::to_string(te) + " degC, " +
                          std::to_string(pgc) + " Pa");
    return c;
}

double Thermo::enthalpy(double t, double p) const {
    return need(fluid_->singlePhaseState(t + kZeroCelsius, p), name(), "state", t, p).h;
}

double Thermo::dischargeTemperature(const CyclePoint& point, double etaIs) const {
    const double h2 = point.h1 + point.dhIs / etaIs;
    // Newton on the vapour isobar, with cp as the slope; bracketed between the
    // condensing dew point and far above it.
    double lo = point.tc + kZeroCelsius, hi = lo + 300;
    double t = lo + 40;
    for (int i = 0; i < 60; ++i) {
        const asere::Result<asere::State> s = fluid_->vapourState(t, point.pc);
        if (!s.ok()) { // too close to the dew line: step up
            lo = t;
            t = 0.5 * (t + hi);
            continue;
        }
        const double f = s.value.h - h2;
        if (std::fabs(f) < 1e-3)
            return t - kZeroCelsius;
        if (f > 0)
            hi = t;
        else
            lo = t;
        double next = t - f / s.value.cp;
        if (!(next > lo && next < hi) || !std::isfinite(next))
            next = 0.5 * (lo + hi);
        t = next;
    }
    if (hi - lo < 1e-3)
        return t - kZeroCelsius;
    throw ThermoError(name() + ": discharge temperature did not converge");
}

MotorRating motorForSize(const Physics& physics, double displacement, double smallest,
                         double largest) {
    const double x =
        largest > smallest
            ? std::clamp(std::log(displacement / smallest) / std::log(largest / smallest), 0.0, 1.0)
            : 1.0;
    return {physics.motorEtaSmall + (physics.motorEtaLarge - physics.motorEtaSmall) * x,
            physics.powerFactorSmall + (physics.powerFactor - physics.powerFactorSmall) * x};
}

Compressor::Compressor(const Physics& physics, double displacementCm3, const Supply& supply,
                       MotorRating motor, const CyclePoint& rated)
    : physics_(physics), displacement_(displacementCm3), supply_(supply),
      motorEta_(motor.efficiency),
      swept_(displacementCm3 * 1e-6 * Range::speed(supply.hertz) / 60.0) {
    ratedShaft_ = shaftPower(rated);
    friction_ = physics_.friction * ratedShaft_;
    ratedShaft_ += friction_;
    // The magnetising (reactive) current is set by the power factor at rated load and
    // stays the same at every load; the active current follows the power input.
    const double ratedPower = ratedShaft_ / motorEta_;
    const double k = supply_.phases == 3 ? std::sqrt(3.0) : 1.0;
    const double active = ratedPower / (k * supply_.volts);
    reactiveCurrent_ = active * std::tan(std::acos(motor.powerFactor));
}

double Compressor::volumetricEfficiency(double pi) const {
    double lambda;
    if (physics_.technology == Technology::Reciprocating)
        lambda =
            physics_.lambda0 - physics_.clearance * (std::pow(pi, 1.0 / physics_.polytropic) - 1.0);
    else
        lambda = physics_.lambda0 - physics_.leakage * (pi - 1.0) *
                                        std::pow(physics_.refDisplacement / displacement_, 0.3);
    return std::max(lambda, 0.05);
}

double isentropicEfficiency(const Physics& physics, double pi) {
    const double l = std::log(pi / physics.piBuiltIn);
    return std::max(physics.etaMax - physics.curvature * l * l, 0.15);
}

double Compressor::isentropicEfficiency(double pi) const {
    return kvcat::isentropicEfficiency(physics_, pi);
}

// Gas compression power, without friction.
double Compressor::shaftPower(const CyclePoint& point) const {
    const double m = volumetricEfficiency(point.ratio()) * swept_ / point.v1;
    return m * point.dhIs / isentropicEfficiency(point.ratio());
}

double Compressor::motorEfficiency(double load) const {
    const double x = std::clamp(load, 0.1, 2.0);
    return motorEta_ * (1.0 - physics_.motorPartLoad * (1.0 - x) * (1.0 - x));
}

Performance Compressor::at(const CyclePoint& point) const {
    Performance p;
    const double pi = point.ratio();
    p.massFlow = volumetricEfficiency(pi) * swept_ / point.v1;
    p.capacity = p.massFlow * point.effect;
    const double shaft = p.massFlow * point.dhIs / isentropicEfficiency(pi) + friction_;
    p.power = shaft / motorEfficiency(shaft / ratedShaft_);
    const double k = supply_.phases == 3 ? std::sqrt(3.0) : 1.0;
    const double active = p.power / (k * supply_.volts);
    p.current = std::hypot(active, reactiveCurrent_);
    return p;
}

} // namespace kvcat

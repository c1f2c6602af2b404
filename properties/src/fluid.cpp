// Fluid: its constants, saturation and states. Pure fluids and pseudo-pure blends are
// solved on their equation of state (solvers.h), blends of pure fluids on the mixture
// model (mixture.h); recent states are remembered (state_cache.h).
#include "asere/fluid.h"

#include "asere/fluid_data.h"
#include "asere/loader.h"
#include "asere/mixture.h"
#include "asere/solvers.h"
#include "asere/state_cache.h"

#include <cmath>
#include <limits>

namespace asere {

const char* describe(Status status) noexcept {
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::UnknownFluid:
        return "unknown refrigerant";
    case Status::NoDataDirectory:
        return "no fluids directory";
    case Status::BadFluidFile:
        return "the fluid file can't be used";
    case Status::OutOfRange:
        return "state outside the fluid's range";
    case Status::NotVapour:
        return "not a vapour state";
    case Status::NoConvergence:
        return "the solver did not converge";
    case Status::NullPointer:
        return "null pointer";
    case Status::BadArgument:
        return "bad argument";
    case Status::Internal:
        return "internal error";
    case Status::TwoPhase:
        return "a two-phase state";
    }
    return "unknown status";
}

namespace {

constexpr double kReferenceT = 273.15;   // IIR reference state: saturated liquid at 0 degC
constexpr double kReferenceH = 200000.0; // J/kg
constexpr double kReferenceS = 1000.0;   // J/(kg K)
constexpr double kDewTolerance = 1e-9;   // relative slack when comparing with the dew pressure

// A computed value or state that is not finite (a damaged file, or a corner of the
// equation where it breaks down) is reported, never handed out.
Result<double> usable(Result<double> r) {
    if (r && !(finite(r.value) && r.value > 0))
        return failure<double>(Status::OutOfRange);
    return r;
}

Result<State> usable(Result<State> r) {
    if (r && !(finite(r.value.p) && r.value.p > 0 && finite(r.value.rho) && r.value.rho > 0 &&
               finite(r.value.h) && finite(r.value.s)))
        return failure<State>(Status::OutOfRange);
    return r;
}

// Dew (vapour = true) or bubble pressure at T.
Result<double> saturationPressureAt(const FluidData& f, double T, bool vapour) {
    if (const Status status = saturationTemperatureStatus(f, T); status != Status::Ok)
        return failure<double>(status);
    return usable(f.mixture ? mixtureSaturationPressure(f, T, vapour)
                            : saturationPressure(f, T, vapour));
}

// Dew or bubble temperature at p.
Result<double> saturationTemperatureAt(const FluidData& f, double p, bool vapour) {
    if (!finite(p) || !(p > 0))
        return failure<double>(Status::BadArgument);
    return usable(f.mixture ? mixtureSaturationTemperature(f, p, vapour)
                            : saturationTemperature(f, p, vapour));
}

Result<State> cachedSaturatedState(const FluidData& f, double T, bool vapour) {
    const CacheKind kind = vapour ? CacheKind::SaturatedVapour : CacheKind::SaturatedLiquid;
    if (const State* s = cachedState(f.id, kind, T, 0))
        return {*s, Status::Ok};
    auto r = usable(f.mixture ? mixtureSaturatedState(f, T, vapour) : saturatedState(f, T, vapour));
    if (r)
        rememberState(f.id, kind, T, 0, r.value);
    return r;
}

// The vapour at (T, p) of a pure fluid or a pseudo-pure blend: below the top of the
// saturation curve, only at pressures up to the dew pressure, and its density root below
// the saturated vapour's.
Result<State> equationVapourState(const FluidData& f, double T, double p) {
    double rhoMax = std::numeric_limits<double>::infinity();
    if (T <= f.TsatMax) {
        const auto dew = usable(saturationPressure(f, T, true));
        if (!dew)
            return failure<State>(dew.status);
        if (p > dew.value * (1 + kDewTolerance))
            return failure<State>(Status::NotVapour);
        if (!f.blend && p >= dew.value * (1 - 1e-12)) {
            // On the dew line: the saturated vapour itself.
            auto sat = cachedSaturatedState(f, T, true);
            if (sat)
                sat.value.p = p;
            return sat;
        }
        if (!f.blend && f.hasSuperancillary()) {
            const double rhoV = f.satRhoV.eval(T);
            rhoMax = rhoV * (1 + 1e-9);
            return vapourAt(f, T, p, rhoMax, {rhoV, dew.value});
        }
        rhoMax = f.rhor;
    }
    return vapourAt(f, T, p, rhoMax);
}

// A state at (T, p) from `solve`, with T and p checked against the equation's range,
// remembered as `kind`.
template <class Solve>
Result<State> stateAtTP(const FluidData& f, CacheKind kind, double T, double p, Solve solve) {
    if (!finite(T) || !finite(p) || !(p > 0))
        return failure<State>(Status::BadArgument);
    if (T < f.Ttriple || T > f.Tmax || p > f.pmax)
        return failure<State>(Status::OutOfRange);
    if (const State* s = cachedState(f.id, kind, T, p))
        return {*s, Status::Ok};
    auto r = solve();
    if (r)
        rememberState(f.id, kind, T, p, r.value);
    return r;
}

// The liquid-like root at (T, p) from `start`, at or above the density rhoMin.
Result<State> denseState(const FluidData& f, double T, double p, double start, double rhoMin) {
    return usable(f.mixture ? mixtureDenseState(f, T, p, start, rhoMin)
                            : denseStateAt(f, T, p, start, rhoMin));
}

// The single-phase state at (T, p), T and p checked: see Fluid::singlePhaseState.
Result<State> singlePhase(const Fluid& fluid, double T, double p) {
    const FluidData& f = fluid.data();
    if (T > f.TsatMax) {
        // One phase whatever p is: below the critical pressure the gas the vapour calls
        // give, else (or where their solver gives up) the root found from the critical
        // density.
        if (p <= f.pc) {
            auto gas = fluid.vapourState(T, p);
            if (gas || gas.status != Status::NoConvergence)
                return gas;
        }
        const auto dense = denseState(f, T, p, f.rhor, 0);
        // A blend of pure fluids has a two-phase region above the top of the saturation
        // curve computed for it, up to its critical point: no state of the library there.
        if (f.mixture && dense.status == Status::NoConvergence)
            return failure<State>(Status::OutOfRange);
        return dense;
    }
    const auto dew = fluid.dewPressure(T);
    if (!dew)
        return failure<State>(dew.status);
    if (p <= dew.value * (1 + kDewTolerance))
        return fluid.vapourState(T, p);
    const auto bubble = f.blend ? fluid.bubblePressure(T) : dew;
    if (!bubble)
        return failure<State>(bubble.status);
    if (p < bubble.value * (1 - kDewTolerance))
        return failure<State>(Status::TwoPhase);
    // The liquid branch rises from the saturated liquid: its root lies above that density
    // (the margin covers the saturated density's own rounding), never among the roots the
    // equation may have inside the dome.
    const auto liquid = fluid.saturatedLiquid(T);
    if (!liquid)
        return failure<State>(liquid.status);
    constexpr double kBelowSaturatedLiquid = 1e-6;
    return denseState(f, T, p, liquid.value.rho, liquid.value.rho * (1 - kBelowSaturatedLiquid));
}

} // namespace

Fluid::Fluid(std::unique_ptr<FluidData> data) : data_(std::move(data)) {}
Fluid::~Fluid() = default;

std::shared_ptr<const Fluid> Fluid::fromFile(const std::filesystem::path& file) {
    return fromJson(readFile(file), file.string());
}

const std::string& Fluid::name() const noexcept {
    return data_->name;
}
const std::vector<std::string>& Fluid::aliases() const noexcept {
    return data_->aliases;
}
bool Fluid::isBlend() const noexcept {
    return data_->blend;
}
double Fluid::molarMass() const noexcept {
    return data_->molarMass;
}
double Fluid::gasConstant() const noexcept {
    return data_->R;
}
double Fluid::criticalTemperature() const noexcept {
    return data_->Tr;
}
double Fluid::criticalPressure() const noexcept {
    return data_->pc;
}
double Fluid::criticalDensity() const noexcept {
    return data_->rhor;
}
double Fluid::tripleTemperature() const noexcept {
    return data_->Ttriple;
}
double Fluid::maxSaturationTemperature() const noexcept {
    return data_->TsatMax;
}
double Fluid::maxTemperature() const noexcept {
    return data_->Tmax;
}
double Fluid::maxPressure() const noexcept {
    return data_->pmax;
}

std::shared_ptr<const Fluid> Fluid::fromJson(std::string_view text, std::string_view origin) {
    if (isMixtureText(text))
        return std::shared_ptr<Fluid>(new Fluid(loadMixture(text, std::string(origin))));
    std::shared_ptr<Fluid> fluid(new Fluid(parseFluid(text, std::string(origin))));
    fluid->data_->fitTemperatureParts();
    if (fluid->data_->blend) {
        fluid->data_->blendRhoL = fitBlendDensity(*fluid->data_, false);
        fluid->data_->blendRhoV = fitBlendDensity(*fluid->data_, true);
    }
    fitSaturationCurves(*fluid->data_);
    // IIR reference state: the zero of the file's enthalpy and entropy is moved so that
    // saturated liquid (bubble point) at 0 degC has h = 200 kJ/kg, s = 1 kJ/(kg K).
    const auto liquid = usable(saturatedState(*fluid->data_, kReferenceT, false));
    if (!liquid || !finite(liquid.value.h) || !finite(liquid.value.s))
        throw FluidError(Status::BadFluidFile,
                         std::string(origin) +
                             ": the reference state (saturated liquid at 0 degC) can't be "
                             "computed");
    fluid->data_->dh = kReferenceH - liquid.value.h;
    fluid->data_->ds = kReferenceS - liquid.value.s;
    return fluid;
}

Result<double> Fluid::dewPressure(double T) const noexcept {
    return saturationPressureAt(*data_, T, true);
}

Result<double> Fluid::bubblePressure(double T) const noexcept {
    return saturationPressureAt(*data_, T, false);
}

Result<double> Fluid::dewTemperature(double p) const noexcept {
    return saturationTemperatureAt(*data_, p, true);
}

Result<double> Fluid::bubbleTemperature(double p) const noexcept {
    return saturationTemperatureAt(*data_, p, false);
}

Result<State> Fluid::saturatedLiquid(double T) const noexcept {
    return cachedSaturatedState(*data_, T, false);
}

Result<State> Fluid::saturatedVapour(double T) const noexcept {
    return cachedSaturatedState(*data_, T, true);
}

Result<double> Fluid::liquidEnthalpy(double T) const noexcept {
    if (data_->mixture)
        return mixtureLiquidEnthalpy(*data_, T);
    if (data_->liquidH.covers(T)) {
        if (const Status status = saturationTemperatureStatus(*data_, T); status != Status::Ok)
            return failure<double>(status);
        double h;
        data_->liquidH.eval(T, &h);
        return {h + data_->dh, Status::Ok};
    }
    const auto s = saturatedLiquid(T);
    if (!s)
        return failure<double>(s.status);
    return {s.value.h, Status::Ok};
}

Result<State> Fluid::stateAt(double T, double rho) const noexcept {
    if (!finite(T) || !finite(rho) || !(T > 0) || !(rho > 0))
        return failure<State>(Status::BadArgument);
    if (data_->mixture)
        return mixtureStateAt(*data_, T, rho);
    const State s = stateFrom(*data_, T, rho);
    if (!finite(s.p) || !finite(s.h) || !finite(s.s))
        return failure<State>(Status::OutOfRange);
    return {s, Status::Ok};
}

Result<State> Fluid::vapourState(double T, double p) const noexcept {
    return stateAtTP(*data_, CacheKind::Vapour, T, p, [this, T, p] {
        return data_->mixture ? mixtureVapourState(*data_, T, p)
                              : equationVapourState(*data_, T, p);
    });
}

Result<State> Fluid::singlePhaseState(double T, double p) const noexcept {
    return stateAtTP(*data_, CacheKind::SinglePhase, T, p,
                     [this, T, p] { return singlePhase(*this, T, p); });
}

std::pair<double, double> Fluid::criticalPoint() const noexcept {
    if (data_->mixture)
        return {data_->TsatMax, data_->pc};
    return {data_->Tr, data_->pc};
}

Result<State> Fluid::stateAtPressureEntropy(double p, double s) const noexcept {
    return vapourAtPressureEntropy(*this, p, s);
}

} // namespace asere

#include "kvcat/envelope.h"

#include <algorithm>
#include <cmath>

namespace kvcat {

namespace {

double round1(double x) {
    return std::round(x * 10.0) / 10.0;
}
double floor1(double x) {
    return std::floor(x * 10.0) / 10.0;
}

// Highest condensing temperature at which the discharge temperature, with suction gas
// at tSuction, stays within the family's limit and the pressure ratio within the
// family's highest; searched within [lo, hi].
double highestCondensing(const Family& family, const Thermo& thermo, double te, double tSuction,
                         double lo, double hi) {
    // A discharge state beyond the equation of state's range lies far beyond any
    // discharge limit: count it as too hot.
    auto discharge = [&](double tc) {
        try {
            const CyclePoint p = thermo.cycle(te, tc, tSuction, 0.0);
            return thermo.dischargeTemperature(p, isentropicEfficiency(family.physics, p.ratio()));
        } catch (const ThermoError&) {
            if (thermo.maxTemperature() > family.physics.dischargeMax + 20)
                return 1e9;
            throw;
        }
    };
    const double limit = family.physics.dischargeMax;
    // The pressure ratio limit (valve and bearing loads) cuts first where it is lower.
    try {
        const double pTop = family.rules.maxPressureRatio * thermo.dewPressure(te);
        hi = std::max(lo, std::min(hi, thermo.dewTemperature(pTop)));
    } catch (const ThermoError&) {
        // above the saturation curve: the ratio doesn't limit within the search
    }
    if (discharge(hi) <= limit)
        return hi;
    if (discharge(lo) > limit)
        return lo;
    for (int i = 0; i < 40 && hi - lo > 0.01; ++i) {
        const double mid = 0.5 * (lo + hi);
        (discharge(mid) <= limit ? lo : hi) = mid;
    }
    return lo;
}

} // namespace

bool computes(const Envelope& e, double te, double tc, double superheat) {
    if (te < e.teLow || te > e.teHig || tc < e.tcLow || tc > e.tcHig)
        return false;
    const kpx::TcLimits limits = kpx::tcLimits(e, kpx::Conditions{te, tc, 0, superheat, superheat});
    return !(tc > limits.atSh2MinusTol && tc > limits.atSh2 + e.tcTol);
}

Envelope makeEnvelope(const Family& family, const EnvelopeLimits& limits, const Thermo& thermo) {
    const EnvelopeRules& r = family.rules;
    Envelope e;
    e.teLow = limits.teLow;
    e.teHig = limits.teHig;
    e.tcLow = limits.tcLow;
    e.tcHig = limits.tcHig;
    e.teMin = limits.teLow + r.innerTe;
    e.teMax = limits.teHig - r.innerTe;
    e.tcMin = limits.tcLow + r.innerTc;
    e.tcMax = limits.tcHig - r.innerTc;
    e.shMax = r.shMax;
    e.rgtMax = r.rgtMax;
    e.shTol = r.shTol;
    e.scMax = r.scMax;
    e.tcTol = r.tcTol;
    e.shF = r.shF;
    e.shH = r.shH.value_or(kpx::NoValue);
    e.rgtH = r.shH ? kpx::NoValue : r.rgtH.value_or(kpx::NoValue);
    // Curves: breakpoints spread evenly over the outer Te span; each value is the highest
    // condensing temperature the discharge limit allows, kept within 5 K above the outer
    // limit (beyond it the outer limit governs anyway) and 5 K below the critical point.
    const double top = std::min(limits.tcHig + 5, thermo.criticalTemperature() - 5);
    if (!(top > limits.tcHig))
        throw ThermoError(thermo.name() + ": TcHig too close to the critical point");
    for (int n = 0; n < 7; ++n) {
        const double te = round1(limits.teLow + (limits.teHig - limits.teLow) * n / 6.0);
        e.fe[n] = te;
        e.fc[n] = floor1(highestCondensing(family, thermo, te, te + r.shF, limits.tcLow, top));
    }
    for (int n = 0; n < 5; ++n) {
        const double te = round1(limits.teLow + (limits.teHig - limits.teLow) * n / 4.0);
        const double suction = r.shH ? te + *r.shH : *r.rgtH;
        e.he[n] = te;
        e.hc[n] = floor1(highestCondensing(family, thermo, te, suction, limits.tcLow, top));
    }
    // K line: the condensing temperature at the lowest pressure ratio, through two points
    // in the upper half of the Te span.
    e.k1e = round1(limits.teHig - 0.5 * (limits.teHig - limits.teLow));
    e.k2e = limits.teHig;
    e.k1c = round1(thermo.dewTemperature(r.kPressureRatio * thermo.dewPressure(e.k1e)));
    e.k2c = round1(thermo.dewTemperature(r.kPressureRatio * thermo.dewPressure(e.k2e)));
    return e;
}

std::vector<std::pair<double, double>> fitGrid(const Envelope& envelope, const Family& family) {
    constexpr int teSteps = 14, tcSteps = 12;
    std::vector<std::pair<double, double>> grid;
    for (int i = 0; i <= teSteps; ++i) {
        const double te = envelope.teLow + (envelope.teHig - envelope.teLow) * i / teSteps;
        for (int j = 0; j <= tcSteps; ++j) {
            const double tc = envelope.tcLow + (envelope.tcHig - envelope.tcLow) * j / tcSteps;
            bool inside = false;
            for (double sh : {0.0, 5.0, 10.0})
                inside = inside || computes(envelope, te, tc, sh);
            if (inside)
                grid.emplace_back(te, tc);
        }
    }
    grid.emplace_back(family.typicalTe, family.typicalTc);
    return grid;
}

} // namespace kvcat

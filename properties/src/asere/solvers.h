// The solvers on a fluid's equation of state: density roots at (T, p), the phase
// equilibrium of a pure fluid, saturation temperatures from pressures, the fitted
// saturated densities of a pseudo-pure blend, and the vapour at a pressure and entropy.
// They serve pure fluids and pseudo-pure blends; blends on the mixture model have their
// own (mixture.h), and Fluid chooses between the two.
#pragma once

#include "asere/fluid.h"
#include "asere/fluid_data.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace asere {

inline bool finite(double x) {
    return std::isfinite(x);
}

// Whether T can be asked for on the saturation curve: BadArgument when it is not finite,
// OutOfRange outside the curve.
inline Status saturationTemperatureStatus(const FluidData& f, double T) {
    if (!finite(T))
        return Status::BadArgument;
    return T >= f.Ttriple && T <= f.TsatMax ? Status::Ok : Status::OutOfRange;
}

// Density of the root of p(rho) = p at or above rhoMin on an isotherm that rises from
// rhoMin on: the liquid branch above the saturated liquid's density, or an isotherm above
// the critical temperature. `at(rho)` gives the pressure and its slope dp/drho as a pair.
// Newton's method inside a bracket, at most doubling the density in one step (the
// isotherm can be nearly flat near the critical point). Where the pressure falls with
// density or is not finite after the isotherm was seen rising, the step went beyond the
// equation's range of densities: too dense. Before that (a start on the flat top of the
// critical isotherm, where the slope may round to zero or below), a pressure below p
// means denser.
template <class PressureAt>
Result<double> risingRoot(PressureAt at, double p, double start, double rhoMin) {
    constexpr int kMaxSteps = 200;
    double lo = rhoMin, hi = std::numeric_limits<double>::infinity();
    double rho = std::max(start, rhoMin);
    bool seenRising = false;
    for (int i = 0; i < kMaxSteps; ++i) {
        const auto [pr, slope] = at(rho);
        const bool rising = finite(pr) && finite(slope) && slope > 0;
        const double diff = rising ? pr - p : 0;
        if (rising && std::abs(diff) <= 1e-13 * rho * slope)
            return {std::max(rho - diff / slope, rhoMin), Status::Ok};
        if (rising ? diff > 0 : seenRising || !finite(pr) || pr > p)
            hi = rho;
        else
            lo = rho;
        seenRising = seenRising || rising;
        double next = rising ? rho - diff / slope : kNaN;
        if (!(next > lo && next < hi))
            next = std::isfinite(hi) ? 0.5 * (lo + hi) : 2 * rho;
        next = std::min(next, 2 * rho);
        if (std::abs(next - rho) <= 1e-15 * rho) {
            // The bracket has closed, as it does on the flat isotherm at the critical
            // point before Newton's criterion is met.
            if (rising && std::abs(diff) <= 1e-9 * p)
                return {rho, Status::Ok};
            return failure<double>(Status::NoConvergence);
        }
        rho = next;
    }
    return failure<double>(Status::NoConvergence);
}

// The state at (T, rho) from the equation of state, enthalpy and entropy with the
// reference-state offsets.
State stateFrom(const FluidData& f, double T, double rho);

// Dew (vapour = true) or bubble pressure at T, T inside the saturation range.
Result<double> saturationPressure(const FluidData& f, double T, bool vapour);
// Dew or bubble temperature at p, p finite and positive.
Result<double> saturationTemperature(const FluidData& f, double p, bool vapour);
// Saturated liquid (bubble point) or vapour (dew point) at T.
Result<State> saturatedState(const FluidData& f, double T, bool vapour);
// The expansions of the saturation curve fitted when a fluid is loaded, before its
// reference state is set: the inverse of a superancillary's pressure
// (FluidData::satInverse) and the saturated liquid's enthalpy (FluidData::liquidH).
void fitSaturationCurves(FluidData& f);
// A pseudo-pure blend's saturated liquid (vapour = false) or vapour density as
// expansions in temperature, fitted to the solver's roots.
Chebyshev fitBlendDensity(const FluidData& f, bool vapour);

// A point of the saturation curve: the saturated vapour's density and pressure.
struct SaturatedPoint {
    double rho = 0, p = 0; // 0 when unknown
};

// The vapour at (T, p): the vapour-side density root below `rhoMax` (infinity when
// unknown) and its state, with p as given. `dew`, the saturated vapour at T where known,
// gives the solver a close start.
Result<State> vapourAt(const FluidData& f, double T, double p, double rhoMax,
                       SaturatedPoint dew = {});
// The liquid-like (or supercritical) state at (T, p): the density root of p(T, rho) = p
// found from `start` and kept at or above rhoMin, where dp/drho > 0. Below the critical
// temperature rhoMin is the saturated liquid's density, so that the root can't be one of
// the equation's roots inside the two-phase dome; above it, 0.
Result<State> denseStateAt(const FluidData& f, double T, double p, double start, double rhoMin);
// The vapour state of `fluid` at pressure p and entropy s, from its vapour states along
// the isobar.
Result<State> vapourAtPressureEntropy(const Fluid& fluid, double p, double s);

} // namespace asere

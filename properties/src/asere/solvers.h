// The solvers on a fluid's equation of state: density roots at (T, p), the phase
// equilibrium of a pure fluid, saturation temperatures from pressures, the fitted
// saturated densities of a pseudo-pure blend, and the vapour at a pressure and entropy.
// They serve pure fluids and pseudo-pure blends; blends on the mixture model have their
// own (mixture.h), and Fluid chooses between the two.
#pragma once

#include "asere/fluid.h"
#include "asere/fluid_data.h"

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

// The vapour at (T, p): the vapour-side density root below `rhoMax` (infinity when
// unknown) and its state, with p as given.
Result<State> vapourAt(const FluidData& f, double T, double p, double rhoMax);
// The vapour state of `fluid` at pressure p and entropy s, from its vapour states along
// the isobar.
Result<State> vapourAtPressureEntropy(const Fluid& fluid, double p, double s);

} // namespace asere

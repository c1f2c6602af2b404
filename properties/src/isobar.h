// Vapour states found along an isobar from a second property: the state at a pressure
// and enthalpy (the compressor's discharge from an energy balance). The state at a
// pressure and entropy is Fluid::stateAtPressureEntropy.
#pragma once

#include "asere/fluid.h"

namespace asere {

// The vapour state of `fluid` at pressure p and enthalpy h. NotVapour when (p, h) lies in
// the two-phase region or in the liquid; OutOfRange above the equation's temperature
// range or, above the critical pressure, below its lowest vapour-like temperature.
Result<State> vapourAtPressureEnthalpy(const Fluid& fluid, double p, double h) noexcept;

} // namespace asere

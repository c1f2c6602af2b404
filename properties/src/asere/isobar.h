// Vapour states found along an isobar from a second property: the state at a pressure
// and enthalpy (the compressor's discharge from an energy balance) and at a pressure and
// entropy (the end of an isentropic compression). Each is searched by Newton's method in
// temperature and density together, one evaluation of the equation of state per step:
// from a state near the answer that the thread had just before (the isentropic estimate
// from a vapour of the same entropy, as a rating's suction state, or the last state found
// on the same isobar), else from the start of the isobar's vapour; where that does not end
// on the vapour side, by Newton's method on T with vapour states at (T, p). What came
// before moves an answer by no more than about 1e-10 of it.
#pragma once

#include "asere/fluid.h"

namespace asere {

// The vapour state of `fluid` at pressure p and enthalpy h. NotVapour when (p, h) lies in
// the two-phase region or in the liquid; OutOfRange above the equation's temperature
// range or, above the critical pressure, below its lowest vapour-like temperature.
Result<State> vapourAtPressureEnthalpy(const Fluid& fluid, double p, double h) noexcept;
// The same at pressure p and entropy s: as Fluid::stateAtPressureEntropy, in fewer
// vapour states.
Result<State> isobarVapourAtEntropy(const Fluid& fluid, double p, double s) noexcept;

} // namespace asere

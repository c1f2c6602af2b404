// A model's operating envelope, worked out from the family's rules and the physics:
// outer and inner limits, the F and H curves of highest condensing temperature (set by
// the discharge temperature limit) and the K line of lowest pressure ratio.
#pragma once

#include "kvcat/compressor.h"
#include "kvcat/poly.h"
#include "kvcat/range.h"

#include <kpx/rating.h>
#include <vector>

namespace kvcat {

// The envelope is the engine's own record of the envelope columns, so that the builder
// checks its curves and limits exactly as the rating does.
using Envelope = kpx::Envelope;

// True when the rating computes figures at (te, tc) for total superheat s: no refusal by
// the outer limits or the superheat-dependent condensing limit.
bool computes(const Envelope& envelope, double te, double tc, double superheat);

// The envelope of a family for one refrigerant. Throws ThermoError when the property
// library can't serve it.
Envelope makeEnvelope(const Family& family, const EnvelopeLimits& limits, const Thermo& thermo);

// The (Te, Tc) points over which the polynomials are fitted and checked: a grid over the
// outer limits, kept where the rating computes at some superheat from 0 K to the base
// superheat, with the family's typical point added.
std::vector<std::pair<double, double>> fitGrid(const Envelope& envelope, const Family& family);

} // namespace kvcat

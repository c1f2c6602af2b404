// A model's operating envelope, worked out from the family's rules and the physics:
// outer and inner limits, the F and H curves of highest condensing temperature (set by
// the discharge temperature limit) and the K line of lowest pressure ratio.
#pragma once

#include "compressor.h"
#include "poly.h"
#include "range.h"

#include <array>
#include <optional>
#include <vector>

namespace kvcat {

struct Breakpoint {
    double e = 0, c = 0; // Te, Tc in degC
};

struct Envelope {
    double teLow = 0, teHig = 0, tcLow = 0, tcHig = 0;
    double teMin = 0, teMax = 0, tcMin = 0, tcMax = 0;
    double shMax = 0, rgtMax = 0, shTol = 0, scMax = 0, tcTol = 0;
    double shF = 0;
    std::optional<double> shH, rgtH;
    double k1e = 0, k1c = 0, k2e = 0, k2c = 0;
    std::array<Breakpoint, 7> f{};
    std::array<Breakpoint, 5> h{};

    // The condensing limit at te for total superheat s, interpolated in superheat
    // between the H and F curves as the rating does.
    double tcLimit(double te, double superheat) const;
    // True when the rating computes figures at (te, tc) for total superheat s (no
    // refusal by the outer limits or the condensing limit).
    bool computes(double te, double tc, double superheat) const;
};

// Value of a curve at te, by its breakpoints (Te rising), linear between them.
double curveAt(const Breakpoint* points, int count, double te);

// The envelope of a family for one refrigerant. Throws ThermoError when the property
// library can't serve it.
Envelope makeEnvelope(const Family& family, const EnvelopeLimits& limits, const Thermo& thermo);

// The (Te, Tc) points over which the polynomials are fitted and checked: a grid over the
// outer limits, kept where the rating computes at some superheat from 0 K to the base
// superheat, with the family's typical point added.
std::vector<std::pair<double, double>> fitGrid(const Envelope& envelope, const Family& family);

} // namespace kvcat

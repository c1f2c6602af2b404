// The envelope an import writes for a row and the check of its curves over it: the
// default limits (written as the decimals they stand for), the points at which the
// rating would show a figure that is not positive, and the narrowing that leaves them out.
#pragma once

#include "kvcat/poly.h"

#include <array>
#include <kpx/rating.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kvcat {

// The validity range of a row's polynomials, degC.
struct ValidityRange {
    double teMin = 0, teMax = 0, tcMin = 0, tcMax = 0;
};

// The polynomial sets of a row, in this order: capacity, power, current and mass flow
// (the rating's), then the optional discharge temperature (degC) and heat rejection (W).
inline constexpr int kPolynomialSets = 6;
inline constexpr const char* kSetNames[kPolynomialSets] = {"Q", "P", "A", "M", "Td", "Qr"};

// One row's figures on their way into the catalogue: temperatures in degC (dew points),
// polynomials in SI units in EN 12900 order.
struct RowFigures {
    ValidityRange range;
    std::optional<double> sh, rgt, sc, liq;
    double scBase = 0;
    std::array<Coefficients, kPolynomialSets> poly{};
    std::array<bool, kPolynomialSets> given{};
    // Set where the Tc range was cut at the top of the refrigerant's saturation curve: the
    // range's end as given.
    std::optional<double> tcMaxGiven;
    double suction(double te) const { return sh ? te + *sh : *rgt; }
};

// A derived limit as the decimal it stands for: ten significant digits, so that a sum
// such as -17.8 + 10 is written -7.8, not -7.800000000000001.
double snapped(double v);

// The envelope columns by name: the validity range as outer and inner limits, a default
// that refuses no point of the range at 10 K lift or more at the rating basis.
std::map<std::string, double> defaultEnvelope(const RowFigures& x);

// A point of the range at which a polynomial is not positive (or not finite).
struct BadPoint {
    double te, tc, value;
    int set; // Q, P, A, M
};

// The points at which the rating at the basis would show a figure that is not positive
// as clean: a 25 x 25 grid over the outer limits and the K line, as the engine
// classifies them.
std::vector<BadPoint> nonPositivePoints(const std::map<std::string, double>& env,
                                        const RowFigures& x);

// Narrows the outer limits (inner ones with them) until no point shows a figure that is
// not positive: each time the one side whose move keeps the largest part of the range at
// 10 K lift or more moves past the bad points, to the next 0.1 K. False when nothing is
// left.
bool narrowToPositive(std::map<std::string, double>& env, const RowFigures& x);

} // namespace kvcat

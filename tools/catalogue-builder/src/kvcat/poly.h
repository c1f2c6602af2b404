// The ten-coefficient cubic in evaporating and condensing temperature (degC) that the
// catalogue publishes for capacity, power, current and mass flow, and its least-squares
// fit.
#pragma once

#include <array>
#include <vector>

namespace kvcat {

using Coefficients = std::array<double, 10>;

// Terms by suffix: 1, Te, Tc, Te^2, Te*Tc, Tc^2, Te^3, Te^2*Tc, Te*Tc^2, Tc^3.
std::array<double, 10> terms(double te, double tc);
double evaluate(const Coefficients& c, double te, double tc);

struct Sample {
    double te = 0, tc = 0, value = 0;
};

// Fit over the samples by the residual relative to each sample's value, so that the small
// values of a range weigh as much as the large ones: least squares, then reweighted
// towards the smallest largest error in up to `rounds` rounds. Needs at least ten samples
// spread over both temperatures; throws std::invalid_argument otherwise.
Coefficients fitRelative(const std::vector<Sample>& samples, int rounds = 12);

// Largest |poly - value| / |value| over the samples.
double maxRelativeError(const Coefficients& c, const std::vector<Sample>& samples);

// Polynomial conversions, exact up to rounding.
Coefficients fromBicubicOrder(const Coefficients& c);
// The polynomial p(x, y) in degF of both temperatures as a polynomial in degC, times
// `scale`.
Coefficients fromFahrenheit(const Coefficients& c, double scale);
// The polynomial p(x, y) with x = ax·te + bx and y = ay·tc + by as a polynomial in te and
// tc, times `scale`.
Coefficients fromAffine(const Coefficients& c, double ax, double bx, double ay, double by,
                        double scale = 1);

} // namespace kvcat

// Rating one model at one operating point: the envelope classification, the four
// catalogue polynomials and the correction of capacity and mass flow from the model's
// base conditions to the requested ones with refrigerant properties.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "field_number.h"

namespace kpx {

// The value of every rating output until a rating succeeds.
inline constexpr double NotRated = -9999.999;

// The result of a rating: 0 clean, positive for a warning, negative when nothing was
// computed.
using RatingCode = std::int32_t;

// Result codes of a rating.
namespace code {
inline constexpr RatingCode Clean = 0;
inline constexpr RatingCode NotFound = -1; // also: catalogue not loaded
inline constexpr RatingCode TeTooLow = -2;
inline constexpr RatingCode TeTooHigh = -3;
inline constexpr RatingCode TcTooLow = -4; // also: Tc beyond the superheat-dependent limit
inline constexpr RatingCode TcTooHigh = -5;
inline constexpr RatingCode SuperheatTooHigh = -6;
inline constexpr RatingCode SubcoolingTooHigh = -7;
inline constexpr RatingCode SuperheatNegative = -8;
inline constexpr RatingCode SubcoolingNegative = -9;
inline constexpr RatingCode PropertiesFailed = -10;
inline constexpr RatingCode Working = 1; // classification passed without a warning
inline constexpr RatingCode TeBelowInner = 2;
inline constexpr RatingCode TeAboveInner = 3;
inline constexpr RatingCode TcBelowInner = 4;
inline constexpr RatingCode TcAboveInner = 5;
inline constexpr RatingCode SuperheatHigh = 6;
inline constexpr RatingCode Sh2BelowSh1 = 10;
inline constexpr RatingCode BelowKLine = 11;
inline constexpr RatingCode TcAboveLimit = 15;
} // namespace code

// The envelope columns of one model, NoValue where the catalogue gives nothing.
struct Envelope {
    double teLow = NoValue, teHig = NoValue, tcLow = NoValue, tcHig = NoValue;
    double teMin = NoValue, teMax = NoValue, tcMin = NoValue, tcMax = NoValue;
    double rgtMax = NoValue, rgtH = NoValue;
    double shMax = NoValue, shTol = NoValue, scMax = NoValue, tcTol = NoValue;
    double shF = NoValue, shH = NoValue;
    double k1e = NoValue, k1c = NoValue, k2e = NoValue, k2c = NoValue;
    std::array<double, 7> fe = unset<7>(), fc = unset<7>(); // F curve breakpoints 0..6
    std::array<double, 5> he = unset<5>(), hc = unset<5>(); // H curve breakpoints 0..4

private:
    template <std::size_t N> static constexpr std::array<double, N> unset() {
        std::array<double, N> a{};
        a.fill(NoValue);
        return a;
    }
};

// Everything a rating reads of one model.
struct RatingRecord {
    // Polynomial coefficients, index = suffix: capacity, power input, current, mass flow.
    std::array<double, 10> q{}, p{}, a{}, m{};
    double scBase = NoValue, shBase = NoValue, rgtBase = NoValue;
    Envelope envelope;
    const char* refrigerant = ""; // zero-terminated, handed to the property library

    RatingRecord() {
        q.fill(NoValue);
        p.fill(NoValue);
        a.fill(NoValue);
        m.fill(NoValue);
    }
};

// Calls `visit(columnName, double&)` for every numeric column the rating reads, always in
// the same order, so that a catalogue can resolve the names once and fill records fast.
template <typename Visitor> void forEachRatingColumn(RatingRecord& r, Visitor&& visit) {
    static constexpr const char* digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    static constexpr std::string_view sets[] = {"Q", "P", "A", "M"};
    static const auto setNames = [] {
        std::array<std::array<std::array<char, 3>, 10>, 4> n{};
        for (std::size_t s = 0; s < 4; ++s)
            for (std::size_t i = 0; i < 10; ++i)
                n[s][i] = {sets[s][0], digits[i][0], '\0'};
        return n;
    }();
    std::array<double, 10>* coefficientSets[] = {&r.q, &r.p, &r.a, &r.m};
    for (std::size_t s = 0; s < 4; ++s)
        for (std::size_t i = 0; i < 10; ++i)
            visit(std::string_view(setNames[s][i].data(), 2), (*coefficientSets[s])[i]);
    visit("ScBase", r.scBase);
    visit("ShBase", r.shBase);
    visit("RgtBase", r.rgtBase);
    Envelope& e = r.envelope;
    visit("TeLow", e.teLow);
    visit("TeHig", e.teHig);
    visit("TcLow", e.tcLow);
    visit("TcHig", e.tcHig);
    visit("TeMin", e.teMin);
    visit("TeMax", e.teMax);
    visit("TcMin", e.tcMin);
    visit("TcMax", e.tcMax);
    visit("RgtMax", e.rgtMax);
    visit("RgtH", e.rgtH);
    visit("ShMax", e.shMax);
    visit("ShTol", e.shTol);
    visit("ScMax", e.scMax);
    visit("TcTol", e.tcTol);
    visit("ShF", e.shF);
    visit("ShH", e.shH);
    visit("K1e", e.k1e);
    visit("K1c", e.k1c);
    visit("K2e", e.k2e);
    visit("K2c", e.k2c);
    static constexpr std::string_view fNames[] = {"F0e", "F0c", "F1e", "F1c", "F2e", "F2c", "F3e",
                                                  "F3c", "F4e", "F4c", "F5e", "F5c", "F6e", "F6c"};
    for (std::size_t n = 0; n < 7; ++n) {
        visit(fNames[2 * n], e.fe[n]);
        visit(fNames[2 * n + 1], e.fc[n]);
    }
    static constexpr std::string_view hNames[] = {"H0e", "H0c", "H1e", "H1c", "H2e",
                                                  "H2c", "H3e", "H3c", "H4e", "H4c"};
    for (std::size_t n = 0; n < 5; ++n) {
        visit(hNames[2 * n], e.he[n]);
        visit(hNames[2 * n + 1], e.hc[n]);
    }
}

// The five operating conditions: Te and Tc in degC, Sc, Sh1 and Sh2 in K.
struct Conditions {
    double te = 0, tc = 0, sc = 0, sh1 = 0, sh2 = 0;
};

struct RatingResult {
    RatingCode code = code::NotFound;
    double capacity = NotRated, power = NotRated, current = NotRated, massFlow = NotRated,
           cop = NotRated;
};

// The refrigerant-property library as the rating sees it. Each property function returns
// 0 on success and writes its result through the last argument.
class PropertyProvider {
public:
    virtual ~PropertyProvider() = default;
    virtual void revision(char** text) = 0;
    virtual void setDataDirectory(const char* directory) = 0;
    virtual std::int32_t saturationPressure(const char* refrigerant, double t, double* p) = 0;
    virtual std::int32_t bubbleTemperature(const char* refrigerant, double p, double* t) = 0;
    virtual std::int32_t liquidEnthalpy(const char* refrigerant, double t, double* h) = 0;
    virtual std::int32_t vapourEnthalpy(const char* refrigerant, double t, double p, double* h) = 0;
    virtual std::int32_t vapourVolume(const char* refrigerant, double t, double p, double* v) = 0;
};

// Tc of a breakpoint curve at Te (the F curve has 7 breakpoints, the H curve 5), after the
// curve has been filled: a breakpoint without Te repeats the one before it.
double curveValue(const double* xe, const double* xc, std::size_t lastIndex, double te);

// The superheat-dependent condensing limits that tests 18 and 19 of the classification
// use: the limit at Sh2 and the one at Sh2 - ShTol.
struct TcLimits {
    double atSh2;
    double atSh2MinusTol;
};
TcLimits tcLimits(const Envelope& e, const Conditions& c);

// Classifies the point against the envelope: a negative refusal code, or the working
// code (1 when no warning applies, else the last warning that applied).
RatingCode classify(const Envelope& e, const Conditions& c);

// The four polynomials at Te and Tc, each summed in its own order of suffixes.
double capacityPolynomial(const std::array<double, 10>& k, double te, double tc);
double powerPolynomial(const std::array<double, 10>& k, double te, double tc); // also current
double massFlowPolynomial(const std::array<double, 10>& k, double te, double tc);

// Rates one model. `dataDirectory` is handed to the property library before the property
// calls. A failing property call (non-zero status or a non-finite result), a point with
// a condition that is not a finite number, and a rating whose five outputs are not all
// finite give PropertiesFailed with every output at NotRated.
RatingResult rate(const RatingRecord& record, const Conditions& c, PropertyProvider& properties,
                  const char* dataDirectory);

} // namespace kpx

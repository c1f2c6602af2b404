// Rating one model at one operating point: the envelope classification, the four
// catalogue polynomials and the correction of capacity and mass flow from the model's
// base conditions to the requested ones with refrigerant properties.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "kpx/catalogue_schema.h"
#include "kpx/field_number.h"
#include "kpx_calc.h"

namespace kpx {

// The value of every rating output until a rating succeeds.
inline constexpr double NotRated = KPX_NOT_RATED;

// The result of a rating: one of the KPX_ codes of kpx_calc.h.
using RatingCode = std::int32_t;

// The classification's code for a point that passed without a warning; the rating
// returns it as KPX_CLEAN. No export hands it out.
inline constexpr RatingCode kWorking = 1;

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

// Where each rating column of the schema lands in a record, in the schema's order.
inline std::array<double*, kRatingColumnCount> ratingSlots(RatingRecord& r) {
    static_assert(kRatingColumnCount == 3 + 4 * 10 + 20 + 2 * 7 + 2 * 5);
    std::array<double*, kRatingColumnCount> slots{};
    std::size_t k = 0;
    for (double* v : {&r.scBase, &r.shBase, &r.rgtBase})
        slots[k++] = v;
    for (std::array<double, 10>* set : {&r.q, &r.p, &r.a, &r.m})
        for (double& v : *set)
            slots[k++] = &v;
    Envelope& e = r.envelope;
    for (double* v : {&e.teLow, &e.teHig, &e.tcLow,  &e.tcHig, &e.teMin, &e.teMax, &e.tcMin,
                      &e.tcMax, &e.shMax, &e.rgtMax, &e.shTol, &e.scMax, &e.tcTol, &e.shF,
                      &e.shH,   &e.rgtH,  &e.k1e,    &e.k1c,   &e.k2e,   &e.k2c})
        slots[k++] = v;
    for (std::size_t n = 0; n < e.fe.size(); ++n) {
        slots[k++] = &e.fe[n];
        slots[k++] = &e.fc[n];
    }
    for (std::size_t n = 0; n < e.he.size(); ++n) {
        slots[k++] = &e.he[n];
        slots[k++] = &e.hc[n];
    }
    return slots;
}

// Calls `visit(columnName, double&)` for every numeric column the rating reads, in the
// schema's order, so that a catalogue can resolve the names once and fill records fast.
template <typename Visitor> void forEachRatingColumn(RatingRecord& r, Visitor&& visit) {
    const std::array<double*, kRatingColumnCount> slots = ratingSlots(r);
    for (std::size_t i = 0; i < kRatingColumnCount; ++i)
        visit(kRatingColumns[i], *slots[i]);
}

// The five operating conditions: Te and Tc in degC, Sc, Sh1 and Sh2 in K.
struct Conditions {
    double te = 0, tc = 0, sc = 0, sh1 = 0, sh2 = 0;
};

struct RatingResult {
    RatingCode code = KPX_NOT_FOUND;
    double capacity = NotRated, power = NotRated, current = NotRated, massFlow = NotRated,
           cop = NotRated;
    // The properties it was rated with, which the figures beyond the rating use again:
    // the saturation pressures at Te and Tc (Pa) and the suction gas's specific volume at
    // Te + Sh2 (m3/kg).
    double suctionPressure = NotRated, dischargePressure = NotRated, suctionVolume = NotRated;
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

// The superheat-dependent condensing limits the classification checks Tc against: the
// limit at Sh2 and the one at Sh2 - ShTol. Tc above the first warns; Tc above both the
// second and the first plus TcTol is refused.
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

// The two steps of rate() after the classification, for callers that rate several
// polynomial sets of one rating basis at one point: the factors that carry capacity and
// mass flow from the record's base conditions to the point (nothing when a property call
// fails), and the rating of the record's polynomials with them (`working` the
// classification's code).
struct Correction {
    double capacity = 1, massFlow = 1;
    // The states the correction found, which the figures beyond the rating reuse.
    double suctionPressure = NotRated, dischargePressure = NotRated, suctionVolume = NotRated;
};
std::optional<Correction> correction(const RatingRecord& record, const Conditions& c,
                                     PropertyProvider& properties, const char* dataDirectory);
RatingResult ratePolynomials(const RatingRecord& record, const Conditions& c, const Correction& f,
                             RatingCode working);

} // namespace kpx

#include "kpx/rating.h"

#include <kpx_text_buffer.h>

#include <cmath>
#include <optional>

namespace kpx {
namespace {

// A breakpoint without Te takes both values of the one before it.
template <std::size_t N> void fillCurve(std::array<double, N>& e, std::array<double, N>& c) {
    for (std::size_t n = 1; n < N; ++n)
        if (e[n] == NoValue) {
            e[n] = e[n - 1];
            c[n] = c[n - 1];
        }
}

struct Terms {
    std::array<double, 10> t;
    Terms(double te, double tc)
        : t{1.0,     te,           tc,           te * te,      te * tc,
            tc * tc, te * te * te, te * te * tc, te * tc * tc, tc * tc * tc} {}
};

double sumInOrder(const std::array<double, 10>& k, const Terms& terms,
                  const std::array<std::size_t, 10>& order) {
    double sum = 0.0;
    for (const std::size_t i : order)
        sum += k[i] * terms.t[i];
    return sum;
}

constexpr std::array<std::size_t, 10> kCapacityOrder{7, 8, 9, 6, 3, 4, 5, 1, 2, 0};
constexpr std::array<std::size_t, 10> kPowerOrder{6, 7, 8, 9, 3, 4, 5, 1, 2, 0};
constexpr std::array<std::size_t, 10> kMassFlowOrder{9, 6, 7, 8, 3, 4, 5, 1, 2, 0};

} // namespace

double curveValue(const double* xe, const double* xc, std::size_t lastIndex, double te) {
    double lowerE = NoValue, lowerC = NoValue;
    for (std::size_t n = 0; n < lastIndex; ++n)
        if (te >= xe[n] && xe[n] != NoValue) {
            lowerE = xe[n];
            lowerC = xc[n];
        }
    double upperE = NoValue, upperC = NoValue;
    if (te <= xe[lastIndex] && xe[lastIndex] != NoValue) {
        upperE = xe[lastIndex];
        upperC = xc[lastIndex];
    }
    for (std::size_t n = lastIndex - 1; n >= 1; --n)
        if (te < xe[n] && xe[n] != NoValue) {
            upperE = xe[n];
            upperC = xc[n];
        }
    // Te on the last real breakpoint of a curve that ends in repeats of it: the span has
    // no width, and the curve's value there is that breakpoint's Tc.
    if (upperE == lowerE && lowerE != NoValue)
        return lowerC;
    return lowerC + (upperC - lowerC) * (te - lowerE) / (upperE - lowerE);
}

TcLimits tcLimits(const Envelope& env, const Conditions& c) {
    auto fe = env.fe, fc = env.fc;
    auto he = env.he, hc = env.hc;
    fillCurve(fe, fc);
    fillCurve(he, hc);
    const bool hasShH = env.shH != NoValue;
    const bool hasRgtH = env.rgtH != NoValue;
    // A model that gives both ShH and RgtH: the H curve's own breakpoints serve as limits.
    if (hasShH && hasRgtH)
        return TcLimits{hc[1], hc[4]};
    double sH = NoValue;
    if (!hasShH)
        sH = env.rgtH - c.te;
    if (!hasRgtH)
        sH = env.shH;
    const double tcF = curveValue(fe.data(), fc.data(), 6, c.te);
    const double tcH = curveValue(he.data(), hc.data(), 4, c.te);
    const auto limit = [&](double s) { return tcH + (tcF - tcH) * (s - sH) / (env.shF - sH); };
    return TcLimits{limit(c.sh2), limit(c.sh2 - env.shTol)};
}

RatingCode classify(const Envelope& e, const Conditions& c) {
    const double te = c.te, tc = c.tc, sc = c.sc, sh1 = c.sh1, sh2 = c.sh2;
    if (te < e.teLow)
        return KPX_TE_TOO_LOW;
    if (te > e.teHig)
        return KPX_TE_TOO_HIGH;
    if (tc < e.tcLow)
        return KPX_TC_TOO_LOW;
    if (tc > e.tcHig)
        return KPX_TC_TOO_HIGH;
    if (sh2 > e.shTol + e.shMax)
        return KPX_SUPERHEAT_TOO_HIGH;
    if (sh2 > (e.rgtMax - te) + e.shTol)
        return KPX_SUPERHEAT_TOO_HIGH;
    if (sc > e.scMax)
        return KPX_SUBCOOLING_TOO_HIGH;
    if (sh1 < 0 || sh2 < 0)
        return KPX_SUPERHEAT_NEGATIVE;
    if (sc < 0)
        return KPX_SUBCOOLING_NEGATIVE;

    RatingCode working = kWorking;
    if (sh2 < sh1)
        working = KPX_SH2_BELOW_SH1;
    if (sh2 > e.shMax || sh2 > e.rgtMax - te)
        working = KPX_SUPERHEAT_HIGH;
    if (te < e.teMin)
        working = KPX_TE_BELOW_INNER;
    if (te > e.teMax)
        working = KPX_TE_ABOVE_INNER;
    if (tc < e.tcMin)
        working = KPX_TC_BELOW_INNER;
    if (tc > e.tcMax)
        working = KPX_TC_ABOVE_INNER;
    if (e.k2e - e.k1e > 0 && e.k1c + (te - e.k1e) * (e.k2c - e.k1c) / (e.k2e - e.k1e) > tc)
        working = KPX_BELOW_K_LINE;

    const TcLimits limits = tcLimits(e, c);
    if (tc > limits.atSh2MinusTol && tc > limits.atSh2 + e.tcTol)
        return KPX_TC_TOO_LOW;
    if (tc > limits.atSh2)
        working = KPX_TC_ABOVE_LIMIT;
    return working;
}

double capacityPolynomial(const std::array<double, 10>& k, double te, double tc) {
    return sumInOrder(k, Terms(te, tc), kCapacityOrder);
}
double powerPolynomial(const std::array<double, 10>& k, double te, double tc) {
    return sumInOrder(k, Terms(te, tc), kPowerOrder);
}
double massFlowPolynomial(const std::array<double, 10>& k, double te, double tc) {
    return sumInOrder(k, Terms(te, tc), kMassFlowOrder);
}

std::optional<Correction> correction(const RatingRecord& record, const Conditions& c,
                                     PropertyProvider& properties, const char* dataDirectory) {
    kpx::PropertyTextBuffer revisionText;
    properties.revision(revisionText.address());
    properties.setDataDirectory(dataDirectory);

    const double scBase = record.scBase;
    const double shBase = record.shBase != NoValue ? record.shBase : record.rgtBase - c.te;
    const double teK = c.te + 273.15;
    const double tcK = c.tc + 273.15;
    const char* refrigerant = record.refrigerant;

    bool ok = true;
    // The value is read through a reference, after the call has written it.
    const auto check = [&ok](std::int32_t status, const double& value) {
        if (status != 0 || !std::isfinite(value))
            ok = false;
        return ok;
    };
    double pe = 0, pc = 0, tb = 0, hLiq = 0, hLiqBase = 0, hOut = 0, v = 0, hOutBase = 0, vBase = 0;
    // The calls stop at the first failure.
    check(properties.saturationPressure(refrigerant, teK, &pe), pe) &&
        check(properties.saturationPressure(refrigerant, tcK, &pc), pc) &&
        check(properties.bubbleTemperature(refrigerant, pc, &tb), tb) &&
        check(properties.liquidEnthalpy(refrigerant, tb - c.sc, &hLiq), hLiq) &&
        check(properties.liquidEnthalpy(refrigerant, tb - scBase, &hLiqBase), hLiqBase) &&
        check(properties.vapourEnthalpy(refrigerant, teK + c.sh1, pe, &hOut), hOut) &&
        check(properties.vapourVolume(refrigerant, teK + c.sh2, pe, &v), v) &&
        check(properties.vapourEnthalpy(refrigerant, teK + shBase, pe, &hOutBase), hOutBase) &&
        check(properties.vapourVolume(refrigerant, teK + shBase, pe, &vBase), vBase);
    if (!ok)
        return std::nullopt;

    Correction f;
    f.massFlow = v == 0 ? 1.0 : vBase / v;
    f.suctionPressure = pe;
    f.dischargePressure = pc;
    f.suctionVolume = v;
    const double baseEffect = hOutBase - hLiqBase;
    f.capacity = baseEffect == 0 ? 1.0 : f.massFlow * (hOut - hLiq) / baseEffect;
    return f;
}

RatingResult ratePolynomials(const RatingRecord& record, const Conditions& c, const Correction& f,
                             RatingCode working) {
    RatingResult result;
    RatingResult rated;
    rated.capacity = capacityPolynomial(record.q, c.te, c.tc) * f.capacity;
    rated.power = powerPolynomial(record.p, c.te, c.tc);
    rated.current = powerPolynomial(record.a, c.te, c.tc);
    rated.massFlow = massFlowPolynomial(record.m, c.te, c.tc) * f.massFlow;
    rated.cop = rated.power == 0 ? rated.capacity : rated.capacity / rated.power;
    rated.suctionPressure = f.suctionPressure;
    rated.dischargePressure = f.dischargePressure;
    rated.suctionVolume = f.suctionVolume;
    // A coefficient that overflows (1e309 reads as infinity), or a polynomial or factor
    // that does, gives no figure an engineer could use: the rating failed.
    for (const double x : {rated.capacity, rated.power, rated.current, rated.massFlow, rated.cop})
        if (!std::isfinite(x)) {
            result.code = KPX_PROPERTIES_FAILED;
            return result;
        }
    rated.code = working == kWorking ? KPX_CLEAN : working;
    return rated;
}

RatingResult rate(const RatingRecord& record, const Conditions& c, PropertyProvider& properties,
                  const char* dataDirectory) {
    RatingResult result;
    const RatingCode working = classify(record.envelope, c);
    if (working < 0) {
        result.code = working;
        return result;
    }
    for (const double x : {c.te, c.tc, c.sc, c.sh1, c.sh2})
        if (!std::isfinite(x)) {
            result.code = KPX_PROPERTIES_FAILED;
            return result;
        }
    const std::optional<Correction> f = correction(record, c, properties, dataDirectory);
    if (!f) {
        result.code = KPX_PROPERTIES_FAILED;
        return result;
    }
    return ratePolynomials(record, c, *f, working);
}

} // namespace kpx

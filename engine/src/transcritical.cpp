#include "kpx/transcritical.h"

#include <kpx_text_buffer.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "kpx/figures.h"

namespace kpx {
namespace {

// The capacity curve's enthalpies count from 200 kJ/kg for saturated liquid at 0 degC.
constexpr double kCurveLiquidEnthalpy = 200e3;

bool given(double x) {
    return x != NoValue;
}

// One model at one suction state: the states that don't depend on the gas-cooler
// pressure are worked out once, then any pressure is rated from them.
class Cycle {
public:
    Cycle(const GasCoolerColumns& model, const char* refrigerant, const GasCoolerPoint& point,
          PropertyProvider& properties, StateProperties& states)
        : model_(model), refrigerant_(refrigerant), point_(point), properties_(properties),
          states_(states) {}

    // The checks of the point that need no pressure, then the suction states: 0, or the
    // refusal's code.
    RatingCode prepare(const char* dataDirectory, bool withPressure) {
        const GasCoolerPoint& x = point_;
        if (!model_.present())
            return KPX_NO_GAS_COOLER_CURVES;
        for (const double v : {x.te, x.tgc, x.sh1, x.sh2, withPressure ? x.pgc : 0.0})
            if (!std::isfinite(v))
                return KPX_PROPERTIES_FAILED;
        if (std::isinf(x.liquidLine))
            return KPX_PROPERTIES_FAILED;
        if (x.te < model_.teLow)
            return KPX_TE_TOO_LOW;
        if (x.te > model_.teHig)
            return KPX_TE_TOO_HIGH;
        if (withPressure) {
            if (x.pgc < model_.pLow)
                return KPX_GAS_COOLER_PRESSURE_LOW;
            if (x.pgc > model_.pHig || (given(model_.pdMax) && x.pgc > model_.pdMax))
                return KPX_GAS_COOLER_PRESSURE_HIGH;
        }
        if (x.sh1 < 0 || x.sh2 < 0)
            return KPX_SUPERHEAT_NEGATIVE;
        if (!(x.tgc > x.te))
            return KPX_GAS_COOLER_BELOW_SUCTION;
        if (hasLiquidLine() && (x.liquidLine > x.tgc || !(x.liquidLine > x.te)))
            return KPX_LIQUID_LINE_INVALID;

        kpx::PropertyTextBuffer revisionText;
        properties_.revision(revisionText.address());
        properties_.setDataDirectory(dataDirectory);
        const char* r = refrigerant_;
        const double teK = x.te + kKelvin;
        double liquidAtZero = 0;
        const bool ok =
            propertyOk(states_.criticalPoint(r, &tCrit_, &pCrit_), pCrit_) &&
            std::isfinite(tCrit_) &&
            propertyOk(properties_.saturationPressure(r, teK, &pe_), pe_) && pe_ > 0 &&
            propertyOk(properties_.vapourEnthalpy(r, teK + x.sh1, pe_, &h1_), h1_) &&
            propertyOk(properties_.vapourVolume(r, teK + x.sh2, pe_, &v_), v_) && v_ > 0 &&
            propertyOk(properties_.vapourEnthalpy(r, teK + model_.shBase, pe_, &hBase_), hBase_) &&
            propertyOk(properties_.vapourVolume(r, teK + model_.shBase, pe_, &vBase_), vBase_) &&
            (x.sh2 == x.sh1 ? (hInlet_ = h1_, true)
                            : propertyOk(properties_.vapourEnthalpy(r, teK + x.sh2, pe_, &hInlet_),
                                         hInlet_)) &&
            propertyOk(properties_.liquidEnthalpy(r, kKelvin, &liquidAtZero), liquidAtZero);
        if (!ok)
            return KPX_PROPERTIES_FAILED;
        shift_ = kCurveLiquidEnthalpy - liquidAtZero;
        return 0;
    }

    // The lowest and highest pressure the envelope leaves at this point (prepare() first).
    std::pair<double, double> pressureRange() {
        double low = model_.pLow, high = model_.pHig;
        if (given(model_.pdMax))
            high = std::min(high, model_.pdMax);
        if (given(model_.prMax))
            high = std::min(high, model_.prMax * pe_);
        // Below the critical temperature the outlet must be liquid: above the saturation
        // pressure of tgc.
        double pSat = 0;
        if (point_.tgc + kKelvin < tCrit_ &&
            propertyOk(properties_.saturationPressure(refrigerant_, point_.tgc + kKelvin, &pSat),
                       pSat))
            low = std::max(low, pSat * (1 + 1e-9));
        return {low, high};
    }

    // The rating at pgc; with `full` also the discharge temperature and heat rejection.
    KPX_TranscriticalResult at(double pgc, bool full) {
        KPX_TranscriticalResult r = noTranscriticalResult();
        r.code = ratedAt(pgc, full, r);
        if (r.code < 0) {
            const RatingCode code = r.code;
            r = noTranscriticalResult();
            r.code = code;
        }
        return r;
    }

private:
    bool hasLiquidLine() const { return !std::isnan(point_.liquidLine); }

    RatingCode ratedAt(double pgc, bool full, KPX_TranscriticalResult& r) {
        const GasCoolerPoint& x = point_;
        const char* refrigerant = refrigerant_;
        if (!std::isfinite(pgc))
            return KPX_PROPERTIES_FAILED;
        if (pgc < model_.pLow)
            return KPX_GAS_COOLER_PRESSURE_LOW;
        if (pgc > model_.pHig || (given(model_.pdMax) && pgc > model_.pdMax))
            return KPX_GAS_COOLER_PRESSURE_HIGH;
        const double ratio = pgc / pe_;
        if (given(model_.prMax) && ratio > model_.prMax)
            return KPX_PRESSURE_RATIO_TOO_HIGH;
        const double tgcK = x.tgc + kKelvin;
        double tSat = 0; // below the critical pressure: the saturation temperature of pgc
        if (pgc < pCrit_) {
            if (!propertyOk(properties_.bubbleTemperature(refrigerant, pgc, &tSat), tSat))
                return KPX_PROPERTIES_FAILED;
            if (tgcK >= tSat)
                return KPX_GAS_COOLER_OUTLET_VAPOUR;
        }
        double hOut = 0, hIn = 0, s = 0, rho = 0;
        if (!propertyOk(states_.stateTP(refrigerant, tgcK, pgc, &hOut, &s, &rho), hOut))
            return KPX_PROPERTIES_FAILED;
        hIn = hOut;
        if (hasLiquidLine() && x.liquidLine != x.tgc &&
            !propertyOk(states_.stateTP(refrigerant, x.liquidLine + kKelvin, pgc, &hIn, &s, &rho),
                        hIn))
            return KPX_PROPERTIES_FAILED;

        RatingCode working = x.sh2 < x.sh1 ? KPX_SH2_BELOW_SH1 : KPX_CLEAN;
        double capacity = 0, ratedOutlet = 0;
        if (given(model_.qTgc)) {
            // The curve in Te and pgc holds at its own outlet temperature, which must be no
            // vapour at pgc: below the critical pressure, under its saturation temperature.
            const double ratedK = model_.qTgc + kKelvin;
            if (pgc < pCrit_ && !(ratedK < tSat))
                return KPX_GAS_COOLER_PRESSURE_LOW;
            ratedOutlet = hOut;
            if (model_.qTgc != x.tgc &&
                !propertyOk(states_.stateTP(refrigerant, ratedK, pgc, &ratedOutlet, &s, &rho),
                            ratedOutlet))
                return KPX_PROPERTIES_FAILED;
            capacity = capacityPolynomial(model_.q, x.te, pgc);
        } else {
            // The curve holds the mass flow of its outlet states; beyond its enthalpy range
            // the mass flow at the range's end stands for it.
            double hCurve = hOut + shift_;
            if (given(model_.hLow) && hCurve < model_.hLow) {
                hCurve = model_.hLow;
                working = KPX_GAS_COOLER_ENTHALPY_OUTSIDE;
            } else if (given(model_.hHig) && hCurve > model_.hHig) {
                hCurve = model_.hHig;
                working = KPX_GAS_COOLER_ENTHALPY_OUTSIDE;
            }
            ratedOutlet = hCurve - shift_;
            capacity = capacityPolynomial(model_.q, x.te, hCurve);
        }
        const double ratedEffect = hBase_ - ratedOutlet;
        if (!(ratedEffect > 0))
            return KPX_PROPERTIES_FAILED;
        const double massFlow = capacity / ratedEffect * vBase_ / v_;
        r.massFlow = massFlow;
        r.capacity = massFlow * (h1_ - hIn);
        r.power = powerPolynomial(model_.p, x.te, pgc);
        r.cop = r.capacity / r.power;
        for (const double v : {r.massFlow, r.capacity, r.power, r.cop})
            if (!std::isfinite(v))
                return KPX_PROPERTIES_FAILED;
        r.suctionPressure = pe_;
        r.gasCoolerPressure = pgc;
        r.gasCoolerOutletTemperature = x.tgc;
        r.gasCoolerOutletEnthalpy = hOut + shift_;
        r.evaporatorInletEnthalpy = hIn + shift_;
        r.pressureRatio = ratio;
        r.criticalPressure = pCrit_;
        if (given(model_.tdMax))
            r.maxDischargeTemperature = model_.tdMax;
        if (full && massFlow > 0) {
            // The gas leaves with what stays of the power input after the shell's loss.
            const double kept = r.power * (1 - heatLossFraction(model_.technology));
            const double h2 = hInlet_ + kept / massFlow;
            r.heatRejection = massFlow * (h2 - hOut);
            r.dischargeTemperature = temperatureAt(pgc, h2, tgcK, hOut) - kKelvin;
            if (given(model_.tdMax) && r.dischargeTemperature > model_.tdMax)
                working = KPX_ABOVE_MAX_DISCHARGE;
        }
        return working;
    }

    // The temperature (K) at pressure p where the enthalpy is h, above `known` (a state of
    // that isobar with enthalpy hKnown below h): a bracket widened upwards, then regula
    // falsi (Illinois). NaN where a property call fails or no bracket is found.
    double temperatureAt(double p, double h, double known, double hKnown) {
        double s = 0, rho = 0, direct = 0;
        if (propertyOk(states_.vapourStatePH(refrigerant_, p, h, &direct, &s), direct) &&
            direct > known)
            return direct;
        const auto excess = [&](double t, double& out) {
            double ht = 0;
            if (!propertyOk(states_.stateTP(refrigerant_, t, p, &ht, &s, &rho), ht))
                return false;
            out = ht - h;
            return true;
        };
        double a = known, fa = hKnown - h;
        if (!(fa < 0))
            return fa == 0 ? a : kNaN;
        // The first step from a heat capacity of 1.5 kJ/(kg K), usual for the hot gas.
        double b = a, fb = fa;
        for (double step = std::clamp((h - hKnown) / 1500, 5.0, 200.0); fb < 0; step *= 2) {
            a = b;
            fa = fb;
            b = a + step;
            if (b > 1500 || !excess(b, fb))
                return kNaN;
        }
        int side = 0;
        // To a ten-thousandth of a kelvin, or a tenth of a J/kg.
        for (int i = 0; i < 100 && b - a > 1e-4; ++i) {
            const double c = (a * fb - b * fa) / (fb - fa);
            double fc = 0;
            if (!excess(c, fc))
                return kNaN;
            if (std::fabs(fc) < 0.1)
                return c;
            if (fc < 0) {
                a = c;
                fa = fc;
                if (side == -1)
                    fb /= 2;
                side = -1;
            } else {
                b = c;
                fb = fc;
                if (side == 1)
                    fa /= 2;
                side = 1;
            }
        }
        return std::fabs(fa) < std::fabs(fb) ? a : b;
    }

    const GasCoolerColumns& model_;
    const char* refrigerant_;
    GasCoolerPoint point_;
    PropertyProvider& properties_;
    StateProperties& states_;
    double pe_ = 0, h1_ = 0, hInlet_ = 0, v_ = 0, hBase_ = 0, vBase_ = 0, shift_ = 0;
    double tCrit_ = 0, pCrit_ = 0;
};

} // namespace

bool GasCoolerColumns::present() const {
    const auto complete = [](const std::array<double, 10>& k) {
        return std::none_of(k.begin(), k.end(), [](double x) { return x == NoValue; });
    };
    return complete(q) && complete(p) && given(shBase) && given(teLow) && given(teHig) &&
           given(pLow) && given(pHig);
}

KPX_TranscriticalResult noTranscriticalResult() {
    KPX_TranscriticalResult r;
    for (double* x :
         {&r.capacity, &r.power, &r.cop, &r.massFlow, &r.suctionPressure, &r.gasCoolerPressure,
          &r.gasCoolerOutletTemperature, &r.gasCoolerOutletEnthalpy, &r.evaporatorInletEnthalpy,
          &r.pressureRatio, &r.dischargeTemperature, &r.maxDischargeTemperature, &r.heatRejection,
          &r.criticalPressure})
        *x = kNaN;
    r.code = KPX_NOT_FOUND;
    return r;
}

KPX_TranscriticalResult rateTranscritical(const GasCoolerColumns& model, const char* refrigerant,
                                          const GasCoolerPoint& point, PropertyProvider& properties,
                                          StateProperties& states, const char* dataDirectory) {
    Cycle cycle(model, refrigerant, point, properties, states);
    if (const RatingCode refused = cycle.prepare(dataDirectory, true); refused != 0) {
        KPX_TranscriticalResult r = noTranscriticalResult();
        r.code = refused;
        return r;
    }
    return cycle.at(point.pgc, true);
}

KPX_TranscriticalResult
optimumGasCoolerPressure(const GasCoolerColumns& model, const char* refrigerant,
                         const GasCoolerPoint& point, PropertyProvider& properties,
                         StateProperties& states, const char* dataDirectory) {
    KPX_TranscriticalResult none = noTranscriticalResult();
    Cycle cycle(model, refrigerant, point, properties, states);
    if (const RatingCode refused = cycle.prepare(dataDirectory, false); refused != 0) {
        none.code = refused;
        return none;
    }
    const auto [low, high] = cycle.pressureRange();
    none.code = KPX_NO_PRESSURE_IN_ENVELOPE;
    if (!(low <= high))
        return none;
    const auto cop = [&](double p) {
        const KPX_TranscriticalResult r = cycle.at(p, false);
        if (r.code < 0)
            none.code = r.code;
        return r.code >= 0 ? r.cop : -std::numeric_limits<double>::infinity();
    };
    // A scan brackets the best pressure, so that a COP with more than one hump over the
    // range still finds the highest; then the bracket is narrowed by golden sections.
    constexpr int kScan = 8;
    std::array<double, kScan + 1> scanned{};
    int best = 0;
    for (int i = 0; i <= kScan; ++i) {
        scanned[i] = cop(low + (high - low) * i / kScan);
        if (scanned[i] > scanned[best])
            best = i;
    }
    if (!std::isfinite(scanned[best]))
        return none; // with the refusal of the last pressure tried
    double a = low + (high - low) * std::max(best - 1, 0) / kScan;
    double b = low + (high - low) * std::min(best + 1, kScan) / kScan;
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double c = b - ratio * (b - a), d = a + ratio * (b - a);
    double fc = cop(c), fd = cop(d);
    while (b - a > 1e-6 * (high - low) + 1e-3) {
        if (fc >= fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - ratio * (b - a);
            fc = cop(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + ratio * (b - a);
            fd = cop(d);
        }
    }
    double pBest = fc >= fd ? c : d;
    double fBest = std::max(fc, fd);
    // The scan's own best point (an end of the range, say) where the sections found less.
    const double pScan = low + (high - low) * best / kScan;
    if (scanned[best] > fBest)
        pBest = pScan;
    return cycle.at(pBest, true);
}

} // namespace kpx

#include "kv/gascooler.h"

#include "kv/calcrun.h"
#include "kv/displaytext.h"
#include "kv/envelope.h"
#include "kv/units.h"

#include <cmath>
#include <limits>

namespace kv {

std::optional<GasCoolerRange> gasCoolerRange(const EngineApi& api, int32_t model) {
    // An engine without the transcritical exports shows no model as transcritical.
    if (api.KPX_RatingTranscritical == nullptr || api.KPX_OptimumGasCoolerPressure == nullptr)
        return std::nullopt;
    const auto value = [&](const char* column) {
        return parseNumber(modelData(api, model, column), NumberFormat::english());
    };
    const auto teLow = value("GcTeLow"), teHig = value("GcTeHig"), pLow = value("GcPLow"),
               pHig = value("GcPHig"), q0 = value("GcQ0"), p0 = value("GcP0");
    if (!teLow || !teHig || !pLow || !pHig || !q0 || !p0 || !(*teLow < *teHig) ||
        !(*pLow > 0 && *pLow < *pHig) || !std::isfinite(*teHig) || !std::isfinite(*pHig))
        return std::nullopt;
    return GasCoolerRange{*teLow, *teHig, *pLow, *pHig};
}

GasCoolerTable gasCoolerTable(const EngineApi& api, int32_t model, double te, double tgc,
                              double sh1, double sh2, const std::vector<double>& pressures) {
    constexpr double kNoLiquidLine = std::numeric_limits<double>::quiet_NaN();
    GasCoolerTable t;
    for (const double p : pressures) {
        KPX_TranscriticalResult r{};
        r.code =
            api.KPX_RatingTranscritical(model, "", "", 0, te, p, tgc, sh1, sh2, kNoLiquidLine, &r);
        t.rows.push_back(r);
    }
    t.optimum.code = api.KPX_OptimumGasCoolerPressure(model, "", "", 0, te, tgc, sh1, sh2,
                                                      kNoLiquidLine, &t.optimum);
    return t;
}

std::vector<GasCoolerEdge> gasCoolerRegion(const EngineApi& api, int32_t model,
                                           const GasCoolerRange& range, double tgc, double sh1,
                                           double sh2, int steps) {
    constexpr double kNoLiquidLine = std::numeric_limits<double>::quiet_NaN();
    std::vector<GasCoolerEdge> edges;
    for (int i = 0; i <= steps; ++i) {
        const double te = range.teLow + (range.teHig - range.teLow) * i / steps;
        GasCoolerEdge e{te, NAN, NAN};
        for (int j = 0; j <= steps; ++j) {
            const double p = range.pLow + (range.pHig - range.pLow) * j / steps;
            KPX_TranscriticalResult r{};
            if (api.KPX_RatingTranscritical(model, "", "", 0, te, p, tgc, sh1, sh2, kNoLiquidLine,
                                            &r) < 0)
                continue;
            if (std::isnan(e.pLow))
                e.pLow = p;
            e.pHig = p;
        }
        if (!std::isnan(e.pLow))
            edges.push_back(e);
    }
    return edges;
}

std::vector<double> pressureSteps(double from, double to, double step, int maxRows) {
    std::vector<double> out;
    if (!(from <= to) || !(step > 0) || !std::isfinite(from) || !std::isfinite(to))
        return out;
    // Counted, not summed up to: at huge pressures a small step adds nothing.
    const double span = (to - from) / step;
    if (!(span < maxRows))
        return out;
    const int last = static_cast<int>(std::floor(span + 1e-9));
    for (int i = 0; i <= last; ++i)
        out.push_back(from + step * i);
    if (out.back() < to - step * 1e-9)
        out.push_back(to);
    return out;
}

std::string transcriticalReason(int32_t code) {
    switch (code) {
    case KPX_NO_GAS_COOLER_CURVES:
        return "the model has no transcritical curves";
    case KPX_GAS_COOLER_OUTLET_VAPOUR:
        return "gas-cooler pressure below the critical pressure with the outlet at or above "
               "its saturation temperature (not condensed)";
    case KPX_GAS_COOLER_BELOW_SUCTION:
        return "gas-cooler outlet temperature not above the evaporating temperature";
    case KPX_GAS_COOLER_PRESSURE_LOW:
        return "gas-cooler pressure below the model's range";
    case KPX_GAS_COOLER_PRESSURE_HIGH:
        return "gas-cooler pressure above the model's range or maximum discharge pressure";
    case KPX_PRESSURE_RATIO_TOO_HIGH:
        return "pressure ratio above the model's maximum";
    case KPX_LIQUID_LINE_INVALID:
        return "liquid line temperature above the gas-cooler outlet or not above Te";
    case KPX_NO_PRESSURE_IN_ENVELOPE:
        return "no gas-cooler pressure of the model's envelope serves this outlet temperature";
    case KPX_GAS_COOLER_ENTHALPY_OUTSIDE:
        return "outlet enthalpy beyond the capacity curve's range: its mass flow at the "
               "range's end";
    case KPX_ABOVE_MAX_DISCHARGE:
        return "discharge temperature above the model's maximum";
    default:
        return ratingReason(code);
    }
}

} // namespace kv

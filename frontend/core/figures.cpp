#include "kv/figures.h"

#include <cmath>

namespace kv {
namespace {

std::optional<double> present(double x) {
    return std::isfinite(x) ? std::optional<double>(x) : std::nullopt;
}

} // namespace

RatingFigures rateFigures(const EngineApi& api, int32_t model, double te, double tc,
                          const ConditionValues& at, UnitSystem units) {
    RatingFigures r;
    if (api.KPX_RatingFigures == nullptr)
        return r;
    KPX_Figures f;
    r.code = api.KPX_RatingFigures(model, "", "", 0, te, tc, at.sc, at.sh1, at.sh2, &f);
    r.status = f.status;
    r.flags = f.flags;
    const bool imperial = units == UnitSystem::Imperial;
    const auto pressure = [imperial](double pa) { return imperial ? pa / kPascalsPerPsi : pa; };
    const auto temperature = [imperial](double c) { return imperial ? celsiusToFahrenheit(c) : c; };
    const auto heat = [imperial](double w) { return imperial ? wattsToBtuh(w) : w; };
    r.values = {present(pressure(f.suctionPressure)),
                present(pressure(f.dischargePressure)),
                present(f.pressureRatio),
                present(temperature(f.suctionGasTemperature)),
                present(temperature(f.dischargeTemperature)),
                present(heat(f.heatRejection)),
                present(f.isentropicEfficiency),
                present(f.volumetricEfficiency),
                present(f.heatingCop)};
    return r;
}

std::vector<std::string> figureWarnings(const RatingFigures& r) {
    std::vector<std::string> w;
    if (r.aboveMaxDischarge())
        w.emplace_back(kAboveMaxDischargeReason);
    if ((r.flags & KPX_FIGURE_ISENTROPIC_IMPLAUSIBLE) != 0)
        w.push_back("isentropic " + std::string(kImplausibleEfficiencyReason));
    if ((r.flags & KPX_FIGURE_VOLUMETRIC_IMPLAUSIBLE) != 0)
        w.push_back("volumetric " + std::string(kImplausibleEfficiencyReason));
    return w;
}

ExtraFigure tableFigure(const EngineApi& api, int32_t model, const PerfTable& table, Figure f) {
    ExtraFigure extra{figureHeading(f, table.units), figureDecimals(f, table.units), {}, {}};
    for (const double te : table.te)
        for (const double tc : table.tc) {
            const ConditionValues engine = toEngineUnits({te, tc, 0, 0, 0}, table.units);
            const RatingFigures r =
                rateFigures(api, model, engine.te, engine.tc, table.at, table.units);
            extra.values.push_back(r.code >= 0 ? r[f] : std::nullopt);
            std::string text;
            for (const std::string& w : figureWarnings(r))
                text += (text.empty() ? "" : "; ") + w;
            extra.warnings.push_back(r.code >= 0 ? text : std::string());
        }
    return extra;
}

std::optional<Figure> figureNamed(std::string_view name) {
    for (std::size_t i = 0; i < kFigureCount; ++i)
        if (kFigureNames[i] == name)
            return static_cast<Figure>(i);
    return std::nullopt;
}

std::string figureHeading(Figure f, UnitSystem units) {
    const bool imperial = units == UnitSystem::Imperial;
    const std::string pressure = imperial ? " (psia)" : " (Pa)";
    const std::string temperature = imperial ? " (°F)" : " (°C)";
    switch (f) {
    case Figure::SuctionPressure:
        return "Suction pressure" + pressure;
    case Figure::DischargePressure:
        return "Discharge pressure" + pressure;
    case Figure::PressureRatio:
        return "Pressure ratio";
    case Figure::SuctionGasTemperature:
        return "Suction gas temperature" + temperature;
    case Figure::DischargeTemperature:
        return "Discharge temperature" + temperature;
    case Figure::HeatRejection:
        return std::string("Heat rejection") + (imperial ? " (Btu/h)" : " (W)");
    case Figure::IsentropicEfficiency:
        return "Isentropic efficiency";
    case Figure::VolumetricEfficiency:
        return "Volumetric efficiency";
    case Figure::HeatingCop:
        return "Heating COP";
    }
    return {};
}

int figureDecimals(Figure f, UnitSystem units) {
    switch (f) {
    case Figure::SuctionPressure:
    case Figure::DischargePressure:
        return units == UnitSystem::Imperial ? 2 : 0; // psia, Pa
    case Figure::HeatRejection:
        return 0;
    case Figure::SuctionGasTemperature:
    case Figure::DischargeTemperature:
        return 1;
    default:
        return 2;
    }
}

} // namespace kv

// The figures of a rating besides capacity (KPX_RatingFigures) in the units shown, by the
// names that scripts read them by: the JSON keys of `rate` and the names of `table --show`.
#pragma once

#include "kv/binding.h"
#include "kv/perftable.h"
#include "kv/units.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class Figure {
    SuctionPressure = 0,
    DischargePressure,
    PressureRatio,
    SuctionGasTemperature,
    DischargeTemperature,
    HeatRejection,
    IsentropicEfficiency,
    VolumetricEfficiency,
    HeatingCop,
};
inline constexpr std::size_t kFigureCount = 9;
inline constexpr std::array<std::string_view, kFigureCount> kFigureNames = {
    "suctionPressure",       "dischargePressure",    "pressureRatio",
    "suctionGasTemperature", "dischargeTemperature", "heatRejection",
    "isentropicEfficiency",  "volumetricEfficiency", "heatingCop"};
// The key of the flag that tells an estimated discharge temperature.
inline constexpr std::string_view kDischargeEstimatedName = "dischargeTemperatureEstimated";
// The warning of a point whose discharge temperature exceeds the model's maximum.
inline constexpr std::string_view kAboveMaxDischargeReason =
    "discharge temperature above the model's maximum";
// The note of an isentropic efficiency above 1: the catalogue's data can't be right.
inline constexpr std::string_view kImplausibleEfficiencyReason =
    "efficiency above 1: the catalogue's data are implausible";

inline constexpr double kPascalsPerPsi = 6894.757293168;

struct RatingFigures {
    int32_t code = -1;  // KPX_Rating's code
    int32_t status = 1; // KPX_FIGURES_*
    int32_t flags = 0;  // KPX_FIGURE_*
    // Display units: Pa or psia, degC or degF, W or Btu/h; none where the engine gives no
    // number (or flags it as a data problem).
    std::array<std::optional<double>, kFigureCount> values{};
    bool dischargeEstimated() const { return (flags & KPX_FIGURE_DISCHARGE_ESTIMATED) != 0; }
    bool aboveMaxDischarge() const { return (flags & KPX_FIGURE_ABOVE_MAX_DISCHARGE) != 0; }
    const std::optional<double>& operator[](Figure f) const {
        return values[static_cast<std::size_t>(f)];
    }
};

// The figures of a model (by number) at Te, Tc (engine units) and the Sc, Sh1, Sh2 of
// `at`; status NotRated when the engine has no such export.
RatingFigures rateFigures(const EngineApi& api, int32_t model, double te, double tc,
                          const ConditionValues& at, UnitSystem units);

// The warnings of a rating's figures, each its own text: above the maximum discharge
// temperature, an implausible isentropic or volumetric efficiency.
std::vector<std::string> figureWarnings(const RatingFigures& r);

// Figure `f` for every cell of `table` (of `model`), with each cell's warnings.
ExtraFigure tableFigure(const EngineApi& api, int32_t model, const PerfTable& table, Figure f);

// The figure of a name of kFigureNames, if it is one.
std::optional<Figure> figureNamed(std::string_view name);
// Its heading with its unit, e.g. "Discharge pressure (psia)".
std::string figureHeading(Figure f, UnitSystem units);
// Decimals it is shown with in a table and in CSV (JSON gives it unrounded).
int figureDecimals(Figure f, UnitSystem units);

} // namespace kv

// The texts and colours of a model's figures, as the model window and its PDF export show
// them: the figures rounded as the results grid rounds them, in the regional format.
#pragma once

#include "kv/displaytext.h"
#include "kv/figures.h"
#include "kv/perftable.h"
#include "kv/units.h"

#include <QColor>
#include <QString>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// What a model window is opened with: the model and the run's conditions.
struct ModelContext {
    ModelInfo model;
    ConditionValues conditions; // engine units
    UnitSystem units = UnitSystem::SI;
    NumberFormat format;
};

inline QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
// A catalogue text as every other output shows it (its bytes are the engine's own).
inline QString engineText(const std::string& text) {
    return utf8(displayText(text));
}

// A number rounded half-to-even to `decimals` places, grouped in the regional format.
QString groupedNumber(double value, int decimals, const NumberFormat& fmt);
// A figure in the regional format, rounded as the results grid rounds it.
QString figureText(double value, Quantity q, const NumberFormat& fmt);
QString temperatureText(double value, const NumberFormat& fmt);

// A table cell's text: the figure, marked with "*" for a warning; empty when refused.
QString cellText(const TableCell& c, Quantity q, const NumberFormat& fmt);
// A cell's background: grey refused, amber warning, blue on the operating point's row or
// column (darker at the point itself), white otherwise.
QColor cellColour(const TableCell& c, bool onRow, bool onColumn);
// "Warning: ..." or "Refused: ..." with the engine's reason; empty for a clean cell.
QString cellReason(const TableCell& c);

// What a performance table shows: one of the five quantities, or (none) the figure beyond
// the rating that the table carries as its extra figure. `figure` names that one for the
// reason of a cell without it.
struct TableShown {
    std::optional<Quantity> quantity;
    std::optional<Figure> figure;
};
// The choices of the model window's "Show" list: the five quantities, then every figure.
inline TableShown shownChoice(int index) {
    if (index < kQuantities)
        return {static_cast<Quantity>(std::max(0, index)), std::nullopt};
    return {std::nullopt, static_cast<Figure>(index - kQuantities)};
}
// Cell (i, j) of the table as shown: its text ("*" marks a warning of the rating or of the
// figure), its background and the reasons of its tooltip (each on a line of its own).
QString shownCellText(const PerfTable& t, std::size_t i, std::size_t j, const TableShown& shown,
                      const NumberFormat& fmt);
QColor shownCellColour(const PerfTable& t, std::size_t i, std::size_t j, const TableShown& shown,
                       bool onRow, bool onColumn);
QString shownCellReason(const PerfTable& t, std::size_t i, std::size_t j, const TableShown& shown);
// The heading of what is shown, with its unit.
QString shownHeading(const PerfTable& t, const TableShown& shown);

// "Discharge temperature (°C): 71.3 (estimated)", "Suction pressure (bar): 2.93": a figure
// of a rating as its heading and value, pressures in bar in SI; "-" where there is none.
QString pointFigureText(const RatingFigures& r, Figure f, const ModelContext& context);
// The operating point's suction and discharge pressures (bar or psia), pressure ratio and
// discharge temperature ("(estimated)" where it comes from the energy balance), with the
// figures' warnings; empty where the engine gives no figures.
QString pressuresText(const RatingFigures& r, const ModelContext& context);

// "Te 5 °C, Tc 50 °C, Sc 0 K, Sh1 10 K, Sh2 10 K"
QString conditionsText(const ModelContext& context);

} // namespace kv

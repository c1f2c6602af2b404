// The texts and colours of a model's figures, as the model window and its PDF export show
// them: the figures rounded as the results grid rounds them, in the regional format.
#pragma once

#include "kv/displaytext.h"
#include "kv/perftable.h"
#include "kv/units.h"

#include <QColor>
#include <QString>

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

// "Te 5 °C, Tc 50 °C, Sc 0 K, Sh1 10 K, Sh2 10 K"
QString conditionsText(const ModelContext& context);

} // namespace kv

#include "kv/modeltext.h"

#include "kv/envelope.h"

#include <QStringList>

namespace kv {

namespace {

const QColor kWarningCell(252, 236, 190);
const QColor kRefusedCell(236, 236, 236);
const QColor kPointLine(222, 234, 250);
const QColor kPointCell(190, 212, 245);

} // namespace

QString groupedNumber(double value, int decimals, const NumberFormat& fmt) {
    QString text = utf8(plainNumber(value, decimals));
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    QString whole = dot < 0 ? text : text.left(dot);
    const QString fraction = dot < 0 ? QString() : text.mid(dot + 1);
    const bool negative = whole.startsWith(QLatin1Char('-'));
    if (negative)
        whole.remove(0, 1);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, utf8(fmt.group));
    return (negative ? QStringLiteral("-") : QString()) + whole +
           (fraction.isEmpty() ? QString() : utf8(fmt.decimal) + fraction);
}

QString figureText(double value, Quantity q, const NumberFormat& fmt) {
    return groupedNumber(value, quantityDecimals(q), fmt);
}

QString temperatureText(double value, const NumberFormat& fmt) {
    return utf8(numberText(value, fmt));
}

QString cellText(const TableCell& c, Quantity q, const NumberFormat& fmt) {
    if (!c.rated())
        return {};
    const QString text = figureText(c.values[static_cast<std::size_t>(q)], q, fmt);
    return c.code > 0 ? text + QStringLiteral(" *") : text;
}

QColor cellColour(const TableCell& c, bool onRow, bool onColumn) {
    if (!c.rated())
        return kRefusedCell;
    if (c.code > 0)
        return kWarningCell;
    if (onRow && onColumn)
        return kPointCell;
    return onRow || onColumn ? kPointLine : QColor(Qt::white);
}

QString cellReason(const TableCell& c) {
    if (c.code == KPX_CLEAN)
        return {};
    return (c.code > 0 ? QStringLiteral("Warning: ") : QStringLiteral("Refused: ")) +
           utf8(ratingReason(c.code));
}

namespace {

// The extra figure's value and warning of cell (i, j).
std::pair<const std::optional<double>*, const std::string*> extraAt(const PerfTable& t,
                                                                    std::size_t i, std::size_t j) {
    static const std::optional<double> none;
    static const std::string noWarning;
    const std::size_t k = i * t.tc.size() + j;
    if (!t.extra || k >= t.extra->values.size() || k >= t.extra->warnings.size())
        return {&none, &noWarning};
    return {&t.extra->values[k], &t.extra->warnings[k]};
}

} // namespace

QString shownCellText(const PerfTable& t, std::size_t i, std::size_t j, const TableShown& shown,
                      const NumberFormat& fmt) {
    const TableCell& c = t.cell(i, j);
    if (shown.quantity)
        return cellText(c, *shown.quantity, fmt);
    const auto [value, warning] = extraAt(t, i, j);
    if (!c.rated() || !*value)
        return {};
    const QString text = groupedNumber(**value, t.extra->decimals, fmt);
    return c.code > 0 || !warning->empty() ? text + QStringLiteral(" *") : text;
}

QColor shownCellColour(const PerfTable& t, std::size_t i, std::size_t j, const TableShown& shown,
                       bool onRow, bool onColumn) {
    const TableCell& c = t.cell(i, j);
    if (shown.quantity || !c.rated())
        return cellColour(c, onRow, onColumn);
    const auto [value, warning] = extraAt(t, i, j);
    if (!warning->empty())
        return kWarningCell;
    return *value ? cellColour(c, onRow, onColumn) : kRefusedCell;
}

QString shownCellReason(const PerfTable& t, std::size_t i, std::size_t j, const TableShown& shown) {
    const TableCell& c = t.cell(i, j);
    QString reason = cellReason(c);
    if (shown.quantity || !c.rated())
        return reason;
    const auto [value, warning] = extraAt(t, i, j);
    const auto add = [&reason](const QString& line) {
        reason += (reason.isEmpty() ? QString() : QStringLiteral("\n")) + line;
    };
    if (!warning->empty())
        add(QStringLiteral("Warning: ") + utf8(*warning));
    if (!*value && warning->empty())
        add(shown.figure == Figure::VolumetricEfficiency
                ? QStringLiteral("No volumetric efficiency: the catalogue gives this model no "
                                 "displacement.")
                : QStringLiteral("No figure: the engine could not compute it at this point."));
    return reason;
}

QString shownHeading(const PerfTable& t, const TableShown& shown) {
    if (shown.quantity)
        return utf8(quantityHeading(*shown.quantity, t.units));
    return t.extra ? utf8(t.extra->heading) : QString();
}

QString pointFigureText(const RatingFigures& r, Figure f, const ModelContext& context) {
    const bool imperial = context.units == UnitSystem::Imperial;
    const bool pressure = f == Figure::SuctionPressure || f == Figure::DischargePressure;
    QString heading = utf8(figureHeading(f, context.units));
    // The figures come in Pa or psia; bar reads better than Pa beside a rating.
    if (pressure && !imperial)
        heading.replace(QStringLiteral("(Pa)"), QStringLiteral("(bar)"));
    const std::optional<double>& v = r[f];
    if (!v)
        return heading + QStringLiteral(": -");
    const double value = pressure && !imperial ? *v / 1e5 : *v;
    const int decimals = pressure && !imperial ? 2 : figureDecimals(f, context.units);
    QString text = heading + QStringLiteral(": ") + groupedNumber(value, decimals, context.format);
    if (f == Figure::DischargeTemperature && r.dischargeEstimated())
        text += QStringLiteral(" (estimated)");
    return text;
}

QString pressuresText(const RatingFigures& r, const ModelContext& context) {
    if (r.code < 0 || r.status != KPX_FIGURES_OK)
        return {};
    QStringList parts;
    for (const Figure f : {Figure::SuctionPressure, Figure::DischargePressure,
                           Figure::PressureRatio, Figure::DischargeTemperature})
        parts << pointFigureText(r, f, context);
    QString text = parts.join(QStringLiteral("   "));
    for (const std::string& w : figureWarnings(r))
        text += QStringLiteral("   (warning: ") + utf8(w) + QLatin1Char(')');
    return text;
}

QString conditionsText(const ModelContext& context) {
    const ConditionValues s = fromEngineUnits(context.conditions, context.units);
    const UnitLabels u = unitLabels(context.units);
    auto item = [&](const char* name, double v, std::string_view unit) {
        return QLatin1String(name) + QLatin1Char(' ') +
               temperatureText(roundHalfEven(v, 2), context.format) + QLatin1Char(' ') + utf8(unit);
    };
    QStringList items{item("Te", s.te, u.te), item("Tc", s.tc, u.tc), item("Sc", s.sc, u.sc),
                      item("Sh1", s.sh1, u.sh1), item("Sh2", s.sh2, u.sh2)};
    if (s.speed)
        items << QStringLiteral("speed ") + groupedNumber(*s.speed, 1, context.format) +
                     QStringLiteral(" rev/s");
    return items.join(QStringLiteral(", "));
}

} // namespace kv

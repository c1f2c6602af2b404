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

QString figureText(double value, Quantity q, const NumberFormat& fmt) {
    const int decimals = quantityDecimals(q);
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

QString conditionsText(const ModelContext& context) {
    const ConditionValues s = fromEngineUnits(context.conditions, context.units);
    const UnitLabels u = unitLabels(context.units);
    auto item = [&](const char* name, double v, std::string_view unit) {
        return QLatin1String(name) + QLatin1Char(' ') +
               temperatureText(roundHalfEven(v, 2), context.format) + QLatin1Char(' ') + utf8(unit);
    };
    return QStringList{item("Te", s.te, u.te), item("Tc", s.tc, u.tc), item("Sc", s.sc, u.sc),
                       item("Sh1", s.sh1, u.sh1), item("Sh2", s.sh2, u.sh2)}
        .join(QStringLiteral(", "));
}

} // namespace kv

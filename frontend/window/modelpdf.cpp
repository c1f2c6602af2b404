#include "modelpdf.h"

#include "diagramview.h"

#include <QDateTime>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kv {

QString writeModelPdf(const QString& path, const ModelSheet& sheet) {
    const ModelContext& context = sheet.context;
    const PerfTable& table = sheet.table;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(72); // drawing units are points
        pdf.setTitle(engineText(context.model.name) + QStringLiteral(" data sheet"));
        pdf.setCreator(QStringLiteral("Korvane Vantrix"));
        QPainter p(&pdf);
        const double margin = 36, width = 595 - 2 * margin;
        double y = margin;
        auto font = [&](double size, bool bold) {
            QFont f(QStringLiteral("Liberation Sans"));
            f.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
            f.setBold(bold);
            p.setFont(f);
        };
        p.setPen(Qt::black);
        font(18, true);
        p.drawText(QPointF(margin, y + 16), engineText(context.model.name));
        font(8, false);
        p.drawText(QRectF(margin, y, width, 20), Qt::AlignRight | Qt::AlignTop,
                   QStringLiteral("Korvane Vantrix - model data sheet\n") +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        y += 26;
        const ModelInfo& m = context.model;
        const std::pair<QString, QString> facts[] = {
            {QStringLiteral("Refrigerant"), engineText(m.refrigerant)},
            {QStringLiteral("Family"),
             engineText(m.family) +
                 (m.technology.empty()
                      ? QString()
                      : QStringLiteral(" (") + utf8(m.technology) + QLatin1Char(')'))},
            {QStringLiteral("Supply"), engineText(m.voltage)},
            {QStringLiteral("Conditions"), conditionsText(context)},
        };
        for (const auto& [key, value] : facts) {
            font(9, true);
            p.drawText(QPointF(margin, y + 9), key);
            font(9, false);
            p.drawText(QPointF(margin + 70, y + 9), value);
            y += 13;
        }
        // The rated figures as a row of labelled boxes.
        y += 4;
        const auto values = displayValues(sheet.rated, context.units);
        const double boxW = width / kQuantities;
        for (int q = 0; q < kQuantities; ++q) {
            const auto quantity = static_cast<Quantity>(q);
            const QRectF box(margin + q * boxW, y, boxW - 4, 34);
            p.setPen(QPen(QColor(150, 150, 150), 0.6));
            p.setBrush(QColor(244, 247, 252));
            p.drawRect(box);
            p.setPen(Qt::black);
            font(7.5, false);
            p.drawText(box.adjusted(4, 3, -4, 0), Qt::AlignLeft | Qt::AlignTop,
                       utf8(quantityHeading(quantity, context.units)));
            font(12, true);
            p.drawText(box.adjusted(4, 0, -4, -4), Qt::AlignLeft | Qt::AlignBottom,
                       sheet.rated.code >= 0 ? figureText(values[static_cast<std::size_t>(q)],
                                                          quantity, context.format)
                                             : QStringLiteral("-"));
        }
        y += 38;
        if (sheet.rated.code != 0) {
            font(8, false);
            p.setPen(QColor(170, 0, 0));
            p.drawText(QPointF(margin, y + 9),
                       (sheet.rated.code > 0 ? QStringLiteral("Warning: ")
                                             : QStringLiteral("Not rated: ")) +
                           utf8(ratingReason(sheet.rated.code)));
            p.setPen(Qt::black);
            y += 13;
        }

        // The envelope diagram.
        y += 6;
        font(10, true);
        p.drawText(QPointF(margin, y + 10),
                   QStringLiteral("Operating envelope at Sc, Sh1 and Sh2 of the run"));
        y += 16;
        const double diagramH = 285;
        if (sheet.envelope.anyRated) {
            p.save();
            p.translate(margin, y);
            paintDrawing(p, envelopeDrawing(sheet.envelope, context.conditions, context.units,
                                            width, diagramH, 0.8));
            p.restore();
        } else {
            font(9, false);
            p.drawText(
                QRectF(margin, y, width, diagramH), Qt::AlignCenter | Qt::TextWordWrap,
                QStringLiteral("The engine refuses every point of this model: its catalogue entry "
                               "holds no usable envelope data."));
        }
        y += diagramH + 8;

        // The performance tables: one per quantity, two side by side.
        font(10, true);
        p.drawText(QPointF(margin, y + 10),
                   QStringLiteral("Performance table (rows Te, columns Tc, ") +
                       utf8(unitLabels(context.units).te) + QLatin1Char(')'));
        y += 16;
        const double footer = 842 - margin - 12;
        const double tableW = (width - 12) / 2;
        const double tableH = (footer - y - 2 * 8) / 3;
        const std::size_t rows = table.te.size(), columns = table.tc.size();
        for (int q = 0; q < kQuantities; ++q) {
            const auto quantity = static_cast<Quantity>(q);
            const double x0 = margin + (q % 2) * (tableW + 12);
            const double y0 = y + (q / 2) * (tableH + 8);
            const double cellW = tableW / static_cast<double>(columns + 1);
            const double cellH = std::min(12.0, (tableH - 12) / static_cast<double>(rows + 1));
            const double size = std::max(1.0, std::min({7.0, cellH * 0.7, cellW / 5.0}));
            font(8, true);
            p.drawText(QPointF(x0, y0 + 8), utf8(quantityHeading(quantity, context.units)));
            const double top = y0 + 12;
            for (std::size_t i = 0; i <= rows; ++i)
                for (std::size_t j = 0; j <= columns; ++j) {
                    const QRectF cell(x0 + static_cast<double>(j) * cellW,
                                      top + static_cast<double>(i) * cellH, cellW, cellH);
                    QString text;
                    QColor fill = Qt::white;
                    bool boldCell = false;
                    if (i == 0 && j == 0) {
                        text = QStringLiteral("Te \\ Tc");
                        fill = QColor(230, 230, 230);
                    } else if (i == 0) {
                        text = temperatureText(table.tc[j - 1], context.format);
                        fill = QColor(230, 230, 230);
                        boldCell = static_cast<int>(j - 1) == table.pointColumn;
                    } else if (j == 0) {
                        text = temperatureText(table.te[i - 1], context.format);
                        fill = QColor(230, 230, 230);
                        boldCell = static_cast<int>(i - 1) == table.pointRow;
                    } else {
                        const TableCell& c = table.cell(i - 1, j - 1);
                        text = cellText(c, quantity, context.format);
                        const bool onRow = static_cast<int>(i - 1) == table.pointRow;
                        const bool onColumn = static_cast<int>(j - 1) == table.pointColumn;
                        fill = cellColour(c, onRow, onColumn);
                        boldCell = onRow && onColumn;
                    }
                    p.setPen(QPen(QColor(170, 170, 170), 0.4));
                    p.setBrush(fill);
                    p.drawRect(cell);
                    p.setPen(Qt::black);
                    font(size, boldCell);
                    p.drawText(cell.adjusted(1, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter, text);
                }
        }
        // The legend in the sixth place, and the footer.
        const double lx = margin + tableW + 12, ly = y + 2 * (tableH + 8);
        font(7.5, false);
        std::vector<int32_t> codes;
        for (const TableCell& c : table.cells)
            if (c.code != 0 && std::find(codes.begin(), codes.end(), c.code) == codes.end())
                codes.push_back(c.code);
        std::sort(codes.begin(), codes.end());
        QString legend =
            QStringLiteral("* rated with a warning; grey: refused; blue: the operating "
                           "point's row and column.");
        for (int32_t code : codes)
            legend += QStringLiteral("\nCode %1: %2").arg(code).arg(utf8(ratingReason(code)));
        p.drawText(QRectF(lx, ly, tableW, tableH), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   legend);
        font(7, false);
        p.setPen(QColor(90, 90, 90));
        p.drawText(
            QRectF(margin, footer, width, 12), Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral(
                "Figures from the catalogue's polynomials, corrected to the run's subcooling and "
                "superheats. Envelope as the rating engine classifies it (to 0.1 K)."));
        if (!p.end())
            return QStringLiteral("the PDF could not be written");
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace kv

#include "kv/modelpdf.h"

#include "kv/diagramview.h"

#include <QDateTime>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kv {

namespace {

constexpr double kPageWidth = 595, kPageHeight = 842, kMargin = 36;
constexpr double kWidth = kPageWidth - 2 * kMargin;
constexpr double kFooterTop = kPageHeight - kMargin - 12;
constexpr double kSlotGap = 12, kRowGap = 8;
// The half of the width that a narrow table takes, two side by side.
constexpr double kHalfWidth = (kWidth - kSlotGap) / 2;
// The tables' text is never smaller than this; a table too wide or too long for it is
// split over several parts.
constexpr double kTableTextSize = 7;
constexpr double kCellHeight = 12, kTitleHeight = 12, kContinuedHeight = 16;
constexpr double kKeyTextSize = 7.5;

void setFont(QPainter& p, double size, bool bold) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    f.setBold(bold);
    p.setFont(f);
}

void drawFooter(QPainter& p) {
    setFont(p, 7, false);
    p.setPen(QColor(90, 90, 90));
    p.drawText(QRectF(kMargin, kFooterTop, kWidth, 12), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral(
                   "Figures from the catalogue's polynomials, corrected to the run's subcooling "
                   "and superheats. Envelope as the rating engine classifies it (to 0.1 K)."));
    p.setPen(Qt::black);
}

// The performance tables, one per quantity: two side by side where a table fits half the
// width at the tables' text size, else the whole width, split into parts of columns (and
// of rows for a table longer than a page) where even that is too small. Parts flow onto
// new pages; each page ends with the key of the codes its cells use.
class TablePages {
public:
    TablePages(QPdfWriter& pdf, QPainter& p, const ModelContext& context, const PerfTable& table)
        : pdf_(pdf), p_(p), context_(context), table_(table) {}

    void write(double top);

private:
    struct Part {
        TableShown shown;
        std::size_t row0, row1, column0, column1; // half-open ranges of the table
        std::vector<int32_t> codes;               // the non-zero codes of its cells, sorted
        double width = 0, height = 0;
    };

    void layOut();
    QString cellString(std::size_t i, std::size_t j, const TableShown& shown, bool& bold,
                       QColor& fill) const;
    // The five quantities and the table's extra figure where it has one.
    std::vector<TableShown> shownTables() const;
    QString keyText(const std::vector<int32_t>& codes) const;
    double keyHeight(const std::vector<int32_t>& codes, double width);
    bool place(const Part& part, bool force);
    void drawPart(const Part& part, double x, double y);
    void endPage();

    QPdfWriter& pdf_;
    QPainter& p_;
    const ModelContext& context_;
    const PerfTable& table_;

    bool half_ = true;
    double cellWidth_ = 0;
    std::vector<Part> parts_;

    // The page being filled: the current row of parts, the codes of the parts on it.
    double rowTop_ = 0, rowBottom_ = 0;
    int slot_ = -1; // -1 no part on the row yet; 0 the left slot is taken; 1 the row is full
    bool freshPage_ = false;
    std::vector<int32_t> pageCodes_;
};

std::vector<TableShown> TablePages::shownTables() const {
    std::vector<TableShown> shown;
    for (int q = 0; q < kQuantities; ++q)
        shown.push_back({static_cast<Quantity>(q), std::nullopt});
    if (table_.extra)
        shown.push_back({std::nullopt, std::nullopt});
    return shown;
}

QString TablePages::cellString(std::size_t i, std::size_t j, const TableShown& shown, bool& bold,
                               QColor& fill) const {
    bold = false;
    fill = QColor(230, 230, 230);
    if (i == 0 && j == 0)
        return QStringLiteral("Te \\ Tc");
    if (i == 0) {
        bold = static_cast<int>(j - 1) == table_.pointColumn;
        return temperatureText(table_.tc[j - 1], context_.format);
    }
    if (j == 0) {
        bold = static_cast<int>(i - 1) == table_.pointRow;
        return temperatureText(table_.te[i - 1], context_.format);
    }
    const bool onRow = static_cast<int>(i - 1) == table_.pointRow;
    const bool onColumn = static_cast<int>(j - 1) == table_.pointColumn;
    fill = shownCellColour(table_, i - 1, j - 1, shown, onRow, onColumn);
    bold = onRow && onColumn;
    return shownCellText(table_, i - 1, j - 1, shown, context_.format);
}

QString TablePages::keyText(const std::vector<int32_t>& codes) const {
    QString key = QStringLiteral("* rated with a warning; grey: refused; blue: the operating "
                                 "point's row and column.");
    for (int32_t code : codes)
        key += QStringLiteral("\nCode %1: %2").arg(code).arg(utf8(ratingReason(code)));
    return key;
}

double TablePages::keyHeight(const std::vector<int32_t>& codes, double width) {
    setFont(p_, kKeyTextSize, false);
    return p_
        .boundingRect(QRectF(0, 0, width, 1e6), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                      keyText(codes))
        .height();
}

void TablePages::layOut() {
    const std::size_t rows = table_.te.size(), columns = table_.tc.size();
    if (rows == 0 || columns == 0)
        return;
    // The narrowest cell that shows every text of every quantity whole (bold, to be safe).
    setFont(p_, kTableTextSize, true);
    const QFontMetricsF metrics(p_.font(), p_.device());
    double widest = 0;
    std::vector<int32_t> allCodes;
    const std::vector<TableShown> tables = shownTables();
    for (const TableShown& shown : tables)
        for (std::size_t i = 0; i <= rows; ++i)
            for (std::size_t j = 0; j <= columns; ++j) {
                bool bold = false;
                QColor fill;
                widest = std::max(widest,
                                  metrics.horizontalAdvance(cellString(i, j, shown, bold, fill)));
            }
    for (const TableCell& c : table_.cells)
        if (c.code != KPX_CLEAN)
            allCodes.push_back(c.code);
    std::sort(allCodes.begin(), allCodes.end());
    allCodes.erase(std::unique(allCodes.begin(), allCodes.end()), allCodes.end());
    const double cellMin = widest + 4; // the text's margins in the cell

    // Columns per part: the whole table in half the width, else parts of the whole width.
    std::size_t perColumns = columns;
    half_ = static_cast<double>(columns + 1) * cellMin <= kHalfWidth;
    if (half_) {
        cellWidth_ = kHalfWidth / static_cast<double>(columns + 1);
    } else {
        const auto most = static_cast<std::size_t>(std::max(1.0, std::floor(kWidth / cellMin) - 1));
        const std::size_t count = (columns + most - 1) / most;
        perColumns = (columns + count - 1) / count;
        cellWidth_ = kWidth / static_cast<double>(perColumns + 1);
    }
    // Rows per part: what a page holds below its heading, above the key of every code.
    const double room = kFooterTop - kMargin - kContinuedHeight - kTitleHeight - kRowGap -
                        keyHeight(allCodes, kWidth);
    const auto mostRows =
        static_cast<std::size_t>(std::max(1.0, std::floor(room / kCellHeight) - 1));
    const std::size_t rowCount = (rows + mostRows - 1) / mostRows;
    const std::size_t perRows = (rows + rowCount - 1) / rowCount;

    for (const TableShown& shown : tables)
        for (std::size_t r = 0; r < rows; r += perRows)
            for (std::size_t c = 0; c < columns; c += perColumns) {
                Part part{
                    shown, r, std::min(rows, r + perRows), c, std::min(columns, c + perColumns),
                    {}};
                for (std::size_t i = part.row0; i < part.row1; ++i)
                    for (std::size_t j = part.column0; j < part.column1; ++j)
                        if (const int32_t code = table_.cell(i, j).code; code != KPX_CLEAN)
                            part.codes.push_back(code);
                std::sort(part.codes.begin(), part.codes.end());
                part.codes.erase(std::unique(part.codes.begin(), part.codes.end()),
                                 part.codes.end());
                part.width = cellWidth_ * static_cast<double>(part.column1 - part.column0 + 1);
                part.height =
                    kTitleHeight + kCellHeight * static_cast<double>(part.row1 - part.row0 + 1);
                parts_.push_back(std::move(part));
            }
}

// Draws `part` on the page after the parts there when it fits with the key of the page's
// codes still below them (or beside it, in the free half), or when `force`d.
bool TablePages::place(const Part& part, bool force) {
    const bool right = half_ && slot_ == 0;
    const double top = right ? rowTop_ : (slot_ < 0 ? rowBottom_ : rowBottom_ + kRowGap);
    const double bottom = right ? std::max(rowBottom_, top + part.height) : top + part.height;
    std::vector<int32_t> codes = pageCodes_;
    codes.insert(codes.end(), part.codes.begin(), part.codes.end());
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    const bool keyBeside = half_ && !right && keyHeight(codes, kHalfWidth) <= kFooterTop - top;
    const bool keyBelow = bottom + kRowGap + keyHeight(codes, kWidth) <= kFooterTop;
    if (!force && (bottom > kFooterTop || !(keyBeside || keyBelow)))
        return false;
    drawPart(part, right ? kMargin + kHalfWidth + kSlotGap : kMargin, top);
    rowTop_ = top;
    rowBottom_ = bottom;
    slot_ = half_ && !right ? 0 : 1;
    pageCodes_ = std::move(codes);
    freshPage_ = false;
    return true;
}

void TablePages::drawPart(const Part& part, double x, double y) {
    QString title = shownHeading(table_, part.shown);
    const std::size_t rows = table_.te.size(), columns = table_.tc.size();
    auto range = [&](const char* name, const std::vector<double>& values, std::size_t from,
                     std::size_t to) {
        return QStringLiteral(", %1 %2 to %3")
            .arg(QLatin1String(name), temperatureText(values[from], context_.format),
                 temperatureText(values[to - 1], context_.format));
    };
    if (part.row1 - part.row0 < rows)
        title += range("Te", table_.te, part.row0, part.row1);
    if (part.column1 - part.column0 < columns)
        title += range("Tc", table_.tc, part.column0, part.column1);
    setFont(p_, 8, true);
    p_.drawText(QPointF(x, y + 8), title);
    const double top = y + kTitleHeight;
    // Row and column 0 are the headings; the others the part's rows and columns.
    for (std::size_t i = 0; i <= part.row1 - part.row0; ++i)
        for (std::size_t j = 0; j <= part.column1 - part.column0; ++j) {
            const QRectF cell(x + static_cast<double>(j) * cellWidth_,
                              top + static_cast<double>(i) * kCellHeight, cellWidth_, kCellHeight);
            bool bold = false;
            QColor fill;
            const QString text = cellString(i == 0 ? 0 : part.row0 + i,
                                            j == 0 ? 0 : part.column0 + j, part.shown, bold, fill);
            p_.setPen(QPen(QColor(170, 170, 170), 0.4));
            p_.setBrush(fill);
            p_.drawRect(cell);
            p_.setPen(Qt::black);
            setFont(p_, kTableTextSize, bold);
            p_.drawText(cell.adjusted(1, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter, text);
        }
}

// The key of the page's codes beside the last part or below the parts, and the footer.
void TablePages::endPage() {
    if (slot_ >= 0) {
        const bool beside =
            half_ && slot_ == 0 && keyHeight(pageCodes_, kHalfWidth) <= kFooterTop - rowTop_;
        const QRectF where =
            beside
                ? QRectF(kMargin + kHalfWidth + kSlotGap, rowTop_, kHalfWidth, kFooterTop - rowTop_)
                : QRectF(kMargin, rowBottom_ + kRowGap, kWidth, kFooterTop - rowBottom_ - kRowGap);
        setFont(p_, kKeyTextSize, false);
        p_.drawText(where, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, keyText(pageCodes_));
    }
    drawFooter(p_);
}

void TablePages::write(double top) {
    layOut();
    rowTop_ = rowBottom_ = top;
    for (const Part& part : parts_) {
        if (place(part, freshPage_))
            continue;
        endPage();
        pdf_.newPage();
        setFont(p_, 10, true);
        p_.drawText(QPointF(kMargin, kMargin + 10),
                    QStringLiteral("Performance table (continued)"));
        rowTop_ = rowBottom_ = kMargin + kContinuedHeight;
        slot_ = -1;
        pageCodes_.clear();
        // A fresh page takes the part even if it were taller than the page: nothing is lost.
        freshPage_ = true;
        place(part, true);
    }
    endPage();
}

// A variable-speed model's figures against speed at the operating point, on a page of
// their own: speed, capacity, power, COP and current, a refused speed's figures empty.
void drawSpeedPage(QPdfWriter& pdf, QPainter& p, const ModelContext& context,
                   const std::vector<SpeedRow>& rows) {
    pdf.newPage();
    setFont(p, 10, true);
    p.drawText(QPointF(kMargin, kMargin + 10),
               QStringLiteral("Figures against speed at the operating point"));
    const Quantity shown[] = {Quantity::Capacity, Quantity::Power, Quantity::Efficiency,
                              Quantity::Current};
    const double columnW = kWidth / (1 + std::size(shown)), rowH = 13;
    double y = kMargin + 24;
    const auto cell = [&](int column, const QString& text) {
        p.drawText(QRectF(kMargin + column * columnW, y, columnW - 6, rowH),
                   Qt::AlignRight | Qt::AlignVCenter, text);
    };
    setFont(p, 8, true);
    cell(0, QStringLiteral("Speed (rev/s)"));
    for (std::size_t c = 0; c < std::size(shown); ++c)
        cell(static_cast<int>(c) + 1, utf8(quantityHeading(shown[c], context.units)));
    y += rowH + 2;
    p.drawLine(QPointF(kMargin, y - 1), QPointF(kMargin + kWidth, y - 1));
    setFont(p, 8, false);
    for (const SpeedRow& row : rows) {
        cell(0, groupedNumber(row.speed, 1, context.format));
        const auto values = displayValues(row.rating, context.units);
        for (std::size_t c = 0; c < std::size(shown); ++c)
            cell(static_cast<int>(c) + 1,
                 row.rating.code >= 0 ? figureText(values[static_cast<std::size_t>(shown[c])],
                                                   shown[c], context.format)
                                      : QString());
        y += rowH;
    }
    drawFooter(p);
}

} // namespace

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
        // The figures beyond the rating at the point, three to a line.
        if (sheet.figures.code >= 0 && sheet.figures.status == KPX_FIGURES_OK) {
            font(7.5, false);
            for (std::size_t f = 0; f < kFigureCount; ++f) {
                const double column = static_cast<double>(f % 3) * width / 3;
                p.drawText(QPointF(margin + column, y + 8),
                           pointFigureText(sheet.figures, static_cast<Figure>(f), context));
                if (f % 3 == 2 || f + 1 == kFigureCount)
                    y += 11;
            }
            for (const std::string& w : figureWarnings(sheet.figures)) {
                p.setPen(QColor(170, 0, 0));
                p.drawText(QPointF(margin, y + 8), QStringLiteral("Warning: ") + utf8(w));
                p.setPen(Qt::black);
                y += 11;
            }
            y += 2;
        }
        if (sheet.rated.code != KPX_CLEAN) {
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

        // The performance tables, on as many pages as they need.
        font(10, true);
        p.drawText(QPointF(margin, y + 10),
                   QStringLiteral("Performance table (rows Te, columns Tc, ") +
                       utf8(unitLabels(context.units).te) + QLatin1Char(')'));
        TablePages(pdf, p, context, table).write(y + 16);
        if (!sheet.speeds.empty())
            drawSpeedPage(pdf, p, context, sheet.speeds);
        if (!p.end())
            return QStringLiteral("the PDF could not be written");
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace kv

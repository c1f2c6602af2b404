#include "modelwindow.h"

#include "resultsgrid.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kv {
namespace {

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
// Catalogue texts are 8-bit texts of the system's code page.
QString engineText(const std::string& text) {
    return QString::fromLocal8Bit(text);
}

QColor qcolour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

const QColor kWarningCell(252, 236, 190);
const QColor kRefusedCell(236, 236, 236);
const QColor kPointLine(222, 234, 250);
const QColor kPointCell(190, 212, 245);

// A figure in the regional format, rounded as the results grid rounds it.
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

// The cell's text: the figure, marked with "*" for a warning; empty when refused.
QString cellText(const TableCell& c, Quantity q, const NumberFormat& fmt) {
    if (!c.rated())
        return {};
    const QString text = figureText(c.values[static_cast<std::size_t>(q)], q, fmt);
    return c.code > 0 ? text + QStringLiteral(" *") : text;
}

// A cell's background: grey refused, amber warning, blue on the operating point's row or
// column (darker at the point itself), white otherwise.
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
    if (c.code == 0)
        return {};
    return (c.code > 0 ? QStringLiteral("Warning: ") : QStringLiteral("Refused: ")) +
           utf8(ratingReason(c.code));
}

} // namespace

// ---- the diagram -----------------------------------------------------------------------

void paintDrawing(QPainter& painter, const Drawing& d) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(0, 0, d.width, d.height), Qt::white);
    for (const DrawPolygon& p : d.polygons) {
        QPolygonF poly;
        for (const DrawPoint& pt : p.points)
            poly << QPointF(pt.x, pt.y);
        painter.setPen(QPen(qcolour(p.fill), 0.3));
        painter.setBrush(qcolour(p.fill));
        painter.drawPolygon(poly);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    for (const DrawLine& l : d.lines) {
        QPolygonF line;
        for (const DrawPoint& pt : l.points)
            line << QPointF(pt.x, pt.y);
        painter.setPen(QPen(qcolour(l.colour), l.width));
        painter.drawPolyline(line);
    }
    for (const DrawRect& r : d.rects) {
        painter.setPen(QPen(qcolour(r.stroke), 0.6));
        painter.setBrush(qcolour(r.fill));
        painter.drawRect(QRectF(r.x, r.y, r.w, r.h));
    }
    for (const DrawText& t : d.texts) {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(t.size))));
        font.setBold(t.bold);
        painter.setFont(font);
        painter.setPen(qcolour(t.colour));
        const QString text = utf8(t.text);
        const double w = QFontMetricsF(font, painter.device()).horizontalAdvance(text);
        const double dx = t.anchor == DrawText::Anchor::Start    ? 0
                          : t.anchor == DrawText::Anchor::Middle ? -w / 2
                                                                 : -w;
        painter.save();
        painter.translate(t.at.x, t.at.y);
        if (t.vertical)
            painter.rotate(-90);
        painter.drawText(QPointF(dx, 0), text);
        painter.restore();
    }
    painter.restore();
}

DiagramView::DiagramView(const EngineApi& api, const ModelContext& context,
                         const Envelope& envelope, QWidget* parent)
    : QWidget(parent), api_(api), context_(context), envelope_(envelope) {
    setObjectName(QStringLiteral("picEnvelope"));
    setMinimumSize(520, 360);
    setMouseTracking(true);
}

void DiagramView::resizeEvent(QResizeEvent*) {
    drawing_ = envelopeDrawing(envelope_, context_.conditions, context_.units, width(), height());
}

void DiagramView::paintEvent(QPaintEvent*) {
    if (drawing_.width != width() || drawing_.height != height())
        drawing_ =
            envelopeDrawing(envelope_, context_.conditions, context_.units, width(), height());
    QPainter painter(this);
    paintDrawing(painter, drawing_);
}

bool DiagramView::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip)
        return QWidget::event(e);
    // The engine's own verdict at the point under the mouse.
    const auto* help = static_cast<QHelpEvent*>(e);
    double te = 0, tc = 0;
    if (!drawingTemperatures(drawing_, help->pos().x(), help->pos().y(), te, tc)) {
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    const int32_t code = ratePoint(api_, context_.model.number, te, tc, context_.conditions).code;
    QString verdict =
        code == 0 ? QStringLiteral("Within the envelope")
        : code > 0
            ? QStringLiteral("Warning %1: %2").arg(code).arg(utf8(ratingReason(code)))
            : QStringLiteral("Refused (code %1): %2").arg(code).arg(utf8(ratingReason(code)));
    ConditionValues at = context_.conditions;
    at.te = te;
    at.tc = tc;
    QToolTip::showText(help->globalPos(),
                       utf8(pointText(at, context_.units)) + QLatin1Char('\n') + verdict, this);
    return true;
}

// ---- the window ----------------------------------------------------------------------

ModelWindow::ModelWindow(const EngineApi& api, ModelContext context, QWidget* parent)
    : QWidget(parent, Qt::Window), api_(api), context_(std::move(context)) {
    setObjectName(QStringLiteral("ModelWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    const ModelInfo& m = context_.model;
    setWindowTitle(engineText(m.name) + QStringLiteral(" - ") +
                   utf8(pointText(context_.conditions, context_.units)));

    rated_ = ratePoint(api_, m.number, context_.conditions.te, context_.conditions.tc,
                       context_.conditions);
    envelope_ = computeEnvelope(api_, m.number, context_.conditions,
                                envelopeWindow(api_, m.number, context_.conditions));

    auto* lblModel = new QLabel(engineText(m.name), this);
    lblModel->setObjectName(QStringLiteral("lblModel"));
    QFont big = lblModel->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblModel->setFont(big);
    QStringList details{engineText(m.refrigerant)};
    if (!m.family.empty())
        details << engineText(m.family);
    if (!m.technology.empty())
        details << utf8(m.technology);
    details << engineText(m.voltage);
    auto* lblDetails = new QLabel(details.join(QStringLiteral("  ·  ")), this);
    auto* lblConditions =
        new QLabel(QStringLiteral("Conditions of the run: ") + conditionsText(), this);
    lblConditions->setObjectName(QStringLiteral("lblConditions"));
    auto* lblRated = new QLabel(ratedText(), this);
    lblRated->setObjectName(QStringLiteral("lblRated"));
    lblRated->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The envelope, or why there is none.
    auto* envelopeBox =
        new QGroupBox(QStringLiteral("Operating envelope at Sc, Sh1 and Sh2 of the run"), this);
    auto* envelopeLayout = new QVBoxLayout(envelopeBox);
    if (envelope_.anyRated) {
        envelopeLayout->addWidget(new DiagramView(api_, context_, envelope_, envelopeBox));
    } else {
        auto* none = new QLabel(
            QStringLiteral("The engine refuses every point of this model (%1): its catalogue "
                           "entry holds no usable envelope data, so there is nothing to draw.")
                .arg(utf8(ratingReason(envelope_.codes.empty() ? -1 : envelope_.codes.front()))),
            envelopeBox);
        none->setObjectName(QStringLiteral("lblNoEnvelope"));
        none->setWordWrap(true);
        none->setMinimumSize(420, 200);
        none->setAlignment(Qt::AlignCenter);
        envelopeLayout->addWidget(none);
    }

    // The performance table with its range.
    auto* tableBox = new QGroupBox(QStringLiteral("Performance table"), this);
    auto* tableLayout = new QVBoxLayout(tableBox);
    auto* controls = new QGridLayout;
    cbQuantity = new QComboBox(tableBox);
    cbQuantity->setObjectName(QStringLiteral("cbQuantity"));
    for (int q = 0; q < kQuantities; ++q)
        cbQuantity->addItem(utf8(quantityHeading(static_cast<Quantity>(q), context_.units)));
    controls->addWidget(new QLabel(QStringLiteral("Show"), tableBox), 0, 0);
    controls->addWidget(cbQuantity, 0, 1, 1, 6);
    const TableRange range =
        defaultTableRange(fromEngineUnits(context_.conditions, context_.units), context_.units);
    const double values[6] = {range.teFrom, range.teTo, range.teStep,
                              range.tcFrom, range.tcTo, range.tcStep};
    const char* names[6] = {"txtTeFrom", "txtTeTo", "txtTeStep",
                            "txtTcFrom", "txtTcTo", "txtTcStep"};
    const QString unit = utf8(unitLabels(context_.units).te);
    for (int i = 0; i < 6; ++i) {
        range_[i] = new QLineEdit(temperatureText(values[i], context_.format), tableBox);
        range_[i]->setObjectName(QLatin1String(names[i]));
        range_[i]->setMaximumWidth(64);
        connect(range_[i], &QLineEdit::returnPressed, this, [this] { applyRange(); });
    }
    for (int r = 0; r < 2; ++r) {
        controls->addWidget(new QLabel((r == 0 ? QStringLiteral("Te (") : QStringLiteral("Tc (")) +
                                           unit + QStringLiteral(") from"),
                                       tableBox),
                            r + 1, 0);
        controls->addWidget(range_[r * 3], r + 1, 1);
        controls->addWidget(new QLabel(QStringLiteral("to"), tableBox), r + 1, 2);
        controls->addWidget(range_[r * 3 + 1], r + 1, 3);
        controls->addWidget(new QLabel(QStringLiteral("step"), tableBox), r + 1, 4);
        controls->addWidget(range_[r * 3 + 2], r + 1, 5);
    }
    auto* btnApply = new QPushButton(QStringLiteral("Apply"), tableBox);
    btnApply->setObjectName(QStringLiteral("btnApplyRange"));
    controls->addWidget(btnApply, 1, 6, 2, 1);
    controls->setColumnStretch(7, 1);
    tableLayout->addLayout(controls);
    lblRangeProblem = new QLabel(tableBox);
    lblRangeProblem->setObjectName(QStringLiteral("lblRangeProblem"));
    lblRangeProblem->setStyleSheet(QStringLiteral("color: #c00000"));
    lblRangeProblem->setWordWrap(true);
    lblRangeProblem->hide();
    tableLayout->addWidget(lblRangeProblem);
    tblPerformance = new QTableWidget(tableBox);
    tblPerformance->setObjectName(QStringLiteral("tblPerformance"));
    tblPerformance->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPerformance->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    tblPerformance->verticalHeader()->setDefaultSectionSize(22);
    tblPerformance->setMinimumWidth(420);
    tableLayout->addWidget(tblPerformance, 1);
    auto* lblLegend = new QLabel(
        QStringLiteral(
            "Rows: Te, columns: Tc (%1). * rated with a warning; empty: refused "
            "(point at a cell for the reason). Blue: the operating point's row and column.")
            .arg(unit),
        tableBox);
    lblLegend->setWordWrap(true);
    tableLayout->addWidget(lblLegend);

    auto* btnCsv = new QPushButton(QStringLiteral("Export CSV..."), this);
    btnCsv->setObjectName(QStringLiteral("btnExportCsv"));
    auto* btnPdf = new QPushButton(QStringLiteral("Export PDF..."), this);
    btnPdf->setObjectName(QStringLiteral("btnExportPdf"));
    auto* btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));

    auto* heading = new QVBoxLayout;
    heading->setSpacing(2);
    heading->addWidget(lblModel);
    heading->addWidget(lblDetails);
    heading->addWidget(lblConditions);
    heading->addWidget(lblRated);
    auto* body = new QHBoxLayout;
    body->addWidget(envelopeBox, 3);
    body->addWidget(tableBox, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCsv);
    buttons->addWidget(btnPdf);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);

    connect(cbQuantity, &QComboBox::currentIndexChanged, this, [this] { fillTable(); });
    connect(btnApply, &QPushButton::clicked, this, [this] { applyRange(); });
    connect(btnCsv, &QPushButton::clicked, this, [this] { chooseExport(false); });
    connect(btnPdf, &QPushButton::clicked, this, [this] { chooseExport(true); });
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

    table_ = computeTable(api_, m.number, context_.conditions, context_.units, range);
    fillTable();
    resize(1180, 640);
}

QString ModelWindow::conditionsText() const {
    const ConditionValues s = fromEngineUnits(context_.conditions, context_.units);
    const UnitLabels u = unitLabels(context_.units);
    auto item = [&](const char* name, double v, std::string_view unit) {
        return QLatin1String(name) + QLatin1Char(' ') +
               temperatureText(roundHalfEven(v, 2), context_.format) + QLatin1Char(' ') +
               utf8(unit);
    };
    return QStringList{item("Te", s.te, u.te), item("Tc", s.tc, u.tc), item("Sc", s.sc, u.sc),
                       item("Sh1", s.sh1, u.sh1), item("Sh2", s.sh2, u.sh2)}
        .join(QStringLiteral(", "));
}

QString ModelWindow::ratedText() const {
    if (rated_.code < 0)
        return QStringLiteral("Not rated at these conditions: ") + utf8(ratingReason(rated_.code));
    const auto values = displayValues(rated_, context_.units);
    QStringList parts;
    for (int q = 0; q < kQuantities; ++q) {
        const auto quantity = static_cast<Quantity>(q);
        parts << utf8(quantityHeading(quantity, context_.units)) + QStringLiteral(": ") +
                     figureText(values[static_cast<std::size_t>(q)], quantity, context_.format);
    }
    QString text = parts.join(QStringLiteral("   "));
    if (rated_.code > 0)
        text +=
            QStringLiteral("   (warning: ") + utf8(ratingReason(rated_.code)) + QLatin1Char(')');
    return text;
}

bool ModelWindow::applyRange() {
    double v[6] = {};
    for (int i = 0; i < 6; ++i) {
        const auto read = readDoubleField(range_[i]->text().toStdString(), context_.format);
        if (!read) {
            lblRangeProblem->setText(QStringLiteral("\"%1\" is no number.").arg(range_[i]->text()));
            lblRangeProblem->show();
            return false;
        }
        v[i] = *read;
    }
    const TableRange range{v[0], v[1], v[2], v[3], v[4], v[5]};
    if (const auto problem = checkTableRange(range)) {
        QString text = utf8(*problem);
        text[0] = text[0].toUpper();
        lblRangeProblem->setText(text + QLatin1Char('.'));
        lblRangeProblem->show();
        return false;
    }
    lblRangeProblem->hide();
    table_ = computeTable(api_, context_.model.number, context_.conditions, context_.units, range);
    fillTable();
    return true;
}

void ModelWindow::fillTable() {
    const auto q = static_cast<Quantity>(std::max(0, cbQuantity->currentIndex()));
    tblPerformance->clear();
    tblPerformance->setRowCount(static_cast<int>(table_.te.size()));
    tblPerformance->setColumnCount(static_cast<int>(table_.tc.size()));
    const QString unit = utf8(unitLabels(context_.units).te);
    QFont bold = tblPerformance->font();
    bold.setBold(true);
    for (std::size_t j = 0; j < table_.tc.size(); ++j) {
        auto* h = new QTableWidgetItem(QStringLiteral("Tc ") +
                                       temperatureText(table_.tc[j], context_.format));
        if (static_cast<int>(j) == table_.pointColumn)
            h->setFont(bold);
        tblPerformance->setHorizontalHeaderItem(static_cast<int>(j), h);
    }
    for (std::size_t i = 0; i < table_.te.size(); ++i) {
        auto* h = new QTableWidgetItem(QStringLiteral("Te ") +
                                       temperatureText(table_.te[i], context_.format));
        if (static_cast<int>(i) == table_.pointRow)
            h->setFont(bold);
        tblPerformance->setVerticalHeaderItem(static_cast<int>(i), h);
        for (std::size_t j = 0; j < table_.tc.size(); ++j) {
            const TableCell& c = table_.cell(i, j);
            auto* item = new QTableWidgetItem(cellText(c, q, context_.format));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            const bool onRow = static_cast<int>(i) == table_.pointRow;
            const bool onColumn = static_cast<int>(j) == table_.pointColumn;
            item->setBackground(cellColour(c, onRow, onColumn));
            if (onRow && onColumn)
                item->setFont(bold);
            item->setToolTip(cellReason(c));
            tblPerformance->setItem(static_cast<int>(i), static_cast<int>(j), item);
        }
    }
    tblPerformance->horizontalHeader()->setToolTip(unit);
}

QString ModelWindow::exportCsv(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const std::string csv = tableCsv(table_);
    if (file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()))
        return file.errorString();
    if (!file.commit())
        return file.errorString();
    return {};
}

QString ModelWindow::exportPdf(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(72); // drawing units are points
        pdf.setTitle(engineText(context_.model.name) + QStringLiteral(" data sheet"));
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
        p.drawText(QPointF(margin, y + 16), engineText(context_.model.name));
        font(8, false);
        p.drawText(QRectF(margin, y, width, 20), Qt::AlignRight | Qt::AlignTop,
                   QStringLiteral("Korvane Vantrix - model data sheet\n") +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        y += 26;
        const ModelInfo& m = context_.model;
        const std::pair<QString, QString> facts[] = {
            {QStringLiteral("Refrigerant"), engineText(m.refrigerant)},
            {QStringLiteral("Family"),
             engineText(m.family) +
                 (m.technology.empty()
                      ? QString()
                      : QStringLiteral(" (") + utf8(m.technology) + QLatin1Char(')'))},
            {QStringLiteral("Supply"), engineText(m.voltage)},
            {QStringLiteral("Conditions"), conditionsText()},
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
        const auto values = displayValues(rated_, context_.units);
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
                       utf8(quantityHeading(quantity, context_.units)));
            font(12, true);
            p.drawText(box.adjusted(4, 0, -4, -4), Qt::AlignLeft | Qt::AlignBottom,
                       rated_.code >= 0 ? figureText(values[static_cast<std::size_t>(q)], quantity,
                                                     context_.format)
                                        : QStringLiteral("-"));
        }
        y += 38;
        if (rated_.code != 0) {
            font(8, false);
            p.setPen(QColor(170, 0, 0));
            p.drawText(QPointF(margin, y + 9), (rated_.code > 0 ? QStringLiteral("Warning: ")
                                                                : QStringLiteral("Not rated: ")) +
                                                   utf8(ratingReason(rated_.code)));
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
        if (envelope_.anyRated) {
            p.save();
            p.translate(margin, y);
            paintDrawing(p, envelopeDrawing(envelope_, context_.conditions, context_.units, width,
                                            diagramH, 0.8));
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
                       utf8(unitLabels(context_.units).te) + QLatin1Char(')'));
        y += 16;
        const double footer = 842 - margin - 12;
        const double tableW = (width - 12) / 2;
        const double tableH = (footer - y - 2 * 8) / 3;
        const std::size_t rows = table_.te.size(), columns = table_.tc.size();
        for (int q = 0; q < kQuantities; ++q) {
            const auto quantity = static_cast<Quantity>(q);
            const double x0 = margin + (q % 2) * (tableW + 12);
            const double y0 = y + (q / 2) * (tableH + 8);
            const double cellW = tableW / static_cast<double>(columns + 1);
            const double cellH = std::min(12.0, (tableH - 12) / static_cast<double>(rows + 1));
            const double size = std::max(1.0, std::min({7.0, cellH * 0.7, cellW / 5.0}));
            font(8, true);
            p.drawText(QPointF(x0, y0 + 8), utf8(quantityHeading(quantity, context_.units)));
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
                        text = temperatureText(table_.tc[j - 1], context_.format);
                        fill = QColor(230, 230, 230);
                        boldCell = static_cast<int>(j - 1) == table_.pointColumn;
                    } else if (j == 0) {
                        text = temperatureText(table_.te[i - 1], context_.format);
                        fill = QColor(230, 230, 230);
                        boldCell = static_cast<int>(i - 1) == table_.pointRow;
                    } else {
                        const TableCell& c = table_.cell(i - 1, j - 1);
                        text = cellText(c, quantity, context_.format);
                        const bool onRow = static_cast<int>(i - 1) == table_.pointRow;
                        const bool onColumn = static_cast<int>(j - 1) == table_.pointColumn;
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
        for (const TableCell& c : table_.cells)
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

void ModelWindow::chooseExport(bool pdf) {
    const QString what = pdf ? QStringLiteral("data sheet") : QStringLiteral("performance table");
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export the ") + what,
        engineText(context_.model.name) + (pdf ? QStringLiteral(".pdf") : QStringLiteral(".csv")),
        pdf ? QStringLiteral("PDF (*.pdf)") : QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    const QString problem = pdf ? exportPdf(path) : exportCsv(path);
    if (!problem.isEmpty())
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("The %1 could not be written to %2: %3")
                                 .arg(what, QDir::toNativeSeparators(path), problem));
}

// ---- opening it from the results grid -------------------------------------------------

ModelWindowOpener::ModelWindowOpener(const EngineApi& api, ResultsGrid* grid,
                                     std::function<int()> resultCount, QWidget* owner)
    : QObject(owner), api_(api), grid_(grid), resultCount_(std::move(resultCount)), owner_(owner) {
    grid_->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
}

void ModelWindowOpener::setRun(const CalcResult& result, UnitSystem units,
                               const NumberFormat& format) {
    conditions_ = result.engineConditions;
    units_ = units;
    format_ = format;
    codes_[0] = result.refrigerantCode;
    codes_[1] = result.familyCode;
    codes_[2] = result.powerCode;
    hasRun_ = true;
}

ModelWindow* ModelWindowOpener::open(int row) {
    if (!hasRun_ || row < 1 || row > resultCount_())
        return nullptr;
    const GridModel* g = grid_->grid();
    auto text = [&](int column) { return g->text(row, column).toLocal8Bit().toStdString(); };
    const auto model =
        findGridModel(api_, codes_[0], codes_[1], codes_[2], text(kNameColumn), text(3), text(4));
    if (!model)
        return nullptr;
    auto* w = new ModelWindow(api_, {*model, conditions_, units_, format_}, owner_);
    w->show();
    return w;
}

bool ModelWindowOpener::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int viewRow = grid_->rowAt(static_cast<int>(mouse->position().y()));
        if (viewRow >= 0 && mouse->button() == Qt::LeftButton)
            open(viewRow + 1); // view row 0 is grid row 1
    } else if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            open(grid_->selectedGridRow()) != nullptr)
            return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kv

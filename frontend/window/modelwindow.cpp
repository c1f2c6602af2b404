#include "kv/modelwindow.h"

#include "kv/diagramview.h"
#include "kv/gascoolerview.h"
#include "kv/modelpdf.h"
#include "kv/resultsgrid.h"
#include "kv/speedpanel.h"

#include <QComboBox>
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
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

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
    figures_ = rateFigures(api_, m.number, context_.conditions.te, context_.conditions.tc,
                           context_.conditions, context_.units);
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
    auto* lblPressures = new QLabel(pressuresText(), this);
    lblPressures->setObjectName(QStringLiteral("lblPressures"));
    lblPressures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (!figureWarnings(figures_).empty())
        lblPressures->setStyleSheet(QStringLiteral("color: #a05000"));

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
    for (std::size_t f = 0; f < kFigureCount; ++f)
        cbQuantity->addItem(utf8(figureHeading(static_cast<Figure>(f), context_.units)));
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
    heading->addWidget(lblPressures);
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
    // A model with transcritical curves: its Te-gas-cooler pressure region and figures.
    const std::optional<GasCoolerRange> gasCooler = gasCoolerRange(api_, m.number);
    if (gasCooler)
        layout->addWidget(new GasCoolerPanel(api_, context_, *gasCooler, this), 1);
    layout->addLayout(buttons);

    connect(cbQuantity, &QComboBox::currentIndexChanged, this, [this] { showChoice(); });
    connect(btnApply, &QPushButton::clicked, this, [this] { applyRange(); });
    connect(btnCsv, &QPushButton::clicked, this, [this] { chooseExport(false); });
    connect(btnPdf, &QPushButton::clicked, this, [this] { chooseExport(true); });
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

    table_ = computeTable(api_, m.number, context_.conditions, context_.units, range);
    fillTable();
    resize(1180, gasCooler ? 980 : 640);
    addSpeedPanel(body);
}

// ---- a variable-speed model's speed ---------------------------------------------------

void ModelWindow::addSpeedPanel(QHBoxLayout* body) {
    const auto info = speedInfo(api_, context_.model.number);
    if (!info)
        return;
    auto* panel = new SpeedPanel(api_, context_, *info, this);
    body->addWidget(panel, 2);
    connect(panel, &SpeedPanel::speedChosen, this, [this](double speed) { rateAtSpeed(speed); });
    resize(1640, 680);
}

void ModelWindow::rateAtSpeed(double speed) {
    context_.conditions.speed = speed;
    const ConditionValues& at = context_.conditions;
    rated_ = ratePoint(api_, context_.model.number, at.te, at.tc, at);
    if (auto* lblRated = findChild<QLabel*>(QStringLiteral("lblRated")))
        lblRated->setText(ratedText());
    // The diagram keeps the window of the nominal speed, so its envelope is seen to narrow.
    envelope_ = computeEnvelope(api_, context_.model.number, at, envelope_.window);
    if (auto* view = findChild<DiagramView*>()) {
        QWidget* box = view->parentWidget();
        auto* fresh = new DiagramView(api_, context_, envelope_, box);
        delete box->layout()->replaceWidget(view, fresh);
        delete view;
        fresh->show();
        if (auto* group = qobject_cast<QGroupBox*>(box))
            group->setTitle(
                QStringLiteral("Operating envelope at Sc, Sh1 and Sh2 of the run, %1 rev/s")
                    .arg(groupedNumber(speed, 1, context_.format)));
    }
    // The pressures and discharge temperature come from the figures of the nominal speed.
    if (auto* lblPressures = findChild<QLabel*>(QStringLiteral("lblPressures")))
        lblPressures->setText(pressuresText() + QStringLiteral("   (at the nominal speed)"));
    // A range that no longer reads leaves no table of another speed behind.
    if (!applyRange()) {
        table_ = PerfTable{};
        fillTable();
    }
}

QString ModelWindow::conditionsText() const {
    return kv::conditionsText(context_);
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
    showChoice();
    return true;
}

QString ModelWindow::pressuresText() const {
    return kv::pressuresText(figures_, context_);
}

void ModelWindow::showChoice() {
    const TableShown shown = shownChoice(cbQuantity->currentIndex());
    if (shown.figure)
        table_.extra = tableFigure(api_, context_.model.number, table_, *shown.figure);
    else
        table_.extra.reset();
    fillTable();
}

void ModelWindow::fillTable() {
    const TableShown shown = shownChoice(cbQuantity->currentIndex());
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
            auto* item = new QTableWidgetItem(shownCellText(table_, i, j, shown, context_.format));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            const bool onRow = static_cast<int>(i) == table_.pointRow;
            const bool onColumn = static_cast<int>(j) == table_.pointColumn;
            item->setBackground(shownCellColour(table_, i, j, shown, onRow, onColumn));
            if (onRow && onColumn)
                item->setFont(bold);
            item->setToolTip(shownCellReason(table_, i, j, shown));
            tblPerformance->setItem(static_cast<int>(i), static_cast<int>(j), item);
        }
    }
    QHeaderView* header = tblPerformance->horizontalHeader();
    header->setToolTip(unit);
    // Numbers are never cut: every column is at least as wide as the widest text of any
    // column, and a table wider than the view scrolls.
    int widest = 0;
    for (int j = 0; j < tblPerformance->columnCount(); ++j)
        widest =
            std::max({widest, static_cast<QAbstractItemView*>(tblPerformance)->sizeHintForColumn(j),
                      header->sectionSizeHint(j)});
    header->setMinimumSectionSize(widest);
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
    return writeModelPdf(path,
                         {context_, rated_, figures_, envelope_, table_,
                          ratingsAgainstSpeed(api_, context_.model.number, context_.conditions)});
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
    auto text = [&](int column) { return g->text(row, column).toStdString(); };
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

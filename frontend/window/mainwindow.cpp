#include "kv/mainwindow.h"

#include "kv/conditions.h"
#include "kv/datacheck.h"
#include "kv/displaytext.h"
#include "kv/fluidcheck.h"
#include "kv/inputlist.h"
#include "kv/keyrule.h"
#include "kv/logo.h"
#include "kv/modelwindow.h"
#include "kv/resultsgrid.h"
#include "kv/settings.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <optional>

namespace kv {
namespace {

const QColor kWarningRed(255, 0, 0);

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Writes a text into a field and shows it from its start: a long number cut at its
// start would read as another number.
void showFieldText(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    edit->setCursorPosition(0);
}

void defaultMessageBox(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

} // namespace

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
    if (!options_.messageBox)
        options_.messageBox = defaultMessageBox;
    if (!options_.volumes)
        options_.volumes = mountedVolumes;
    if (!options_.bind)
        options_.bind = bindLibraries;
    if (!options_.printSetup)
        options_.printSetup = runPrintDialog;
    if (!options_.openDocument)
        options_.openDocument = desktopOpener();
    createControls();
    connectHandlers();
    setFocusOrder();
}

MainWindow::~MainWindow() = default;

// ---- the window ------------------------------------------------------------------

void MainWindow::createControls() {
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(kTitle);
    setFixedSize(704, 542);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    setFont(font);

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto label = [this](const char* name, const QString& text, int l, int t, int w, int h) {
        return place(new QLabel(text, this), name, l, t, w, h);
    };
    auto field = [this](const char* name, const QString& text, int l, int t, int w, int h) {
        auto* edit = place(new QLineEdit(text, this), name, l, t, w, h);
        QPalette p = edit->palette();
        p.setColor(QPalette::Base, kInputGrey);
        edit->setPalette(p);
        return edit;
    };
    auto list = [this](const char* name, int l, int t, int w, int h) {
        auto* combo = place(new InputList(this), name, l, t, w, h);
        QPalette p = combo->palette();
        p.setColor(QPalette::Base, kInputGrey);
        p.setColor(QPalette::Button, kInputGrey);
        combo->setPalette(p);
        combo->setEditable(false);
        combo->setMaxVisibleItems(16);
        return combo;
    };
    auto button = [this](const char* name, const QString& text, int l, int t, int w, int h) {
        return place(new QPushButton(text, this), name, l, t, w, h);
    };
    auto option = [](QWidget* parent, const char* name, const QString& text, int l, int t, int w,
                     int h) { return place(new QRadioButton(text, parent), name, l, t, w, h); };
    auto frame = [this](const char* name, int l, int t, int w, int h) {
        return place(new QWidget(this), name, l, t, w, h);
    };

    Label19 = label("Label19", QStringLiteral("Unit system"), 24, 43, 89, 17);
    opt_intsyst[0] = option(this, "opt_intsyst_0", fromUtf8(kUnitSystemTextSI), 120, 40, 97, 25);
    opt_intsyst[1] =
        option(this, "opt_intsyst_1", fromUtf8(kUnitSystemTextImperial), 192, 40, 97, 25);
    Label20 = label("Label20", QStringLiteral("Frequency"), 24, 64, 89, 17);
    Frame2 = frame("Frame2", 120, 64, 177, 17);
    opt_freq[0] = option(Frame2, "opt_freq_0", QStringLiteral("50 Hz"), 0, 0, 57, 17);
    opt_freq[1] = option(Frame2, "opt_freq_1", QStringLiteral("60 Hz"), 72, 0, 81, 17);
    Label1 = label("Label1", QStringLiteral("Refrigerant"), 24, 88, 89, 17);
    cbRefrig = list("cbRefrig", 120, 83, 145, 21);
    Label2 = label("Label2", QStringLiteral("Product type"), 24, 112, 89, 17);
    cbFamily = list("cbFamily", 120, 107, 145, 21);
    Label3 = label("Label3", QStringLiteral("Voltage / Freq"), 24, 136, 89, 17);
    cbVoltage = list("cbVoltage", 120, 131, 145, 21);
    Label15 = label("Label15", QStringLiteral("Target capacity"), 24, 160, 89, 17);
    txtCapacity = field("txtCapacity", QString(), 120, 155, 89, 19);
    lblUnit_Target = label("lblUnit_Target", QStringLiteral("W"), 216, 160, 33, 17);
    Label16 = label("Label16", QStringLiteral("Model filter"), 24, 184, 89, 17);
    txtModelFilter = field("txtModelFilter", QString(), 120, 179, 89, 19);
    Label21 = label("Label21", QStringLiteral("Order results by"), 24, 208, 89, 17);
    Frame1 = frame("Frame1", 120, 192, 193, 33);
    opt_order[0] = option(Frame1, "opt_order_0", QStringLiteral("Model name"), 0, 16, 89, 17);
    opt_order[1] =
        option(Frame1, "opt_order_1", QStringLiteral("Cooling capacity"), 88, 16, 105, 17);
    txtWarning = label("txtWarning", QString(), 24, 224, 297, 17);
    Label4 = label("Label4", QStringLiteral("Conditions"), 312, 48, 73, 17);
    cbConditions = list("cbConditions", 394, 45, 137, 21);
    Label5 = label("Label5", QStringLiteral("Evaporating temperature"), 312, 72, 129, 17);
    txtTe = field("txtTe", QStringLiteral("0"), 450, 69, 57, 19);
    lblUnit_Te = label("lblUnit_Te", QStringLiteral("°C"), 512, 72, 33, 17);
    Label6 = label("Label6", QStringLiteral("Condensing temperature"), 312, 96, 129, 17);
    txtTc = field("txtTc", QStringLiteral("50"), 450, 93, 57, 19);
    lblUnit_Tc = label("lblUnit_Tc", QStringLiteral("°C"), 512, 96, 33, 17);
    Label7 = label("Label7", QStringLiteral("Subcooling"), 312, 120, 129, 17);
    txtSc = field("txtSc", QStringLiteral("8.3"), 450, 117, 57, 19);
    lblUnit_Sc = label("lblUnit_Sc", QStringLiteral("K"), 512, 120, 33, 17);
    Label8 = label("Label8", QStringLiteral("Evaporator superheat"), 312, 144, 129, 17);
    txtSh1 = field("txtSh1", QStringLiteral("11.1"), 450, 141, 57, 19);
    lblUnit_Sh1 = label("lblUnit_Sh1", QStringLiteral("K"), 512, 144, 33, 17);
    Label9 = label("Label9", QStringLiteral("Total superheat"), 312, 168, 129, 17);
    txtSh2 = field("txtSh2", QStringLiteral("11.1"), 450, 165, 57, 19);
    lblUnit_Sh2 = label("lblUnit_Sh2", QStringLiteral("K"), 512, 168, 33, 17);
    Image1 = label("Image1", QString(), 584, 1, kLogoWidth, kLogoHeight);
    Image1->setPixmap(makeLogo());
    setWindowIcon(QIcon(makeLogo()));
    btnCalculate = button("btnCalculate", QStringLiteral("Calculate"), 448, 200, 81, 25);
    btnResetAll = button("btnResetAll", QStringLiteral("Reset All"), 611, 200, 81, 25);
    Grid = place(new ResultsGrid(this), "Grid", 8, 240, 685, 265);
    lblResults = label("lblResults", QStringLiteral("Results :"), 8, 512, 97, 17);
    btnDatasheet = button("btnDatasheet", QStringLiteral("Datasheet"), 420, 512, 81, 25);
    btnDatasheetOnLine =
        button("btnDatasheetOnLine", QStringLiteral("Online datasheet"), 508, 512, 97, 25);
    btnPrint = button("btnPrint", QStringLiteral("Print"), 612, 512, 81, 25);

    opt_intsyst[0]->setChecked(true);
    opt_freq[0]->setChecked(true);
    opt_order[0]->setChecked(true);

    // Each option pair is an exclusive group of its own. Radio buttons left to group by
    // parent would group with every button below that parent, the other pairs included,
    // and a click on the selected option would clear it. Only the selected option of a
    // pair takes the Tab key; the arrow keys move within the pair.
    for (QRadioButton** pair : {opt_intsyst, opt_freq, opt_order}) {
        auto* group = new QButtonGroup(this);
        for (int i = 0; i < 2; ++i) {
            QRadioButton* b = pair[i];
            group->addButton(b, i);
            b->setFocusPolicy(b->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
            connect(b, &QRadioButton::toggled, b,
                    [b](bool on) { b->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus); });
        }
    }

    QPalette red = txtWarning->palette();
    red.setColor(QPalette::WindowText, kWarningRed);
    txtWarning->setPalette(red);

    // The borderless groups overlap the model filter and the warning label by a few
    // pixels; keep those on top so that clicks reach them.
    txtModelFilter->raise();
    txtWarning->raise();
}

void MainWindow::connectHandlers() {
    connect(cbConditions, &QComboBox::currentIndexChanged, this,
            [this](int) { cbConditionsClick(); });
    for (QRadioButton* b : opt_freq)
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                optFreqClick();
        });
    for (QRadioButton* b : opt_intsyst)
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                optIntsystClick();
        });
    for (QRadioButton* b : opt_order)
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                optOrderClick();
        });
    connect(btnCalculate, &QPushButton::clicked, this, [this] { btnCalculateClick(); });
    connect(btnResetAll, &QPushButton::clicked, this, [this] { resetAll(); });
    connect(btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });
    connect(btnDatasheet, &QPushButton::clicked, this, [this] { btnDatasheetClick(); });
    connect(btnDatasheetOnLine, &QPushButton::clicked, this, [this] { btnDatasheetOnLineClick(); });

    keyFilter_ = new FieldKeyFilter(this);
    for (QLineEdit* f : {txtTe, txtTc, txtSc, txtSh1, txtSh2})
        f->installEventFilter(keyFilter_);
    connect(keyFilter_, &FieldKeyFilter::characterKey, this,
            [this](QObject*) { conditionFieldKeyPress(); });

    modelOpener_ = new ModelWindowOpener(
        api_, Grid, [this] { return ResultCount; }, this);
}

void MainWindow::setFocusOrder() {
    const QList<QWidget*> order{
        opt_intsyst[0], opt_intsyst[1], cbRefrig,     cbFamily,    cbVoltage, txtCapacity,
        txtModelFilter, cbConditions,   txtTe,        txtTc,       txtSc,     txtSh1,
        txtSh2,         btnCalculate,   btnDatasheet, btnResetAll, btnPrint,  btnDatasheetOnLine,
        opt_order[0],   opt_order[1],   opt_freq[0],  opt_freq[1], Grid};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    // The grid is no stop of the Tab key: it takes the focus by a click or after a run,
    // and Tab goes on from it to the start of the order.
    Grid->setFocusPolicy(Qt::ClickFocus);
    for (QLabel* l : findChildren<QLabel*>())
        l->setFocusPolicy(Qt::NoFocus);
}

UnitSystem MainWindow::unitSystem() const {
    return opt_intsyst[1]->isChecked() ? UnitSystem::Imperial : UnitSystem::SI;
}

Frequency MainWindow::frequency() const {
    return opt_freq[1]->isChecked() ? Frequency::Hz60 : Frequency::Hz50;
}

OrderBy MainWindow::order() const {
    return opt_order[0]->isChecked() ? OrderBy::ModelName : OrderBy::Capacity;
}

NumberFormat MainWindow::numberFormat() {
    const QLocale locale;
    NumberFormat format;
    format.decimal = locale.decimalPoint().toStdString();
    format.group = locale.groupSeparator().toStdString();
    if (format.group.empty())
        format.group.assign(1, format.decimal == "," ? '.' : ',');
    return format;
}

void MainWindow::showMessage(const QString& text) {
    options_.messageBox(this, kTitle, text);
}

// ---- start-up --------------------------------------------------------------------

StartupStatus MainWindow::startUp() {
    if (status_ != StartupStatus::NotStarted)
        return status_;
    if (const StartupStatus files = checkCatalogueFiles(); files != StartupStatus::Ready)
        return status_ = files;
    findDatasheetRoot();
    if (!bindAndInitialise())
        return status_ = StartupStatus::BindingFailed;
    fillConditionsList();
    fillCatalogueLists();
    resetAll();
    restoreSettings();
    showUnitSystem();
    return status_ = StartupStatus::Ready;
}

StartupStatus MainWindow::checkCatalogueFiles() {
    // data.bin against the sizes of the catalogue files. A file that is missing or can't
    // be read is named, and the program ends as after a data problem.
    const DataCheck check = checkDataFiles(options_.programDir.toStdString());
    if (check.ok)
        return StartupStatus::Ready;
    if (check.outcome == DataCheck::Outcome::Mismatch) {
        showMessage(kDataProblem);
        return StartupStatus::DataProblem;
    }
    showMessage(QString::fromLocal8Bit(check.message) + QStringLiteral(". Quit the application"));
    return StartupStatus::MissingFile;
}

void MainWindow::findDatasheetRoot() {
    // The first word of the arguments, else the first optical drive.
    DatasheetRoot =
        datasheetRootFrom(options_.argumentText,
                          options_.argumentText.isEmpty() ? options_.volumes() : QList<Volume>{});
}

bool MainWindow::bindAndInitialise() {
    const BindResult bound = options_.bind(options_.programDir.toStdString());
    if (!bound.ok) {
        showMessage(QString::fromLocal8Bit(bound.message) +
                    QStringLiteral(". Quit the application"));
        return false;
    }
    api_ = bound.api;
    // ILK_Revision once (nothing of it is used), then KPX_Initialize with the program
    // directory followed by "/data/".
    initializeEngine(api_, options_.programDir.toStdString());
    return true;
}

void MainWindow::fillConditionsList() {
    // Filled without running the preset handler; the default condition is then selected,
    // which applies its preset.
    {
        const QSignalBlocker block(cbConditions);
        cbConditions->clear();
        for (const std::string& item : conditionItems())
            cbConditions->addItem(fromUtf8(item));
        cbConditions->setCurrentIndex(-1);
    }
    selectItem(cbConditions, fromUtf8(kDefaultCondition));
}

void MainWindow::fillCatalogueLists() {
    for (auto [combo, list] :
         {std::pair{cbRefrig, CodeList::Refrigerant}, std::pair{cbFamily, CodeList::Family}}) {
        combo->clear();
        for (const std::string& item : selectionItems(api_, list))
            addEngineItem(combo, item);
    }
}

void MainWindow::restoreSettings() {
    // At start-up, after Reset All: the stored choices go back into the controls. A stored
    // value that its control can't take (a list text that names no item, a condition
    // value that is no number in the regional format) is skipped, and the control keeps
    // what Reset All or the preset gave it.
    const StoredChoices stored = loadStoredChoices(settingsStorePath());
    const NumberFormat format = numberFormat();
    auto text = [](const std::string& s) { return QString::fromStdString(s); };

    selectItem(cbRefrig, text(stored.refrigerant));
    selectItem(cbFamily, text(stored.family));

    // Selecting a condition applies its preset.
    if (!stored.conditions.empty())
        selectItem(cbConditions, text(stored.conditions));

    // SI values, rounded to 2 decimals; the unit switch at the end converts them.
    const std::pair<const std::string*, QLineEdit*> fields[] = {{&stored.te, txtTe},
                                                                {&stored.tc, txtTc},
                                                                {&stored.sc, txtSc},
                                                                {&stored.sh1, txtSh1},
                                                                {&stored.sh2, txtSh2}};
    for (const auto& [value, edit] : fields) {
        if (const std::optional<std::string> shown = restoredConditionText(*value, format))
            showFieldText(edit, text(*shown));
    }

    showFieldText(txtModelFilter, text(stored.modelFilter));
    showFieldText(txtCapacity, text(stored.targetCapacity));

    // Selecting the other button runs the frequency switch, which refills cbVoltage.
    const bool at50 = selectsFirstOption(stored.freq);
    opt_freq[at50 ? 0 : 1]->setChecked(true);
    Is50Hz = at50;

    // Looked up in the voltage list of the stored frequency.
    selectItem(cbVoltage, text(stored.voltage));

    // The order handler runs once and sorts nothing.
    opt_order[selectsFirstOption(stored.order) ? 0 : 1]->setChecked(true);
    SuppressReorder = true;
    optOrderClick();
    SuppressReorder = false;

    // Selecting the imperial system runs the unit switch.
    opt_intsyst[selectsFirstOption(stored.unit) ? 0 : 1]->setChecked(true);
}

void MainWindow::saveSettings() {
    // The user's choices as the controls hold them, conditions and target stored in SI.
    ControlState state;
    state.refrigerant = cbRefrig->currentText().toStdString();
    state.family = cbFamily->currentText().toStdString();
    state.voltage = cbVoltage->currentText().toStdString();
    state.conditions = conditionTexts();
    state.conditionsItem = cbConditions->currentText().toStdString();
    state.targetCapacity = txtCapacity->text().toStdString();
    state.modelFilter = txtModelFilter->text().toStdString();
    state.freq50 = opt_freq[0]->isChecked();
    state.orderByName = opt_order[0]->isChecked();
    state.units = unitSystem();
    saveStoredChoices(settingsStorePath(), storedFromControls(state, numberFormat()));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Only a window that finished its start-up has choices worth keeping: after a data
    // problem the stored choices must survive.
    if (status_ == StartupStatus::Ready)
        saveSettings();
    event->accept();
}

// ---- lists, presets, fields ------------------------------------------------------

bool MainWindow::selectItem(QComboBox* list, const QString& text) {
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return false;
    list->setCurrentIndex(index);
    return true;
}

ConditionTexts MainWindow::conditionTexts() const {
    return {txtTe->text().toStdString(), txtTc->text().toStdString(), txtSc->text().toStdString(),
            txtSh1->text().toStdString(), txtSh2->text().toStdString()};
}

void MainWindow::setConditionTexts(const ConditionTexts& texts) {
    showFieldText(txtTe, fromUtf8(texts.te));
    showFieldText(txtTc, fromUtf8(texts.tc));
    showFieldText(txtSc, fromUtf8(texts.sc));
    showFieldText(txtSh1, fromUtf8(texts.sh1));
    showFieldText(txtSh2, fromUtf8(texts.sh2));
}

void MainWindow::showStaleMessage() {
    if (ResultCount != 0)
        txtWarning->setText(fromUtf8(kStaleResultsWarning));
}

void MainWindow::cbConditionsClick() {
    if (const auto texts =
            presetTexts(cbConditions->currentText().toStdString(), unitSystem(), numberFormat()))
        setConditionTexts(*texts);
    showStaleMessage();
}

void MainWindow::conditionFieldKeyPress() {
    selectItem(cbConditions, fromUtf8(kUserMode));
    showStaleMessage();
}

void MainWindow::optFreqClick() {
    cbVoltage->clear();
    for (const std::string& item : voltageItems(api_, frequency()))
        addEngineItem(cbVoltage, item);
    cbVoltage->setCurrentIndex(-1);
}

// ---- units -----------------------------------------------------------------------

void MainWindow::showUnitSystem() {
    InitGridHeader();
    Grid->selectGridRow(1);
    SetUnitLabels();
}

void MainWindow::SetUnitLabels() {
    const UnitLabels labels = unitLabels(unitSystem());
    lblUnit_Target->setText(fromUtf8(labels.target));
    lblUnit_Te->setText(fromUtf8(labels.te));
    lblUnit_Tc->setText(fromUtf8(labels.tc));
    lblUnit_Sc->setText(fromUtf8(labels.sc));
    lblUnit_Sh1->setText(fromUtf8(labels.sh1));
    lblUnit_Sh2->setText(fromUtf8(labels.sh2));
}

void MainWindow::optIntsystClick() {
    SetUnitLabels();
    const UnitSwitchFields before{conditionTexts(), txtCapacity->text().toStdString()};
    const UnitSwitchFields after = switchUnits(before, unitSystem(), numberFormat());
    setConditionTexts(after.conditions);
    if (!txtCapacity->text().isEmpty())
        showFieldText(txtCapacity, fromUtf8(after.capacity));
}

// ---- the results grid ------------------------------------------------------------

void MainWindow::InitGridHeader() {
    const GridHeader header = gridHeader(unitSystem());
    GridModel* model = Grid->grid();
    for (int c = 0; c < kGridColumns; ++c) {
        Grid->setColumnWidth(c, header.widthsPixels[static_cast<size_t>(c)]);
        model->setText(0, c, fromUtf8(header.texts[static_cast<size_t>(c)]));
    }
    Grid->horizontalHeader()->setFixedHeight(header.rowHeightPixels);
}

void MainWindow::emptyGrid(bool clearFormatting) {
    // Clear the cells, then delete data row 1 until the header row and one empty row are
    // left; the rows go in one step, which ends in the same grid.
    GridModel* model = Grid->grid();
    model->clearCells(clearFormatting);
    model->setGridRowCount(2);
}

void MainWindow::resetAll() {
    // Reset All: the catalogue selections, the free-text fields, the frequency and the
    // results area. Unit system, order, conditions and Is50Hz are left as they are.
    selectItem(cbRefrig, fromUtf8(kAllItem));
    selectItem(cbFamily, fromUtf8(kAllItem));
    txtModelFilter->clear();
    txtCapacity->clear();
    if (opt_freq[0]->isChecked())
        optFreqClick();
    else
        opt_freq[0]->setChecked(true); // runs the frequency switch
    selectItem(cbVoltage, fromUtf8(kAllItem));

    Grid->setRedraw(false);
    emptyGrid(false);
    Grid->setRedraw(true);
    InitGridHeader();
    Grid->selectGridRow(1);
    ResultCount = 0;
    lblResults->setText(fromUtf8(resultsLabel(ResultCount)));
    lblResults->setToolTip(QString());
    txtWarning->clear();
}

void MainWindow::markOrderHeader() {
    GridModel* model = Grid->grid();
    const bool byName = order() == OrderBy::ModelName;
    model->setBold(0, kNameColumn, byName);
    model->setBold(0, kCapacityColumn, !byName);
}

void MainWindow::optOrderClick() {
    GridModel* model = Grid->grid();
    if (!SuppressReorder && ResultCount > 0) {
        // The grid's texts are the only store of the results: read the rows back, order
        // them and write them back in place.
        const NumberFormat format = numberFormat();
        std::vector<GridRow> rows(static_cast<size_t>(ResultCount));
        for (int r = 1; r <= ResultCount; ++r)
            for (int c = 0; c < kGridColumns; ++c)
                rows[static_cast<size_t>(r - 1)][static_cast<size_t>(c)] =
                    model->text(r, c).toStdString();
        sortRows(rows, order(), format);
        for (int r = 1; r <= ResultCount; ++r) {
            QStringList texts;
            for (const std::string& t : rows[static_cast<size_t>(r - 1)])
                texts << fromUtf8(t);
            model->setRowTexts(r, texts);
        }
    }
    const int selected = Grid->selectedGridRow();
    const bool redraw = Grid->redraw();
    if (redraw)
        Grid->setRedraw(false);
    markOrderHeader();
    Grid->selectGridRow(selected);
    if (redraw)
        Grid->setRedraw(true);
}

void MainWindow::btnCalculateClick() {
    // The busy pointer until the grid is filled; the messages after it come without it.
    std::optional<BusyPointer> busy(std::in_place);

    CalcRequest request;
    request.refrigerant = engineItem(cbRefrig);
    request.family = engineItem(cbFamily);
    request.voltage = engineItem(cbVoltage);
    request.frequency = frequency();
    request.conditions = conditionTexts();
    request.units = unitSystem();
    request.modelFilter = toEngine(txtModelFilter->text());
    request.targetCapacity = txtCapacity->text().toStdString();
    request.order = order();
    request.format = numberFormat();

    // Empty the grid to its header row and one empty row.
    Grid->setRedraw(false);
    emptyGrid(true);
    ResultCount = 0;
    InitGridHeader();
    Grid->setRedraw(true);
    Grid->setRedraw(false);

    const CalcResult result = runCalculation(api_, request);
    modelOpener_->setRun(result, request.units, request.format);
    txtWarning->setText(fromUtf8(result.warning));
    if (result.is50Hz)
        Is50Hz = *result.is50Hz;

    GridModel* model = Grid->grid();
    modelNameBytes_.clear();
    for (const GridRow& row : result.rows) {
        QStringList texts;
        for (const std::string& t : row)
            texts << fromEngine(t);
        modelNameBytes_.insert(texts[kNameColumn], QByteArray::fromStdString(row[kNameColumn]));
        model->insertGridRow(ResultCount + 1, texts);
        ++ResultCount;
    }
    ResultCount = result.resultCount;

    // The run has ordered the rows already; the order handler only marks the header.
    SuppressReorder = true;
    if (result.order == OrderBy::Capacity)
        opt_order[1]->setChecked(true);
    optOrderClick();
    SuppressReorder = false;

    for (int row : result.redRows)
        model->setColor(row, kCapacityColumn, kWarningRed);

    Grid->setRedraw(true);
    Grid->setFocus();
    Grid->selectGridRow(result.selectedRow);
    lblResults->setText(fromUtf8(resultsLabel(ResultCount)));
    // An empty result says why as the label's tooltip, as the command line does.
    lblResults->setToolTip(ResultCount == 0
                               ? fromUtf8(leftOutSummary(result, request.frequency)).trimmed()
                               : QString());
    busy.reset();

    // Models that vanished because the property library can't use a fluid file: each
    // such file is named once in the window's life.
    QStringList problems;
    for (const FluidProblem& p :
         fluidProblems(api_, options_.programDir.toStdString(), result.propertyFailures)) {
        const QString file = QString::fromStdString(displayText(p.file));
        if (!reportedFluidFiles_.contains(file)) {
            reportedFluidFiles_.insert(file);
            problems << QString::fromStdString(p.message);
        }
    }
    if (!problems.isEmpty())
        showMessage(problems.join(QLatin1Char('\n')));
}

// ---- printing and data sheets ----------------------------------------------------

void MainWindow::btnPrintClick() {
    // Refused while txtWarning holds text; otherwise the print-setup dialog, then the
    // window's picture goes to the clipboard and from there onto the page.
    PrintHooks hooks;
    hooks.setup = options_.printSetup;
    hooks.refuse = [this](QWidget*, const QString& text) { showMessage(text); };
    printWindow(this, txtWarning->text(), hooks);
}

void MainWindow::btnDatasheetClick() {
    // The local data sheet of the model in the selected row: nothing for the empty row
    // after the results, or when no row is selected.
    const int row = Grid->selectedGridRow();
    if (row < 1)
        return;
    DatasheetRequest request;
    request.root = DatasheetRoot;
    request.model = Grid->grid()->text(row, kNameColumn);
    request.is50Hz = Is50Hz;
    request.imperial = unitSystem() == UnitSystem::Imperial;
    openLocalDatasheet(options_.openDocument, request, modelNameBytes_.value(request.model));
}

void MainWindow::btnDatasheetOnLineClick() {
    openOnlineDatasheet(options_.openDocument);
}

} // namespace kv

// The window `Main`: selection lists, rating conditions, unit system, the Calculate run
// and the results grid. Every behaviour is a handler named after its control.
//
// The program directory, the argument text, the volume list and the message box are
// handed in through MainWindowOptions, so tests can run the real start-up against a
// temporary program directory and watch the message boxes instead of showing them.
#pragma once

#include "kv/binding.h"
#include "kv/calcrun.h"
#include "kv/codelists.h"
#include "kv/datacheck.h"
#include "kv/datasheet.h"
#include "kv/printing.h"
#include "kv/startup.h"
#include "kv/units.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kv {

class FieldKeyFilter;
class ModelWindowOpener;
class ResultsGrid;

struct MainWindowOptions {
    // Folder of the executable, without a trailing separator.
    QString programDir;
    // The program's arguments joined by single spaces.
    QString argumentText;
    // The machine's mounted volumes, for the data-sheet root on an optical drive.
    std::function<QList<Volume>()> volumes = mountedVolumes;
    // Shows a modal message box with an OK button. Tests replace it.
    std::function<void(QWidget* parent, const QString& title, const QString& text)> messageBox;
    // Binds the property library and the engine from the program directory.
    std::function<BindResult(const std::string& programDir)> bind = bindLibraries;
    // The print-setup dialog: false when it is cancelled. Tests replace it.
    std::function<bool(QPrinter& printer, QWidget* parent)> printSetup = runPrintDialog;
    // Opens a data sheet or a web address with the desktop. Tests replace it.
    DocumentOpener openDocument = desktopOpener();
};

// Exit statuses of a start-up that stops before the window is shown.
enum class StartupStatus {
    Ready = 0,
    DataProblem = 1,   // data.bin doesn't match the catalogue files
    MissingFile = 2,   // data.bin or a catalogue file is missing or can't be read
    BindingFailed = 3, // a library or one of its exports can't be bound
    NotStarted = 4,
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("Korvane Vantrix - Version 1.0");
    static inline const QString kDataProblem = QString::fromUtf8(
        kDataProblemMessage.data(), static_cast<qsizetype>(kDataProblemMessage.size()));

    explicit MainWindow(MainWindowOptions options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence. Runs once, before the window is shown. On a status other
    // than Ready a message box has named the problem and the window must not be shown;
    // the status is the program's exit status.
    StartupStatus startUp();

    // Form variables.
    int resultCount() const { return ResultCount; }
    bool is50Hz() const { return Is50Hz; }
    const QString& datasheetRoot() const { return DatasheetRoot; }
    bool suppressReorder() const { return SuppressReorder; }
    void setSuppressReorder(bool on) { SuppressReorder = on; }

    ResultsGrid* grid() const { return Grid; }
    // Opens a model's window from a result row of the grid.
    ModelWindowOpener* modelOpener() const { return modelOpener_; }
    const EngineApi& engine() const { return api_; }
    const QString& programDir() const { return options_.programDir; }

    UnitSystem unitSystem() const;
    Frequency frequency() const;
    OrderBy order() const;
    // The user's regional number format (the default locale).
    static NumberFormat numberFormat();

    // Shows a modal message box with the program's title (through the options' hook).
    void showMessage(const QString& text);

    // ---- handlers -----------------------------------------------------------------
    void cbConditionsClick();      // conditions preset
    void conditionFieldKeyPress(); // a character key in txtTe .. txtSh2
    void optFreqClick();           // frequency switch: refills cbVoltage
    void optIntsystClick();        // unit switch
    void optOrderClick();          // order handler
    void btnCalculateClick();      // the calculation run
    void SetUnitLabels();
    void InitGridHeader();

    // Reset All: catalogue selections, free-text fields, frequency and results area. The
    // start-up runs it too, before the stored choices come back.
    void resetAll();
    // At start-up: puts the stored choices back into the controls. A value that doesn't
    // fit its control is skipped.
    void restoreSettings();
    // Writes the user's choices to the settings store; runs when the window closes.
    void saveSettings();
    // Print: a picture of the window on the printer (and the clipboard).
    void btnPrintClick();
    // Opens the local data sheet of the selected model.
    void btnDatasheetClick();
    // Opens the maker's online data-sheet page.
    void btnDatasheetOnLineClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void setFocusOrder();

    // The parts of startUp(), in the order it runs them.

    // Ready when data.bin matches the catalogue files; otherwise the problem, named in a
    // message box.
    StartupStatus checkCatalogueFiles();
    // DatasheetRoot from the argument text or the machine's optical drives.
    void findDatasheetRoot();
    // Binds the property library and the engine and loads the catalogue. False (the
    // failure named in a message box) when a library or one of its exports can't be bound.
    bool bindAndInitialise();
    // The conditions list, with the default condition's preset in the fields.
    void fillConditionsList();
    // The refrigerant and family lists from the catalogue's code lists.
    void fillCatalogueLists();
    // Grid header and unit labels for the unit system now selected.
    void showUnitSystem();

    void emptyGrid(bool clearFormatting);
    void showStaleMessage();
    void setConditionTexts(const ConditionTexts& texts);
    ConditionTexts conditionTexts() const;
    // Selects `text` in a list when it holds it; false when it doesn't.
    static bool selectItem(QComboBox* list, const QString& text);
    void markOrderHeader();

    MainWindowOptions options_;
    StartupStatus status_ = StartupStatus::NotStarted;
    EngineApi api_;

    // Form variables.
    int ResultCount = 0;
    bool Is50Hz = false;
    QString DatasheetRoot;
    bool SuppressReorder = false;

    // Controls, named as in the window's design.
    QLabel* Label19 = nullptr;
    QRadioButton* opt_intsyst[2] = {};
    QLabel* Label20 = nullptr;
    QWidget* Frame2 = nullptr;
    QRadioButton* opt_freq[2] = {};
    QLabel* Label1 = nullptr;
    QComboBox* cbRefrig = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cbFamily = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cbVoltage = nullptr;
    QLabel* Label15 = nullptr;
    QLineEdit* txtCapacity = nullptr;
    QLabel* lblUnit_Target = nullptr;
    QLabel* Label16 = nullptr;
    QLineEdit* txtModelFilter = nullptr;
    QLabel* Label21 = nullptr;
    QWidget* Frame1 = nullptr;
    QRadioButton* opt_order[2] = {};
    QLabel* txtWarning = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* cbConditions = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* txtTe = nullptr;
    QLabel* lblUnit_Te = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* txtTc = nullptr;
    QLabel* lblUnit_Tc = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* txtSc = nullptr;
    QLabel* lblUnit_Sc = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* txtSh1 = nullptr;
    QLabel* lblUnit_Sh1 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* txtSh2 = nullptr;
    QLabel* lblUnit_Sh2 = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* btnCalculate = nullptr;
    QPushButton* btnResetAll = nullptr;
    ResultsGrid* Grid = nullptr;
    QLabel* lblResults = nullptr;
    QPushButton* btnDatasheet = nullptr;
    QPushButton* btnDatasheetOnLine = nullptr;
    QPushButton* btnPrint = nullptr;

    FieldKeyFilter* keyFilter_ = nullptr;
    // The engine's bytes of each model name in the grid, for its data sheet's file name.
    QHash<QString, QByteArray> modelNameBytes_;
    // Fluid files already named in a message.
    QSet<QString> reportedFluidFiles_;
    ModelWindowOpener* modelOpener_ = nullptr;
};

} // namespace kv

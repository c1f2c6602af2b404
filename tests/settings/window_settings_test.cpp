// The real window with its stored choices, Reset All, printing and data sheets: start-up
// against a temporary program directory with a small catalogue, and a settings store in
// a temporary folder.
#include "mainwindow.h"
#include "programdir.h"
#include "resultsgrid.h"
#include "test_catalogue.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using kvw::MainWindow;

namespace {

// Two 50 Hz models and one 60 Hz model of R134a that rate cleanly at the first preset.
std::string models() {
    kvtest::TestModel a;
    a.showName = "AB-1";
    a.capacity = 1000;
    kvtest::TestModel b;
    b.showName = "AB-2";
    b.capacity = 2000;
    kvtest::TestModel c;
    c.showName = "CD-6";
    c.dllp = "2"; // 460V 3ph 60Hz
    c.overrides["Frequency"] = "60";
    return kvtest::modelsFile({a, b, c});
}

// What the window showed and opened instead of dialogs and the desktop.
struct Recorder {
    QStringList messages;
    QList<QUrl> opened;
    int printDialogs = 0;
    QString pdf;
};

// One run of the program: start-up, the window shown, and close.
class Session {
public:
    Session(const kvtest::ProgramDir& dir, Recorder& rec, const QString& arguments = "/media/cd") {
        kvw::MainWindowOptions options;
        options.programDir = QString::fromStdString(dir.path().string());
        options.argumentText = arguments;
        options.volumes = [] { return QList<kvw::Volume>{}; };
        options.messageBox = [&rec](QWidget*, const QString&, const QString& text) {
            rec.messages << text;
        };
        options.printSetup = [&rec](QPrinter& printer, QWidget*) {
            ++rec.printDialogs;
            if (rec.pdf.isEmpty())
                return false;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(rec.pdf);
            return true;
        };
        options.openDocument = [&rec](const QUrl& url) {
            rec.opened << url;
            return true;
        };
        window = std::make_unique<MainWindow>(options);
        status = window->startUp();
        if (status == kvw::StartupStatus::Ready) {
            window->show();
            (void)QTest::qWaitForWindowExposed(window.get());
        }
    }
    ~Session() { close(); }

    void close() {
        if (window)
            window->close();
        window.reset();
    }

    template <typename T> T* get(const char* name) const {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QLineEdit* edit(const char* name) const { return get<QLineEdit>(name); }
    QComboBox* list(const char* name) const { return get<QComboBox>(name); }
    QRadioButton* option(const char* name) const { return get<QRadioButton>(name); }
    void click(const char* button) const { get<QPushButton>(button)->click(); }
    QString warning() const { return get<QLabel>("txtWarning")->text(); }
    QString cell(int row, int column) const { return window->grid()->grid()->text(row, column); }
    int gridRows() const { return window->grid()->grid()->gridRowCount(); }
    QStringList items(const char* name) const {
        QStringList out;
        for (int i = 0; i < list(name)->count(); ++i)
            out << list(name)->itemText(i);
        return out;
    }

    std::unique_ptr<MainWindow> window;
    kvw::StartupStatus status = kvw::StartupStatus::NotStarted;
};

// The fourteen keys of the store, "<missing>" for a key that isn't there.
QStringList storedValues(const QString& file) {
    QSettings store(file, QSettings::IniFormat);
    QStringList out;
    for (const char* key :
         {"Refrigerant", "Family", "Voltage", "Te", "Tc", "Sc", "Sh1", "Sh2", "Conditions",
          "TargetCapacity", "ModelFilter", "Freq", "Order", "Unit"}) {
        const QString k = QStringLiteral("Settings/") + key;
        out << (store.contains(k) ? store.value(k).toString() : QStringLiteral("<missing>"));
    }
    return out;
}

QByteArray fileContent(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeStore(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

} // namespace

class WindowSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStartWritesTheFourteenKeys();
    void roundTrips_data();
    void roundTrips();
    void onlyOneSelectsTheFirstOption_data();
    void onlyOneSelectsTheFirstOption();
    void storedChoicesComeBack();
    void badStore_data();
    void badStore();
    void dataProblemLeavesTheStoreAlone();
    void storeThatCantBeReadOrWritten();
    void resetAllWith60HzSelected();
    void printing();
    void datasheets();

private:
    QString storeFile() const;

    std::unique_ptr<QTemporaryDir> settingsDir_;
    std::unique_ptr<kvtest::ProgramDir> programDir_;
    QTemporaryDir outDir_;
};

QString WindowSettingsTest::storeFile() const {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return settingsDir_->filePath(name + "/" + name + ".conf");
}

void WindowSettingsTest::init() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    settingsDir_ = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_->path());
    programDir_ =
        std::make_unique<kvtest::ProgramDir>(kvtest::codesFile(kvtest::defaultCodes()), models());
}

void WindowSettingsTest::cleanup() {
    programDir_.reset();
    settingsDir_.reset();
    QLocale::setDefault(QLocale::system());
}

void WindowSettingsTest::firstStartWritesTheFourteenKeys() {
    Recorder rec;
    {
        Session s(*programDir_, rec);
        QCOMPARE(s.status, kvw::StartupStatus::Ready);
        QCOMPARE(s.list("cbConditions")->currentText(), QString("Asercom, AC / HBP"));
        QCOMPARE(
            (QStringList{s.edit("txtTe")->text(), s.edit("txtTc")->text(), s.edit("txtSc")->text(),
                         s.edit("txtSh1")->text(), s.edit("txtSh2")->text()}),
            (QStringList{"5", "50", "0", "10", "10"}));
        QVERIFY(s.option("opt_freq_0")->isChecked());
        QVERIFY(s.option("opt_order_0")->isChecked());
        QVERIFY(s.option("opt_intsyst_0")->isChecked());
        QCOMPARE(s.list("cbRefrig")->currentText(), QString("All"));
        QCOMPARE(s.list("cbVoltage")->currentText(), QString("All"));
        QVERIFY(s.edit("txtCapacity")->text().isEmpty());
        QVERIFY(s.edit("txtModelFilter")->text().isEmpty());
        QVERIFY(!QFile::exists(storeFile())); // nothing is written before the close
    }
    QCOMPARE(storedValues(storeFile()),
             (QStringList{"All", "All", "All", "5", "50", "0", "10", "10", "Asercom, AC / HBP", "",
                          "", "1", "1", "1"}));
    QVERIFY(rec.messages.isEmpty());
}

void WindowSettingsTest::roundTrips_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("imperial");
    QTest::addColumn<QString>("te");
    QTest::addColumn<QString>("sh1");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("stored");   // Te, Sh1, TargetCapacity, Unit
    QTest::addColumn<QStringList>("restored"); // txtTe, txtSh1, txtCapacity

    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("imperial 45 F and 3412.96928327645 Btu/h")
        << en << true << "45"
        << "20"
        << "3412.96928327645" << QStringList{"7.22222222222222", "11.1111111111111", "1000", "0"}
        << QStringList{"45", "20", "3412.96928327645"};
    QTest::newRow("imperial, German format")
        << de << true << "45"
        << "20"
        << "3412,96928327645" << QStringList{"7,22222222222222", "11,1111111111111", "1000", "0"}
        << QStringList{"45", "20", "3412,96928327645"};
    QTest::newRow("SI text target kept as text")
        << en << false << "7.5"
        << "11,11"
        << "abc" << QStringList{"7.5", "11.11", "abc", "1"} << QStringList{"7.5", "11.11", "abc"};
    QTest::newRow("SI, German format") << de << false << "-10,456"
                                       << "11.11"
                                       << "1500" << QStringList{"-10,456", "11,11", "1500", "1"}
                                       << QStringList{"-10,46", "11,11", "1500"};
}

void WindowSettingsTest::roundTrips() {
    QFETCH(QLocale, locale);
    QFETCH(bool, imperial);
    QFETCH(QString, te);
    QFETCH(QString, sh1);
    QFETCH(QString, target);
    QFETCH(QStringList, stored);
    QFETCH(QStringList, restored);
    QLocale::setDefault(locale);

    Recorder rec;
    {
        Session s(*programDir_, rec);
        if (imperial)
            s.option("opt_intsyst_1")->click();
        s.edit("txtTe")->setText(te);
        s.edit("txtSh1")->setText(sh1);
        s.edit("txtCapacity")->setText(target);
    }
    const QStringList all = storedValues(storeFile());
    QCOMPARE((QStringList{all[3], all[6], all[9], all[13]}), stored);

    Session s(*programDir_, rec);
    QCOMPARE(s.option("opt_intsyst_1")->isChecked(), imperial);
    QCOMPARE((QStringList{s.edit("txtTe")->text(), s.edit("txtSh1")->text(),
                          s.edit("txtCapacity")->text()}),
             restored);
}

void WindowSettingsTest::onlyOneSelectsTheFirstOption_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("first");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("2") << "2" << false;
    QTest::newRow("x") << "x" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("1 with a blank") << " 1" << false;
}

void WindowSettingsTest::onlyOneSelectsTheFirstOption() {
    QFETCH(QString, value);
    QFETCH(bool, first);
    writeStore(storeFile(),
               QString("[Settings]\nFreq=\"%1\"\nOrder=\"%1\"\nUnit=\"%1\"\n").arg(value).toUtf8());
    Recorder rec;
    Session s(*programDir_, rec);
    QCOMPARE(s.status, kvw::StartupStatus::Ready);
    QCOMPARE(s.option("opt_freq_0")->isChecked(), first);
    QCOMPARE(s.option("opt_freq_1")->isChecked(), !first);
    QCOMPARE(s.window->is50Hz(), first);
    QCOMPARE(s.option("opt_order_0")->isChecked(), first);
    QCOMPARE(s.option("opt_intsyst_0")->isChecked(), first);
    QCOMPARE(s.get<QLabel>("lblUnit_Te")->text(), first ? QString("°C") : QString("°F"));
    // The voltage list is the one of the selected frequency.
    const QStringList voltages = s.items("cbVoltage");
    QCOMPARE(voltages.value(0), QString("All"));
    for (const QString& item : voltages.mid(1))
        QVERIFY2(item.contains(first ? "50Hz" : "60Hz"), qPrintable(item));
}

void WindowSettingsTest::storedChoicesComeBack() {
    writeStore(storeFile(), "[Settings]\n"
                            "Refrigerant=R404A\nFamily=Recip\nVoltage=460V 3ph 60Hz\n"
                            "Te=-10.456\nTc=45\nSc=0\nSh1=10\nSh2=4\n"
                            "Conditions=\"ARI, MBP\"\nTargetCapacity=1500\nModelFilter=ab\n"
                            "Freq=0\nOrder=0\nUnit=1\n");
    Recorder rec;
    Session s(*programDir_, rec);
    QCOMPARE(s.list("cbRefrig")->currentText(), QString("R404A"));
    QCOMPARE(s.list("cbFamily")->currentText(), QString("Recip"));
    QCOMPARE(s.list("cbVoltage")->currentText(), QString("460V 3ph 60Hz"));
    QCOMPARE(s.list("cbConditions")->currentText(), QString("ARI, MBP"));
    QCOMPARE((QStringList{s.edit("txtTe")->text(), s.edit("txtTc")->text(), s.edit("txtSc")->text(),
                          s.edit("txtSh1")->text(), s.edit("txtSh2")->text()}),
             (QStringList{"-10.46", "45", "0", "10", "4"}));
    QCOMPARE(s.edit("txtCapacity")->text(), QString("1500"));
    QCOMPARE(s.edit("txtModelFilter")->text(), QString("ab"));
    QVERIFY(s.option("opt_freq_1")->isChecked());
    QVERIFY(s.option("opt_order_1")->isChecked());
    QVERIFY(s.warning().isEmpty());
}

void WindowSettingsTest::badStore_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("shown"); // cbRefrig, cbVoltage, cbConditions, txtTe, txtTc,
                                            // txtModelFilter, opt_freq_0

    QByteArray garbage(1, '\0');
    garbage += "\x01\xff garbage\n[[[\nno equals\n[Settings]\nTc=40\n";
    garbage += "Te=@Variant(\\0\\0\\0\\x7f)\nModelFilter=ZX\n";
    QTest::newRow("garbage around valid keys")
        << garbage << QStringList{"All", "All", "Asercom, AC / HBP", "5", "40", "ZX", "1"};
    QTest::newRow("missing keys") << QByteArray("[Settings]\nModelFilter=kept\n")
                                  << QStringList{"All",  "All", "Asercom, AC / HBP", "5", "50",
                                                 "kept", "1"};
    QTest::newRow("values that fit no control")
        << QByteArray("[Settings]\nRefrigerant=R999\nVoltage=460V 3ph 60Hz\n"
                      "Conditions=Nonsense\nTe=abc\nTc=41\nFreq=1\nModelFilter=m\n")
        << QStringList{"All", "All", "Asercom, AC / HBP", "5", "41", "m", "1"};
    QTest::newRow("unquoted list text is put together again")
        << QByteArray("[Settings]\nConditions=ARI, LBP\n")
        << QStringList{"All", "All", "ARI, LBP", "-31,67", "40,56", "", "1"};
    QTest::newRow("written under a German format")
        << QByteArray("[Settings]\nTe=\"7,22222222222222\"\nTc=\"7,225\"\nSc=0\n")
        << QStringList{"All", "All", "Asercom, AC / HBP", "5", "50", "", "1"};
}

void WindowSettingsTest::badStore() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, shown);
    writeStore(storeFile(), content + "\n[Other]\nkept=yes\n");
    Recorder rec;
    {
        Session s(*programDir_, rec);
        QCOMPARE(s.status, kvw::StartupStatus::Ready);
        QCOMPARE((QStringList{s.list("cbRefrig")->currentText(), s.list("cbVoltage")->currentText(),
                              s.list("cbConditions")->currentText(), s.edit("txtTe")->text(),
                              s.edit("txtTc")->text(), s.edit("txtModelFilter")->text(),
                              s.option("opt_freq_0")->isChecked() ? "1" : "0"}),
                 shown);
        QVERIFY(rec.messages.isEmpty());
    }
    // The close writes every key again and keeps the rest of the store.
    QSettings store(storeFile(), QSettings::IniFormat);
    QCOMPARE(store.value("Other/kept").toString(), QString("yes"));
    QVERIFY(!storedValues(storeFile()).contains("<missing>"));
}

void WindowSettingsTest::dataProblemLeavesTheStoreAlone() {
    const QByteArray before = "[Settings]\nRefrigerant=R404A\nFreq=0\n";
    writeStore(storeFile(), before);
    programDir_->write("data.bin", "12345\r\n");
    Recorder rec;
    {
        Session s(*programDir_, rec);
        QCOMPARE(s.status, kvw::StartupStatus::DataProblem);
    }
    QCOMPARE(rec.messages, QStringList{"Data Problem ! Quit the application"});
    QCOMPARE(fileContent(storeFile()), before);
}

void WindowSettingsTest::storeThatCantBeReadOrWritten() {
    QVERIFY(QDir().mkpath(storeFile())); // a folder where the file should be
    Recorder rec;
    {
        Session s(*programDir_, rec);
        QCOMPARE(s.status, kvw::StartupStatus::Ready);
        QCOMPARE(s.list("cbConditions")->currentText(), QString("Asercom, AC / HBP"));
        s.option("opt_freq_1")->click();
    }
    QVERIFY(QFileInfo(storeFile()).isDir());
    QVERIFY(rec.messages.isEmpty());
}

void WindowSettingsTest::resetAllWith60HzSelected() {
    Recorder rec;
    Session s(*programDir_, rec);
    s.click("btnCalculate");
    QVERIFY2(s.window->resultCount() > 0, "the test catalogue gave no results");
    s.option("opt_intsyst_1")->click();
    const QStringList fields{s.edit("txtTe")->text(), s.edit("txtTc")->text()};
    s.option("opt_order_1")->click();
    s.option("opt_freq_1")->click();
    s.list("cbVoltage")->setCurrentText("460V 3ph 60Hz");
    s.list("cbRefrig")->setCurrentText("R404A");
    s.edit("txtCapacity")->setText("900");
    s.edit("txtModelFilter")->setText("AB");
    QTest::keyClick(s.edit("txtTe"), Qt::Key_1); // stale results
    QVERIFY(!s.warning().isEmpty());

    s.click("btnResetAll");
    QVERIFY(s.option("opt_freq_0")->isChecked());
    QCOMPARE(s.list("cbVoltage")->currentIndex(), 0);
    QCOMPARE(s.list("cbVoltage")->currentText(), QString("All"));
    for (const QString& item : s.items("cbVoltage").mid(1))
        QVERIFY2(item.contains("50Hz"), qPrintable(item));
    QCOMPARE(s.list("cbRefrig")->currentText(), QString("All"));
    QCOMPARE(s.list("cbFamily")->currentText(), QString("All"));
    QVERIFY(s.edit("txtCapacity")->text().isEmpty());
    QVERIFY(s.edit("txtModelFilter")->text().isEmpty());
    QCOMPARE(s.window->resultCount(), 0);
    QCOMPARE(s.gridRows(), 2);
    for (int c = 0; c < 10; ++c)
        QVERIFY(s.cell(1, c).isEmpty());
    QCOMPARE(s.cell(0, 5), QString("Cooling capacity (Btu/h)")); // header of the units shown
    QCOMPARE(s.get<QLabel>("lblResults")->text(), QString("Results : 0"));
    QVERIFY(s.warning().isEmpty());
    // Left alone: unit system, order, conditions, Is50Hz.
    QVERIFY(s.option("opt_intsyst_1")->isChecked());
    QVERIFY(s.option("opt_order_1")->isChecked());
    QCOMPARE(s.list("cbConditions")->currentText(), QString("User Mode"));
    QCOMPARE(s.edit("txtTc")->text(), fields[1]);
    QVERIFY(s.window->is50Hz());
}

void WindowSettingsTest::printing() {
    Recorder rec;
    rec.pdf = outDir_.filePath("page.pdf");
    Session s(*programDir_, rec);
    QGuiApplication::clipboard()->setText("before");

    // A run with a total superheat of 4 K carries the low-superheat warning.
    s.edit("txtSh1")->setText("4");
    s.edit("txtSh2")->setText("4");
    s.click("btnCalculate");
    QVERIFY(s.window->resultCount() > 0);
    QVERIFY(!s.warning().isEmpty());
    s.click("btnPrint");
    QCOMPARE(rec.messages, QStringList{"The results can't be printed. Please recalculate !"});
    QCOMPARE(rec.printDialogs, 0);

    // A clean run, then a changed field: refused again.
    s.edit("txtSh1")->setText("10");
    s.edit("txtSh2")->setText("10");
    s.click("btnCalculate");
    QVERIFY(s.warning().isEmpty());
    QTest::keyClick(s.edit("txtTc"), Qt::Key_1);
    s.click("btnPrint");
    QCOMPARE(rec.messages.size(), 2);
    QCOMPARE(rec.printDialogs, 0);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
    QVERIFY(!QFile::exists(rec.pdf));

    // Recalculating allows it: the window's picture on the clipboard and on the page.
    s.edit("txtTc")->setText("50");
    s.click("btnCalculate");
    QVERIFY(s.warning().isEmpty());
    s.click("btnPrint");
    QCOMPARE(rec.messages.size(), 2);
    QCOMPARE(rec.printDialogs, 1);
    const QImage held = QGuiApplication::clipboard()->image();
    QCOMPARE(held.size(), s.window->frameGeometry().size() * s.window->devicePixelRatioF());
    QVERIFY(fileContent(rec.pdf).startsWith("%PDF"));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);

    // A cancelled dialog prints nothing and leaves the clipboard alone.
    QFile::remove(rec.pdf);
    rec.pdf.clear();
    QGuiApplication::clipboard()->setText("after");
    s.click("btnPrint");
    QCOMPARE(rec.printDialogs, 2);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("after"));
}

void WindowSettingsTest::datasheets() {
    Recorder rec;
    auto localFile = [&rec] {
        return rec.opened.isEmpty() ? QString() : rec.opened.takeLast().toLocalFile();
    };
    {
        Session s(*programDir_, rec, "/media/cd extra words");
        s.click("btnDatasheet"); // no results: nothing
        QVERIFY(rec.opened.isEmpty());

        s.click("btnCalculate");
        QVERIFY(s.window->resultCount() > 0);
        s.window->grid()->selectGridRow(1);
        const QString model = s.cell(1, 2);
        QVERIFY(!model.isEmpty());
        s.click("btnDatasheet");
        QCOMPARE(localFile(), "/media/cd/ds/" + model + "_50.PDF");

        // The frequency of the shown results, not of the option.
        s.option("opt_freq_1")->click();
        s.click("btnDatasheet");
        QCOMPARE(localFile(), "/media/cd/ds/" + model + "_50.PDF");

        // The unit system as it is now, without a new run.
        s.option("opt_intsyst_1")->click();
        s.click("btnDatasheet");
        QCOMPARE(localFile(), "/media/cd/ds/" + model + "_50_us.PDF");

        // The empty row after the results opens nothing.
        s.window->grid()->selectGridRow(s.window->resultCount() + 1);
        s.click("btnDatasheet");
        QVERIFY(rec.opened.isEmpty());

        s.click("btnDatasheetOnLine");
        QCOMPARE(rec.opened.size(), 1);
        QCOMPARE(rec.opened.takeLast().toString(),
                 QString("https://datasheets.korvane.example/odsg"));
    }
    QFile::remove(storeFile()); // start as the first time again
    {
        Session s(*programDir_, rec, " leading blank: empty root");
        s.click("btnCalculate");
        s.window->grid()->selectGridRow(1);
        const QString model = s.cell(1, 2);
        s.click("btnDatasheet");
        QCOMPARE(localFile(), "/ds/" + model + "_50.PDF");
    }
    QVERIFY(rec.messages.isEmpty());
}

QTEST_MAIN(WindowSettingsTest)
#include "window_settings_test.moc"

// The real window with its stored choices and Reset All: start-up
// against a temporary program directory with a small catalogue, and a settings store in
// a temporary folder.
#include "harness.h"
#include "kv/resultsgrid.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using kv::StartupStatus;
using kv::WindowHarness;

namespace {

// Two 50 Hz models and one 60 Hz model of R134a that rate cleanly at the first preset.
std::vector<kv::TestModel> models() {
    kv::TestModel sixty = kv::namedModel("CD-6", 1000, "2"); // 460V 3ph 60Hz
    sixty.overrides["Frequency"] = "60";
    return {kv::namedModel("AB-1"), kv::namedModel("AB-2", 2000), sixty};
}

QString cell(kv::WindowHarness& h, int row, int column) {
    return h.window().grid()->grid()->text(row, column);
}

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
    void resetAllWith60HzSelected();

private:
    QString storeFile() const;

    std::unique_ptr<QTemporaryDir> settingsDir_;
    std::unique_ptr<WindowHarness> h_;
};

QString WindowSettingsTest::storeFile() const {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return settingsDir_->filePath(name + "/" + name + ".conf");
}

void WindowSettingsTest::init() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    settingsDir_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsDir_->path()));
    h_ = std::make_unique<WindowHarness>(models());
    QFile::remove(storeFile()); // a first start: no store at all
}

void WindowSettingsTest::cleanup() {
    h_.reset();
    settingsDir_.reset();
    QLocale::setDefault(QLocale::system());
}

// A first start: every control at its default, and the fourteen keys written at the close.
void WindowSettingsTest::firstStartWritesTheFourteenKeys() {
    WindowHarness& h = *h_;
    QCOMPARE(h.start(), StartupStatus::Ready);
    // The fields, lists and options are written back as shown: the store below checks them.
    QVERIFY(h.window().is50Hz());
    QCOMPARE(h.list("cbVoltage")->currentIndex(), 0);
    QCOMPARE(h.label("lblResults")->text(), QString("Results : 0"));
    QVERIFY(h.warning().isEmpty());
    QCOMPARE(h.label("lblUnit_Target")->text(), QString("W"));
    QVERIFY(!h.window().suppressReorder());
    QCOMPARE(h.window().grid()->grid()->gridRowCount(), 2);
    QVERIFY(h.window().grid()->grid()->bold(0, 2));
    QVERIFY(!h.window().grid()->grid()->bold(0, 5));
    QCOMPARE(h.window().grid()->selectedGridRow(), 1);
    QVERIFY(!QFile::exists(storeFile())); // nothing is written before the close
    h.close();
    QCOMPARE(storedValues(storeFile()),
             (QStringList{"All", "All", "All", "5", "50", "0", "10", "10", "Asercom, AC / HBP", "",
                          "", "1", "1", "1"}));
    QVERIFY(h.messages().isEmpty());
}

void WindowSettingsTest::roundTrips_data() {
    QTest::addColumn<bool>("imperial");
    QTest::addColumn<QString>("te");
    QTest::addColumn<QString>("sh1");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("stored");   // Te, Sh1, TargetCapacity, Unit
    QTest::addColumn<QStringList>("restored"); // txtTe, txtSh1, txtCapacity
    QTest::newRow("imperial 45 F and 3412.96928327645 Btu/h")
        << true << "45" << QString("20") << "3412.96928327645"
        << QStringList{"7.22222222222222", "11.1111111111111", "1000", "0"}
        << QStringList{"45", "20", "3412.96928327645"};
    QTest::newRow("SI text target kept as text")
        << false << "7.5" << QString("11,11") << "abc" << QStringList{"7.5", "11.11", "abc", "1"}
        << QStringList{"7.5", "11.11", "abc"};
}

void WindowSettingsTest::roundTrips() {
    WindowHarness& h = *h_;
    QFETCH(bool, imperial);
    QFETCH(QString, te);
    QFETCH(QString, sh1);
    QFETCH(QString, target);
    QFETCH(QStringList, stored);
    QFETCH(QStringList, restored);
    QCOMPARE(h.start(), StartupStatus::Ready);
    if (imperial)
        h.option("opt_intsyst_1")->click();
    h.field("txtTe")->setText(te);
    h.field("txtSh1")->setText(sh1);
    h.field("txtCapacity")->setText(target);
    h.close();
    const QStringList all = storedValues(storeFile());
    QCOMPARE((QStringList{all[3], all[6], all[9], all[13]}), stored);

    QCOMPARE(h.start(), StartupStatus::Ready);
    QCOMPARE(h.option("opt_intsyst_1")->isChecked(), imperial);
    QCOMPARE((QStringList{h.field("txtTe")->text(), h.field("txtSh1")->text(),
                          h.field("txtCapacity")->text()}),
             restored);
}

void WindowSettingsTest::onlyOneSelectsTheFirstOption_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("first");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("1 with a blank") << " 1" << false;
}

void WindowSettingsTest::onlyOneSelectsTheFirstOption() {
    WindowHarness& h = *h_;
    QFETCH(QString, value);
    QFETCH(bool, first);
    writeStore(storeFile(),
               QString("[Settings]\nFreq=\"%1\"\nOrder=\"%1\"\nUnit=\"%1\"\n").arg(value).toUtf8());
    QCOMPARE(h.start(), StartupStatus::Ready);
    QCOMPARE(h.option("opt_freq_0")->isChecked(), first);
    QCOMPARE(h.option("opt_freq_1")->isChecked(), !first);
    QCOMPARE(h.window().is50Hz(), first);
    QCOMPARE(h.option("opt_order_0")->isChecked(), first);
    QCOMPARE(h.option("opt_intsyst_0")->isChecked(), first);
    QCOMPARE(h.get<QLabel>("lblUnit_Te")->text(), first ? QString("°C") : QString("°F"));
    // The voltage list is the one of the selected frequency.
    const QStringList voltages = h.items("cbVoltage");
    QCOMPARE(voltages.value(0), QString("All"));
    for (const QString& item : voltages.mid(1))
        QVERIFY2(item.contains(first ? "50Hz" : "60Hz"), qPrintable(item));
}

void WindowSettingsTest::storedChoicesComeBack() {
    WindowHarness& h = *h_;
    writeStore(storeFile(), "[Settings]\n"
                            "Refrigerant=R404A\nFamily=Recip\nVoltage=460V 3ph 60Hz\n"
                            "Te=-10.456\nTc=45\nSc=0\nSh1=10\nSh2=4\n"
                            "Conditions=\"ARI, MBP\"\nTargetCapacity=1500\nModelFilter=ab\n"
                            "Freq=0\nOrder=0\nUnit=1\n");
    QCOMPARE(h.start(), StartupStatus::Ready);
    QCOMPARE(h.list("cbRefrig")->currentText(), QString("R404A"));
    QCOMPARE(h.list("cbFamily")->currentText(), QString("Recip"));
    QCOMPARE(h.list("cbVoltage")->currentText(), QString("460V 3ph 60Hz"));
    QCOMPARE(h.list("cbConditions")->currentText(), QString("ARI, MBP"));
    QCOMPARE(h.conditions(), (QStringList{"-10.46", "45", "0", "10", "4"}));
    QCOMPARE(h.field("txtCapacity")->text(), QString("1500"));
    QCOMPARE(h.field("txtModelFilter")->text(), QString("ab"));
    QVERIFY(h.option("opt_freq_1")->isChecked());
    QVERIFY(h.option("opt_order_1")->isChecked());
    QVERIFY(h.warning().isEmpty());
    // Written back as shown; a list without a selected item stores an empty text.
    h.list("cbVoltage")->setCurrentIndex(-1);
    h.close();
    QCOMPARE(storedValues(storeFile()),
             (QStringList{"R404A", "Recip", "", "-10.46", "45", "0", "10", "4", "ARI, MBP", "1500",
                          "ab", "0", "0", "1"}));
}

void WindowSettingsTest::badStore_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("shown"); // cbRefrig, cbVoltage, cbConditions, txtTe, txtTc,
                                            // txtModelFilter, opt_freq_0

    QTest::newRow("values that fit no control")
        << QByteArray("[Settings]\nRefrigerant=R999\nVoltage=460V 3ph 60Hz\n"
                      "Conditions=Nonsense\nTe=abc\nTc=41\nFreq=1\nModelFilter=m\n")
        << QStringList{"All", "All", "Asercom, AC / HBP", "5", "41", "m", "1"};
    QTest::newRow("written under a German format")
        << QByteArray("[Settings]\nTe=\"7,22222222222222\"\nTc=\"7,225\"\nSc=0\n")
        << QStringList{"All", "All", "Asercom, AC / HBP", "5", "50", "", "1"};
}

void WindowSettingsTest::badStore() {
    WindowHarness& h = *h_;
    QFETCH(QByteArray, content);
    QFETCH(QStringList, shown);
    writeStore(storeFile(), content + "\n[Other]\nkept=yes\n");
    QCOMPARE(h.start(), StartupStatus::Ready);
    QCOMPARE((QStringList{h.list("cbRefrig")->currentText(), h.list("cbVoltage")->currentText(),
                          h.list("cbConditions")->currentText(), h.field("txtTe")->text(),
                          h.field("txtTc")->text(), h.field("txtModelFilter")->text(),
                          h.option("opt_freq_0")->isChecked() ? "1" : "0"}),
             shown);
    QVERIFY(h.messages().isEmpty());
    h.close(); // writes every key again and keeps the rest of the store
    QSettings store(storeFile(), QSettings::IniFormat);
    QCOMPARE(store.value("Other/kept").toString(), QString("yes"));
    const QStringList values = storedValues(storeFile());
    QVERIFY(!values.contains("<missing>"));
    QCOMPARE((QStringList{values[0], values[4], values[10], values[11]}),
             (QStringList{shown[0], shown[4], shown[5], shown[6]}));
}

void WindowSettingsTest::dataProblemLeavesTheStoreAlone() {
    WindowHarness& h = *h_;
    const QByteArray before = "[Settings]\nRefrigerant=R404A\nFreq=0\n";
    writeStore(storeFile(), before);
    h.dir().write("data.bin", "12345\r\n");
    QCOMPARE(h.start(), StartupStatus::DataProblem);
    h.close();
    QCOMPARE(h.messages(), QStringList{"Data Problem ! Quit the application"});
    QCOMPARE(fileContent(storeFile()), before);
}

void WindowSettingsTest::resetAllWith60HzSelected() {
    WindowHarness& h = *h_;
    QCOMPARE(h.start(), StartupStatus::Ready);
    h.click("btnCalculate");
    QVERIFY2(h.window().resultCount() > 0, "the test catalogue gave no results");
    h.option("opt_intsyst_1")->click();
    h.option("opt_order_1")->click();
    h.option("opt_freq_1")->click();
    h.list("cbVoltage")->setCurrentText("460V 3ph 60Hz");
    h.list("cbRefrig")->setCurrentText("R404A");
    h.field("txtCapacity")->setText("900");
    h.field("txtModelFilter")->setText("AB");
    QTest::keyClick(h.field("txtTe"), Qt::Key_1); // stale results
    QVERIFY(!h.warning().isEmpty());
    h.field("txtSc")->setText("3");
    const QStringList fields{h.field("txtTe")->text(), h.field("txtTc")->text(),
                             h.field("txtSc")->text()};

    h.click("btnResetAll");
    QVERIFY(h.option("opt_freq_0")->isChecked());
    QCOMPARE(h.list("cbVoltage")->currentIndex(), 0);
    QCOMPARE(h.list("cbVoltage")->currentText(), QString("All"));
    for (const QString& item : h.items("cbVoltage").mid(1))
        QVERIFY2(item.contains("50Hz"), qPrintable(item));
    QCOMPARE(h.list("cbRefrig")->currentText(), QString("All"));
    QCOMPARE(h.list("cbFamily")->currentText(), QString("All"));
    QVERIFY(h.field("txtCapacity")->text().isEmpty());
    QVERIFY(h.field("txtModelFilter")->text().isEmpty());
    QCOMPARE(h.window().resultCount(), 0);
    QCOMPARE(h.window().grid()->grid()->gridRowCount(), 2);
    for (int c = 0; c < 10; ++c)
        QVERIFY(cell(h, 1, c).isEmpty());
    QCOMPARE(cell(h, 0, 5), QString("Cooling capacity (Btu/h)")); // header of the units shown
    QCOMPARE(h.get<QLabel>("lblResults")->text(), QString("Results : 0"));
    QVERIFY(h.warning().isEmpty());
    // Left alone: unit system, order, conditions, Is50Hz.
    QVERIFY(h.option("opt_intsyst_1")->isChecked());
    QVERIFY(h.option("opt_order_1")->isChecked());
    QCOMPARE(h.list("cbConditions")->currentText(), QString("User Mode"));
    QCOMPARE(
        (QStringList{h.field("txtTe")->text(), h.field("txtTc")->text(), h.field("txtSc")->text()}),
        fields);
    QVERIFY(h.window().is50Hz());
}

QTEST_MAIN(WindowSettingsTest)
#include "window_settings_test.moc"

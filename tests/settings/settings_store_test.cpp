// The settings store on its own: the values the save writes, the keys in the store, the
// reading with defaults, stores edited by hand or written under another regional format,
// and stores that are no regular file.
#include "kv/settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using kv::ControlState;
using kv::NumberFormat;
using kv::StoredChoices;
using kv::UnitSystem;

Q_DECLARE_METATYPE(kv::NumberFormat)
Q_DECLARE_METATYPE(kv::UnitSystem)
Q_DECLARE_METATYPE(kv::StoredChoices)

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// The controls with the first start's state and the given fields.
ControlState controls(UnitSystem units, kv::ConditionTexts conditions, std::string target) {
    ControlState s;
    s.refrigerant = "R404A";
    s.family = "All";
    s.voltage = "220-240V 1~ 50Hz";
    s.conditions = std::move(conditions);
    s.conditionsItem = "User Mode";
    s.targetCapacity = std::move(target);
    s.modelFilter = "abc";
    s.units = units;
    return s;
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

} // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT

private slots:
    void savedNumbers_data();
    void savedNumbers();
    void keysWrittenAsTextsAndRoundTrip();
    void missingKeysReadAsDefaults();
    void handEditedStore_data();
    void handEditedStore();
    void saveKeepsWhatTheStoreHeld();
    void storeThatIsNoRegularFile_data();
    void storeThatIsNoRegularFile();
    void restoredConditionText_data();
    void restoredConditionText();
};

void SettingsStoreTest::savedNumbers_data() {
    QTest::addColumn<UnitSystem>("units");
    QTest::addColumn<NumberFormat>("format");
    QTest::addColumn<QStringList>("fields"); // te, tc, sc, sh1, sh2, target
    QTest::addColumn<QStringList>("stored"); // te, tc, sc, sh1, sh2, target

    const auto si = UnitSystem::SI;
    const auto imp = UnitSystem::Imperial;
    const auto en = NumberFormat::english();
    const auto de = NumberFormat::german();

    QTest::newRow("SI comma field in an English format")
        << si << en << QStringList{"7,22", "54,44", "8,33", "11,11", "11,11", ""}
        << QStringList{"7.22", "54.44", "8.33", "11.11", "11.11", ""};
    QTest::newRow("SI point field in a German format")
        << si << de << QStringList{"7.22", "54,44", "8.33", "11.11", "11,11", ""}
        << QStringList{"7,22", "54,44", "8,33", "11,11", "11,11", ""};
    QTest::newRow("SI text that is no number stores 0, target kept as text")
        << si << en << QStringList{"abc", "", "-", "1e", "x1", "abc"}
        << QStringList{"0", "0", "0", "0", "0", "abc"};
    QTest::newRow("SI target text kept exactly")
        << si << de << QStringList{"0", "0", "0", "0", "0", " 1.000,50 "}
        << QStringList{"0", "0", "0", "0", "0", " 1.000,50 "};
    QTest::newRow("imperial to SI, German")
        << imp << de << QStringList{"45", "-40", "9", "0", "0,9", "3412,96928327645"}
        << QStringList{"7,22222222222222", "-40", "5", "0", "0,5", "1000"};
    QTest::newRow("imperial text that is no number")
        << imp << en << QStringList{"abc", "32", "abc", "abc", "abc", "abc"}
        << QStringList{"-17.7777777777778", "0", "0", "0", "0", "0"};
    QTest::newRow("imperial empty target stays empty")
        << imp << en << QStringList{"32", "32", "0", "0", "0", ""}
        << QStringList{"0", "0", "0", "0", "0", ""};
}

void SettingsStoreTest::savedNumbers() {
    QFETCH(UnitSystem, units);
    QFETCH(NumberFormat, format);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, stored);

    const ControlState state =
        controls(units,
                 {fields[0].toStdString(), fields[1].toStdString(), fields[2].toStdString(),
                  fields[3].toStdString(), fields[4].toStdString()},
                 fields[5].toStdString());
    const StoredChoices c = kv::storedFromControls(state, format);
    QCOMPARE((QStringList{text(c.te), text(c.tc), text(c.sc), text(c.sh1), text(c.sh2),
                          text(c.targetCapacity)}),
             stored);
}

void SettingsStoreTest::keysWrittenAsTextsAndRoundTrip() {
    QTemporaryDir dir;
    const QString file = dir.filePath("new/store.conf"); // the folder is made too
    StoredChoices c;
    c.refrigerant = "R134a";
    c.family = " Scroll ";
    c.voltage = "380-415V 3~ 50Hz";
    c.te = "7.22222222222222";
    c.tc = "-40";
    c.sc = "0";
    c.sh1 = "back\\slash";
    c.sh2 = "1E+20";
    c.conditions = "Asercom, AC / HBP"; // a comma, which the file format would split
    c.targetCapacity = "@abc, \"quoted\" = x";
    c.modelFilter = "ü;#[x]";
    c.freq = "@String(0)";
    c.order = "1";
    c.unit = "";
    QVERIFY(kv::saveStoredChoices(file.toStdString(), c));
    QCOMPARE(kv::loadStoredChoices(file.toStdString()), c);

    // Still a QSettings store: its reader sees the same fourteen texts.
    QSettings store(file, QSettings::IniFormat);
    QCOMPARE(store.status(), QSettings::NoError);
    QCOMPARE(store.childGroups(), QStringList{"Settings"});
    store.beginGroup("Settings");
    const auto values = c.values();
    for (std::size_t k = 0; k < kv::kSettingsKeys.size(); ++k) {
        const QVariant v = store.value(kv::kSettingsKeys[k]);
        QCOMPARE(v.typeId(), int(QMetaType::QString));
        QCOMPARE(v.toString(), text(*values[k]));
    }
}

void SettingsStoreTest::missingKeysReadAsDefaults() {
    QTemporaryDir dir;
    const QString file = dir.filePath("store.conf");
    QCOMPARE(kv::loadStoredChoices(file.toStdString()), StoredChoices{});
    writeFile(file, "[Settings]\nTe=12.5\nFreq=0\nVoltage=\n");
    StoredChoices expected;
    expected.te = "12.5";
    expected.freq = "0";
    expected.voltage = ""; // present but empty is not missing
    QCOMPARE(kv::loadStoredChoices(file.toStdString()), expected);
}

// Each line is read on its own: a malformed line costs only its own key.
void SettingsStoreTest::handEditedStore_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected"); // key=value of the keys that differ from default

    QTest::newRow("open quote")
        << QByteArray("[Settings]\nRefrigerant=R404A\nConditions=\"ARI, MBP\nFreq=0\nUnit=0\n")
        << QStringList{"Refrigerant=R404A", "Freq=0", "Unit=0"};
    QTest::newRow("backslash at the end")
        << QByteArray("[Settings]\r\nTe=5\\\r\nTc=40\r\nSc=\"unterminated\nSh1=3\n")
        << QStringList{"Tc=40", "Sh1=3"};
    QTest::newRow("control characters")
        << QByteArray("[Settings]\nModelFilter=@String(\\0)\nFamily=\"a\\tb\"\nVoltage=\\x7f\n"
                      "Te=\\xc2\\x85\nSc=1\n")
        << QStringList{"Sc=1"};
    QTest::newRow("not UTF-8") << QByteArray(
                                      "[Settings]\nRefrigerant=R134a\xe9\nFamily=Recip \xc3\xa9\n")
                               << QStringList{"Family=Recip é"};
    QByteArray garbage("\x01\x02\xff\xfe binary noise\n");
    garbage += "no equals sign here\n=value without key\n[Settings\n";
    garbage += "Refrigerant=R404A ; a comment\n";
    garbage += "Conditions=ARI, MBP\n";                  // unquoted: read as a list
    garbage += "Te=@Variant(\\0\\0\\0\\x7f\\0\\0\\0)\n"; // a foreign type tag
    garbage += "Tc=@Rect(1 2 3 4)\n";                    // not a text
    garbage += "Freq=2\nOrder=@ByteArray(0)\nUnit=@@1\n";
    garbage += "[Other]\nFamily=elsewhere\n[general]\nVoltage=nowhere\n";
    QTest::newRow("garbage and foreign values")
        << garbage
        << QStringList{"Refrigerant=R404A", "Conditions=ARI, MBP", "Freq=2", "Order=0", "Unit=@1"};
    QTest::newRow("a byte-order mark, as some editors write it")
        << QByteArray("\xef\xbb\xbf[Settings]\r\nRefrigerant=R404A\r\nFreq=0\r\n")
        << QStringList{"Refrigerant=R404A", "Freq=0"};
    QTest::newRow("an absurdly long value is still just a text")
        << "[Settings]\nModelFilter=" + QByteArray(100000, 'x') + "\n"
        << QStringList{"ModelFilter=" + QString(100000, 'x')};
}

void SettingsStoreTest::handEditedStore() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    const kv::SettingsText store(std::string_view(content.constData(), content.size()));
    const StoredChoices c = store.choices();
    const StoredChoices defaults;
    QStringList differing;
    for (std::size_t k = 0; k < kv::kSettingsKeys.size(); ++k)
        if (*c.values()[k] != *defaults.values()[k])
            differing << QString(kv::kSettingsKeys[k]) + "=" + text(*c.values()[k]);
    QCOMPARE(differing, expected);
    // A save writes the keys into the store's one group and reads back the same.
    const std::string saved = store.withChoices(c);
    QCOMPARE(kv::SettingsText(saved).choices(), c);
    QCOMPARE(QByteArray::fromStdString(saved).count("[Settings"), 1);
}

// Saving over a store that wasn't parsed cleanly keeps every line it held: malformed
// lines as comments that no reader runs into the next line, other groups as they were.
void SettingsStoreTest::saveKeepsWhatTheStoreHeld() {
    QTemporaryDir dir;
    const QString file = dir.filePath("store.conf");
    writeFile(file, "; mine\n[Settings]\nConditions=\"ARI, MBP\nRefrigerant=R404A\n"
                    "Extra=kept\n[Other]\nkept=yes\\\n");
    StoredChoices c;
    c.conditions = "ARI, LBP";
    QVERIFY(kv::saveStoredChoices(file.toStdString(), c));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    for (const char* line :
         {"; mine\n", ";Conditions=\"ARI, MBP\n", "Extra=kept\n", "[Other]\n", ";kept=yes\\\n"})
        QVERIFY2(saved.contains(line), saved.constData());
    QCOMPARE(kv::loadStoredChoices(file.toStdString()), c);
    QSettings store(file, QSettings::IniFormat);
    QCOMPARE(store.value("Settings/Conditions").toString(), QString("ARI, LBP"));
    QCOMPARE(store.value("Settings/Refrigerant").toString(), QString("All"));
    QCOMPARE(store.value("Settings/Extra").toString(), QString("kept"));
}

// Only a regular file of this user is read or written: a named pipe is never opened, a
// link or a device is never written through, a file the user made read-only is left alone.
void SettingsStoreTest::storeThatIsNoRegularFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("readsTarget");
    QTest::newRow("named pipe") << "fifo" << false;
    QTest::newRow("folder") << "folder" << false;
    QTest::newRow("link to a file") << "link" << true;
    QTest::newRow("link to a named pipe") << "pipelink" << false;
    QTest::newRow("file of another user") << "foreign" << true;
    QTest::newRow("read-only file") << "readonly" << true;
}

void SettingsStoreTest::storeThatIsNoRegularFile() {
    QFETCH(QString, kind);
    QFETCH(bool, readsTarget);
    QTemporaryDir dir;
    const std::string store = dir.filePath("store.conf").toStdString();
    const QString target = dir.filePath("target.conf");
    const QByteArray content = "[Settings]\nRefrigerant=R404A\n";
    writeFile(target, content);
    if (kind == "fifo")
        QCOMPARE(::mkfifo(store.c_str(), 0600), 0);
    else if (kind == "folder")
        QVERIFY(QDir().mkdir(QString::fromStdString(store)));
    else if (kind == "link")
        QVERIFY(QFile::link(target, QString::fromStdString(store)));
    else if (kind == "pipelink")
        QVERIFY(::mkfifo(dir.filePath("pipe").toLocal8Bit().constData(), 0600) == 0 &&
                QFile::link(dir.filePath("pipe"), QString::fromStdString(store)));
    else if (kind == "readonly")
        QVERIFY(QFile::copy(target, QString::fromStdString(store)) &&
                ::chmod(store.c_str(), 0444) == 0);
    else if (::geteuid() != 0)
        QSKIP("giving a file to another user needs root");
    else
        QCOMPARE(::rename(target.toLocal8Bit().constData(), store.c_str()) == 0 &&
                     ::chown(store.c_str(), 65534, 65534) == 0,
                 true);

    StoredChoices expected;
    if (readsTarget)
        expected.refrigerant = "R404A";
    QCOMPARE(kv::loadStoredChoices(store), expected);
    QVERIFY(!kv::saveStoredChoices(store, StoredChoices{}));
    QCOMPARE(kv::loadStoredChoices(store), expected);
    if (kind != "foreign") {
        QFile f(kind == "readonly" ? QString::fromStdString(store) : target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    }
}

void SettingsStoreTest::restoredConditionText_data() {
    QTest::addColumn<NumberFormat>("format");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown"); // "-" when the value is skipped

    const auto en = NumberFormat::english();
    const auto de = NumberFormat::german();
    auto row = [](const char* name, const NumberFormat& format, const char* stored,
                  const char* shown) {
        QTest::newRow(name) << format << QString(stored) << QString(shown);
    };
    row("rounded to 2 decimals", en, "-10.456", "-10.46");
    row("German format", de, "7,22222222222222", "7,22");
    row("ties to even", en, "0.125", "0.12");
    row("whole number without decimals", en, "50", "50");
    row("trailing zeros dropped", de, "8,50", "8,5");
    row("exponent", en, "1E+20", "1E+20");
    row("surrounding blanks", en, " 5 ", "5");
    row("not a number", en, "abc", "-");
    row("empty", en, "", "-");
    row("written under German, read under English", en, "7,22222222222222", "-");
    row("German decimals that look like English thousands", en, "7,225", "-");
    row("written under English, read under German", de, "7.5", "-");
    row("English decimals that look like German thousands", de, "1.000", "-");
    row("out of range", en, "1E+400", "-");
    row("not finite", en, "inf", "-");
}

void SettingsStoreTest::restoredConditionText() {
    QFETCH(NumberFormat, format);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    const std::optional<std::string> text = kv::restoredConditionText(stored.toStdString(), format);
    QCOMPARE(text ? QString::fromStdString(*text) : QString("-"), shown);
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"

// The settings store on its own: the values the save writes, the keys in the store, the
// reading with defaults, and stores that were edited by hand or written under another
// regional format.
#include "settings.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using kv::NumberFormat;
using kv::UnitSystem;
using kvw::ControlState;
using kvw::StoredChoices;

Q_DECLARE_METATYPE(kv::NumberFormat)
Q_DECLARE_METATYPE(kv::UnitSystem)
Q_DECLARE_METATYPE(kvw::StoredChoices)

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
    void handEditedStore();
    void restoredConditionText_data();
    void restoredConditionText();
    void onlyOneSelectsTheFirstOption_data();
    void onlyOneSelectsTheFirstOption();
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
    const StoredChoices c = kvw::storedFromControls(state, format);
    QCOMPARE((QStringList{text(c.te), text(c.tc), text(c.sc), text(c.sh1), text(c.sh2),
                          text(c.targetCapacity)}),
             stored);
}

void SettingsStoreTest::keysWrittenAsTextsAndRoundTrip() {
    QTemporaryDir dir;
    const QString file = dir.filePath("store.conf");
    StoredChoices c;
    c.refrigerant = "R134a";
    c.family = "Scroll";
    c.voltage = "380-415V 3~ 50Hz";
    c.te = "7.22222222222222";
    c.tc = "-40";
    c.sc = "0";
    c.sh1 = "11.11";
    c.sh2 = "1E+20";
    c.conditions = "Asercom, AC / HBP"; // a comma, which the file format would split
    c.targetCapacity = "@abc, \"quoted\" = x";
    c.modelFilter = "ü;#[x]";
    c.freq = "0";
    c.order = "1";
    c.unit = "0";
    {
        QSettings store(file, QSettings::IniFormat);
        kvw::writeStoredChoices(store, c);
        QCOMPARE(store.status(), QSettings::NoError);
    }
    QSettings store(file, QSettings::IniFormat);
    QCOMPARE(store.childGroups(), QStringList{"Settings"});
    store.beginGroup("Settings");
    QStringList expected;
    for (const char* key : kvw::kSettingsKeys)
        expected << key;
    QStringList keys = store.childKeys();
    keys.sort();
    expected.sort();
    QCOMPARE(keys, expected);
    for (const QString& key : keys)
        QCOMPARE(store.value(key).typeId(), int(QMetaType::QString));
    store.endGroup();
    QCOMPARE(kvw::readStoredChoices(store), c);
}

void SettingsStoreTest::missingKeysReadAsDefaults() {
    QTemporaryDir dir;
    const QString file = dir.filePath("store.conf");
    {
        QSettings store(file, QSettings::IniFormat);
        QCOMPARE(kvw::readStoredChoices(store), StoredChoices{});
    }
    writeFile(file, "[Settings]\nTe=12.5\nFreq=0\nVoltage=\n");
    QSettings store(file, QSettings::IniFormat);
    StoredChoices expected;
    expected.te = "12.5";
    expected.freq = "0";
    expected.voltage = ""; // present but empty is not missing
    QCOMPARE(kvw::readStoredChoices(store), expected);
}

void SettingsStoreTest::handEditedStore() {
    QTemporaryDir dir;
    const QString file = dir.filePath("store.conf");
    QByteArray garbage("\x01\x02\xff\xfe binary noise\n");
    garbage += "no equals sign here\n=value without key\n[Settings\n";
    garbage += "[Settings]\n";
    garbage += "Refrigerant=R404A\n";
    garbage += "Conditions=ARI, MBP\n";                  // unquoted: read as a list
    garbage += "Te=@Variant(\\0\\0\\0\\x7f\\0\\0\\0)\n"; // a foreign type tag
    garbage += "Tc=@Rect(1 2 3 4)\n";                    // not a text
    garbage += "Freq=2\n";
    garbage += "Order=@ByteArray(0)\n";
    garbage += "Unit=1\n";
    QByteArray big(100000, 'x'); // an absurdly long value is still just a text
    garbage += "ModelFilter=" + big + "\n";
    garbage += "Sc=\"unterminated\nSh1=swallowed by the open quote\n";
    writeFile(file, garbage);

    QSettings store(file, QSettings::IniFormat);
    const StoredChoices c = kvw::readStoredChoices(store);
    QCOMPARE(c.refrigerant, std::string("R404A"));
    QCOMPARE(c.conditions, std::string("ARI, MBP"));
    QCOMPARE(c.te, std::string()); // no text: default
    QCOMPARE(c.tc, std::string()); // no text: default
    QCOMPARE(c.freq, std::string("2"));
    QCOMPARE(c.order, std::string("0"));
    QCOMPARE(c.unit, std::string("1"));
    QCOMPARE(c.family, std::string("All"));
    QCOMPARE(c.modelFilter.size(), std::size_t(100000));
    QVERIFY(c.sc.starts_with("unterminated"));
    QCOMPARE(c.sh1, std::string());
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
    const std::optional<std::string> text =
        kvw::restoredConditionText(stored.toStdString(), format);
    QCOMPARE(text ? QString::fromStdString(*text) : QString("-"), shown);
}

void SettingsStoreTest::onlyOneSelectsTheFirstOption_data() {
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("first");
    QTest::newRow("1") << "1" << true;
    for (const char* other : {"0", "2", "x", "", " 1", "1 ", "01", "1.0", "true", "-1"})
        QTest::newRow(qPrintable(QString("'%1'").arg(other))) << other << false;
}

void SettingsStoreTest::onlyOneSelectsTheFirstOption() {
    QFETCH(QString, flag);
    QFETCH(bool, first);
    QCOMPARE(kvw::selectsFirstOption(flag.toStdString()), first);
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"

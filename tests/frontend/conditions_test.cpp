// Rating conditions, the key rule of the condition fields, the frequency switch and the
// unit switch, on the real window.
#include "harness.h"
#include "kv/resultsgrid.h"

#include <QLocale>
#include <QTest>

using kv::StartupStatus;
using kv::WindowHarness;

namespace {

using kv::kEnglish;
using kv::kGerman;

// Replaces "{d}" with the default locale's decimal sign.
QString decimal(QString text) {
    return text.replace(QStringLiteral("{d}"), QLocale().decimalPoint());
}

} // namespace

class ConditionsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(kEnglish); }
    void cleanup() { QLocale::setDefault(kEnglish); }

    void presets_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("imperial");
        QTest::addColumn<QStringList>("fields");
        const struct {
            const char* item;
            QStringList si;
            QStringList imperial;
        } rows[] = {
            {"Asercom, AC / HBP", {"5", "50", "0", "10", "10"}, {"41", "122", "0", "18", "18"}},
            {"Asercom, MBP", {"-10", "45", "0", "10", "10"}, {"14", "113", "0", "18", "18"}},
            {"Asercom, LBP", {"-35", "40", "0", "10", "10"}, {"-31", "104", "0", "18", "18"}},
            {"ARI, AC / HBP",
             {"7,22", "54,44", "8,33", "11,11", "11,11"},
             {"45", "130", "15", "20", "20"}},
            {"ARI, MBP", {"-6,67", "48,89", "0", "11,11", "11,11"}, {"20", "120", "0", "20", "20"}},
            {"ARI, LBP",
             {"-31,67", "40,56", "0", "11,11", "11,11"},
             {"-25", "105", "0", "20", "20"}},
        };
        for (const auto& r : rows) {
            QTest::addRow("%s SI", r.item) << QString::fromLatin1(r.item) << false << r.si;
            QTest::addRow("%s imperial", r.item)
                << QString::fromLatin1(r.item) << true << r.imperial;
        }
        QTest::newRow("User Mode SI changes no field") << "User Mode" << false << QStringList();
        QTest::newRow("User Mode imperial") << "User Mode" << true << QStringList();
    }
    void presets() {
        QFETCH(QString, item);
        QFETCH(bool, imperial);
        QFETCH(QStringList, fields); // empty: the odd texts stay
        WindowHarness h;
        QCOMPARE(h.start(), StartupStatus::Ready);
        if (imperial)
            h.option("opt_intsyst_1")->click();
        // Start from another item so that every row is a change of selection.
        const QString user = QStringLiteral("User Mode");
        h.list("cbConditions")
            ->setCurrentText(item == user ? QStringLiteral("Asercom, AC / HBP") : user);
        const QStringList odd{"1,234", "x", "", "7.5", "-0"};
        h.setConditions(odd);
        h.list("cbConditions")->setCurrentText(item);
        QCOMPARE(h.conditions(), fields.isEmpty() ? odd : fields);
        QVERIFY(h.label("txtWarning")->text().isEmpty()); // no results shown: not stale
    }

    // Keys that produce a character turn the list to "User Mode" and reach the field.
    // Each key with the text the X11 platform delivers with it.
    void keyRule_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<bool>("userMode");
        QTest::addColumn<QString>("text"); // field text after the key, from "10"
        auto row = [](const char* name, const char* field, Qt::Key key, int modifiers,
                      const QString& sent, bool userMode, const char* text) {
            QTest::newRow(name) << QString::fromLatin1(field) << int(key) << modifiers << sent
                                << userMode << QString::fromLatin1(text);
        };
        row("letter", "txtTe", Qt::Key_A, 0, "a", true, "10a");
        row("backspace", "txtSh2", Qt::Key_Backspace, 0, "\b", true, "1");
        row("enter", "txtSh1", Qt::Key_Return, 0, "\r", true, "10");
        row("control combination", "txtTe", Qt::Key_A, Qt::ControlModifier, "\x01", true, "10");
        row("delete", "txtSh2", Qt::Key_Delete, 0, "\x7f", false, "10");
        row("left arrow", "txtTe", Qt::Key_Left, 0, "", false, "10");
        row("up arrow", "txtTc", Qt::Key_Up, 0, "", false, "10");
        row("function key", "txtSc", Qt::Key_F2, 0, "", false, "10");
        row("shift alone", "txtSc", Qt::Key_Shift, Qt::ShiftModifier, "", false, "10");
    }
    void keyRule() {
        QFETCH(QString, field);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, sent);
        QFETCH(bool, userMode);
        QFETCH(QString, text);
        WindowHarness h;
        QCOMPARE(h.start(), StartupStatus::Ready);
        QLineEdit* edit = h.field(field.toLatin1().constData());
        edit->setText(QStringLiteral("10"));
        edit->setFocus();
        edit->end(false);
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key(key), sent,
                            Qt::KeyboardModifiers(modifiers));
        QCOMPARE(h.list("cbConditions")->currentText(),
                 userMode ? QStringLiteral("User Mode") : QStringLiteral("Asercom, AC / HBP"));
        QCOMPARE(edit->text(), text);
    }

    void keysInOtherFieldsDontSwitch() {
        WindowHarness h;
        QCOMPARE(h.start(), StartupStatus::Ready);
        QTest::keyClicks(h.field("txtCapacity"), QStringLiteral("12"));
        QTest::keyClicks(h.field("txtModelFilter"), QStringLiteral("zb"));
        QCOMPARE(h.list("cbConditions")->currentText(), QStringLiteral("Asercom, AC / HBP"));
    }

    // The power-supply texts listed under each frequency, in code order after "All"; the
    // tag must follow the number directly.
    void frequencyTags() {
        WindowHarness h({}, {{"DLLR", 1, "R134a"},
                             {"DLLP", 1, "400V 3ph 50Hz"},
                             {"DLLP", 2, "460V 3ph 60Hz"},
                             {"DLLP", 3, "230V 1ph 50 Hz"},
                             {"DLLP", 4, "Dual 50Hz/60Hz"}});
        QCOMPARE(h.start(), StartupStatus::Ready);
        QCOMPARE(h.items("cbVoltage"), (QStringList{"All", "400V 3ph 50Hz", "Dual 50Hz/60Hz"}));
        h.option("opt_freq_1")->click();
        QCOMPARE(h.items("cbVoltage"), (QStringList{"All", "460V 3ph 60Hz", "Dual 50Hz/60Hz"}));
        QCOMPARE(h.list("cbVoltage")->currentIndex(), -1); // nothing selected after a switch
        QVERIFY(h.window().is50Hz());                      // the switch leaves Is50Hz alone
    }

    void emptyPowerListGivesAllAlone() {
        WindowHarness h({}, {{"DLLR", 1, "R134a"}, {"DLLP", 1, "230V 1ph 50 Hz"}});
        QCOMPARE(h.start(), StartupStatus::Ready);
        QCOMPARE(h.items("cbVoltage"), QStringList{"All"});
        h.option("opt_freq_1")->click();
        QCOMPARE(h.items("cbVoltage"), QStringList{"All"});
    }
};

class UnitsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(kEnglish); }

    // One field of each kind in SI, after the switch to imperial, and after switching back,
    // under both regional formats; "{d}" stands for the locale's decimal sign. The
    // conversions themselves are the core's unit-switch test.
    void roundTrips_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("si");
        QTest::addColumn<QString>("imperial");
        QTest::addColumn<QString>("back");
        const QLocale* locale = nullptr;
        auto row = [&locale](const char* what, const char* field, const char* si,
                             const char* imperial, const char* back) {
            QTest::addRow("%s %s", locale->name().toLatin1().constData(), what)
                << *locale << QString::fromLatin1(field) << QString::fromUtf8(si)
                << QString::fromLatin1(imperial) << QString::fromLatin1(back);
        };
        for (const QLocale& l : {kEnglish, kGerman}) {
            locale = &l;
            row("7,22 °C", "txtTe", "7,22", "45", "7{d}22");
            row("rounded to 2 decimals", "txtSh1", "1", "1{d}8", "1");
            row("1000 W", "txtCapacity", "1000", "3412{d}96928327645", "1000");
        }
    }
    void roundTrips() {
        QFETCH(QLocale, locale);
        QFETCH(QString, field);
        QFETCH(QString, si);
        QFETCH(QString, imperial);
        QFETCH(QString, back);
        QLocale::setDefault(locale);
        WindowHarness h;
        QCOMPARE(h.start(), StartupStatus::Ready);
        QLineEdit* edit = h.field(field.toLatin1().constData());
        edit->setText(si);
        h.option("opt_intsyst_1")->click();
        QCOMPARE(edit->text(), decimal(imperial));
        h.option("opt_intsyst_0")->click();
        QCOMPARE(edit->text(), decimal(back));
    }

    void labelsFollowTheOptionHeadersWait() {
        WindowHarness h;
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.option("opt_intsyst_1")->click();
        const QStringList imperial{"Btu/h", "°F", "°F", "°F", "°F", "°F"};
        QStringList shown;
        for (const char* l : {"lblUnit_Target", "lblUnit_Te", "lblUnit_Tc", "lblUnit_Sc",
                              "lblUnit_Sh1", "lblUnit_Sh2"})
            shown << h.label(l)->text();
        QCOMPARE(shown, imperial);
        // The grid keeps its header until the next run or Reset All (see the settings test).
        QCOMPARE(h.window().grid()->grid()->text(0, 5), QStringLiteral("Cooling capacity (W)"));
        // The conditions list keeps its item and txtWarning is not touched.
        QCOMPARE(h.list("cbConditions")->currentText(), QStringLiteral("Asercom, AC / HBP"));
        QVERIFY(h.label("txtWarning")->text().isEmpty());
    }
};

int runConditionsTests(int argc, char** argv) {
    int status = 0;
    {
        ConditionsTest t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        UnitsTest t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "conditions_test.moc"

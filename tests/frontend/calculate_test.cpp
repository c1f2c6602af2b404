// The Calculate run on the real window and libraries with small catalogues: filter,
// frequency check, warnings, formats, the capacity window, ordering and the grid.
#include "harness.h"
#include "kv/modelwindow.h"
#include "kv/resultsgrid.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLocale>
#include <QTest>
#include <QToolTip>

#include <algorithm>

using kv::StartupStatus;
using kv::TestModel;
using kv::WindowHarness;

namespace {

using kv::kEnglish;
using kv::kGerman;

using kv::namedModel;

} // namespace

class CalculateTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(kEnglish); }
    void cleanup() { QLocale::setDefault(kEnglish); }

    // The filter is upper-cased and must occur exactly in the ShowName.
    void modelFilter_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("empty filter") << "" << QStringList{"ZB45KCE", "ZR61", "zb38kce"};
        QTest::newRow("lower case matches upper-case name") << "zb" << QStringList{"ZB45KCE"};
        QTest::newRow("middle of the name") << "b4" << QStringList{"ZB45KCE"};
        QTest::newRow("no match") << "xyz" << QStringList{};
    }
    void modelFilter() {
        QFETCH(QString, filter);
        QFETCH(QStringList, names);
        WindowHarness h({namedModel("ZB45KCE"), namedModel("zb38kce"), namedModel("ZR61")});
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.field("txtModelFilter")->setText(filter);
        h.click("btnCalculate");
        QCOMPARE(h.column(2), names);
        QCOMPARE(h.window().resultCount(), names.size());
        QCOMPARE(h.label("lblResults")->text(), QStringLiteral("Results : %1").arg(names.size()));
        QCOMPARE(h.window().grid()->grid()->gridRowCount(), names.size() + 2);
        QCOMPARE(h.window().grid()->selectedGridRow(), 1);
    }

    // Models are kept by the frequency their power supply names, each at one frequency; a
    // supply the catalogue doesn't know ("DLLP" 10) is kept at both.
    void frequencyCheck() {
        std::vector<TestModel> models;
        for (int p = 1; p <= 10; ++p)
            models.push_back(
                namedModel(QStringLiteral("M%1").arg(p, 2, 10, QLatin1Char('0')).toStdString(),
                           1000, std::to_string(p)));
        WindowHarness h(models);
        QCOMPARE(h.start(), StartupStatus::Ready);
        int rows = 0;
        for (const QString& hertz : {QStringLiteral("50"), QStringLiteral("60")}) {
            if (hertz == QLatin1String("60"))
                h.option("opt_freq_1")->click(); // cbVoltage shows no item: read as "All"
            h.click("btnCalculate");
            const QStringList voltages = h.column(4);
            QVERIFY(voltages.contains(QStringLiteral("10")));
            for (const QString& v : voltages)
                QVERIFY2(v == QLatin1String("10") || v.endsWith('/' + hertz), qPrintable(v));
            QCOMPARE(h.window().is50Hz(), hertz == QLatin1String("50"));
            rows += static_cast<int>(voltages.size());
        }
        QCOMPARE(rows, 11);
        QCOMPARE(h.column(1).value(0), QStringLiteral("Scroll")); // "DLLF" 1
    }

    // A model rated with a positive warning code is left out.
    void warningCodeLeftOut() {
        TestModel warned = namedModel("WARN-1");
        warned.overrides = {{"TeMax", "0"}};
        WindowHarness h({namedModel("OK-1"), warned});
        QCOMPARE(h.start(), StartupStatus::Ready);
        double out[5];
        const int32_t code = h.window().engine().KPX_Rating(2, "", "", 0, 5, 50, 0, 10, 10, &out[0],
                                                            &out[1], &out[2], &out[3], &out[4]);
        QVERIFY2(code > 0, "the catalogue's second model must rate with a warning");
        h.click("btnCalculate");
        QCOMPARE(h.column(2), QStringList{"OK-1"});
    }

    // Sh2 below 5 K warns; exactly 5 K (9 °F) doesn't. The core's run test has the rest.
    void lowSuperheat_data() {
        QTest::addColumn<bool>("imperial");
        QTest::addColumn<QString>("sh2");
        QTest::addColumn<bool>("warns");
        QTest::newRow("SI 5") << false << "5" << false;
        QTest::newRow("SI 4.99") << false << "4.99" << true;
        QTest::newRow("imperial 9") << true << "9" << false;
    }
    void lowSuperheat() {
        QFETCH(bool, imperial);
        QFETCH(QString, sh2);
        QFETCH(bool, warns);
        WindowHarness h({namedModel("A-1")});
        QCOMPARE(h.start(), StartupStatus::Ready);
        if (imperial)
            h.option("opt_intsyst_1")->click();
        h.field("txtSh2")->setText(sh2);
        h.click("btnCalculate");
        QCOMPARE(h.label("txtWarning")->text(),
                 warns ? QStringLiteral("Low superheat. Risk on liquid return !") : QString());
    }

    // Any text in any field: the unit switches and a run read it, never crash, and show
    // a result count.
    void anyTextIsAccepted_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "abc";
        QTest::newRow("huge") << "1E308";
        QTest::newRow("overflowing") << "1e400";
        QTest::newRow("not a number") << "nan";
        QTest::newRow("infinity") << "-inf";
        QTest::newRow("both signs") << "1,234.5,6";
        QTest::newRow("long") << QString(5000, QLatin1Char('9'));
        QTest::newRow("unicode") << QStringLiteral("\u00b0\u20ac\U0001F600");
        QTest::newRow("control characters") << QStringLiteral("1\t2\n3");
    }
    void anyTextIsAccepted() {
        QFETCH(QString, text);
        WindowHarness h({namedModel("A-1")});
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.setConditions({text, text, text, text, text});
        h.field("txtCapacity")->setText(text);
        h.field("txtModelFilter")->setText(text);
        h.option("opt_intsyst_1")->click();
        h.option("opt_intsyst_0")->click();
        h.click("btnCalculate");
        QVERIFY(h.label("lblResults")->text().startsWith(QStringLiteral("Results : ")));
        QCOMPARE(h.window().grid()->grid()->gridRowCount(), h.window().resultCount() + 2);
        h.field("txtModelFilter")->clear();
        h.click("btnCalculate");
        h.option("opt_order_0")->click();
        h.click("btnResetAll");
        QCOMPARE(h.window().resultCount(), 0);
    }

    // Cell texts of one row in both unit systems and two locales.
    void formats_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<bool>("imperial");
        QTest::addColumn<double>("capacity");
        QTest::addColumn<double>("massFlow");
        QTest::addColumn<QStringList>("cells"); // columns 5 to 9
        QTest::newRow("thousands, English") << kEnglish << false << 1234.0 << 0.1
                                            << QStringList{"1,234", "500", "2.47", "2.00", "360"};
        QTest::newRow("thousands, German") << kGerman << false << 1234.0 << 0.1
                                           << QStringList{"1.234", "500", "2,47", "2,00", "360"};
        QTest::newRow("imperial") << kEnglish << true << 1000.0 << 0.01
                                  << QStringList{"3,413", "500", "6.83", "2.00", "079"};
    }
    void formats() {
        QFETCH(QLocale, locale);
        QFETCH(bool, imperial);
        QFETCH(double, capacity);
        QFETCH(double, massFlow);
        QFETCH(QStringList, cells);
        QLocale::setDefault(locale);
        TestModel m = namedModel("F-1", capacity);
        m.massFlow = massFlow;
        WindowHarness h({m});
        QCOMPARE(h.start(), StartupStatus::Ready);
        if (imperial) {
            h.option("opt_intsyst_1")->click();
            h.list("cbConditions")->setCurrentText(QStringLiteral("User Mode"));
            // 41 / 122 / 0 / 18 / 18 °F are the base conditions 5 / 50 / 0 / 10 / 10.
            h.list("cbConditions")->setCurrentText(QStringLiteral("Asercom, AC / HBP"));
        }
        h.click("btnCalculate");
        QCOMPARE(h.window().resultCount(), 1);
        const QStringList row = h.window().grid()->grid()->rowTexts(1);
        QCOMPARE(row.mid(5), cells);
        QCOMPARE(h.window().grid()->grid()->text(0, 5),
                 imperial ? QStringLiteral("Cooling capacity (Btu/h)")
                          : QStringLiteral("Cooling capacity (W)"));
    }

    // Twenty models of 100 W to 2000 W: at most five rows either side of the nearest.
    void capacityWindow_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("selected");
        auto row = [](const char* name, const char* target, const char* first, const char* last,
                      int selected) {
            QTest::newRow(name) << QString::fromLatin1(target) << QString::fromLatin1(first)
                                << QString::fromLatin1(last) << selected;
        };
        // The core's ordering test has the window's edges and ties.
        row("nearest row 3", "300", "M01", "M08", 3);
        row("no number centres on the smallest", "abc", "M01", "M06", 1);
        row("grouped target", "1,200", "M07", "M17", 6);
    }
    void capacityWindow() {
        QFETCH(QString, target);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(int, selected);
        std::vector<TestModel> models;
        // Written in reverse so that the run's own ordering matters.
        for (int i = 20; i >= 1; --i)
            models.push_back(namedModel(
                QStringLiteral("M%1").arg(i, 2, 10, QLatin1Char('0')).toStdString(), 100.0 * i));
        WindowHarness h(models);
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.field("txtCapacity")->setText(target);
        h.click("btnCalculate");
        const QStringList names = h.column(2);
        QCOMPARE(names.value(0), first);
        QCOMPARE(names.value(names.size() - 1), last);
        const int count = last.mid(1).toInt() - first.mid(1).toInt() + 1;
        QCOMPARE(h.window().resultCount(), count);
        QCOMPARE(h.label("lblResults")->text(), QStringLiteral("Results : %1").arg(count));
        QCOMPARE(h.window().grid()->selectedGridRow(), selected);
        QCOMPARE(h.window().grid()->grid()->gridRowCount(), count + 2);
        QVERIFY(h.option("opt_order_1")->isChecked()); // a target orders by capacity
        QVERIFY(h.window().grid()->grid()->bold(0, 5));
        QVERIFY(!h.window().suppressReorder());
    }

    // Rows, colours and selection of a run.
    void gridAfterRun() {
        WindowHarness h(
            {namedModel("B-1", 2000), namedModel("A-1", 3000), namedModel("C-1", 1000)});
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.click("btnCalculate");
        const kv::GridModel* grid = h.window().grid()->grid();
        QCOMPARE(h.column(2), (QStringList{"A-1", "B-1", "C-1"}));
        QCOMPARE(grid->gridRowCount(), 5);
        for (int r = 1; r <= 4; ++r) // the trailing empty row too
            QCOMPARE(grid->color(r, 5), QColor(255, 0, 0));
        QVERIFY(grid->rowTexts(4).join(QString()).isEmpty());
        QCOMPARE(h.window().grid()->selectedGridRow(), 1);
        QVERIFY(grid->bold(0, 2));
    }

    // Ordering by name by character codes, by capacity as numbers, keeping the row.
    void ordering() {
        WindowHarness h(
            {namedModel("ab-1", 900), namedModel("AB-2", 12000), namedModel("Cx", 1500)});
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.click("btnCalculate");
        QCOMPARE(h.column(2), (QStringList{"AB-2", "Cx", "ab-1"}));
        h.window().grid()->selectGridRow(3);
        h.option("opt_order_1")->click();
        QCOMPARE(h.column(5), (QStringList{"900", "1,500", "12,000"}));
        QCOMPARE(h.column(2), (QStringList{"ab-1", "Cx", "AB-2"}));
        QCOMPARE(h.window().grid()->selectedGridRow(), 3); // the row number, not the model
        QVERIFY(h.window().grid()->grid()->bold(0, 5));
        QVERIFY(!h.window().grid()->grid()->bold(0, 2));
        h.option("opt_order_0")->click();
        QCOMPARE(h.column(2), (QStringList{"AB-2", "Cx", "ab-1"}));

        // With SuppressReorder set a click only marks the header and keeps the selection.
        h.window().setSuppressReorder(true);
        h.window().grid()->selectGridRow(2);
        h.option("opt_order_1")->click();
        QCOMPARE(h.column(2), (QStringList{"AB-2", "Cx", "ab-1"}));
        QVERIFY(h.window().grid()->grid()->bold(0, 5));
        QCOMPARE(h.window().grid()->selectedGridRow(), 2);
        h.window().setSuppressReorder(false);
    }

    // The stale-results message: only with results shown, only for condition changes.
    void staleResults() {
        const QString stale = QStringLiteral("Displayed results are not under these conditions");
        WindowHarness h({namedModel("A-1")});
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.list("cbConditions")->setCurrentText(QStringLiteral("ARI, MBP"));
        QVERIFY(h.label("txtWarning")->text().isEmpty()); // empty grid: not stale

        h.list("cbConditions")->setCurrentText(QStringLiteral("Asercom, AC / HBP"));
        h.click("btnCalculate");
        QCOMPARE(h.window().resultCount(), 1);
        QVERIFY(h.label("txtWarning")->text().isEmpty());
        h.option("opt_freq_1")->click();
        h.option("opt_intsyst_1")->click();
        QVERIFY(h.label("txtWarning")->text().isEmpty()); // neither switch marks results
        h.list("cbConditions")->setCurrentText(QStringLiteral("ARI, MBP"));
        QCOMPARE(h.label("txtWarning")->text(), stale);

        h.option("opt_intsyst_0")->click();
        h.option("opt_freq_0")->click();
        h.list("cbConditions")->setCurrentText(QStringLiteral("Asercom, AC / HBP"));
        h.click("btnCalculate");
        QVERIFY(h.label("txtWarning")->text().isEmpty());
        QTest::keyClick(h.field("txtTc"), Qt::Key_Backspace);
        QCOMPARE(h.label("txtWarning")->text(), stale);
        QCOMPARE(h.list("cbConditions")->currentText(), QStringLiteral("User Mode"));

        h.click("btnResetAll");
        QVERIFY(h.label("txtWarning")->text().isEmpty());
        QCOMPARE(h.window().resultCount(), 0);
        QCOMPARE(h.window().grid()->grid()->gridRowCount(), 2);
    }

    // Catalogue texts that are no UTF-8 (8-bit, Latin-1): the lists show them as text and
    // keep their bytes, so picking one selects its models only, it comes back from the
    // store, a model's data sheet is named with the catalogue's bytes, and Enter on its row
    // opens its model window, titled with the text the grid shows.
    void eightBitCatalogueTexts() {
        std::vector<kv::CodeLine> codes = kv::defaultCodes();
        codes.push_back({"DLLR", 3, "R134a\xE9"});
        codes.push_back({"DLLF", 3, "Scroll \xC4"});
        codes.push_back({"DLLP", 11, "400V \xB0 50Hz"});
        TestModel eightBit = namedModel("K\xC4-1");
        eightBit.dllr = "3";
        eightBit.dllf = "3";
        eightBit.dllp = "11";
        WindowHarness h({eightBit, namedModel("B-2")}, codes);
        QCOMPARE(h.start(QStringLiteral("/media/cd")), StartupStatus::Ready);
        QCOMPARE(h.items("cbRefrig").last(), QStringLiteral("R134a\u00e9"));
        for (auto [list, item] : {std::pair{"cbRefrig", QStringLiteral("R134a\u00e9")},
                                  std::pair{"cbFamily", QStringLiteral("Scroll \u00c4")},
                                  std::pair{"cbVoltage", QStringLiteral("400V \u00b0 50Hz")}}) {
            h.click("btnResetAll");
            h.list(list)->setCurrentIndex(h.list(list)->findText(item));
            QCOMPARE(h.list(list)->currentText(), item);
            h.click("btnCalculate");
            QCOMPARE(h.column(2), QStringList{QStringLiteral("K\u00c4-1")});
        }
        h.window().grid()->selectGridRow(1);
        h.click("btnDatasheet");
        QCOMPARE(h.opened.size(), 1);
        QCOMPARE(h.opened.first().toEncoded(), QByteArray("file:///media/cd/ds/K%C4-1_50.PDF"));
        QTest::keyClick(h.window().grid(), Qt::Key_Return);
        const auto modelWindows = h.window().findChildren<kv::ModelWindow*>();
        QCOMPARE(modelWindows.size(), 1);
        QCOMPARE(modelWindows[0]->context().model.name, std::string("K\xC4-1"));
        QVERIFY(modelWindows[0]->windowTitle().startsWith(QStringLiteral("K\u00c4-1 - ")));
        qDeleteAll(modelWindows);

        h.list("cbRefrig")->setCurrentIndex(h.items("cbRefrig").indexOf("R134a\u00e9"));
        h.close();
        QCOMPARE(h.start(), StartupStatus::Ready);
        QCOMPARE(h.list("cbRefrig")->currentText(), QStringLiteral("R134a\u00e9"));
        QCOMPARE(h.list("cbVoltage")->currentText(), QStringLiteral("400V \u00b0 50Hz"));
    }

    // A run that leaves every model out says why, as the command line does, in the
    // tooltip of the results label; a run with results has none.
    void emptyRunSaysWhy_data() {
        QTest::addColumn<QString>("te");
        QTest::addColumn<bool>("fifty"); // a 50 Hz model beside the 60 Hz one
        QTest::addColumn<QStringList>("why");
        QTest::newRow("refused by the engine")
            << "-70" << true
            << QStringList{"1 model matches the selection; none is rated cleanly at these "
                           "conditions.",
                           "  1 left out (code ",
                           "  1 other model has a power supply not for 50 Hz"};
        QTest::newRow("power supply of the other frequency only")
            << "5" << false
            << QStringList{"No model matches the selection.",
                           "  1 other model has a power supply not for 50 Hz"};
    }
    void emptyRunSaysWhy() {
        QFETCH(QString, te);
        QFETCH(bool, fifty);
        QFETCH(QStringList, why);
        TestModel sixty = namedModel("CD-6", 1000, "2"); // 460V 3ph 60Hz
        sixty.overrides["Frequency"] = "60";
        std::vector<TestModel> models{sixty};
        if (fifty)
            models.push_back(namedModel("AB-1"));
        WindowHarness h(models);
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.field("txtTe")->setText(te);
        auto* calculate = h.get<QPushButton>("btnCalculate");
        QTest::mouseClick(calculate, Qt::LeftButton, {}, calculate->rect().center());
        QLabel* results = h.label("lblResults");
        QCOMPARE(results->text(), QStringLiteral("Results : 0"));
        const QPoint at = results->rect().center();
        QHelpEvent help(QEvent::ToolTip, at, results->mapToGlobal(at));
        QApplication::sendEvent(results, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        const QStringList lines = QToolTip::text().split(QLatin1Char('\n'));
        QToolTip::hideText();
        for (const QString& line : why)
            QVERIFY2(std::any_of(lines.begin(), lines.end(),
                                 [&](const QString& l) { return l.startsWith(line); }),
                     qPrintable(lines.join(QLatin1Char('\n'))));

        h.option("opt_freq_1")->click();
        h.field("txtTe")->setText("5");
        QTest::mouseClick(calculate, Qt::LeftButton, {}, calculate->rect().center());
        QCOMPARE(h.window().resultCount(), 1);
        QVERIFY(results->toolTip().isEmpty());
    }

    // A fluid file the property library can't use: the run names it once, and later
    // runs don't repeat it.
    void fluidFileThatCantBeUsed() {
        WindowHarness h({namedModel("A-1")});
        h.dir().remove("data/fluids"); // the link to the built fluids: a folder of its own
        h.dir().write("data/fluids/R134a.json", "{ \"INFO\": ");
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.click("btnCalculate");
        QCOMPARE(h.window().resultCount(), 0);
        QCOMPARE(h.messages().size(), 1);
        QVERIFY2(h.messages().first().contains("/data/fluids/R134a.json can't be used"),
                 qPrintable(h.messages().first()));
        h.click("btnCalculate");
        QCOMPARE(h.messages().size(), 1);
    }
};

int runCalculateTests(int argc, char** argv) {
    CalculateTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "calculate_test.moc"

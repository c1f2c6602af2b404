// The model window on the real window and libraries: opened by a double-click or Enter on
// a result row only, keeping its conditions across new runs, its table's range checks, its
// exports and a model the engine refuses everywhere.
#include "harness.h"
#include "kv/diagramview.h"
#include "kv/figures.h"
#include "kv/gascoolerview.h"
#include "kv/modelwindow.h"
#include "kv/resultsgrid.h"

#include <QApplication>

#include <algorithm>
#include <limits>

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

using kv::figureModels;
using kv::ModelWindow;
using kv::pdfText;
using kv::StartupStatus;
using kv::TestModel;
using kv::WindowHarness;

namespace {

std::vector<TestModel> models() {
    TestModel a, b, refused;
    a.showName = "ZB45KCE";
    a.capacity = 4321;
    b.showName = "ZR61";
    refused.showName = "NOENV-1"; // no upper Te limit: the engine refuses every point
    refused.overrides = {{"TeHig", "-"}};
    return {a, b, refused};
}

// A model window on `name` at Te 5, Tc 50, Sc 0, Sh1 Sh2 10 (engine units).
ModelWindow* openAt(WindowHarness& h, const char* name, kv::UnitSystem units = kv::UnitSystem::SI) {
    const auto model = kv::findModelByName(h.window().engine(), name);
    if (!model)
        return nullptr;
    return new ModelWindow(h.window().engine(), {*model, {5, 50, 0, 10, 10}, units, {".", ","}},
                           &h.window());
}

// A number of the window in the format {".", ","} as plain text.
QString plain(QString text) {
    text.remove(QStringLiteral(" *"));
    text.remove(QLatin1Char(','));
    return text;
}

// Chooses entry `index` of the "Show" list by keyboard, from the first.
void chooseShown(ModelWindow* w, int index) {
    auto* combo = w->findChild<QComboBox*>("cbQuantity");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
}

QList<ModelWindow*> modelWindows(WindowHarness& h) {
    return h.window().findChildren<ModelWindow*>();
}

void closeModelWindows(WindowHarness& h) {
    qDeleteAll(modelWindows(h));
}

} // namespace

class ModelWindowTest : public QObject {
    Q_OBJECT
private slots:
    // Where a double-click or Enter lands decides whether a model window opens.
    void opening_data() {
        QTest::addColumn<bool>("calculate");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("opens");
        QTest::newRow("double-click on a result row") << true << "click" << 2 << true;
        QTest::newRow("Enter on a result row") << true << "enter" << 1 << true;
        QTest::newRow("double-click on the empty row") << true << "click" << 3 << false;
        QTest::newRow("Enter on the empty row") << true << "enter" << 3 << false;
        QTest::newRow("double-click on the header") << true << "header" << 0 << false;
        QTest::newRow("grid without results") << false << "click" << 1 << false;
    }
    void opening() {
        QFETCH(bool, calculate);
        QFETCH(QString, how);
        QFETCH(int, row);
        QFETCH(bool, opens);
        WindowHarness h(models());
        QCOMPARE(h.start(), StartupStatus::Ready);
        if (calculate)
            h.click("btnCalculate");
        QCOMPARE(h.window().resultCount(), calculate ? 2 : 0);
        kv::ResultsGrid* grid = h.window().grid();
        if (how == "header") {
            QHeaderView* header = grid->horizontalHeader();
            QTest::mouseDClick(header->viewport(), Qt::LeftButton, {},
                               QPoint(header->sectionViewportPosition(2) + 5, 5));
        } else if (how == "click") {
            const QRect cell = grid->visualRect(grid->model()->index(row - 1, 2));
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        } else {
            grid->selectGridRow(row);
            QTest::keyClick(grid, Qt::Key_Return);
        }
        const QList<ModelWindow*> opened = modelWindows(h);
        QCOMPARE(opened.size(), opens ? 1 : 0);
        if (opens) {
            QVERIFY(opened[0]->isVisible());
            QVERIFY(!opened[0]->isModal());
            QCOMPARE(QString::fromStdString(opened[0]->context().model.name),
                     h.window().grid()->grid()->text(row, 2));
        }
        closeModelWindows(h);
    }

    // A new run leaves an open model window at the conditions it was opened with, and the
    // main window keeps working.
    void keepsItsConditions() {
        WindowHarness h(models());
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.click("btnCalculate");
        ModelWindow* w = h.window().modelOpener()->open(1);
        QVERIFY(w != nullptr);
        QVERIFY(w->windowTitle().contains(QStringLiteral("Te 5.0 °C, Tc 50.0 °C")));
        const QString conditions = w->findChild<QLabel*>("lblConditions")->text();
        QVERIFY2(
            conditions.contains(QStringLiteral("Te 5 °C, Tc 50 °C, Sc 0 K, Sh1 10 K, Sh2 10 K")),
            qPrintable(conditions));

        h.setConditions({"0", "45", "0", "10", "10"});
        h.click("btnCalculate");
        QCOMPARE(h.window().resultCount(), 2);
        QCOMPARE(w->context().conditions, (kv::ConditionValues{5, 50, 0, 10, 10}));
        QCOMPARE(w->findChild<QLabel*>("lblConditions")->text(), conditions);
        QVERIFY(w->isVisible());
        closeModelWindows(h);
    }

    // A range that can't be tabled is named in the window; the old table stays.
    void rangeProblems_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("step zero") << "txtTeStep"
                                   << "0"
                                   << "above zero";
        QTest::newRow("negative step") << "txtTcStep"
                                       << "-5"
                                       << "above zero";
        QTest::newRow("too many cells") << "txtTeStep"
                                        << "0,001"
                                        << "at most 10000";
        QTest::newRow("no number") << "txtTcTo"
                                   << "abc"
                                   << "no number";
        QTest::newRow("Te above Tc everywhere") << "txtTeFrom"
                                                << "70"
                                                << "every cell";
    }
    void rangeProblems() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        WindowHarness h(models());
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.click("btnCalculate");
        ModelWindow* w = h.window().modelOpener()->open(1);
        QVERIFY(w != nullptr);
        if (field == "txtTeFrom")
            w->findChild<QLineEdit*>("txtTeTo")->setText(QStringLiteral("90"));
        w->findChild<QLineEdit*>(field)->setText(text);
        QTest::mouseClick(w->findChild<QPushButton*>("btnApplyRange"), Qt::LeftButton);
        QLabel* problem = w->findChild<QLabel*>("lblRangeProblem");
        QVERIFY(problem->isVisible());
        QVERIFY2(problem->text().contains(message), qPrintable(problem->text()));
        QCOMPARE(w->table().te.size(), std::size_t{5});
        closeModelWindows(h);
    }

    // The CSV holds the table's figures; the PDF is a page with text: the model's name,
    // its refrigerant and the table's figures.
    void exports() {
        WindowHarness h(models());
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.click("btnCalculate");
        ModelWindow* w = h.window().modelOpener()->open(1); // ZB45KCE, 4,321 W everywhere
        QVERIFY(w != nullptr);
        QTemporaryDir dir;
        const QString csvPath = dir.filePath(QStringLiteral("table.csv"));
        QCOMPARE(w->exportCsv(csvPath), QString());
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        // The model and conditions, an empty line, header, 25 cells, nothing after the last CRLF.
        QCOMPARE(lines.size(), 30);
        QVERIFY(lines[1].startsWith("ZB45KCE,R134a,"));
        QVERIFY(lines[3].startsWith("Te (\xc2\xb0"
                                    "C),Tc (\xc2\xb0"
                                    "C),Code,Cooling capacity (W)"));
        QVERIFY(lines[4].startsWith("-5,40,0,4321,"));

        const QString pdfPath = dir.filePath(QStringLiteral("sheet.pdf"));
        QCOMPARE(w->exportPdf(pdfPath), QString());
        const QString text = pdfText(pdfPath);
        QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
        for (const char* expected :
             {"ZB45KCE", "R134a", "Scroll ZB", "4,321", "Performance table", "Operating envelope"})
            QVERIFY2(text.contains(QLatin1String(expected)), expected);

        // A folder where the file should be: a message, not a crash.
        QVERIFY(!w->exportCsv(dir.path()).isEmpty());
        QVERIFY(!w->exportPdf(dir.path()).isEmpty());
        closeModelWindows(h);
    }

    // Where a point is refused, the diagram's tooltip and the table's empty cells say which
    // limit: the engine's verdict at that point.
    void refusalReasons() {
        WindowHarness h(models());
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.click("btnCalculate");
        ModelWindow* w = h.window().modelOpener()->open(1);
        QVERIFY(w != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto* view = w->findChild<kv::DiagramView*>("picEnvelope");
        QVERIFY(view != nullptr);
        const kv::Drawing& d = view->drawing();
        QVERIFY(d.teFrom < -60); // left of the catalogue's TeLow: refused with -2
        const QPoint left(static_cast<int>(d.plotLeft + 2),
                          static_cast<int>(d.plotTop + d.plotHeight / 2));
        QHelpEvent help(QEvent::ToolTip, left, view->mapToGlobal(left));
        QApplication::sendEvent(view, &help);
        QVERIFY2(QToolTip::text().contains(QStringLiteral(
                     "Refused (code -2): evaporating temperature below the envelope")),
                 qPrintable(QToolTip::text()));

        w->findChild<QLineEdit*>("txtTeTo")->setText(QStringLiteral("35"));
        QTest::keyClick(w->findChild<QLineEdit*>("txtTeTo"), Qt::Key_Return);
        auto* table = w->findChild<QTableWidget*>("tblPerformance");
        QCOMPARE(table->rowCount(), 9); // Te -5 to 35
        QTableWidgetItem* refused = table->item(8, 0);
        QVERIFY(refused->text().isEmpty());
        QCOMPARE(refused->toolTip(),
                 QStringLiteral("Refused: evaporating temperature above the envelope"));
        QCOMPARE(table->item(2, 2)->text(), QStringLiteral("4,321"));
        closeModelWindows(h);
    }

    // A wide table at the window's default size: every column is as wide as its widest
    // number, the operating point's cell and column heading show theirs whole, and the
    // table scrolls sideways instead.
    void wideTableShowsWholeNumbers() {
        std::vector<TestModel> wide = models();
        wide[0].capacity = 1234567; // "1,234,567" in every cell
        WindowHarness h(wide);
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.click("btnCalculate");
        kv::ResultsGrid* grid = h.window().grid();
        const QRect row = grid->visualRect(grid->model()->index(0, kv::kNameColumn));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(modelWindows(h).size(), 1);
        ModelWindow* w = modelWindows(h).first();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->size(), QSize(1180, 640));
        for (auto [field, text] : {std::pair{"txtTcFrom", "20"}, std::pair{"txtTcTo", "70"},
                                   std::pair{"txtTcStep", "2.5"}}) {
            auto* edit = w->findChild<QLineEdit*>(field);
            edit->selectAll();
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
        QTest::keyClick(w->findChild<QLineEdit*>("txtTcStep"), Qt::Key_Return);
        auto* table = w->findChild<QTableWidget*>("tblPerformance");
        QCOMPARE(table->columnCount(), 21);
        const int pointRow = w->table().pointRow, column = w->table().pointColumn;
        QVERIFY(pointRow >= 0 && column >= 0);
        QTableWidgetItem* point = table->item(pointRow, column);
        QCOMPARE(point->text(), QStringLiteral("1,234,567"));
        // The view cuts a text wider than its cell less the margins on either side.
        const int margins = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        const int cellWidth = table->visualItemRect(point).width() - margins;
        QVERIFY2(QFontMetrics(point->font()).horizontalAdvance(point->text()) <= cellWidth,
                 qPrintable(QString::number(cellWidth)));
        QTableWidgetItem* heading = table->horizontalHeaderItem(column);
        QVERIFY(QFontMetrics(heading->font()).horizontalAdvance(heading->text()) <
                table->horizontalHeader()->sectionSize(column));
        QVERIFY(table->horizontalScrollBar()->isVisible());
        QVERIFY(table->horizontalScrollBar()->maximum() > 0);
        closeModelWindows(h);
    }

    // The data sheet of a wide imperial range: no text below 7 pt (a word's box, as
    // pdftotext gives it, is at least that high), and every page with a table lists every
    // code its cells use in its key, on the page.
    void widePdfStaysReadable() {
        // Warnings and refusals at both ends of the range, clean at the run's point.
        TestModel narrow = kv::namedModel("NARROW-1");
        narrow.overrides = {{"TeMax", "8"}, {"TeHig", "12"}, {"TcMin", "30"}, {"TcLow", "20"}};
        WindowHarness h({narrow});
        QCOMPARE(h.start(), StartupStatus::Ready);
        QRadioButton* imperial = h.option("opt_intsyst_1");
        QTest::mouseClick(imperial, Qt::LeftButton, {}, QPoint(7, imperial->height() / 2));
        auto* calculate = h.get<QPushButton>("btnCalculate");
        QTest::mouseClick(calculate, Qt::LeftButton, {}, calculate->rect().center());
        h.window().grid()->selectGridRow(1);
        QTest::keyClick(h.window().grid(), Qt::Key_Return);
        QCOMPARE(modelWindows(h).size(), 1);
        ModelWindow* w = modelWindows(h).first();
        const char* range[][2] = {{"txtTeFrom", "-40"}, {"txtTeTo", "60"},  {"txtTeStep", "10"},
                                  {"txtTcFrom", "60"},  {"txtTcTo", "160"}, {"txtTcStep", "10"}};
        for (const auto& [field, text] : range) {
            auto* edit = w->findChild<QLineEdit*>(field);
            edit->selectAll();
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
        QTest::keyClick(w->findChild<QLineEdit*>("txtTcStep"), Qt::Key_Return);
        QVERIFY(w->table().tc.size() >= 11);
        QStringList codes;
        for (const kv::TableCell& c : w->table().cells)
            if (c.code != 0 && !codes.contains(QString::number(c.code) + ":"))
                codes << QString::number(c.code) + ":";
        QVERIFY2(codes.size() >= 2, qPrintable(codes.join(' ')));

        QTemporaryDir dir;
        const QString pdfPath = dir.filePath(QStringLiteral("wide.pdf"));
        QCOMPARE(w->exportPdf(pdfPath), QString());
        const QString html = pdfText(pdfPath, QStringLiteral("-bbox"));
        QVERIFY(!html.isEmpty());
        const QRegularExpression word(QStringLiteral(
            R"re(<word xMin="[\d.]+" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">([^<]*)</word>)re"));
        int tablePages = 0;
        for (const QString& page : html.split(QStringLiteral("<page ")).mid(1)) {
            QStringList words;
            for (auto m = word.globalMatch(page); m.hasNext();) {
                const QRegularExpressionMatch w = m.next();
                words << w.captured(3);
                QVERIFY2(w.captured(2).toDouble() - w.captured(1).toDouble() >= 7,
                         qPrintable(w.captured(3)));
            }
            if (!words.contains(QStringLiteral("\\")))
                continue; // no table on the page
            ++tablePages;
            QStringList listed;
            for (qsizetype i = 0; i + 1 < words.size(); ++i)
                if (words[i] == QStringLiteral("Code"))
                    listed << words[i + 1];
            for (const QString& code : codes)
                QVERIFY2(listed.contains(code), qPrintable(code + " not in " + listed.join(' ')));
        }
        QVERIFY(tablePages >= 2);
        closeModelWindows(h);
    }

    // Every figure in the "Show" list after the five quantities; chosen by keyboard, the
    // table shows the figure the core gives for the same cells, rounded as the CLI rounds
    // it, and a cell above the maximum discharge temperature is marked with its reason.
    void showsEachFigure_data() {
        QTest::addColumn<int>("figure");
        QTest::addColumn<int>("units");
        for (std::size_t f = 0; f < kv::kFigureCount; ++f)
            QTest::newRow(kv::kFigureNames[f].data())
                << static_cast<int>(f) << static_cast<int>(kv::UnitSystem::SI);
        QTest::newRow("dischargePressure imperial")
            << static_cast<int>(kv::Figure::DischargePressure)
            << static_cast<int>(kv::UnitSystem::Imperial);
    }
    void showsEachFigure() {
        QFETCH(int, figure);
        QFETCH(int, units);
        const auto f = static_cast<kv::Figure>(figure);
        const auto system = static_cast<kv::UnitSystem>(units);
        WindowHarness h(figureModels());
        QCOMPARE(h.start(), StartupStatus::Ready);
        std::unique_ptr<ModelWindow> w(openAt(h, "FIG-C", system));
        QVERIFY(w != nullptr);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto* combo = w->findChild<QComboBox*>("cbQuantity");
        QCOMPARE(combo->count(), kv::kQuantities + static_cast<int>(kv::kFigureCount));
        chooseShown(w.get(), kv::kQuantities + figure);
        QCOMPARE(combo->currentText(), QString::fromStdString(kv::figureHeading(f, system)));

        const kv::ExtraFigure expected =
            kv::tableFigure(h.window().engine(), w->context().model.number, w->table(), f);
        auto* table = w->findChild<QTableWidget*>("tblPerformance");
        const std::size_t columns = w->table().tc.size();
        const std::pair<int, int> cells[] = {{0, 0}, {w->table().pointRow, w->table().pointColumn}};
        for (const auto& [row, column] : cells) {
            QTableWidgetItem* item = table->item(row, column);
            const std::size_t k =
                static_cast<std::size_t>(row) * columns + static_cast<std::size_t>(column);
            QVERIFY(expected.values[k].has_value());
            QCOMPARE(plain(item->text()), QString::fromStdString(kv::plainNumber(
                                              *expected.values[k], kv::figureDecimals(f, system))));
            // 95 °C against a maximum of 80 °C: every figure of the cell is of a warned point.
            QVERIFY2(item->text().endsWith(QStringLiteral(" *")), qPrintable(item->text()));
            QVERIFY2(item->toolTip().contains(QLatin1String(kv::kAboveMaxDischargeReason.data())),
                     qPrintable(item->toolTip()));
        }
        // Back to a quantity: the rating's own figures, no warning.
        chooseShown(w.get(), 0);
        QVERIFY(!table->item(0, 0)->text().endsWith(QStringLiteral(" *")));
    }

    // Without a displacement there is no volumetric efficiency: an empty cell that says why.
    void noDisplacementSaysWhy() {
        WindowHarness h(figureModels());
        QCOMPARE(h.start(), StartupStatus::Ready);
        std::unique_ptr<ModelWindow> w(openAt(h, "FIG-E"));
        QVERIFY(w != nullptr);
        chooseShown(w.get(), kv::kQuantities + static_cast<int>(kv::Figure::VolumetricEfficiency));
        QTableWidgetItem* item = w->findChild<QTableWidget*>("tblPerformance")->item(0, 0);
        QVERIFY(item->text().isEmpty());
        QVERIFY2(item->toolTip().contains(QStringLiteral("no displacement")),
                 qPrintable(item->toolTip()));
    }

    // The heading gives the operating point's pressures (bar in SI, psia in imperial), the
    // pressure ratio and the discharge temperature, "(estimated)" from the energy balance.
    void headingShowsPressures_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("units");
        QTest::addColumn<bool>("estimated");
        QTest::newRow("energy balance, SI") << "FIG-E" << 0 << true;
        QTest::newRow("catalogue's own, imperial") << "FIG-C" << 1 << false;
    }
    void headingShowsPressures() {
        QFETCH(QString, model);
        QFETCH(int, units);
        QFETCH(bool, estimated);
        const auto system = static_cast<kv::UnitSystem>(units);
        const bool imperial = system == kv::UnitSystem::Imperial;
        WindowHarness h(figureModels());
        QCOMPARE(h.start(), StartupStatus::Ready);
        std::unique_ptr<ModelWindow> w(openAt(h, qPrintable(model), system));
        QVERIFY(w != nullptr);
        const kv::RatingFigures r = kv::rateFigures(h.window().engine(), w->context().model.number,
                                                    5, 50, w->context().conditions, system);
        const QString text = w->findChild<QLabel*>("lblPressures")->text();
        const auto number = [&](const char* label) {
            const QRegularExpression re(QLatin1String(label) +
                                        QStringLiteral(R"([^:]*: ([\d.,]+))"));
            const auto m = re.match(text);
            return m.hasMatch() ? plain(m.captured(1)).toDouble() : -1.0;
        };
        const double toShown = imperial ? 1 : 1e-5;
        const double pressureStep = imperial ? 0.05 : 0.005;
        QVERIFY2(text.contains(imperial ? QStringLiteral("(psia)") : QStringLiteral("(bar)")),
                 qPrintable(text));
        QVERIFY(std::abs(number("Suction pressure") - *r[kv::Figure::SuctionPressure] * toShown) <=
                pressureStep);
        QVERIFY(std::abs(number("Discharge pressure") -
                         *r[kv::Figure::DischargePressure] * toShown) <= pressureStep);
        QVERIFY(std::abs(number("Pressure ratio") - *r[kv::Figure::PressureRatio]) <= 0.005);
        QVERIFY(std::abs(number("Discharge temperature") - *r[kv::Figure::DischargeTemperature]) <=
                0.05);
        QCOMPARE(text.contains(QStringLiteral("(estimated)")), estimated);
        QCOMPARE(text.contains(QLatin1String(kv::kAboveMaxDischargeReason.data())), !estimated);
    }

    // The exports carry the figure chosen: its column in the CSV, its table in the PDF, and
    // the data sheet's heading lists the point's figures.
    void exportsTheChosenFigure() {
        WindowHarness h(figureModels());
        QCOMPARE(h.start(), StartupStatus::Ready);
        std::unique_ptr<ModelWindow> w(openAt(h, "FIG-C"));
        QVERIFY(w != nullptr);
        chooseShown(w.get(), kv::kQuantities + static_cast<int>(kv::Figure::DischargeTemperature));
        QTemporaryDir dir;
        const QString csvPath = dir.filePath(QStringLiteral("table.csv"));
        QCOMPARE(w->exportCsv(csvPath), QString());
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QVERIFY2(lines[3].contains("Discharge temperature (\xc2\xb0"
                                   "C),Remark"),
                 lines[3].constData());
        QVERIFY2(lines[4].contains(",95.0,"), lines[4].constData());
        QVERIFY(lines[4].contains(kv::kAboveMaxDischargeReason.data()));

        const QString pdfPath = dir.filePath(QStringLiteral("sheet.pdf"));
        QCOMPARE(w->exportPdf(pdfPath), QString());
        const QString text = pdfText(pdfPath, QStringLiteral("-raw"));
        QVERIFY(!text.isEmpty());
        for (const char* expected : {"Suction pressure (bar):", "Pressure ratio:", "Heating COP:",
                                     "Volumetric efficiency:",
                                     "Discharge temperature (\xc2\xb0"
                                     "C): 95.0",
                                     "Warning: discharge temperature above"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        // The figure's own table after the five quantities'.
        QVERIFY2(text.count(QString::fromUtf8("Discharge temperature (\xc2\xb0"
                                              "C)")) >= 2,
                 qPrintable(text));
    }

    // The diagram's tooltip at the operating point tells the discharge warning beside the
    // engine's verdict, which stays "within the envelope".
    void diagramWarnsAboveMaximumDischarge() {
        WindowHarness h(figureModels());
        QCOMPARE(h.start(), StartupStatus::Ready);
        std::unique_ptr<ModelWindow> w(openAt(h, "FIG-C"));
        QVERIFY(w != nullptr);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto* view = w->findChild<kv::DiagramView*>("picEnvelope");
        QVERIFY(view != nullptr);
        const kv::Drawing& d = view->drawing();
        const QPoint at(
            static_cast<int>(d.plotLeft + (5 - d.teFrom) / (d.teTo - d.teFrom) * d.plotWidth),
            static_cast<int>(d.plotTop + (d.tcTo - 50) / (d.tcTo - d.tcFrom) * d.plotHeight));
        QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
        QApplication::sendEvent(view, &help);
        QVERIFY2(QToolTip::text().contains(QStringLiteral("Within the envelope")),
                 qPrintable(QToolTip::text()));
        QVERIFY2(QToolTip::text().contains(QStringLiteral("Warning: ") +
                                           QLatin1String(kv::kAboveMaxDischargeReason.data())),
                 qPrintable(QToolTip::text()));
    }

    // An R744 model with transcritical curves gets the Te-gas-cooler pressure region with the
    // operating point at the optimum pressure, the table over pressure at the outlet
    // temperature of its field, and the optimum; typed into the field, another outlet
    // temperature moves them, a text that is no number is refused. A model without the
    // curves has none of it.
    void transcriticalView() {
        WindowHarness h(kv::carbonDioxideModels());
        QCOMPARE(h.start(), StartupStatus::Ready);
        const kv::EngineApi& api = h.window().engine();
        const auto model = kv::findModelByName(api, "CO2-A");
        QVERIFY(model.has_value());
        auto* w = new ModelWindow(
            api, {*model, {-5, 20, 0, 10, 10}, kv::UnitSystem::SI, {".", ","}}, &h.window());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto* panel = w->findChild<kv::GasCoolerPanel*>("gasCoolerPanel");
        QVERIFY(panel != nullptr);
        auto* diagram = w->findChild<kv::GasCoolerDiagram*>("gasCoolerDiagram");
        auto* table = w->findChild<QTableWidget*>("tblGasCooler");
        auto* optimum = w->findChild<QLabel*>("lblOptimumPressure");
        auto* outlet = w->findChild<QLineEdit*>("txtGasCoolerOutlet");
        QVERIFY(diagram && table && optimum && outlet);
        QCOMPARE(outlet->text(), QStringLiteral("35"));
        // 75 to 100 bar in steps of 5, each row the engine's rating there.
        QCOMPARE(table->rowCount(), 6);
        QCOMPARE(table->verticalHeaderItem(3)->text(), QStringLiteral("90.0 bar"));
        KPX_TranscriticalResult at90{}, best{};
        const double nan = std::numeric_limits<double>::quiet_NaN();
        api.KPX_RatingTranscritical(model->number, "", "", 0, -5, 9e6, 35, 10, 10, nan, &at90);
        api.KPX_OptimumGasCoolerPressure(model->number, "", "", 0, -5, 35, 10, 10, nan, &best);
        QCOMPARE(at90.code, 0);
        QCOMPARE(table->item(3, 2)->text(), kv::groupedNumber(at90.cop, 2, {".", ","}));
        QVERIFY2(optimum->text().contains(
                     kv::groupedNumber(best.gasCoolerPressure / 1e5, 1, {".", ","}) +
                     QStringLiteral(" bar")),
                 qPrintable(optimum->text()));
        // The operating point is drawn at Te of the run and the optimum pressure; the region
        // holds rated cells.
        QVERIFY(!diagram->pointPosition().isNull());
        QVERIFY(std::count(diagram->codes().begin(), diagram->codes().end(), 0) > 0);
        const QPointF before = diagram->pointPosition();

        // A warmer outlet asks for a higher pressure: typed and entered.
        outlet->setFocus();
        outlet->selectAll();
        QTest::keyClicks(outlet, QStringLiteral("40"));
        QTest::keyClick(outlet, Qt::Key_Return);
        KPX_TranscriticalResult warmer{};
        api.KPX_OptimumGasCoolerPressure(model->number, "", "", 0, -5, 40, 10, 10, nan, &warmer);
        QVERIFY(warmer.gasCoolerPressure > best.gasCoolerPressure);
        QVERIFY2(optimum->text().contains(
                     kv::groupedNumber(warmer.gasCoolerPressure / 1e5, 1, {".", ","})),
                 qPrintable(optimum->text()));
        QVERIFY(diagram->pointPosition().y() < before.y());
        const QString kept = table->item(3, 2)->text();
        outlet->selectAll();
        QTest::keyClicks(outlet, QStringLiteral("warm"));
        QTest::mouseClick(w->findChild<QPushButton*>("btnGasCoolerApply"), Qt::LeftButton);
        QVERIFY(w->findChild<QLabel*>("lblGasCoolerProblem")->isVisible());
        QCOMPARE(table->item(3, 2)->text(), kept);
        delete w;

        // Imperial units in a comma-decimal format: °F and psia, 50 psi steps.
        auto* us = new ModelWindow(
            api, {*model, {-5, 20, 0, 10, 10}, kv::UnitSystem::Imperial, {",", "."}}, &h.window());
        auto* usOutlet = us->findChild<QLineEdit*>("txtGasCoolerOutlet");
        auto* usTable = us->findChild<QTableWidget*>("tblGasCooler");
        QCOMPARE(usOutlet->text(), QStringLiteral("95"));
        QCOMPARE(usTable->rowCount(), 9); // 1087.8 psia in steps of 50 and 1450.4 psia
        QCOMPARE(usTable->verticalHeaderItem(8)->text(), QStringLiteral("1.450,4 psia"));
        usOutlet->setFocus();
        usOutlet->selectAll();
        QTest::keyClicks(usOutlet, QStringLiteral("104,5"));
        QTest::keyClick(usOutlet, Qt::Key_Return);
        QVERIFY(!us->findChild<QLabel*>("lblGasCoolerProblem")->isVisibleTo(us));
        KPX_TranscriticalResult at104{};
        api.KPX_OptimumGasCoolerPressure(model->number, "", "", 0, -5, (104.5 - 32) / 1.8, 10, 10,
                                         nan, &at104);
        QVERIFY2(us->findChild<QLabel*>("lblOptimumPressure")
                     ->text()
                     .contains(kv::groupedNumber(at104.gasCoolerPressure / 6894.757293168, 1,
                                                 {",", "."})),
                 qPrintable(us->findChild<QLabel*>("lblOptimumPressure")->text()));
        delete us;

        const auto none = kv::findModelByName(api, "CO2-NONE");
        QVERIFY(none.has_value());
        auto* plain = new ModelWindow(
            api, {*none, {-5, 20, 0, 10, 10}, kv::UnitSystem::SI, {".", ","}}, &h.window());
        QVERIFY(plain->findChild<kv::GasCoolerPanel*>() == nullptr);
        delete plain;
        // An engine without the transcritical exports: the curves are not offered, never
        // called through a null entry point.
        kv::EngineApi older = api;
        older.KPX_RatingTranscritical = nullptr;
        auto* old = new ModelWindow(
            older, {*model, {-5, 20, 0, 10, 10}, kv::UnitSystem::SI, {".", ","}}, &h.window());
        QVERIFY(old->findChild<kv::GasCoolerPanel*>() == nullptr);
        delete old;
    }

    // A model without envelope data: the window says so instead of drawing an empty frame.
    void refusedEverywhere() {
        WindowHarness h(models());
        QCOMPARE(h.start(), StartupStatus::Ready);
        const auto model = kv::findModelByName(h.window().engine(), "NOENV-1");
        QVERIFY(model.has_value());
        auto* w = new ModelWindow(h.window().engine(),
                                  {*model, {5, 50, 0, 10, 10}, kv::UnitSystem::SI, {".", ","}},
                                  &h.window());
        QLabel* none = w->findChild<QLabel*>("lblNoEnvelope");
        QVERIFY(none != nullptr);
        QVERIFY(
            none->text().contains(QStringLiteral("evaporating temperature above the envelope")));
        QVERIFY(w->findChild<QWidget*>("picEnvelope") == nullptr);
        QVERIFY(w->findChild<QLabel*>("lblRated")->text().startsWith(QStringLiteral("Not rated")));
        delete w;
    }
};

int runModelWindowTests(int argc, char** argv) {
    ModelWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "modelwindow_test.moc"

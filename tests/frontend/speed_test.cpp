// The model window of a variable-speed model, on the public three-speed map imported as
// the catalogue: the speed field and slider in step, the envelope, table and rated figures
// at the chosen speed, the figures against speed, the speed that meets a typed capacity,
// and a fixed-speed model's window without any of it.
// The import's headers first: the engine's own names include Qt's keyword "slots".
#include "speed_map.h"

#include "harness.h"
#include "kv/diagramview.h"
#include "kv/modelwindow.h"
#include "kv/speedrating.h"

#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <memory>

using kv::ModelWindow;
using kv::pdfText;
using kv::StartupStatus;
using kv::WindowHarness;

namespace {

// The map's rating basis: Te 0 °C, Tc 40 °C, Sc 5 K, Sh1 and Sh2 8 K.
const kv::ConditionValues kBasis{0, 40, 5, 8, 8};

double number(QString text) {
    text.remove(QLatin1Char(','));
    text.remove(QStringLiteral(" *"));
    return text.toDouble();
}

} // namespace

class SpeedWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowHarness> h_;

    const kv::EngineApi& api() { return h_->window().engine(); }

    ModelWindow* openModel(const char* name, kv::UnitSystem units = kv::UnitSystem::SI,
                           const kv::NumberFormat& format = {".", ","}) {
        const auto model = kv::findModelByName(api(), name);
        if (!model)
            return nullptr;
        auto* w = new ModelWindow(api(), {*model, kBasis, units, format}, &h_->window());
        w->show();
        return w;
    }

    kv::PointRating atSpeed(double speed, double te = kBasis.te, double tc = kBasis.tc) {
        kv::ConditionValues at = kBasis;
        at.speed = speed;
        return kv::ratePoint(api(), 1, te, tc, at);
    }

    // Types `text` into the speed field and presses Enter.
    static void typeSpeed(ModelWindow* w, const QString& text) {
        auto* field = w->findChild<QDoubleSpinBox*>("spnSpeed");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

private slots:
    void initTestCase() {
        const kvcat::CatalogueTexts cat =
            kvcat::speedMapCatalogue(std::filesystem::temp_directory_path());
        h_ = std::make_unique<WindowHarness>(cat.codes, cat.models);
        h_->dir().write("data/kpxspeed.bin", cat.speeds);
        QCOMPARE(h_->start(), StartupStatus::Ready);
        QVERIFY(api().hasSpeeds());
    }
    void cleanupTestCase() { h_.reset(); }

    // Whatever moves the speed, the field and the slider show the same speed, and the
    // rated figures, the table's operating point and the envelope are those at it.
    void fieldAndSliderStayInStep_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("sliderKey");
        QTest::addColumn<double>("expected");
        QTest::newRow("typed between sets") << "42.5" << 0 << 42.5;
        QTest::newRow("typed with the run's decimal comma") << "42,5" << 0 << 42.5;
        // The field refuses the key that takes it past its top: "250" reads 25.
        QTest::newRow("typed past the range's top") << "250" << 0 << 25.0;
        QTest::newRow("slider Home") << "" << int(Qt::Key_Home) << 25.0;
        QTest::newRow("slider End") << "" << int(Qt::Key_End) << 100.0;
        QTest::newRow("slider one step up from nominal") << "" << int(Qt::Key_Up) << 61.0;
        QTest::newRow("slider a page down from nominal") << "" << int(Qt::Key_PageDown) << 50.0;
        // A mouse click on the groove right of the handle moves it a page up.
        QTest::newRow("slider clicked near its end") << "" << 0 << 70.0;
    }
    void fieldAndSliderStayInStep() {
        QFETCH(QString, typed);
        QFETCH(int, sliderKey);
        QFETCH(double, expected);
        ModelWindow* w = openModel("V0001", kv::UnitSystem::SI,
                                   typed.contains(',') ? kv::NumberFormat{",", "."}
                                                       : kv::NumberFormat{".", ","});
        QVERIFY(w);
        auto* field = w->findChild<QDoubleSpinBox*>("spnSpeed");
        auto* slider = w->findChild<QSlider*>("sldSpeed");
        QVERIFY(field && slider);
        QCOMPARE(field->value(), 60.0); // nominal
        if (!typed.isEmpty()) {
            typeSpeed(w, typed);
        } else if (sliderKey != 0) {
            slider->setFocus();
            QTest::keyClick(slider, static_cast<Qt::Key>(sliderKey));
        } else {
            QTest::mouseClick(slider, Qt::LeftButton, {},
                              QPoint(slider->width() - 3, slider->height() / 2));
        }
        QCOMPARE(field->value(), expected);
        QCOMPARE(slider->value(), static_cast<int>(std::lround(expected * 10)));
        QCOMPARE(w->context().conditions.speed, std::optional<double>(expected));

        const kv::PointRating r = atSpeed(expected);
        QCOMPARE(r.code, KPX_CLEAN);
        const kv::PerfTable& t = w->table();
        QVERIFY(t.pointRow >= 0 && t.pointColumn >= 0);
        QCOMPARE(
            t.cell(static_cast<std::size_t>(t.pointRow), static_cast<std::size_t>(t.pointColumn))
                .values[0],
            r.capacity);
        QVERIFY(w->ratedText().contains(kv::groupedNumber(r.capacity, 0, w->context().format)));
        // The diagram drawn again at the speed, and shown.
        auto* view = w->findChild<kv::DiagramView*>();
        QVERIFY(view && view->isVisible());
        QVERIFY(w->envelope().anyRated);
        QVERIFY(!view->grab().isNull());
        QVERIFY(!view->drawing().polygons.empty());
        QVERIFY(w->findChild<QLabel*>("lblPressures")->text().contains("nominal speed"));
        // The exported table names the speed it was rated at.
        QTemporaryDir dir;
        const QString csv = dir.filePath("speed.csv");
        QCOMPARE(w->exportCsv(csv), QString());
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QVERIFY(lines.size() > 2 && lines[0].contains("Speed (rev/s)"));
        QVERIFY(lines[1].trimmed().endsWith("," + QByteArray::number(expected)));
        QVERIFY(w->conditionsText().endsWith(" rev/s"));
        w->close();
    }

    // At each published speed the table is that set's rating; the 60 rev/s set is also
    // the fixed-speed model FIX, rated without any speed.
    void tableAtPublishedSpeedIsThatSet_data() {
        QTest::addColumn<double>("speed");
        QTest::newRow("25") << 25.0;
        QTest::newRow("60") << 60.0;
        QTest::newRow("100") << 100.0;
    }
    void tableAtPublishedSpeedIsThatSet() {
        QFETCH(double, speed);
        ModelWindow* w = openModel("V0001");
        QVERIFY(w);
        if (speed != 60.0)
            typeSpeed(w, QString::number(speed));
        // The set itself: the map's coefficients of that speed at the cell.
        const auto fixed = kv::findModelByName(api(), "FIX");
        QVERIFY(fixed);
        const kv::PerfTable& t = w->table();
        QVERIFY(!t.cells.empty());
        for (std::size_t i = 0; i < t.te.size(); ++i)
            for (std::size_t j = 0; j < t.tc.size(); ++j) {
                const kv::TableCell& cell = t.cell(i, j);
                const kv::PointRating want = atSpeed(speed, t.te[i], t.tc[j]);
                QCOMPARE(cell.code, want.code);
                QCOMPARE(cell.values, kv::displayValues(want, kv::UnitSystem::SI));
                if (speed == 60.0 && cell.rated()) {
                    const kv::PointRating set =
                        kv::ratePoint(api(), fixed->number, t.te[i], t.tc[j], kBasis);
                    QVERIFY(std::abs(cell.values[0] - set.capacity) <= 1e-9 * set.capacity);
                    QVERIFY(std::abs(cell.values[1] - set.power) <= 1e-9 * set.power);
                }
            }
        // The table against speed has the published speed as a row with the same figures.
        auto* speeds = w->findChild<QTableWidget*>("tblSpeeds");
        QVERIFY(speeds);
        const kv::PointRating at = atSpeed(speed);
        bool found = false;
        for (int row = 0; row < speeds->rowCount(); ++row)
            if (number(speeds->item(row, 0)->text()) == speed) {
                found = true;
                QCOMPARE(speeds->item(row, 1)->text(),
                         kv::groupedNumber(at.capacity, 0, {".", ","}));
                QCOMPARE(speeds->item(row, 2)->text(), kv::groupedNumber(at.power, 0, {".", ","}));
            }
        QVERIFY(found);
        // Rows rise from the lowest allowed speed to the highest, with none outside them.
        QCOMPARE(number(speeds->item(0, 0)->text()), 25.0);
        QCOMPARE(number(speeds->item(speeds->rowCount() - 1, 0)->text()), 100.0);
        w->close();
    }

    // A typed capacity gives the speed that meets it (its rating within the label's
    // rounding of the speed), or the reason none does; bad text gets a clear message.
    void matchLabel_data() {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected"); // empty: a matched speed
        QTest::newRow("W between sets") << int(kv::UnitSystem::SI) << "20000"
                                        << "";
        QTest::newRow("Btu/h") << int(kv::UnitSystem::Imperial) << "100000"
                               << "";
        // Decimal comma and "." grouping, as the run's number format gives them.
        QTest::newRow("decimal comma") << int(kv::UnitSystem::SI) << "20000,5"
                                       << "";
        QTest::newRow("above the highest speed") << int(kv::UnitSystem::SI) << "900000"
                                                 << "capacity above";
        QTest::newRow("below the lowest speed") << int(kv::UnitSystem::SI) << "10"
                                                << "capacity below";
        QTest::newRow("no number") << int(kv::UnitSystem::SI) << "lots"
                                   << "no capacity above zero";
        QTest::newRow("negative") << int(kv::UnitSystem::SI) << "-5000"
                                  << "no capacity above zero";
        QTest::newRow("not a number") << int(kv::UnitSystem::SI) << "nan"
                                      << "no capacity above zero";
        QTest::newRow("overflow") << int(kv::UnitSystem::SI) << "1e999"
                                  << "no capacity above zero";
    }
    void matchLabel() {
        QFETCH(int, units);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        const auto system = static_cast<kv::UnitSystem>(units);
        const bool comma = typed.contains(QLatin1Char(','));
        ModelWindow* w = openModel("V0001", system,
                                   comma ? kv::NumberFormat{",", "."} : kv::NumberFormat{".", ","});
        QVERIFY(w);
        auto* field = w->findChild<QLineEdit*>("txtRequiredCapacity");
        auto* label = w->findChild<QLabel*>("lblMatchSpeed");
        QVERIFY(field && label);
        field->setFocus();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        const QString text = label->text();
        if (!expected.isEmpty()) {
            QVERIFY2(text.contains(expected), qPrintable(text));
            w->close();
            return;
        }
        const auto m = QRegularExpression(QStringLiteral("^Met at ([0-9.,]+) rev/s")).match(text);
        QVERIFY2(m.hasMatch(), qPrintable(text));
        QString speedText = m.captured(1);
        QString requiredText = typed;
        if (comma) {
            speedText.remove(QLatin1Char('.')).replace(QLatin1Char(','), QLatin1Char('.'));
            requiredText.replace(QLatin1Char(','), QLatin1Char('.'));
        }
        const double speed = number(speedText);
        const double required = system == kv::UnitSystem::SI
                                    ? requiredText.toDouble()
                                    : kv::btuhToWatts(requiredText.toDouble());
        // The label gives the speed to 0.01 rev/s: the rating there is within half of that
        // step's capacity change, well inside 0.1 %.
        const double capacity = atSpeed(speed).capacity;
        QVERIFY2(std::abs(capacity - required) <= 1e-3 * required,
                 qPrintable(QStringLiteral("%1 at %2").arg(capacity).arg(speed)));
        QVERIFY(speed >= 25.0 && speed <= 100.0);
        w->close();
    }

    // A fixed-speed model's window holds no speed control and keeps its size.
    void fixedSpeedModelShowsNoSpeedControl() {
        ModelWindow* w = openModel("FIX");
        QVERIFY(w);
        QVERIFY(!w->findChild<QGroupBox*>("grpSpeed"));
        QVERIFY(!w->findChild<QDoubleSpinBox*>("spnSpeed"));
        QVERIFY(!w->findChild<QSlider*>("sldSpeed"));
        QVERIFY(!w->findChild<QLineEdit*>("txtRequiredCapacity"));
        QCOMPARE(w->size(), QSize(1180, 640));
        QVERIFY(!w->context().conditions.speed);
        w->close();
    }

    // The data sheet of a variable-speed model carries its figures against speed, each
    // row the rating at its speed; a fixed-speed model's data sheet has no such page.
    void dataSheetCarriesFiguresAgainstSpeed() {
        QTemporaryDir dir;
        for (const char* name : {"V0001", "FIX"}) {
            ModelWindow* w = openModel(name);
            QVERIFY(w);
            const QString path = dir.filePath(QString::fromLatin1(name) + ".pdf");
            QCOMPARE(w->exportPdf(path), QString());
            w->close();
            const QString text = pdfText(path, QStringLiteral("-raw"));
            QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
            const bool variable = QByteArray(name) == "V0001";
            QCOMPARE(text.contains(QStringLiteral("Figures against speed at the operating point")),
                     variable);
            if (!variable)
                continue;
            for (const double speed : {25.0, 60.0, 100.0}) {
                const QRegularExpression row(
                    QStringLiteral("\\n%1 (\\S+) (\\S+) ").arg(QString::number(speed, 'f', 1)));
                const QRegularExpressionMatch m = row.match(text);
                QVERIFY2(m.hasMatch(), qPrintable(QString::number(speed)));
                const kv::PointRating r = atSpeed(speed);
                QCOMPARE(number(m.captured(1)), std::round(r.capacity));
                QCOMPARE(number(m.captured(2)), std::round(r.power));
            }
        }
    }
};

int runSpeedTests(int argc, char** argv) {
    SpeedWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "speed_test.moc"

// Start-up of the window on a temporary program directory: the data check, the
// data-sheet root, the failures that end the program, the catalogue lists, and the
// window's layout.
#include "harness.h"
#include "kv/resultsgrid.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QStandardPaths>
#include <QTest>

#include <optional>

#include <sys/stat.h>

using kv::StartupStatus;
using kv::WindowHarness;

Q_DECLARE_METATYPE(kv::StartupStatus)
Q_DECLARE_METATYPE(kv::Volume)

namespace {

// Every file below the settings location with its content: nothing may be written on a
// failed start.
QStringList settingsFiles() {
    QStringList files;
    const QDir dir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    QStringList paths;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot))
        paths << info.filePath();
    for (const QFileInfo& info : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QFileInfo& f : QDir(info.filePath()).entryInfoList(QDir::Files))
            paths << f.filePath();
    for (const QString& path : paths) {
        QFile file(path);
        (void)file.open(QIODevice::ReadOnly);
        files << dir.relativeFilePath(path) + QLatin1Char('\n') + QString::fromUtf8(file.readAll());
    }
    return files;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    // data.bin's first line against the size of kpxcalc.bin minus that of kpxcodes.bin;
    // the core's data-check test has the forms of the line.
    void dataCheck_data() {
        QTest::addColumn<int>("codesSize");
        QTest::addColumn<int>("calcSize");
        QTest::addColumn<QByteArray>("dataBin"); // the whole file
        QTest::addColumn<bool>("passes");
        QTest::newRow("equal sizes, 0") << 40 << 40 << QByteArray("0\r\n") << true;
        QTest::newRow("codes 12 larger, -12") << 52 << 40 << QByteArray("-12\r\n") << true;
        QTest::newRow("wrong size") << 40 << 41 << QByteArray("0\r\n") << false;
    }
    void dataCheck() {
        QFETCH(int, codesSize);
        QFETCH(int, calcSize);
        QFETCH(QByteArray, dataBin);
        QFETCH(bool, passes);
        WindowHarness h;
        h.dir().write("data/kpxcodes.bin", std::string(static_cast<size_t>(codesSize), 'c'));
        h.dir().write("data/kpxcalc.bin", std::string(static_cast<size_t>(calcSize), 'm'));
        h.dir().write("data.bin", dataBin.toStdString());
        const StartupStatus status = h.start();
        if (passes) {
            QCOMPARE(status, StartupStatus::Ready);
            QVERIFY(h.messages().isEmpty());
        } else {
            QCOMPARE(status, StartupStatus::DataProblem);
            QCOMPARE(h.messages(), QStringList{kv::MainWindow::kDataProblem});
        }
    }

    // Start-ups that end the program: one message naming the file, a non-zero status,
    // and nothing written to the settings store, even when the window is closed.
    void failedStartUp_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content"); // written over the file; null: removed
        QTest::addColumn<StartupStatus>("status");
        QTest::addColumn<QString>("message"); // a part of the message
        QTest::newRow("no data.bin")
            << "data.bin" << QByteArray() << StartupStatus::MissingFile << "data.bin";
        QTest::newRow("no model table")
            << "data/kpxcalc.bin" << QByteArray() << StartupStatus::MissingFile << "kpxcalc.bin";
        QTest::newRow("no engine")
            << "libKPX_Calc.so" << QByteArray() << StartupStatus::BindingFailed << "libKPX_Calc.so";
        QTest::newRow("engine no library") << "libKPX_Calc.so" << QByteArray("not a library")
                                           << StartupStatus::BindingFailed << "libKPX_Calc.so";
        QTest::newRow("engine a named pipe") << "libKPX_Calc.so" << QByteArray("<fifo>")
                                             << StartupStatus::BindingFailed << "libKPX_Calc.so";
        QTest::newRow("data.bin a folder")
            << "data.bin/x" << QByteArray("0") << StartupStatus::MissingFile << "data.bin";
        QTest::newRow("data.bin a named pipe")
            << "data.bin" << QByteArray("<fifo>") << StartupStatus::MissingFile << "data.bin";
        QTest::newRow("model table unreadable") << "data/kpxcalc.bin" << QByteArray("<unreadable>")
                                                << StartupStatus::MissingFile << "kpxcalc.bin";
        QTest::newRow("code lists unreadable") << "data/kpxcodes.bin" << QByteArray("<unreadable>")
                                               << StartupStatus::MissingFile << "kpxcodes.bin";
    }
    void failedStartUp() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(StartupStatus, status);
        QFETCH(QString, message);
        WindowHarness h;
        const QStringList before = settingsFiles();
        if (file.startsWith(QLatin1String("data.bin/")))
            h.dir().remove("data.bin"); // a folder takes its place below
        std::optional<kv::UnreadableFile> unreadable;
        if (content == "<unreadable>")
            unreadable.emplace(h.dir().path() / file.toStdString());
        else if (content == "<fifo>") {
            h.dir().remove(file.toStdString());
            QCOMPARE(::mkfifo((h.dir().path() / file.toStdString()).c_str(), 0600), 0);
        } else if (content.isNull())
            h.dir().remove(file.toStdString());
        else
            h.dir().write(file.toStdString(), content.toStdString());
        QCOMPARE(h.start(), status);
        QVERIFY(static_cast<int>(status) != 0);
        QCOMPARE(h.messages().size(), 1);
        QVERIFY2(h.messages().first().contains(message), qPrintable(h.messages().first()));
        QVERIFY(!h.window().isVisible());
        h.window().close();
        QCOMPARE(settingsFiles(), before);
    }

    // The same store is written when a started window closes: the check above looks at
    // the right place.
    void readyWindowWritesOnClose() {
        WindowHarness h;
        QCOMPARE(h.start(), StartupStatus::Ready);
        h.field("txtModelFilter")->setText(QStringLiteral("written-at-close"));
        h.window().close();
        QVERIFY(settingsFiles().join(QString()).contains(QLatin1String("written-at-close")));
    }

    void datasheetRoot_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QList<kv::Volume>>("volumes");
        QTest::addColumn<QString>("root");
        const QList<kv::Volume> twoDrives{
            {"/", "ext4"}, {"/media/cdrom0", "iso9660"}, {"/media/cdrom1", "udf"}};
        QTest::newRow("first word of the arguments") << "E:\\docs extra" << twoDrives << "E:\\docs";
        QTest::newRow("leading space gives an empty root") << " /srv/sheets" << twoDrives << "";
        QTest::newRow("first optical drive") << "" << twoDrives << "/media/cdrom0";
        QTest::newRow("udf drive")
            << "" << QList<kv::Volume>{{"/", "ext4"}, {"/mnt/dvd", "udf"}} << "/mnt/dvd";
        QTest::newRow("no optical drive")
            << "" << QList<kv::Volume>{{"/", "ext4"}, {"/boot", "vfat"}} << "";
    }
    void datasheetRoot() {
        QFETCH(QString, arguments);
        QFETCH(QList<kv::Volume>, volumes);
        QFETCH(QString, root);
        WindowHarness h;
        QCOMPARE(h.start(arguments, volumes), StartupStatus::Ready);
        QCOMPARE(h.window().datasheetRoot(), root);
    }

    void catalogueLists_data() {
        QTest::addColumn<QString>("codes");
        QTest::addColumn<QStringList>("refrigerants");
        QTest::addColumn<QStringList>("families");
        QTest::newRow("demo lists")
            << QString::fromStdString(kv::codesFile(kv::defaultCodes()))
            << QStringList{"All", "R134a", "R404A"} << QStringList{"All", "Scroll ZB", "Recip"};
        QTest::newRow("empty code lists") << "List\tNumber\tText\n"
                                          << QStringList{"All"} << QStringList{"All"};
        QTest::newRow("no code file") << "<none>" << QStringList{"All"} << QStringList{"All"};
    }
    void catalogueLists() {
        QFETCH(QString, codes);
        QFETCH(QStringList, refrigerants);
        QFETCH(QStringList, families);
        WindowHarness h;
        // An empty data.bin line skips the size check, so the files may change freely.
        h.dir().write("data.bin", "\r\n");
        if (codes == QLatin1String("<none>"))
            h.dir().remove("data/kpxcodes.bin");
        else
            h.dir().write("data/kpxcodes.bin", codes.toStdString());
        QCOMPARE(h.start(), StartupStatus::Ready);
        QCOMPARE(h.items("cbRefrig"), refrigerants);
        QCOMPARE(h.items("cbFamily"), families);
        QCOMPARE(h.items("cbVoltage").value(0), QStringLiteral("All"));
    }

    // Places, texts at creation and colours of the window.
    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("text");
        const struct {
            const char* name;
            QRect place;
            const char* text;
        } controls[] = {
            {"Label19", {24, 43, 89, 17}, "Unit system"},
            {"opt_intsyst_0", {120, 40, 97, 25}, "°C - W"},
            {"opt_intsyst_1", {192, 40, 97, 25}, "°F - Btu/h"},
            {"Label20", {24, 64, 89, 17}, "Frequency"},
            {"Frame2", {120, 64, 177, 17}, ""},
            {"opt_freq_0", {0, 0, 57, 17}, "50 Hz"},
            {"opt_freq_1", {72, 0, 81, 17}, "60 Hz"},
            {"Label1", {24, 88, 89, 17}, "Refrigerant"},
            {"cbRefrig", {120, 83, 145, 21}, ""},
            {"Label2", {24, 112, 89, 17}, "Product type"},
            {"cbFamily", {120, 107, 145, 21}, ""},
            {"Label3", {24, 136, 89, 17}, "Voltage / Freq"},
            {"cbVoltage", {120, 131, 145, 21}, ""},
            {"Label15", {24, 160, 89, 17}, "Target capacity"},
            {"txtCapacity", {120, 155, 89, 19}, ""},
            {"lblUnit_Target", {216, 160, 33, 17}, "W"},
            {"Label16", {24, 184, 89, 17}, "Model filter"},
            {"txtModelFilter", {120, 179, 89, 19}, ""},
            {"Label21", {24, 208, 89, 17}, "Order results by"},
            {"Frame1", {120, 192, 193, 33}, ""},
            {"opt_order_0", {0, 16, 89, 17}, "Model name"},
            {"opt_order_1", {88, 16, 105, 17}, "Cooling capacity"},
            {"txtWarning", {24, 224, 297, 17}, ""},
            {"Label4", {312, 48, 73, 17}, "Conditions"},
            {"cbConditions", {394, 45, 137, 21}, ""},
            {"Label5", {312, 72, 129, 17}, "Evaporating temperature"},
            {"txtTe", {450, 69, 57, 19}, "0"},
            {"lblUnit_Te", {512, 72, 33, 17}, "°C"},
            {"Label6", {312, 96, 129, 17}, "Condensing temperature"},
            {"txtTc", {450, 93, 57, 19}, "50"},
            {"lblUnit_Tc", {512, 96, 33, 17}, "°C"},
            {"Label7", {312, 120, 129, 17}, "Subcooling"},
            {"txtSc", {450, 117, 57, 19}, "8.3"},
            {"lblUnit_Sc", {512, 120, 33, 17}, "K"},
            {"Label8", {312, 144, 129, 17}, "Evaporator superheat"},
            {"txtSh1", {450, 141, 57, 19}, "11.1"},
            {"lblUnit_Sh1", {512, 144, 33, 17}, "K"},
            {"Label9", {312, 168, 129, 17}, "Total superheat"},
            {"txtSh2", {450, 165, 57, 19}, "11.1"},
            {"lblUnit_Sh2", {512, 168, 33, 17}, "K"},
            {"Image1", {584, 1, 110, 44}, ""},
            {"btnCalculate", {448, 200, 81, 25}, "Calculate"},
            {"btnResetAll", {611, 200, 81, 25}, "Reset All"},
            {"Grid", {8, 240, 685, 265}, ""},
            {"lblResults", {8, 512, 97, 17}, "Results :"},
            {"btnDatasheet", {420, 512, 81, 25}, "Datasheet"},
            {"btnDatasheetOnLine", {508, 512, 97, 25}, "Online datasheet"},
            {"btnPrint", {612, 512, 81, 25}, "Print"},
        };
        for (const auto& c : controls)
            QTest::newRow(c.name) << QString::fromLatin1(c.name) << c.place
                                  << QString::fromUtf8(c.text);
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QFETCH(QString, text);
        WindowHarness h;
        kv::MainWindow& w = h.create(); // as created, before the start-up
        QWidget* control = w.findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->geometry(), place);
        QString shown;
        if (auto* l = qobject_cast<QLabel*>(control))
            shown = l->text();
        else if (auto* e = qobject_cast<QLineEdit*>(control))
            shown = e->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(control))
            shown = b->text();
        else if (auto* c = qobject_cast<QComboBox*>(control))
            shown = c->currentText();
        QCOMPARE(shown, text);
    }

    void windowAndColours() {
        WindowHarness h;
        kv::MainWindow& w = h.create();
        QCOMPARE(w.objectName(), QStringLiteral("Main"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvane Vantrix - Version 1.0"));
        QCOMPARE(w.size(), QSize(704, 542));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QCOMPARE(w.palette().color(QPalette::Window), QColor(255, 255, 255));
        QCOMPARE(h.label("txtWarning")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        for (const char* f : {"txtTe", "txtCapacity", "txtModelFilter"})
            QCOMPARE(h.field(f)->palette().color(QPalette::Base), QColor(224, 224, 224));
        QCOMPARE(h.label("Image1")->pixmap().size(), QSize(110, 44));
        const QFont gridFont = w.grid()->font();
        QCOMPARE(gridFont.family(), QStringLiteral("Arial"));
        QCOMPARE(gridFont.pointSizeF(), 8.25);
        QCOMPARE(w.grid()->grid()->columnCount(), 10);
    }
};

int runStartupTests(int argc, char** argv) {
    StartupTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "startup_test.moc"

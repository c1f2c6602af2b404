// Data sheets: the local file name handed to the opener and the names that must never open
// anything outside the data-sheet folder. The window test covers the online address.
#include "kv/datasheet.h"

#include "harness.h"
#include "kv/resultsgrid.h"
#include "kv/settings.h"

#include <QDir>
#include <QFile>
#include <QTest>

using kv::DatasheetRequest;

namespace {

// Records what would have been opened.
struct RecordingOpener {
    QList<QUrl> opened;
    kv::DocumentOpener opener() {
        return [this](const QUrl& url) {
            opened << url;
            return true;
        };
    }
};

} // namespace

class DatasheetTest : public QObject {
    Q_OBJECT

private slots:
    void localName_data();
    void localName();
    void unsafeNamesOpenNothing_data();
    void unsafeNamesOpenNothing();
    void relativeRootIsTakenFromTheCurrentDirectory();
};

void DatasheetTest::localName_data() {
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("is50Hz");
    QTest::addColumn<bool>("imperial");
    QTest::addColumn<QString>("file");

    auto row = [](const char* name, const char* root, const char* model, bool is50Hz, bool imperial,
                  const char* file) {
        QTest::newRow(name) << QString(root) << QString(model) << is50Hz << imperial
                            << QString(file);
    };
    row("60 Hz imperial", "/media/cdrom", "ABC1", false, true, "/media/cdrom/ds/ABC1_60_us.PDF");
    row("name with blanks and signs", "/srv/sheets", "ZX 21-K #3 100%", true, false,
        "/srv/sheets/ds/ZX 21-K #3 100%_50.PDF");
    row("non-ASCII name", "/srv/sheets", "Kühl€r", false, false, "/srv/sheets/ds/Kühl€r_60.PDF");
    row("dots only stay a file name in the folder", "/srv/sheets", "..", true, false,
        "/srv/sheets/ds/.._50.PDF");
}

void DatasheetTest::localName() {
    QFETCH(QString, root);
    QFETCH(QString, model);
    QFETCH(bool, is50Hz);
    QFETCH(bool, imperial);
    QFETCH(QString, file);

    const DatasheetRequest request{root, model, is50Hz, imperial};
    QCOMPARE(kv::datasheetFileName(request).value_or("-"), file);
    RecordingOpener rec;
    QVERIFY(kv::openLocalDatasheet(rec.opener(), request));
    QCOMPARE(rec.opened.size(), 1);
    QVERIFY(rec.opened[0].isLocalFile());
    QCOMPARE(rec.opened[0].toLocalFile(), file);
}

void DatasheetTest::unsafeNamesOpenNothing_data() {
    QTest::addColumn<QString>("model");
    QTest::newRow("empty: the empty row after the results") << "";
    QTest::newRow("parent folder") << "../secret";
    QTest::newRow("absolute") << "/etc/passwd";
    QTest::newRow("backslash parent") << "..\\..\\x";
    QTest::newRow("zero character") << QString("ABC") + QChar(0) + "x";
}

void DatasheetTest::unsafeNamesOpenNothing() {
    QFETCH(QString, model);
    const DatasheetRequest request{"/srv/sheets", model, true, false};
    QVERIFY(!kv::datasheetFileName(request).has_value());
    RecordingOpener rec;
    QVERIFY(!kv::openLocalDatasheet(rec.opener(), request));
    QVERIFY(rec.opened.isEmpty());
}

void DatasheetTest::relativeRootIsTakenFromTheCurrentDirectory() {
    RecordingOpener rec;
    QVERIFY(kv::openLocalDatasheet(rec.opener(), {"docs", "ABC1", false, true}));
    QCOMPARE(rec.opened.size(), 1);
    QCOMPARE(rec.opened[0].toLocalFile(), QDir::current().filePath("docs/ds/ABC1_60_us.PDF"));
}

// The window's data-sheet buttons: the model of the selected row, the frequency of the
// shown results, the unit system shown, the root from the argument text.
class WindowDatasheetTest : public QObject {
    Q_OBJECT

private slots:
    void datasheetButtons() {
        kv::WindowHarness h({kv::namedModel("AB-1"), kv::namedModel("AB-2", 2000)});
        auto cell = [&h](int row, int column) {
            return h.window().grid()->grid()->text(row, column);
        };
        auto localFile = [&h] {
            return h.opened.isEmpty() ? QString() : h.opened.takeLast().toLocalFile();
        };
        QCOMPARE(h.start("/media/cd extra words"), kv::StartupStatus::Ready);
        h.click("btnDatasheet"); // no results: nothing
        QVERIFY(h.opened.isEmpty());

        h.click("btnCalculate");
        QVERIFY(h.window().resultCount() > 0);
        h.window().grid()->selectGridRow(1);
        const QString model = cell(1, 2);
        QVERIFY(!model.isEmpty());
        h.click("btnDatasheet");
        QCOMPARE(localFile(), "/media/cd/ds/" + model + "_50.PDF");

        // The frequency of the shown results, not of the option.
        h.option("opt_freq_1")->click();
        h.click("btnDatasheet");
        QCOMPARE(localFile(), "/media/cd/ds/" + model + "_50.PDF");

        // The unit system as it is now, without a new run.
        h.option("opt_intsyst_1")->click();
        h.click("btnDatasheet");
        QCOMPARE(localFile(), "/media/cd/ds/" + model + "_50_us.PDF");

        // The empty row after the results opens nothing.
        h.window().grid()->selectGridRow(h.window().resultCount() + 1);
        h.click("btnDatasheet");
        QVERIFY(h.opened.isEmpty());

        h.click("btnDatasheetOnLine");
        QCOMPARE(h.opened.size(), 1);
        QCOMPARE(h.opened.takeLast().toString(),
                 QString("https://datasheets.korvane.example/odsg"));
        h.close();

        QFile::remove(
            QString::fromStdString(kv::settingsStorePath())); // start as the first time again
        QCOMPARE(h.start(" leading blank: empty root"), kv::StartupStatus::Ready);
        h.click("btnCalculate");
        h.window().grid()->selectGridRow(1);
        h.click("btnDatasheet");
        QCOMPARE(localFile(), "/ds/" + cell(1, 2) + "_50.PDF");
        QVERIFY(h.messages().isEmpty());
    }
};

int runDatasheetTests(int argc, char** argv) {
    DatasheetTest t;
    WindowDatasheetTest w;
    return QTest::qExec(&t, argc, argv) | QTest::qExec(&w, argc, argv);
}
#include "datasheet_test.moc"

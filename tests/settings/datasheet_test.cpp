// Data sheets: the local file name handed to the opener, the names that must never open
// anything outside the data-sheet folder, and the online address.
#include "datasheet.h"

#include <QDir>
#include <QtTest>

using kvw::DatasheetRequest;

namespace {

// Records what would have been opened.
struct RecordingOpener {
    QList<QUrl> opened;
    kvw::DocumentOpener opener() {
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
    void onlineAddress();
};

void DatasheetTest::localName_data() {
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("is50Hz");
    QTest::addColumn<bool>("imperial");
    QTest::addColumn<QString>("file");

    QTest::newRow("50 Hz SI") << "/media/cdrom"
                              << "ABC1" << true << false << "/media/cdrom/ds/ABC1_50.PDF";
    QTest::newRow("50 Hz imperial") << "/media/cdrom"
                                    << "ABC1" << true << true << "/media/cdrom/ds/ABC1_50_us.PDF";
    QTest::newRow("60 Hz SI") << "/media/cdrom"
                              << "ABC1" << false << false << "/media/cdrom/ds/ABC1_60.PDF";
    QTest::newRow("60 Hz imperial") << "/media/cdrom"
                                    << "ABC1" << false << true << "/media/cdrom/ds/ABC1_60_us.PDF";
    QTest::newRow("empty root: the root folder") << ""
                                                 << "ABC1" << true << false << "/ds/ABC1_50.PDF";
    QTest::newRow("name with blanks and signs")
        << "/srv/sheets"
        << "ZX 21-K #3 100%" << true << false << "/srv/sheets/ds/ZX 21-K #3 100%_50.PDF";
    QTest::newRow("non-ASCII name") << "/srv/sheets"
                                    << "Kühl€r" << false << false << "/srv/sheets/ds/Kühl€r_60.PDF";
    QTest::newRow("dots only stay a file name in the folder")
        << "/srv/sheets"
        << ".." << true << false << "/srv/sheets/ds/.._50.PDF";
    QTest::newRow("leading dots") << "/srv/sheets"
                                  << "..ABC" << true << true << "/srv/sheets/ds/..ABC_50_us.PDF";
}

void DatasheetTest::localName() {
    QFETCH(QString, root);
    QFETCH(QString, model);
    QFETCH(bool, is50Hz);
    QFETCH(bool, imperial);
    QFETCH(QString, file);

    const DatasheetRequest request{root, model, is50Hz, imperial};
    QCOMPARE(kvw::datasheetFileName(request).value_or("-"), file);
    RecordingOpener rec;
    QVERIFY(kvw::openLocalDatasheet(rec.opener(), request));
    QCOMPARE(rec.opened.size(), 1);
    QVERIFY(rec.opened[0].isLocalFile());
    QCOMPARE(rec.opened[0].toLocalFile(), file);
}

void DatasheetTest::unsafeNamesOpenNothing_data() {
    QTest::addColumn<QString>("model");
    QTest::newRow("empty: the empty row after the results") << "";
    QTest::newRow("parent folder") << "../secret";
    QTest::newRow("deep parent folders") << "../../../../etc/passwd";
    QTest::newRow("sub folder") << "sub/ABC1";
    QTest::newRow("absolute") << "/etc/passwd";
    QTest::newRow("backslash parent") << "..\\..\\x";
    QTest::newRow("trailing separator") << "ABC/";
    QTest::newRow("zero character") << QString("ABC") + QChar(0) + "x";
}

void DatasheetTest::unsafeNamesOpenNothing() {
    QFETCH(QString, model);
    const DatasheetRequest request{"/srv/sheets", model, true, false};
    QVERIFY(!kvw::datasheetFileName(request).has_value());
    RecordingOpener rec;
    QVERIFY(!kvw::openLocalDatasheet(rec.opener(), request));
    QVERIFY(rec.opened.isEmpty());
}

void DatasheetTest::relativeRootIsTakenFromTheCurrentDirectory() {
    RecordingOpener rec;
    QVERIFY(kvw::openLocalDatasheet(rec.opener(), {"docs", "ABC1", false, true}));
    QCOMPARE(rec.opened.size(), 1);
    QCOMPARE(rec.opened[0].toLocalFile(), QDir::current().filePath("docs/ds/ABC1_60_us.PDF"));
}

void DatasheetTest::onlineAddress() {
    RecordingOpener rec;
    QVERIFY(kvw::openOnlineDatasheet(rec.opener()));
    QCOMPARE(rec.opened.size(), 1);
    const QUrl url = rec.opened[0];
    QCOMPARE(url.toString(), QString(kvw::kOnlineDatasheetAddress));
    QCOMPARE(url.scheme(), QString("https"));
    QVERIFY(url.host().endsWith(".example"));
    QCOMPARE(url.path(), QString("/odsg"));
    QVERIFY(!url.hasQuery());
}

QTEST_GUILESS_MAIN(DatasheetTest)
#include "datasheet_test.moc"

// Printing a picture of a window: a blank warning, the picture on the clipboard, the page in
// a PDF file, the busy pointer and a printer that fails.
#include "kv/printing.h"

#include "harness.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// What the replaceable dialog and message box saw.
struct Recorder {
    QStringList refusals;
    int dialogs = 0;
    QString pdf; // where the dialog sends the page

    kv::PrintHooks hooks() {
        kv::PrintHooks h;
        h.setup = [this](QPrinter& printer, QWidget*) {
            ++dialogs;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        h.refuse = [this](QWidget*, const QString& text) { refusals << text; };
        return h;
    }
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class PrintingTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void refusedWhileABlankWarningIsShown();
    void printsThePictureAtTheOrigin();
    void busyPointerDuringCaptureOnly();
    void printerFailureIsSilent();
    void hiddenWindowIsRenderedItself();

private:
    std::unique_ptr<QWidget> window_;
    QTemporaryDir dir_;
};

void PrintingTest::init() {
    window_ = std::make_unique<QWidget>();
    window_->setFixedSize(320, 180);
    window_->setStyleSheet("background: white");
    auto* label = new QLabel("Results : 3", window_.get());
    label->move(10, 10);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QGuiApplication::clipboard()->setText("held before");
}

void PrintingTest::cleanup() {
    window_.reset();
}

// The window test covers the refusal after a run and a cancelled dialog; a warning that is
// only a blank still refuses.
void PrintingTest::refusedWhileABlankWarningIsShown() {
    Recorder rec;
    rec.pdf = dir_.filePath("refused.pdf");
    QCOMPARE(kv::printWindow(window_.get(), " ", rec.hooks()), kv::PrintOutcome::Refused);
    QCOMPARE(rec.refusals, QStringList{"The results can't be printed. Please recalculate !"});
    QCOMPARE(rec.dialogs, 0);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("held before"));
    QVERIFY(!QFile::exists(rec.pdf));
}

void PrintingTest::printsThePictureAtTheOrigin() {
    Recorder rec;
    rec.pdf = dir_.filePath("printed.pdf");
    QCOMPARE(kv::printWindow(window_.get(), QString(), rec.hooks()), kv::PrintOutcome::Printed);

    // The clipboard keeps the window's picture, at the window's size in pixels.
    const QImage held = QGuiApplication::clipboard()->image();
    QVERIFY(!held.isNull());
    const qreal dpr = window_->devicePixelRatioF();
    QCOMPARE(held.size(), window_->frameGeometry().size() * dpr);
    // It is the window, not a blank: its white background with the label's dark text.
    const QPoint client = window_->geometry().topLeft() - window_->frameGeometry().topLeft();
    QCOMPARE(held.pixelColor((client + QPoint(300, 150)) * dpr), QColor(Qt::white));
    bool text = false;
    for (int y = 10; y < 30 && !text; ++y)
        for (int x = 10; x < 60 && !text; ++x)
            text = held.pixelColor((client + QPoint(x, y)) * dpr).lightness() < 128;
    QVERIFY(text);

    // One page holding one picture of that size.
    const QByteArray pdf = readAll(rec.pdf);
    QVERIFY(pdf.startsWith("%PDF"));
    QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page "), 1);
    const QRegularExpression image(R"(/Subtype /Image\s*/Width (\d+)\s*/Height (\d+))");
    const QRegularExpressionMatch m = image.match(QString::fromLatin1(pdf));
    QVERIFY2(m.hasMatch(), "no image in the printed page");
    QCOMPARE(QSize(m.captured(1).toInt(), m.captured(2).toInt()), held.size());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void PrintingTest::busyPointerDuringCaptureOnly() {
    Recorder rec;
    rec.pdf = dir_.filePath("busy.pdf");
    Qt::CursorShape atDialog = Qt::ArrowCursor;
    Qt::CursorShape atCapture = Qt::ArrowCursor;
    kv::PrintHooks hooks = rec.hooks();
    auto setup = hooks.setup;
    hooks.setup = [&](QPrinter& printer, QWidget* parent) {
        atDialog = QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape()
                                                     : Qt::ArrowCursor;
        return setup(printer, parent);
    };
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [&] {
        if (QGuiApplication::overrideCursor())
            atCapture = QGuiApplication::overrideCursor()->shape();
    });
    QCOMPARE(kv::printWindow(window_.get(), QString(), hooks), kv::PrintOutcome::Printed);
    QObject::disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    QCOMPARE(atDialog, Qt::ArrowCursor);
    QCOMPARE(atCapture, Qt::WaitCursor);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void PrintingTest::printerFailureIsSilent() {
    Recorder rec;
    rec.pdf = dir_.filePath("no/such/folder/page.pdf");
    QCOMPARE(kv::printWindow(window_.get(), QString(), rec.hooks()), kv::PrintOutcome::Failed);
    QVERIFY(rec.refusals.isEmpty());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void PrintingTest::hiddenWindowIsRenderedItself() {
    window_->hide();
    const QImage picture = kv::CaptureScreen(window_.get());
    QCOMPARE(picture.size(), window_->frameGeometry().size() * window_->devicePixelRatioF());
    QCOMPARE(QGuiApplication::clipboard()->image().size(), picture.size());
    QCOMPARE(picture.pixelColor(picture.width() / 2, picture.height() - 3), QColor(Qt::white));
}

// The window's Print button: refused while the results are stale, the picture on the
// clipboard and the page after a new run, nothing for a cancelled dialog.
class WindowPrintingTest : public QObject {
    Q_OBJECT

private slots:
    void printButton() {
        kv::WindowHarness h({kv::namedModel("AB-1"), kv::namedModel("AB-2", 2000)});
        QTemporaryDir outDir_;
        h.pdf = outDir_.filePath("page.pdf");
        QCOMPARE(h.start(), kv::StartupStatus::Ready);
        QGuiApplication::clipboard()->setText("before");

        // A run, then a changed field: the stale-results warning refuses the print.
        h.click("btnCalculate");
        QVERIFY(h.window().resultCount() > 0);
        QVERIFY(h.warning().isEmpty());
        QTest::keyClick(h.field("txtTc"), Qt::Key_1);
        h.click("btnPrint");
        QCOMPARE(h.messages(), QStringList{"The results can't be printed. Please recalculate !"});
        QCOMPARE(h.printDialogs, 0);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
        QVERIFY(!QFile::exists(h.pdf));

        // Recalculating allows it: the window's picture on the clipboard and on the page.
        h.field("txtTc")->setText("50");
        h.click("btnCalculate");
        QVERIFY(h.warning().isEmpty());
        h.click("btnPrint");
        QCOMPARE(h.messages().size(), 1);
        QCOMPARE(h.printDialogs, 1);
        QVERIFY(!QGuiApplication::clipboard()->image().isNull());
        QVERIFY(readAll(h.pdf).startsWith("%PDF"));

        // A cancelled dialog prints nothing and leaves the clipboard alone.
        QFile::remove(h.pdf);
        h.pdf.clear();
        QGuiApplication::clipboard()->setText("after");
        h.click("btnPrint");
        QCOMPARE(h.printDialogs, 2);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("after"));
    }
};

int runPrintingTests(int argc, char** argv) {
    PrintingTest t;
    WindowPrintingTest w;
    return QTest::qExec(&t, argc, argv) | QTest::qExec(&w, argc, argv);
}
#include "printing_test.moc"

#include "kv/printing.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QWidget>

namespace kv {

BusyPointer::BusyPointer() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyPointer::~BusyPointer() {
    QGuiApplication::restoreOverrideCursor();
}

namespace {

bool platformHasScreenPixels() {
    return QGuiApplication::platformName() != QLatin1String("minimal");
}

// The window's own rendering on a picture of its frame rectangle's size, for platforms
// that hand out no screen pixels: the client area at its place inside the frame.
QImage renderedPicture(QWidget* window) {
    const QPixmap client = window->grab();
    const qreal dpr = client.devicePixelRatio();
    const QRect frame = window->frameGeometry();
    QImage picture((QSizeF(frame.size()) * dpr).toSize(), QImage::Format_RGB32);
    picture.setDevicePixelRatio(dpr);
    picture.fill(window->palette().color(QPalette::Window));
    QPainter painter(&picture);
    painter.drawPixmap(window->geometry().topLeft() - frame.topLeft(), client);
    return picture;
}

} // namespace

bool runPrintDialog(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

QImage grabWindowPicture(QWidget* window) {
    if (window == nullptr)
        return {};
    QScreen* screen = window->screen();
    if (window->isVisible() && screen != nullptr && platformHasScreenPixels()) {
        // The whole window, frame and title bar included, in coordinates of its screen.
        const QRect frame = window->frameGeometry();
        const QPoint origin = frame.topLeft() - screen->geometry().topLeft();
        const QPixmap shot =
            screen->grabWindow(0, origin.x(), origin.y(), frame.width(), frame.height());
        if (!shot.isNull())
            return shot.toImage();
    }
    return renderedPicture(window);
}

QImage CaptureScreen(QWidget* window) {
    QImage picture = grabWindowPicture(window);
    if (picture.isNull())
        return {};
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(picture);
    return picture;
}

bool printPicture(QPrinter& printer, const QImage& picture, double sourceDpi) {
    if (picture.isNull() || sourceDpi <= 0)
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The painter draws the picture at its size in device-independent pixels; on paper
    // that is the size of the window on a screen of `sourceDpi` logical dots per inch.
    painter.scale(printer.logicalDpiX() / sourceDpi, printer.logicalDpiY() / sourceDpi);
    painter.drawImage(QPointF(0, 0), picture);
    return painter.end();
}

PrintOutcome printWindow(QWidget* window, const QString& warningText, const PrintHooks& hooks) {
    if (!warningText.isEmpty()) {
        if (hooks.refuse)
            hooks.refuse(window, QString::fromUtf8(kCantPrintMessage));
        return PrintOutcome::Refused;
    }
    QPrinter printer;
    if (!hooks.setup || !hooks.setup(printer, window))
        return PrintOutcome::Cancelled;

    const BusyPointer busy;
    // The dialog has just closed over the window: paint the window again, so that the
    // screen shows the window and not what the dialog left, before its picture is taken.
    window->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (CaptureScreen(window).isNull())
        return PrintOutcome::Failed;
    // The page shows what the clipboard now holds.
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QImage picture = clipboard != nullptr ? clipboard->image() : QImage();
    const double dpi = window->logicalDpiX();
    if (!printPicture(printer, picture, dpi))
        return PrintOutcome::Failed;
    return PrintOutcome::Printed;
}

} // namespace kv

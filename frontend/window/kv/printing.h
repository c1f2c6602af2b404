// Printing: a picture of the whole window, taken from the screen, put on the clipboard and
// printed on one page at the origin at its natural size.
//
// The print-setup dialog and the refusal message are replaceable, so that tests print to
// a PDF file without a dialog and see the message without a modal box.
#pragma once

#include <QImage>
#include <QString>

#include <functional>

class QPrinter;
class QWidget;

namespace kv {

// Shown while txtWarning holds text: the shown results don't belong to the shown
// conditions, or carry the low-superheat warning.
inline constexpr const char* kCantPrintMessage =
    "The results can't be printed. Please recalculate !";

// The busy pointer for the life of the object; restored on every way out.
class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

struct PrintHooks {
    // The print-setup dialog for `printer`. False when the user cancels or it fails.
    std::function<bool(QPrinter& printer, QWidget* parent)> setup;
    // The refusal message box (OK only).
    std::function<void(QWidget* parent, const QString& text)> refuse;
};

// The platform's print-setup dialog for `printer`: true when the user confirms.
bool runPrintDialog(QPrinter& printer, QWidget* parent);

enum class PrintOutcome {
    Refused,   // txtWarning held text; the message was shown
    Cancelled, // the dialog was cancelled or failed; nothing printed
    Failed,    // no picture or the printer refused; abandoned silently
    Printed,
};

// The window's frame rectangle as shown on the screen, or the window's own rendering
// where the platform gives no screen pixels (offscreen, some Wayland compositors).
QImage grabWindowPicture(QWidget* window);

// CaptureScreen: puts the window's picture on the clipboard, replacing what it held.
// Gives the picture (null when there was nothing to take).
QImage CaptureScreen(QWidget* window);

// Draws `picture` at the page's origin at its natural size: one picture pixel per pixel
// of the screen it came from. False when the printer can't be painted on.
bool printPicture(QPrinter& printer, const QImage& picture, double sourceDpi);

// The click on btnPrint: the refusal while `warningText` is not empty, the dialog, the
// busy pointer, the capture to the clipboard and the page.
PrintOutcome printWindow(QWidget* window, const QString& warningText, const PrintHooks& hooks);

} // namespace kv

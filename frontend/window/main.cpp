// Korvane_Vantrix: the window program. Its program directory is the folder of the
// executable; the text up to the first space of the arguments names the data-sheet root.
#include "kv/mainwindow.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane_Vantrix"));
    QApplication::setOrganizationName(QStringLiteral("Korvane_Vantrix"));
    // Ties the window to its menu entry, so the desktop shows the entry's name and icon.
    QApplication::setDesktopFileName(QStringLiteral("example.korvane.Vantrix"));

    kv::MainWindowOptions options;
    options.programDir = QApplication::applicationDirPath();
    options.argumentText = QApplication::arguments().mid(1).join(QLatin1Char(' '));

    kv::MainWindow window(options);
    const kv::StartupStatus status = window.startUp();
    if (status != kv::StartupStatus::Ready)
        return static_cast<int>(status);
    window.show();
    return QApplication::exec();
}

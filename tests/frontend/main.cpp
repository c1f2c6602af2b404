// The window tests: offscreen, with a temporary settings location and an English default
// locale; each test class sets the locale it needs.
#include <QApplication>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

int runStartupTests(int argc, char** argv);
int runConditionsTests(int argc, char** argv);
int runCalculateTests(int argc, char** argv);
int runControlsTests(int argc, char** argv);
int runModelWindowTests(int argc, char** argv);
int runPrintingTests(int argc, char** argv);
int runDatasheetTests(int argc, char** argv);
int runSpeedTests(int argc, char** argv);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    int status = 0;
    status |= runStartupTests(argc, argv);
    status |= runConditionsTests(argc, argv);
    status |= runCalculateTests(argc, argv);
    status |= runControlsTests(argc, argv);
    status |= runModelWindowTests(argc, argv);
    status |= runPrintingTests(argc, argv);
    status |= runDatasheetTests(argc, argv);
    status |= runSpeedTests(argc, argv);
    return status;
}

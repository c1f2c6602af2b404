// A window on a temporary program directory: the real start-up, the real libraries and a
// catalogue written by the test. Message boxes, print-setup dialogs and opened documents
// are recorded instead of shown.
#pragma once

#include "kv/mainwindow.h"
#include "programdir.h"
#include "test_catalogue.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <string>
#include <vector>

namespace kv {

// The locales the window tests switch between: "." and "," as the decimal sign.
inline const QLocale kEnglish{QLocale::English, QLocale::UnitedStates};
inline const QLocale kGerman{QLocale::German, QLocale::Germany};

class WindowHarness {
public:
    explicit WindowHarness(const std::vector<TestModel>& models = {},
                           const std::vector<CodeLine>& codes = defaultCodes());
    // A catalogue given as its code-list and model-table texts.
    WindowHarness(const std::string& codes, const std::string& models);
    ~WindowHarness();

    ProgramDir& dir() { return *dir_; }

    // Creates the window (not yet started) with the given argument text and volumes.
    MainWindow& create(const QString& argumentText = {}, const QList<Volume>& volumes = {});
    // Creates the window, runs the start-up and shows it (offscreen) when it is ready.
    StartupStatus start(const QString& argumentText = {}, const QList<Volume>& volumes = {});

    // Closes the window as the user would (which writes the store) and drops it.
    void close();

    MainWindow& window() { return *window_; }
    const QStringList& messages() const { return messages_; }

    template <typename T> T* get(const char* name) const {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* field(const char* name) const { return get<QLineEdit>(name); }
    QComboBox* list(const char* name) const { return get<QComboBox>(name); }
    QLabel* label(const char* name) const { return get<QLabel>(name); }
    QRadioButton* option(const char* name) const { return get<QRadioButton>(name); }
    void click(const char* name) const;
    QStringList items(const char* list) const;

    QString warning() const { return label("txtWarning")->text(); }
    // The five condition texts, txtTe to txtSh2.
    QStringList conditions() const;
    void setConditions(const QStringList& texts) const;

    // Grid rows 1..ResultCount as texts of one column.
    QStringList column(int column) const;

    // Where an accepted print-setup dialog sends the page; empty: the dialog is cancelled.
    QString pdf;
    int printDialogs = 0;
    QList<QUrl> opened;

private:
    std::unique_ptr<ProgramDir> dir_;
    std::unique_ptr<MainWindow> window_;
    QStringList messages_;
};

// The text pdftotext reads from a PDF (with `mode`, e.g. "-bbox"); empty when it can't.
QString pdfText(const QString& pdf, const QString& mode = {});

} // namespace kv

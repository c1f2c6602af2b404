#include "harness.h"

#include "kv/resultsgrid.h"
#include "kv/settings.h"

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>

#include <QTest>

namespace kv {

WindowHarness::WindowHarness(const std::vector<TestModel>& models,
                             const std::vector<CodeLine>& codes)
    : dir_(std::make_unique<kv::ProgramDir>(codesFile(codes), modelsFile(models))) {
    // Every window starts on an empty store: no test sees what another one left.
    QFile::remove(QString::fromStdString(settingsStorePath()));
}

WindowHarness::WindowHarness(const std::string& codes, const std::string& models)
    : dir_(std::make_unique<kv::ProgramDir>(codes, models)) {
    QFile::remove(QString::fromStdString(settingsStorePath()));
}

WindowHarness::~WindowHarness() = default;

MainWindow& WindowHarness::create(const QString& argumentText, const QList<Volume>& volumes) {
    MainWindowOptions options;
    options.programDir = QString::fromStdString(dir_->path().string());
    options.argumentText = argumentText;
    options.volumes = [volumes] { return volumes; };
    options.messageBox = [this](QWidget*, const QString&, const QString& text) {
        messages_ << text;
    };
    options.printSetup = [this](QPrinter& printer, QWidget*) {
        ++printDialogs;
        if (pdf.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    options.openDocument = [this](const QUrl& url) {
        opened << url;
        return true;
    };
    window_ = std::make_unique<MainWindow>(options);
    return *window_;
}

StartupStatus WindowHarness::start(const QString& argumentText, const QList<Volume>& volumes) {
    create(argumentText, volumes);
    const StartupStatus status = window_->startUp();
    if (status == StartupStatus::Ready) {
        window_->show();
        (void)QTest::qWaitForWindowExposed(window_.get());
    }
    return status;
}

void WindowHarness::close() {
    if (window_)
        window_->close();
    window_.reset();
}

void WindowHarness::click(const char* name) const {
    QAbstractButton* button = get<QAbstractButton>(name);
    if (button != nullptr)
        button->click();
}

QStringList WindowHarness::items(const char* name) const {
    QStringList texts;
    QComboBox* combo = list(name);
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QStringList WindowHarness::conditions() const {
    QStringList texts;
    for (const char* f : {"txtTe", "txtTc", "txtSc", "txtSh1", "txtSh2"})
        texts << field(f)->text();
    return texts;
}

void WindowHarness::setConditions(const QStringList& texts) const {
    const char* names[] = {"txtTe", "txtTc", "txtSc", "txtSh1", "txtSh2"};
    for (int i = 0; i < 5 && i < texts.size(); ++i)
        field(names[i])->setText(texts[i]);
}

QStringList WindowHarness::column(int column) const {
    QStringList texts;
    const GridModel* model = window_->grid()->grid();
    for (int r = 1; r <= window_->resultCount(); ++r)
        texts << model->text(r, column);
    return texts;
}

QString pdfText(const QString& pdf, const QString& mode) {
    QProcess p;
    QStringList args{pdf, QStringLiteral("-")};
    if (!mode.isEmpty())
        args.prepend(mode);
    p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")), args);
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace kv

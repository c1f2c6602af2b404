// The model window on the demo catalogue: opening it from a result row (envelope, diagram
// and table computed, the window painted) and writing its PDF data sheet.
#include "kv/mainwindow.h"
#include "kv/modelwindow.h"
#include "kv/resultsgrid.h"
#include "programdir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct Setup {
    std::unique_ptr<kv::MainWindow> window;
    bool ready = false;

    Setup() {
        kv::MainWindowOptions options;
        options.programDir = QString::fromStdString(kv::ProgramDir::builtProgramDir().string());
        options.volumes = [] { return QList<kv::Volume>{}; };
        options.messageBox = [](QWidget*, const QString&, const QString&) {};
        window = std::make_unique<kv::MainWindow>(options);
        ready = window->startUp() == kv::StartupStatus::Ready;
        if (!ready)
            return;
        window->show();
        window->findChild<QAbstractButton*>(QStringLiteral("btnCalculate"))->click();
        QApplication::processEvents();
        ready = window->resultCount() > 0;
    }
};

std::unique_ptr<Setup>& holder() {
    static std::unique_ptr<Setup> s;
    return s;
}

Setup& setup() {
    if (!holder())
        holder() = std::make_unique<Setup>();
    return *holder();
}

void BM_OpenModelWindow(benchmark::State& state) {
    Setup& s = setup();
    if (!s.ready) {
        state.SkipWithError("the window did not start or rated nothing");
        return;
    }
    for (auto _ : state) {
        kv::ModelWindow* w = s.window->modelOpener()->open(1);
        if (w == nullptr) {
            state.SkipWithError("no model window");
            return;
        }
        QApplication::processEvents(); // the diagram and the table paint
        state.PauseTiming();
        delete w;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenModelWindow)->Unit(benchmark::kMillisecond);

void BM_ExportPdf(benchmark::State& state) {
    Setup& s = setup();
    kv::ModelWindow* w = s.ready ? s.window->modelOpener()->open(1) : nullptr;
    if (w == nullptr) {
        state.SkipWithError("no model window");
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sheet.pdf"));
    for (auto _ : state)
        if (!w->exportPdf(path).isEmpty())
            state.SkipWithError("the PDF was not written");
    delete w;
}
BENCHMARK(BM_ExportPdf)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    holder().reset();
    return 0;
}

// The window with 2,000 matching models that all rate cleanly: a Calculate click until the
// grid is filled and painted, and a switch of the ordering over the shown rows.
#include "kv/mainwindow.h"
#include "programdir.h"
#include "test_catalogue.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct WindowSetup {
    std::unique_ptr<kv::ProgramDir> dir;
    std::unique_ptr<kv::MainWindow> window;
    bool ready = false;

    WindowSetup() {
        const std::vector<kv::TestModel> models = kv::manyModels(2000);
        dir = std::make_unique<kv::ProgramDir>(kv::codesFile(kv::defaultCodes()),
                                               kv::modelsFile(models));
        kv::MainWindowOptions options;
        options.programDir = QString::fromStdString(dir->path().string());
        options.volumes = [] { return QList<kv::Volume>{}; };
        options.messageBox = [](QWidget*, const QString&, const QString&) {};
        window = std::make_unique<kv::MainWindow>(options);
        ready = window->startUp() == kv::StartupStatus::Ready;
        if (ready)
            window->show();
    }

    void click(const char* name) const {
        window->findChild<QAbstractButton*>(QString::fromLatin1(name))->click();
        QApplication::processEvents(); // the grid paints
    }
};

// Made at the first benchmark, destroyed in main() while the application still exists.
std::unique_ptr<WindowSetup>& setupHolder() {
    static std::unique_ptr<WindowSetup> s;
    return s;
}

WindowSetup& setup() {
    if (!setupHolder())
        setupHolder() = std::make_unique<WindowSetup>();
    return *setupHolder();
}

void BM_CalculateClick2000Models(benchmark::State& state) {
    WindowSetup& s = setup();
    if (!s.ready) {
        state.SkipWithError("the window did not start");
        return;
    }
    for (auto _ : state)
        s.click("btnCalculate");
    state.counters["rows"] = s.window->resultCount();
    if (s.window->resultCount() != 2000)
        state.SkipWithError("not every model rated cleanly");
}
BENCHMARK(BM_CalculateClick2000Models)->Unit(benchmark::kMillisecond);

void BM_ReorderShownRows(benchmark::State& state) {
    WindowSetup& s = setup();
    if (!s.ready) {
        state.SkipWithError("the window did not start");
        return;
    }
    s.click("btnCalculate");
    bool byCapacity = false;
    for (auto _ : state) {
        byCapacity = !byCapacity;
        s.click(byCapacity ? "opt_order_1" : "opt_order_0");
    }
    state.counters["rows"] = s.window->resultCount();
}
BENCHMARK(BM_ReorderShownRows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(
        true); // the settings written at close stay out of the user's
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    setupHolder().reset();
    return 0;
}

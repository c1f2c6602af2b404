// The calculation run over a large matching catalogue, and ordering long result lists.
#include "kv/binding.h"
#include "kv/calcrun.h"
#include "kv/conditions.h"
#include "programdir.h"
#include "test_catalogue.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// 2,000 models that all match the default selection and all rate cleanly.
struct RunSetup {
    std::unique_ptr<kv::ProgramDir> dir;
    kv::BindResult bound;
    kv::CalcRequest request;

    RunSetup() {
        const std::vector<kv::TestModel> models = kv::manyModels(2000);
        dir = std::make_unique<kv::ProgramDir>(kv::codesFile(kv::defaultCodes()),
                                               kv::modelsFile(models));
        bound = kv::bindLibraries(dir->path().string());
        if (bound.ok)
            kv::initializeEngine(bound.api, dir->path().string());
        request.conditions = *kv::presetTexts("ARI, MBP", kv::UnitSystem::SI, request.format);
    }
};

void BM_CalculationRun2000Models(benchmark::State& state) {
    static RunSetup setup;
    if (!setup.bound.ok) {
        state.SkipWithError(setup.bound.message.c_str());
        return;
    }
    auto req = setup.request;
    req.targetCapacity = state.range(0) != 0 ? "15000" : "";
    int rows = 0;
    for (auto _ : state) {
        const auto r = kv::runCalculation(setup.bound.api, req);
        rows = r.resultCount;
        benchmark::DoNotOptimize(r.rows.data());
    }
    state.counters["rows"] = rows;
    if (state.range(0) == 0 && rows != 2000)
        state.SkipWithError("not every model rated cleanly");
}
BENCHMARK(BM_CalculationRun2000Models)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

std::vector<kv::GridRow> orderedRows(int n) {
    std::vector<kv::GridRow> rows(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "M%06d", i);
        auto& r = rows[static_cast<std::size_t>(i)];
        r[2] = name;
        r[5] = kv::formatGrouped000(100.0 + i, kv::NumberFormat::english());
    }
    return rows;
}

// 20,000 rows already in key order (first argument 0 by name, 1 by capacity); a second
// argument of 1 moves the smallest row to the end, the worst case of the first-row pivot.
void BM_Order20000Rows(benchmark::State& state) {
    auto rows = orderedRows(20000);
    if (state.range(1) != 0)
        std::rotate(rows.begin(), rows.begin() + 1, rows.end());
    const auto order = state.range(0) == 0 ? kv::OrderBy::ModelName : kv::OrderBy::Capacity;
    for (auto _ : state) {
        state.PauseTiming();
        auto copy = rows;
        state.ResumeTiming();
        kv::sortRows(copy, order, kv::NumberFormat::english());
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_Order20000Rows)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

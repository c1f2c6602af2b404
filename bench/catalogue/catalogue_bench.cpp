// The catalogue builder's costs (one fit, the whole demo catalogue) and a calculation
// run over the large catalogue through the real engine and property library.
#include "catalogue.h"
#include "engine_handle.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

namespace {

using namespace kvcat;

const std::string kFluids = std::string(KV_SOURCE_DIR) + "/data/fluids";

void BM_FitOneModel(benchmark::State& state) {
    const Range range = loadRange(KV_CATALOGUE_RANGE_FILE);
    const asere::FluidLibrary fluids(kFluids);
    const Catalogue one = buildCatalogue(range, fluids, 1);
    const Model& m = one.models[0];
    std::vector<Sample> samples;
    for (const auto& [te, tc] : fitGrid(m.envelope, *m.spec.family))
        samples.push_back({te, tc, evaluate(m.q, te, tc) * (1 + 0.001 * std::sin(te * tc))});
    for (auto _ : state)
        benchmark::DoNotOptimize(fitRelative(samples));
    state.counters["samples"] = static_cast<double>(samples.size());
}
BENCHMARK(BM_FitOneModel)->Unit(benchmark::kMicrosecond);

void BM_BuildDemoCatalogue(benchmark::State& state) {
    const Range range = loadRange(KV_CATALOGUE_RANGE_FILE);
    std::size_t models = 0;
    for (auto _ : state) {
        const asere::FluidLibrary fluids(kFluids); // fluids loaded afresh each time
        const Catalogue cat = buildCatalogue(range, fluids);
        models = cat.models.size();
        benchmark::DoNotOptimize(modelsText(cat.models));
    }
    state.counters["models"] = static_cast<double>(models);
}
BENCHMARK(BM_BuildDemoCatalogue)->Unit(benchmark::kMillisecond)->Iterations(1);

// One calculation run: every model of the large catalogue rated at its family's typical
// point, as the window does with every selection list at "All".
void BM_RateLargeCatalogue(benchmark::State& state) {
    const std::string dir = KV_LARGE_CATALOGUE_DIR;
    if (!std::filesystem::exists(dir + "/data/kpxcalc.bin")) {
        state.SkipWithError("the large catalogue is not built (target kv_large_catalogue)");
        return;
    }
    const kvcattest::Engine engine(kvcattest::readFile(dir + "/data/kpxcodes.bin"),
                                   kvcattest::readFile(dir + "/data/kpxcalc.bin"));
    const Range range = loadRange(KV_CATALOGUE_RANGE_FILE);
    struct Job {
        int32_t model;
        double te, tc;
    };
    std::vector<Job> jobs;
    for (int32_t m : engine.models(0, 0, 0)) {
        const int code = static_cast<int>(engine.number(m, "DLLF"));
        for (const Family& f : range.families)
            if (f.code == code)
                jobs.push_back({m, f.typicalTe, f.typicalTc});
    }
    int clean = 0;
    for (auto _ : state) {
        clean = 0;
        for (const Job& j : jobs)
            clean += engine.rate(j.model, j.te, j.tc, 0, 10, 10).code == 0 ? 1 : 0;
    }
    state.counters["models"] = static_cast<double>(jobs.size());
    state.counters["clean"] = clean;
}
BENCHMARK(BM_RateLargeCatalogue)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// One model rated at a million conditions through the bound KPX_Rating, the loop the
// Python module's rate() runs; rate_bench.py compares the two.
#include "kv/binding.h"
#include "kv/perftable.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kPoints = 1000000;
constexpr int kSide = 1000;
constexpr const char* kModel = "KRM250A-D5";

// Te from -25 to 10 °C along one axis, Tc from 30 to 60 °C along the other, as
// rate_bench.py builds them.
struct Conditions {
    std::vector<double> te, tc;
    Conditions() {
        for (int i = 0; i < kPoints; ++i) {
            te.push_back(-25.0 + 35.0 * (i % kSide) / (kSide - 1));
            tc.push_back(30.0 + 30.0 * (i / kSide) / (kSide - 1));
        }
    }
};

void BM_RateOneModelMillionPoints(benchmark::State& state) {
    static const kv::BindResult bound = kv::bindLibraries(KV_PROGRAM_DIR);
    if (!bound.ok) {
        state.SkipWithError(bound.message.c_str());
        return;
    }
    static const bool initialized = (kv::initializeEngine(bound.api, KV_PROGRAM_DIR), true);
    (void)initialized;
    const auto& api = bound.api;
    const auto found = kv::findModelByName(api, kModel);
    if (!found) {
        state.SkipWithError("the model is not in the catalogue");
        return;
    }
    const int32_t model = found->number;
    static const Conditions at;
    std::vector<double> capacity(kPoints), power(kPoints), current(kPoints), massFlow(kPoints),
        cop(kPoints);
    std::vector<int32_t> code(kPoints);
    for (auto _ : state) {
        for (int i = 0; i < kPoints; ++i)
            code[i] =
                api.KPX_Rating(model, nullptr, nullptr, 0, at.te[i], at.tc[i], 0.0, 10.0, 10.0,
                               &capacity[i], &power[i], &current[i], &massFlow[i], &cop[i]);
        benchmark::DoNotOptimize(code.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_RateOneModelMillionPoints)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();

// The figures beyond the rating against the rating itself, through the real libraries on
// the demo catalogue: KPX_Rating, and KPX_RatingFigures (the same rating and its figures)
// for the same models and points. The goal: the figures cost at most one rating more.
// The condensing temperature moves a little on every call, so that the property library's
// memory of recent states answers no call.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "kpx_calc.h"

namespace {

struct Point {
    std::int32_t model;
    double tc;
};

// Models 1 to 40 of the demo catalogue at -10 degC evaporating, around 40 degC condensing.
Point next(std::int64_t i) {
    return {static_cast<std::int32_t>(1 + i % 40), 40 + static_cast<double>(i % 997) * 1e-3};
}

bool loaded() {
    static const bool ok = [] {
        KPX_Initialize(KV_DEMO_DATA_DIR "/");
        return true;
    }();
    return ok;
}

void BM_Rating(benchmark::State& state) {
    loaded();
    std::int64_t i = 0;
    for (auto _ : state) {
        const Point p = next(i++);
        double q, w, a, m, cop;
        benchmark::DoNotOptimize(
            KPX_Rating(p.model, nullptr, nullptr, 0, -10, p.tc, 0, 10, 10, &q, &w, &a, &m, &cop));
    }
}
BENCHMARK(BM_Rating);

void BM_RatingWithFigures(benchmark::State& state) {
    loaded();
    std::int64_t i = 0;
    for (auto _ : state) {
        const Point p = next(i++);
        KPX_Figures f;
        benchmark::DoNotOptimize(
            KPX_RatingFigures(p.model, nullptr, nullptr, 0, -10, p.tc, 0, 10, 10, &f));
        benchmark::DoNotOptimize(f);
    }
}
BENCHMARK(BM_RatingWithFigures);

} // namespace

BENCHMARK_MAIN();

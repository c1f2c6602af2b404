// Variable-speed models through the real libraries, on a catalogue of the public
// three-speed map and a fixed-speed model made of its 60 rev/s set: a fixed-speed rating,
// a rating at a speed between two published ones, the speed range at a point and the
// speed that meets a capacity. Goals: a rating at a speed at most 1.5 fixed-speed ratings,
// a match at most 10. The condensing temperature moves a little on every call, so that the
// property library's memory of recent states answers no call.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kpx_calc.h"
#include "speed_map.h"

namespace {

namespace fs = std::filesystem;

// Model 1 the variable-speed map, model 2 the fixed-speed one.
bool loaded() {
    static const bool ok = [] {
        std::string pattern = (fs::temp_directory_path() / "kpx-speed-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        const fs::path dir = pattern;
        const kvcat::CatalogueTexts cat = kvcat::speedMapCatalogue(dir);
        std::ofstream(dir / "kpxcodes.bin", std::ios::binary) << cat.codes;
        std::ofstream(dir / "kpxcalc.bin", std::ios::binary) << cat.models;
        std::ofstream(dir / "kpxspeed.bin", std::ios::binary) << cat.speeds;
        fs::create_directory_symlink(KV_FLUIDS_DIR, dir / "fluids");
        KPX_Initialize((dir.string() + "/").c_str());
        return true;
    }();
    return ok;
}

double tcOf(std::int64_t i) {
    return 40 + static_cast<double>(i % 997) * 1e-3;
}

void BM_FixedSpeedRating(benchmark::State& state) {
    loaded();
    std::int64_t i = 0;
    for (auto _ : state) {
        double q, w, a, m, cop;
        benchmark::DoNotOptimize(
            KPX_Rating(2, nullptr, nullptr, 0, 0, tcOf(i++), 5, 8, 8, &q, &w, &a, &m, &cop));
    }
}
BENCHMARK(BM_FixedSpeedRating);

void BM_RatingAtSpeed(benchmark::State& state) {
    loaded();
    std::int64_t i = 0;
    for (auto _ : state) {
        double q, w, a, m, cop;
        benchmark::DoNotOptimize(KPX_RatingAtSpeed(1, nullptr, nullptr, 0, 42.5, 0, tcOf(i++), 5, 8,
                                                   8, &q, &w, &a, &m, &cop));
    }
}
BENCHMARK(BM_RatingAtSpeed);

void BM_SpeedRange(benchmark::State& state) {
    loaded();
    std::int64_t i = 0;
    for (auto _ : state) {
        double low, high;
        benchmark::DoNotOptimize(
            KPX_SpeedRange(1, nullptr, nullptr, 0, 0, tcOf(i++), 5, 8, 8, &low, &high));
    }
}
BENCHMARK(BM_SpeedRange);

void BM_MatchCapacity(benchmark::State& state) {
    loaded();
    std::int64_t i = 0;
    for (auto _ : state) {
        double s, q, w, a, m, cop;
        benchmark::DoNotOptimize(KPX_MatchCapacity(1, nullptr, nullptr, 0, 20000, 0, tcOf(i++), 5,
                                                   8, 8, &s, &q, &w, &a, &m, &cop));
    }
}
BENCHMARK(BM_MatchCapacity);

} // namespace

BENCHMARK_MAIN();

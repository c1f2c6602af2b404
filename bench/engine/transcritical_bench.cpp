// The transcritical rating against the subcritical rating of the same R744 compressor,
// through the real libraries: KPX_Rating at Te -5 degC / Tc 25 degC, KPX_RatingTranscritical
// at Te -5 degC, 9 MPa, outlet 35 degC, and the optimum gas-cooler pressure at that outlet
// temperature. Goals: a transcritical rating at most 2 subcritical ratings, the optimum at
// most 50. The condensing temperature and gas-cooler pressure move a little on every call,
// so that the property library's memory of recent states answers no call.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <unistd.h>

#include "kpx_calc.h"

namespace {

// One public compressor's subcritical curves, a plain envelope around them, and its
// transcritical curves.
const char* const kHeader =
    "Name\tShowName\tRefrigerant\tFrequency\tDLLR\tDLLF\tDLLP\tScBase\tShBase\tTeLow\tTeHig\t"
    "TcLow\tTcHig\tTeMin\tTeMax\tTcMin\tTcMax\tShMax\tShTol\tRgtMax\tScMax\tTcTol\tShF\tShH\t"
    "F0e\tF0c\tH0e\tH0c\t";
const char* const kLine = "CO2\tCO2\tR744\t50\t1\t4\t4\t0\t10\t-20\t0\t5\t30.9\t-20\t0\t5\t30.9\t"
                          "40\t5\t60\t20\t3\t10\t20\t-20\t40\t-20\t40\t";
const char* const kQ[] = {"134820.0", "3877.9", "-3499.9",  "46.003",  "-15.385",
                          "136.73",   "0.3641", "-0.19034", "-1.1749", "-3.3654"};
const char* const kP[] = {"4504.9", "-444.0",    "515.47",   "-8.2624", "10.185",
                          "1.2147", "-0.020071", "0.031205", "0.05382", "-0.010196"};
const char* const kGcQ[] = {"6.126e-05",   "-0.0033564", "6.1461",     "0.0095107",   "0.031467",
                            "-3.6337e-05", "0.23406",    "0.00010693", "-7.9936e-08", "5.5138e-11"};
const char* const kGcP[] = {"9.6322e-14", "4.4874e-08",  "2.7964e-07", "1.409e-10",  "-6.2129e-05",
                            "6.6629e-10", "-1.4278e-09", "-8.482e-07", "7.2268e-12", "-3.7658e-17"};

bool loaded() {
    static const bool ok = [] {
        const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                          ("kv_transcritical_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::error_code linked;
        std::filesystem::create_directory_symlink(KV_FLUIDS_DIR, dir / "fluids", linked);
        std::string header = kHeader, line = kLine;
        for (int i = 0; i < 10; ++i) {
            const std::string k = std::to_string(i);
            header +=
                "Q" + k + "\tP" + k + "\tA" + k + "\tM" + k + "\tGcQ" + k + "\tGcP" + k + "\t";
            line +=
                std::string(kQ[i]) + "\t" + kP[i] + "\t0\t0\t" + kGcQ[i] + "\t" + kGcP[i] + "\t";
        }
        header += "GcShBase\tGcTeLow\tGcTeHig\tGcPLow\tGcPHig\tGcHLow\tGcHHig\t";
        line += "10\t-20\t0\t7500000\t10000000\t291650\t313040\t";
        std::ofstream(dir / "kpxcodes.bin") << "List\tNumber\tText\nDLLR\t1\tR744\n";
        std::ofstream(dir / "kpxcalc.bin") << header << "\n" << line << "\n";
        KPX_Initialize((dir.string() + "/").c_str());
        return true;
    }();
    return ok;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// state.range(0): 1 moves the suction temperature too, so that no suction state is
// remembered either.
void BM_SubcriticalRating(benchmark::State& state) {
    loaded();
    std::int64_t i = 0;
    const double moveTe = static_cast<double>(state.range(0)) * 1e-3;
    for (auto _ : state) {
        const double step = static_cast<double>(i++ % 997);
        double q, w, a, m, cop;
        benchmark::DoNotOptimize(KPX_Rating(1, nullptr, nullptr, 0, -5 + step * moveTe,
                                            25 + step * 1e-3, 0, 10, 10, &q, &w, &a, &m, &cop));
    }
}
BENCHMARK(BM_SubcriticalRating)->Arg(0)->Arg(1);

void BM_TranscriticalRating(benchmark::State& state) {
    loaded();
    std::int64_t i = 0;
    const double moveTe = static_cast<double>(state.range(0)) * 1e-3;
    for (auto _ : state) {
        const double step = static_cast<double>(i++ % 997);
        KPX_TranscriticalResult r;
        benchmark::DoNotOptimize(KPX_RatingTranscritical(1, nullptr, nullptr, 0, -5 + step * moveTe,
                                                         9e6 + step * 10, 35, 10, 10, kNaN, &r));
    }
}
BENCHMARK(BM_TranscriticalRating)->Arg(0)->Arg(1);

void BM_OptimumGasCoolerPressure(benchmark::State& state) {
    loaded();
    std::int64_t i = 0;
    for (auto _ : state) {
        const double tgc = 35 + static_cast<double>(i++ % 997) * 1e-3;
        KPX_TranscriticalResult r;
        benchmark::DoNotOptimize(
            KPX_OptimumGasCoolerPressure(1, nullptr, nullptr, 0, -5, tgc, 10, 10, kNaN, &r));
    }
}
BENCHMARK(BM_OptimumGasCoolerPressure);

} // namespace

BENCHMARK_MAIN();

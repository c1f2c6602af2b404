// Median time per property call through the C exports, as the rating engine makes them.
// Inputs change from call to call, so the memory of recent states does not answer them
// (except in RatingRepeated, which repeats one rating as a calculation run does).
#include "asere32.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every fluid of the data directory: the pure fluids, the pseudo-pure blends, the
// multi-component blends, then R744 (last, so that the others keep their numbers).
const char* const kFluids[] = {"R22",     "R32",        "R134a", "R290",  "R600a", "R1270",
                               "R1234yf", "R1234ze(E)", "R404A", "R407C", "R410A", "R507A",
                               "R454B",   "R513A",      "R448A", "R449A", "R744"};
constexpr int kFluidCount = sizeof kFluids / sizeof kFluids[0];

void setUp() {
    static const bool ok = ILK_SetDataDirectory(KV_DATA_DIR) == 0;
    if (!ok) {
        std::fprintf(stderr, "no fluid files in %s\n", KV_DATA_DIR);
        std::abort();
    }
}

const char* fluidOf(const benchmark::State& state) {
    return kFluids[state.range(0)];
}

// The top of a range of saturation temperatures: hi, or for R744 (critical temperature
// 30.98 degC) 2 K below the critical temperature.
double saturationTop(const char* fluid, double hi) {
    double Tc = 0, pc = 0;
    if (ILK_CriticalPoint(fluid, &Tc, &pc) != 0)
        std::abort();
    return std::min(hi, Tc - 2);
}

// n values spread over [lo, hi], visited in a scattered order.
std::vector<double> spread(double lo, double hi, int n = 997) {
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = lo + (hi - lo) * ((i * 389) % n) / (n - 1);
    return v;
}

void check(int32_t rc, benchmark::State& state) {
    if (rc != 0)
        state.SkipWithError("property call failed");
}

void SaturationPressure(benchmark::State& state) {
    setUp();
    const char* fluid = fluidOf(state);
    const auto temps = spread(233.15, saturationTop(fluid, 333.15));
    std::size_t i = 0;
    double p;
    for (auto _ : state) {
        check(ILK_SaturationPressure(fluid, temps[i], &p), state);
        benchmark::DoNotOptimize(p);
        i = (i + 1) % temps.size();
    }
}

void BubbleTemperature(benchmark::State& state) {
    setUp();
    const char* fluid = fluidOf(state);
    std::vector<double> pressures;
    for (double T : spread(253.15, saturationTop(fluid, 333.15))) {
        double p;
        ILK_SaturationPressure(fluid, T, &p);
        pressures.push_back(p);
    }
    std::size_t i = 0;
    double T;
    for (auto _ : state) {
        check(ILK_BubbleTemperature(fluid, pressures[i], &T), state);
        benchmark::DoNotOptimize(T);
        i = (i + 1) % pressures.size();
    }
}

void LiquidEnthalpy(benchmark::State& state) {
    setUp();
    const char* fluid = fluidOf(state);
    const auto temps = spread(253.15, saturationTop(fluid, 323.15));
    std::size_t i = 0;
    double h;
    for (auto _ : state) {
        check(ILK_LiquidEnthalpy(fluid, temps[i], &h), state);
        benchmark::DoNotOptimize(h);
        i = (i + 1) % temps.size();
    }
}

// Suction states: evaporating -40 to +10 degC, superheat 0 to 30 K.
struct Suction {
    double T, p;
};
std::vector<Suction> suctionStates(const char* fluid) {
    std::vector<Suction> states;
    const auto te = spread(233.15, 283.15, 101);
    const auto sh = spread(0, 30, 13);
    for (std::size_t k = 0; k < 997; ++k) {
        double p;
        ILK_SaturationPressure(fluid, te[k % te.size()], &p);
        states.push_back({te[k % te.size()] + sh[k % sh.size()], p});
    }
    return states;
}

void VapourEnthalpy(benchmark::State& state) {
    setUp();
    const char* fluid = fluidOf(state);
    const auto states = suctionStates(fluid);
    std::size_t i = 0;
    double h;
    for (auto _ : state) {
        check(ILK_VapourEnthalpy(fluid, states[i].T, states[i].p, &h), state);
        benchmark::DoNotOptimize(h);
        i = (i + 1) % states.size();
    }
}

void VapourVolume(benchmark::State& state) {
    setUp();
    const char* fluid = fluidOf(state);
    const auto states = suctionStates(fluid);
    std::size_t i = 0;
    double v;
    for (auto _ : state) {
        check(ILK_VapourVolume(fluid, states[i].T, states[i].p, &v), state);
        benchmark::DoNotOptimize(v);
        i = (i + 1) % states.size();
    }
}

// The property calls of one rating, in the engine's order, with the revision and data
// directory calls that come before them.
double rate(const char* fluid, double te, double tc, double sc, double sh1, double sh2,
            double scBase, double shBase) {
    char buffer[ILK_TEXT_SIZE];
    char* text = buffer;
    ILK_Revision(&text);
    ILK_SetDataDirectory(KV_DATA_DIR);
    const double teK = te + 273.15, tcK = tc + 273.15;
    double pe, pc, tb, hLiq, hLiqBase, hOut, v, hOutBase, vBase;
    int32_t rc = ILK_SaturationPressure(fluid, teK, &pe);
    rc |= ILK_SaturationPressure(fluid, tcK, &pc);
    rc |= ILK_BubbleTemperature(fluid, pc, &tb);
    rc |= ILK_LiquidEnthalpy(fluid, tb - sc, &hLiq);
    rc |= ILK_LiquidEnthalpy(fluid, tb - scBase, &hLiqBase);
    rc |= ILK_VapourEnthalpy(fluid, teK + sh1, pe, &hOut);
    rc |= ILK_VapourVolume(fluid, teK + sh2, pe, &v);
    rc |= ILK_VapourEnthalpy(fluid, teK + shBase, pe, &hOutBase);
    rc |= ILK_VapourVolume(fluid, teK + shBase, pe, &vBase);
    if (rc != 0)
        return -1;
    return vBase / v * (hOut - hLiq) / (hOutBase - hLiqBase);
}

void RatingCalls(benchmark::State& state) {
    setUp();
    const char* fluid = fluidOf(state);
    // R744 rates subcritical (condensing below its critical temperature, as the
    // low-temperature stage of a cascade or booster plant).
    const bool r744 = std::string_view(fluid) == "R744";
    const auto te = r744 ? spread(-50, -10, 101) : spread(-35, 5, 101);
    const auto tc = r744 ? spread(-5, 25, 89) : spread(30, 55, 89);
    std::size_t i = 0;
    for (auto _ : state) {
        const double f = rate(fluid, te[i % te.size()], tc[i % tc.size()], 3, 5, 12, 0, 10);
        if (f < 0)
            state.SkipWithError("rating calls failed");
        benchmark::DoNotOptimize(f);
        ++i;
    }
}

// The property calls of one rating, then those its figures add: the suction state's
// enthalpy and entropy, the isentropic state at the discharge pressure, and the discharge
// state from an energy balance. Against RatingCalls, the cost of the figures.
void RatingAndFiguresCalls(benchmark::State& state) {
    setUp();
    const char* fluid = fluidOf(state);
    const auto te = spread(-35, 5, 101), tc = spread(30, 55, 89);
    std::size_t i = 0;
    for (auto _ : state) {
        const double teK = te[i % te.size()] + 273.15, tcK = tc[i % tc.size()] + 273.15;
        const double f = rate(fluid, teK - 273.15, tcK - 273.15, 3, 5, 12, 0, 10);
        double pe, pc, h1, s1, t2s, h2s, t2, s2;
        int32_t rc = ILK_SaturationPressure(fluid, teK, &pe);
        rc |= ILK_SaturationPressure(fluid, tcK, &pc);
        rc |= ILK_VapourEnthalpy(fluid, teK + 12, pe, &h1);
        rc |= ILK_VapourEntropy(fluid, teK + 12, pe, &s1);
        rc |= ILK_VapourStatePS(fluid, pc, s1, &t2s, &h2s);
        // R32 and R454B at the coldest and hottest points end above the equations' range.
        const int32_t discharge = ILK_VapourStatePH(fluid, pc, h1 + (h2s - h1) / 0.65, &t2, &s2);
        if (f < 0 || rc != 0 || (discharge != 0 && discharge != ILK_OUT_OF_RANGE))
            state.SkipWithError("rating or figure calls failed");
        benchmark::DoNotOptimize(t2);
        ++i;
    }
}

// A calculation run rates every model at the same conditions; only the base superheat
// and subcooling vary between models.
void RatingRepeated(benchmark::State& state) {
    setUp();
    const char* fluid = fluidOf(state);
    // R744: the low-temperature stage of a cascade, condensing at -5 degC.
    const bool r744 = std::string_view(fluid) == "R744";
    const double te = r744 ? -35 : -10, tc = r744 ? -5 : 45;
    std::size_t i = 0;
    for (auto _ : state) {
        const double f = rate(fluid, te, tc, 3, 5, 12, 0, i % 2 ? 10 : 11.1);
        if (f < 0)
            state.SkipWithError("rating calls failed");
        benchmark::DoNotOptimize(f);
        ++i;
    }
}

// R744 above its critical pressure: gas-cooler outlets (0 to 60 degC) and compressor
// discharge (60 to 160 degC) at 75 to 140 bar, through ILK_StateTP.
void R744StateTP(benchmark::State& state) {
    setUp();
    const bool discharge = state.range(0) == 1;
    const auto temps = discharge ? spread(333.15, 433.15, 101) : spread(273.15, 333.15, 101);
    const auto pressures = spread(75e5, 140e5, 89);
    std::size_t i = 0;
    double h, s, rho;
    for (auto _ : state) {
        check(ILK_StateTP("R744", temps[i % temps.size()], pressures[i % pressures.size()], &h, &s,
                          &rho),
              state);
        benchmark::DoNotOptimize(h);
        ++i;
    }
}

// The property calls of a transcritical R744 rating: suction at the evaporating pressure,
// the gas-cooler outlet at (T, p), and the end of the isentropic compression to the
// gas-cooler pressure.
void R744TranscriticalCalls(benchmark::State& state) {
    setUp();
    const auto te = spread(258.15, 278.15, 101), tgc = spread(298.15, 318.15, 89);
    const auto pgc = spread(75e5, 120e5, 83);
    std::size_t i = 0;
    for (auto _ : state) {
        double pe, hs, vs, ss, hgc, sgc, rhogc, T2, h2;
        const double T1 = te[i % te.size()] + 10;
        int32_t rc = ILK_SaturationPressure("R744", te[i % te.size()], &pe);
        rc |= ILK_VapourEnthalpy("R744", T1, pe, &hs);
        rc |= ILK_VapourVolume("R744", T1, pe, &vs);
        rc |= ILK_VapourEntropy("R744", T1, pe, &ss);
        rc |= ILK_StateTP("R744", tgc[i % tgc.size()], pgc[i % pgc.size()], &hgc, &sgc, &rhogc);
        rc |= ILK_VapourStatePS("R744", pgc[i % pgc.size()], ss, &T2, &h2);
        check(rc, state);
        benchmark::DoNotOptimize(h2 - hgc + vs);
        ++i;
    }
}

// First use of a fluid: a fresh data directory (the same files under another name), so
// the fluid's file is read and its expansions fitted; for a blend also its components and
// pair data, and its saturation curves built.
void FirstUse(benchmark::State& state) {
    setUp();
    const char* fluid = fluidOf(state);
    const std::string dirs[2] = {KV_DATA_DIR, std::string(KV_DATA_DIR) + "./"};
    std::size_t i = 0;
    double p;
    for (auto _ : state) {
        ILK_SetDataDirectory(dirs[++i % 2].c_str());
        check(ILK_SaturationPressure(fluid, 263.15, &p), state);
        benchmark::DoNotOptimize(p);
    }
    ILK_SetDataDirectory(KV_DATA_DIR);
}

void fluidArgs(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < kFluidCount; ++i)
        b->Arg(i);
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(SaturationPressure)->Apply(fluidArgs);
BENCHMARK(BubbleTemperature)->Apply(fluidArgs);
BENCHMARK(LiquidEnthalpy)->Apply(fluidArgs);
BENCHMARK(VapourEnthalpy)->Apply(fluidArgs);
BENCHMARK(VapourVolume)->Apply(fluidArgs);
BENCHMARK(RatingCalls)->Apply(fluidArgs);
BENCHMARK(RatingAndFiguresCalls)->Apply(fluidArgs);
BENCHMARK(RatingRepeated)->Apply(fluidArgs);
BENCHMARK(R744StateTP)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(R744TranscriticalCalls)->Unit(benchmark::kMicrosecond);
BENCHMARK(FirstUse)->DenseRange(0, kFluidCount - 1)->Unit(benchmark::kMillisecond);

} // namespace

// Five repetitions and only their aggregates, unless the command line asks otherwise.
int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    const auto given = [&](std::string_view flag) {
        return std::any_of(argv + 1, argv + argc, [flag](const char* a) {
            return std::string_view(a).substr(0, flag.size()) == flag;
        });
    };
    if (!given("--benchmark_repetitions"))
        args.push_back(repetitions.data());
    if (!given("--benchmark_report_aggregates_only") && !given("--benchmark_display_aggregates"))
        args.push_back(aggregates.data());
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

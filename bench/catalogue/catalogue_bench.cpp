// The catalogue builder's costs (one fit, the whole demo catalogue) and a calculation
// run over the large catalogue through the real engine and property library.
#include "engine_handle.h"
#include "kvcat/catalogue.h"
#include "kvcat/import.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace kvcat;

const std::string kFluids = std::string(KV_SOURCE_DIR) + "/data/fluids";

void BM_FitOneModel(benchmark::State& state) {
    const Range range = loadRange(KV_CATALOGUE_RANGE_FILE);
    const asere::FluidLibrary fluids(kFluids);
    const Catalogue one = buildCatalogue(range, fluids, 1);
    const Model& m = one.models[0];
    std::vector<Sample> samples;
    for (const auto& [te, tc] : fitGrid(m.envelope, *m.entry.family))
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

// A coefficient file of `rows` published compressors: the rows of the public set whose
// refrigerants the property library knows, repeated under new names.
std::filesystem::path publicRowsFile(std::size_t rows, const std::string& tag) {
    std::ifstream in(std::string(KV_SOURCE_DIR) +
                     "/tests/catalogue/reference/compressor_curves.tsv");
    std::string header, line;
    std::getline(in, header);
    std::vector<std::string> known;
    while (std::getline(in, line)) {
        const std::string refrigerant = line.substr(6, line.find('\t', 6) - 6);
        if (refrigerant != "R12" && refrigerant != "R502" && refrigerant != "R744")
            known.push_back(line.substr(line.find('\t')));
    }
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("kv_import_bench_" + tag + "_" + std::to_string(::getpid()) + ".tsv");
    std::ofstream out(file);
    out << header << "\n";
    for (std::size_t i = 0; i < rows; ++i)
        out << "X" << i << known[i % known.size()] << "\n";
    return file;
}

ImportOptions publicSetOptions() {
    ImportOptions options;
    options.powerFactor = 0.8;
    options.narrowToPositive = true; // four rows' curves go negative in their ranges
    return options;
}

// Importing 1,000 published compressors, mass flow fitted, current derived and curves
// checked for each.
void BM_Import1000(benchmark::State& state) {
    const std::filesystem::path file = publicRowsFile(1000, "1000");
    std::size_t models = 0;
    for (auto _ : state) {
        const asere::FluidLibrary fluids(kFluids); // fluids loaded afresh each time
        const ImportResult result = importFiles({{file, publicSetOptions()}}, fluids);
        models = result.models.size();
        benchmark::DoNotOptimize(mergeCatalogue({}, result.models));
    }
    std::filesystem::remove(file);
    state.counters["models"] = static_cast<double>(models);
}
BENCHMARK(BM_Import1000)->Unit(benchmark::kMillisecond);

// A 40 MB file (154,267 rows): the rows are read one at a time, so memory grows with the
// models kept (their catalogue lines), not with the file's text. "peak_MB" is the
// process's peak resident memory after the import.
void BM_Import40MB(benchmark::State& state) {
    const std::filesystem::path file = publicRowsFile(154267, "40MB");
    std::size_t models = 0, bytes = 0;
    for (auto _ : state) {
        const asere::FluidLibrary fluids(kFluids);
        const ImportResult result = importFiles({{file, publicSetOptions()}}, fluids);
        models = result.models.size();
        bytes = mergeCatalogue({}, result.models).models.size();
    }
    std::filesystem::remove(file);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["models"] = static_cast<double>(models);
    state.counters["catalogue_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024;
}
BENCHMARK(BM_Import40MB)->Unit(benchmark::kSecond)->Iterations(1);

// One calculation run: every model of the large catalogue rated at its family's typical
// point, as the window does with every selection list at "All".
void BM_RateLargeCatalogue(benchmark::State& state) {
    const std::string dir = KV_LARGE_CATALOGUE_DIR;
    if (!std::filesystem::exists(dir + "/data/kpxcalc.bin")) {
        state.SkipWithError("the large catalogue is not built (target kv_large_catalogue)");
        return;
    }
    const kvcat::Engine engine(kvcat::readFile(dir + "/data/kpxcodes.bin"),
                               kvcat::readFile(dir + "/data/kpxcalc.bin"));
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

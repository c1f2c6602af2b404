// Engine benchmarks over a generated catalogue of 20,000 models with 110 columns:
// loading (time and peak memory growth), a rating with a property double that answers at
// once (clean and refused point), and the model search walk through the real export; and
// the enumeration of a 50,000-entry code list.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "kpx/catalogue.h"
#include "kpx/rating.h"
#include "kpx_calc.h"
#include "kpx_text_buffer.h"

namespace {

constexpr int kModelCount = 20000;

class InstantProperties final : public kpx::PropertyProvider {
public:
    void revision(char**) override {}
    void setDataDirectory(const char*) override {}
    std::int32_t saturationPressure(const char*, double t, double* p) override {
        *p = 1000.0 * t;
        return 0;
    }
    std::int32_t bubbleTemperature(const char*, double p, double* t) override {
        *t = p / 1000.0;
        return 0;
    }
    std::int32_t liquidEnthalpy(const char*, double t, double* h) override {
        *h = 1400.0 * t;
        return 0;
    }
    std::int32_t vapourEnthalpy(const char*, double t, double p, double* h) override {
        *h = 2.0e5 + 900.0 * t + p * 1e-6;
        return 0;
    }
    std::int32_t vapourVolume(const char*, double t, double p, double* v) override {
        *v = t / p;
        return 0;
    }
};

std::string number(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Writes kpxcodes.bin and kpxcalc.bin into a fresh temporary directory, once.
struct GeneratedCatalogue {
    std::filesystem::path dir;
    std::uintmax_t bytes = 0;

    GeneratedCatalogue() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kpx-bench-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        dir = pattern;
        std::ofstream codes(dir / "kpxcodes.bin", std::ios::binary);
        codes << "List\tNumber\tText\r\n";
        const char* refrigerants[] = {"R134a", "R404A", "R407C", "R448A", "R449A", "R507A"};
        for (int i = 0; i < 6; ++i)
            codes << "DLLR\t" << i + 1 << '\t' << refrigerants[i] << "\r\n";
        for (int i = 1; i <= 8; ++i)
            codes << "DLLF\t" << i << "\tFamily " << i << "\r\n";
        for (int i = 1; i <= 5; ++i)
            codes << "DLLP\t" << i << '\t' << 200 + 10 * i << "V-3-50Hz\r\n";
        codes.close();

        std::vector<std::string> columns{"ShowName", "Refrigerant", "Frequency", "DLLR",
                                         "DLLF",     "DLLP",        "Name",      "Technology"};
        kpx::RatingRecord names;
        kpx::forEachRatingColumn(names,
                                 [&](std::string_view n, double&) { columns.emplace_back(n); });
        while (columns.size() < 110)
            columns.push_back("Extra" + std::to_string(columns.size()));

        std::mt19937 random(12345);
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        std::ofstream models(dir / "kpxcalc.bin", std::ios::binary);
        for (const auto& c : columns)
            models << c << '\t';
        models << "\r\n";
        std::string line;
        for (int m = 0; m < kModelCount; ++m) {
            line.clear();
            const int refrigerant = m % 6;
            const std::string name = "KV" + std::to_string(100 + m % 900) + "-" +
                                     std::to_string(m) + (m % 2 ? "-TFD" : "-PFJ");
            line += name + '\t' + refrigerants[refrigerant] + '\t' + (m % 3 ? "50" : "60") + '\t' +
                    std::to_string(refrigerant + 1) + '\t' + std::to_string(m % 8 + 1) + '\t' +
                    std::to_string(m % 5 + 1) + '\t' + name + "\tScroll\t";
            for (std::size_t c = 8; c < columns.size(); ++c) {
                const std::string& col = columns[c];
                std::string text;
                if (col.size() == 2 &&
                    (col[0] == 'Q' || col[0] == 'P' || col[0] == 'A' || col[0] == 'M')) {
                    const double scale = col[0] == 'Q' ? 5e3 : col[0] == 'P' ? 2e3 : 1.0;
                    const int power = col[1] - '0';
                    const double magnitude = scale * std::pow(0.05, power < 3 ? 1 : 2);
                    text = number("%.6E", (col[1] == '0' ? 1.0 : 0.1) * magnitude *
                                              (power == 0 ? 10 : unit(random)));
                } else if (col.rfind("Extra", 0) == 0) {
                    text = number("%.3f", 100 * (unit(random) + 1));
                } else {
                    text = envelopeValue(col);
                }
                line += text;
                line += '\t';
            }
            line += "\r\n";
            models << line;
        }
        models.close();
        bytes = std::filesystem::file_size(dir / "kpxcodes.bin") +
                std::filesystem::file_size(dir / "kpxcalc.bin");
    }
    ~GeneratedCatalogue() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // A plausible envelope in which (-10, 40, 0, 10, 10) is clean.
    static std::string envelopeValue(const std::string& col) {
        static const std::pair<const char*, const char*> values[] = {
            {"ScBase", "0"},   {"ShBase", "10"}, {"RgtBase", "-"}, {"TeLow", "-40"},
            {"TeHig", "12.5"}, {"TcLow", "15"},  {"TcHig", "68"},  {"TeMin", "-35"},
            {"TeMax", "10"},   {"TcMin", "20"},  {"TcMax", "65"},  {"RgtMax", "45"},
            {"RgtH", "-"},     {"ShMax", "30"},  {"ShTol", "5"},   {"ScMax", "20"},
            {"TcTol", "3"},    {"ShF", "10"},    {"ShH", "20"},    {"K1e", "-40"},
            {"K1c", "20"},     {"K2e", "-20"},   {"K2c", "25"},    {"F0e", "-40"},
            {"F0c", "50"},     {"F1e", "-30"},   {"F1c", "58"},    {"F2e", "-20"},
            {"F2c", "63"},     {"F3e", "-10"},   {"F3c", "66"},    {"F4e", "0"},
            {"F4c", "68"},     {"F5e", "10"},    {"F5c", "68"},    {"F6e", "12.5"},
            {"F6c", "65"},     {"H0e", "-40"},   {"H0c", "45"},    {"H1e", "-25"},
            {"H1c", "55"},     {"H2e", "-10"},   {"H2c", "62"},    {"H3e", "5"},
            {"H3c", "66"},     {"H4e", "12.5"},  {"H4c", "63"},
        };
        for (const auto& [name, value] : values)
            if (col == name)
                return value;
        return "-";
    }
};

const GeneratedCatalogue& generated() {
    static GeneratedCatalogue g;
    return g;
}

long statusKilobytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    return -1;
}

// Peak resident memory growth of one load, in MB, measured in a fresh process (this
// program started again with --measure-load DIR) so that no memory freed earlier in this
// process hides the growth.
double peakGrowthOfOneLoad(const std::string& dir) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = "'" + self + "' --measure-load '" + dir + "'";
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr)
        return -1;
    double growth = -1;
    if (std::fscanf(child, "%lf", &growth) != 1)
        growth = -1;
    pclose(child);
    return growth;
}

int measureLoad(const char* dir) {
    const long before = statusKilobytes("VmRSS:");
    kpx::Catalogue c;
    c.initialize(dir);
    benchmark::DoNotOptimize(c.modelCount());
    std::printf("%.3f\n", (statusKilobytes("VmHWM:") - before) / 1024.0);
    return c.modelCount() == kModelCount ? 0 : 1;
}

// Loads the catalogue in `dir` (ending in "/") at every iteration, and reports the files'
// size, the peak memory growth of one load and the limit it must stay under.
void loadCatalogue(benchmark::State& state, const std::string& dir, std::uintmax_t bytes) {
    const double growth = peakGrowthOfOneLoad(dir);
    for (auto _ : state) {
        kpx::Catalogue c;
        c.initialize(dir.c_str());
        if (c.modelCount() != kModelCount)
            state.SkipWithError("catalogue not loaded");
        benchmark::DoNotOptimize(c.modelCount());
    }
    const double filesMb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["files_MB"] = filesMb;
    state.counters["peak_rss_growth_MB"] = growth;
    state.counters["peak_limit_MB"] = 3 * filesMb + 20;
}

void BM_LoadCatalogue(benchmark::State& state) {
    const auto& g = generated();
    loadCatalogue(state, g.dir.string() + "/", g.bytes);
}
BENCHMARK(BM_LoadCatalogue)->Unit(benchmark::kMillisecond)->MinTime(2.0);

#ifdef KV_LARGE_CATALOGUE_DIR
// The catalogue builder's large catalogue: 20,000 models of the demo range with every
// column the builder writes.
void BM_LoadBuiltLargeCatalogue(benchmark::State& state) {
    const std::string dir = std::string(KV_LARGE_CATALOGUE_DIR) + "/data/";
    std::uintmax_t bytes = 0;
    for (const char* f : {"kpxcodes.bin", "kpxcalc.bin"}) {
        std::error_code ec;
        bytes += std::filesystem::file_size(dir + f, ec);
        if (ec) {
            state.SkipWithError("the large catalogue is not built (target kv_large_catalogue)");
            return;
        }
    }
    loadCatalogue(state, dir, bytes);
}
BENCHMARK(BM_LoadBuiltLargeCatalogue)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

const kpx::Catalogue& loadedCatalogue() {
    static const kpx::Catalogue c = [] {
        kpx::Catalogue c;
        c.initialize((generated().dir.string() + "/").c_str());
        return c;
    }();
    return c;
}

// One rating as the export does it: the record's columns, then the rating.
void rateEvery(benchmark::State& state, const kpx::Conditions& point, std::int32_t expected) {
    const kpx::Catalogue& c = loadedCatalogue();
    InstantProperties properties;
    std::size_t model = 0;
    for (auto _ : state) {
        const auto r = kpx::rate(c.ratingRecord(model), point, properties, "data/");
        if (r.code != expected)
            state.SkipWithError("unexpected rating code");
        benchmark::DoNotOptimize(r);
        model = model + 1 == c.modelCount() ? 0 : model + 1;
    }
}

void BM_RatingCleanPoint(benchmark::State& state) {
    rateEvery(state, kpx::Conditions{-10, 40, 0, 10, 10}, 0);
}
BENCHMARK(BM_RatingCleanPoint);

void BM_RatingRefusedPoint(benchmark::State& state) {
    rateEvery(state, kpx::Conditions{-45, 40, 0, 10, 10}, -2);
}
BENCHMARK(BM_RatingRefusedPoint);

void BM_GetModelWalk(benchmark::State& state) {
    static const bool initialised = [] {
        KPX_Initialize((generated().dir.string() + "/").c_str());
        return true;
    }();
    benchmark::DoNotOptimize(initialised);
    kpx::TextBuffer showName;
    for (auto _ : state) {
        int32_t start = 0, next = 0, found = 0;
        while (KPX_GetModel(start, 0, 0, 0, &next, showName.address()) == 0) {
            start = next;
            ++found;
        }
        if (found != kModelCount)
            state.SkipWithError("walk did not visit every model");
    }
}
BENCHMARK(BM_GetModelWalk)->Unit(benchmark::kMillisecond);

// One whole enumeration of a 50,000-entry refrigerant list, the walk the window makes at
// start-up, at each frequency switch and three times per Calculate.
void BM_EnumerateCodeList(benchmark::State& state) {
    constexpr int kEntries = 50000;
    static const kpx::Catalogue c = [] {
        std::string codes = "List\tNumber\tText\n";
        for (int i = 1; i <= kEntries; ++i)
            codes += "DLLR\t" + std::to_string(i) + "\tR" + std::to_string(i) + "\n";
        kpx::Catalogue c;
        c.readCodes(codes);
        return c;
    }();
    for (auto _ : state) {
        int found = 0;
        for (auto entry = c.NextCode("DLLR", 0); entry; entry = c.NextCode("DLLR", entry->number))
            ++found;
        if (found != kEntries)
            state.SkipWithError("enumeration did not visit every entry");
    }
    state.counters["entries"] = kEntries;
}
BENCHMARK(BM_EnumerateCodeList)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--measure-load")
        return measureLoad(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

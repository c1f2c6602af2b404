// Finding fluids, refusing unusable files, and every way a property call can fail.
#include "corpus_replay.h"
#include "fluid_exercise.h"
#include "reference.h"

#include "asere/fluid.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <new>
#include <random>
#include <thread>
#include <unistd.h>

// Allocations of this many bytes or more fail while a test asks for it.
static std::atomic<std::size_t> failAllocationsFrom{SIZE_MAX};

void* operator new(std::size_t size) {
    if (size >= failAllocationsFrom.load(std::memory_order_relaxed))
        throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
// The library's temporary buffers (std::stable_sort) come from the nothrow form: it must
// pair with the operator delete below too.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (size >= failAllocationsFrom.load(std::memory_order_relaxed))
        return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}
// GCC can't tell that these pair with the operator new above.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

namespace fs = std::filesystem;
using asere::Fluid;
using asere::FluidLibrary;
using asere::Status;
using nlohmann::json;

// A fresh directory of fluid files, removed at the end of the test.
struct TempFluids {
    const fs::path dir = fs::temp_directory_path() / ("asere-test-" + std::to_string(::getpid()));
    TempFluids() { fs::create_directories(dir); }
    ~TempFluids() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
};

json fluidJson(const char* file) {
    std::ifstream in(asere::fluidsDir() / file);
    return json::parse(in);
}

Status loadStatus(const std::function<void()>& f) {
    try {
        f();
    } catch (const asere::FluidError& e) {
        return e.status();
    }
    return Status::Ok;
}

TEST(FindingFluids, NamesAndAliasesOfTheCatalogue) {
    FluidLibrary lib(asere::fluidsDir());
    const struct {
        const char* asked;
        const char* name;
    } cases[] = {
        {"R134a", "R134a"},     {"R290", "n-Propane"},  {"Propane", "n-Propane"},
        {"R600a", "IsoButane"}, {"R1270", "Propylene"}, {"R1234ze(E)", "R1234ze(E)"},
        {"R1234yf", "R1234yf"}, {"R407C", "R407C"},     {"R407c", "R407C"},
        {"r410a", "R410A"},     {"R22", "R22"},         {"n-Propane", "n-Propane"},
    };
    for (const auto& c : cases) {
        const auto found = lib.find(c.asked);
        ASSERT_TRUE(found.ok()) << c.asked;
        EXPECT_EQ(found.value->name(), c.name) << c.asked;
    }
    // One fluid object per file, whichever name asked for it.
    EXPECT_EQ(lib.find("R290").value, lib.find("Propane").value);
    EXPECT_TRUE(lib.find("R404A").value->isBlend());
    EXPECT_FALSE(lib.find("R134a").value->isBlend());
}

TEST(FindingFluids, UnknownNamesAndMissingDirectories) {
    FluidLibrary lib(asere::fluidsDir());
    for (const char* name : {"R999", "", "R134", "../fluids/R134a", "R134a/", ".", "..", "README"})
        EXPECT_EQ(lib.find(name).status, Status::UnknownFluid) << name;
    EXPECT_THROW(lib.get("R999"), asere::FluidError);

    for (const char* dir : {"", "/nonexistent/asere/fluids"}) {
        FluidLibrary none{fs::path(dir)};
        EXPECT_EQ(none.find("R134a").status, Status::NoDataDirectory) << dir;
        EXPECT_EQ(loadStatus([&] { Fluid::load(dir, "R134a"); }), Status::NoDataDirectory);
    }
    // A file in place of the directory.
    FluidLibrary file(asere::fluidsDir() / "R134a.json");
    EXPECT_EQ(file.find("R134a").status, Status::NoDataDirectory);
}

// Ever new names cost no more memory than the bound of remembered names.
TEST(FindingFluids, RemembersABoundedNumberOfNames) {
    FluidLibrary lib(asere::fluidsDir());
    for (std::size_t i = 0; i < 2 * FluidLibrary::kMaxRememberedNames; ++i)
        ASSERT_EQ(lib.find("R" + std::string(200, 'x') + std::to_string(i)).status,
                  Status::UnknownFluid);
    EXPECT_LE(lib.rememberedNames(), FluidLibrary::kMaxRememberedNames);
    const std::size_t remembered = lib.rememberedNames();
    EXPECT_EQ(lib.find(std::string(7000, 'R')).status, Status::UnknownFluid);
    EXPECT_EQ(lib.rememberedNames(), remembered); // longer than any catalogue text
    EXPECT_TRUE(lib.find("R134a").ok());
}

// Several threads asking one library at once get the same fluids and the same values
// (each thread keeps its own memory of recent states).
TEST(FindingFluids, SharedBetweenThreads) {
    FluidLibrary lib(asere::fluidsDir());
    const char* names[] = {"R290", "R407C", "R134a", "Propane"};
    double expected[4];
    {
        FluidLibrary alone(asere::fluidsDir());
        for (int i = 0; i < 4; ++i)
            expected[i] = alone.get(names[i])->vapourState(270.0 + i, 1.5e5).value.h;
    }
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                const int i = (t + round) % 4;
                const auto f = lib.find(names[i]);
                if (!f.ok() || f.value->vapourState(270.0 + i, 1.5e5).value.h != expected[i])
                    ++mismatches;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(lib.find("R290").value, lib.find("Propane").value);
}

// Each broken file is refused with a message that says what is wrong.
TEST(BrokenFluidFiles, RefusedWithAClearMessage) {
    const json good = fluidJson("R134a.json");
    const json blend = fluidJson("R407C.json");
    const json r404a = fluidJson("R404A.json");
    auto with = [](json j, const std::function<void(json&)>& change) {
        change(j);
        return j.dump();
    };
    const struct {
        const char* what;
        std::string text;
        const char* message;
    } cases[] = {
        {"empty", "", "not a readable JSON"},
        {"cut short", good.dump().substr(0, 5000), "not a readable JSON"},
        {"a list", "[1, 2, 3]", "not an object"},
        {"no EOS", with(good, [](json& j) { j.erase("EOS"); }), "EOS"},
        {"unknown ideal-gas term",
         with(good,
              [](json& j) { j["EOS"][0]["alpha0"][1]["type"] = "IdealGasHelmholtzCP0AlyLee"; }),
         "IdealGasHelmholtzCP0AlyLee"},
        {"unknown residual term",
         with(good,
              [](json& j) { j["EOS"][0]["alphar"][0]["type"] = "ResidualHelmholtzXiangDeiters"; }),
         "ResidualHelmholtzXiangDeiters"},
        {"non-analytic term whose derivatives are infinite at the critical density",
         with(good,
              [](json& j) {
                  j["EOS"][0]["alphar"].push_back({{"type", "ResidualHelmholtzNonAnalytic"},
                                                   {"n", {0.05}},
                                                   {"a", {0.5}},
                                                   {"b", {0.875}},
                                                   {"beta", {0.3}},
                                                   {"A", {0.7}},
                                                   {"B", {0.3}},
                                                   {"C", {10}},
                                                   {"D", {275}}});
              }),
         "non-analytic term a is 0.5"},
        {"lists of different lengths",
         with(good, [](json& j) { j["EOS"][0]["alphar"][0]["t"].erase(0); }), "alphar[0].t"},
        {"a number as text", with(good, [](json& j) { j["EOS"][0]["molar_mass"] = "0.102"; }),
         "molar_mass"},
        {"negative molar mass", with(good, [](json& j) { j["EOS"][0]["molar_mass"] = -0.1; }),
         "molar_mass"},
        {"no reducing state", with(good, [](json& j) { j["EOS"][0]["STATES"].erase("reducing"); }),
         "reducing"},
        {"falling saturation pressure",
         with(good,
              [](json& j) {
                  auto& c = j["EOS"][0]["SUPERANCILLARY"]["jexpansions_p"][3]["coef"];
                  c[0] = -c[0].get<double>();
              }),
         "saturation-pressure"},
        {"blend without dew pressure", with(blend, [](json& j) { j["ANCILLARIES"].erase("pV"); }),
         "pV"},
        // Damaged blend files that used to hang the first rating for minutes and take
        // gigabytes (one density piece per 2 K up to the top of the curve), or load
        // constants that give finite nonsense.
        {"dew pressure up to 1e9 K",
         with(r404a, [](json& j) { j["ANCILLARIES"]["pV"]["Tmax"] = 1e9; }), "pV.Tmax"},
        {"bubble pressure up to 1e9 K",
         with(r404a, [](json& j) { j["ANCILLARIES"]["pL"]["Tmax"] = 1e9; }), "pL.Tmax"},
        {"nearly flat pressure equation reduced at 1e10 K",
         with(r404a,
              [](json& j) {
                  for (const char* k : {"pL", "pV"}) {
                      auto& a = j["ANCILLARIES"][k];
                      a["T_r"] = 1e10, a["n"] = {-1}, a["t"] = {1}, a["using_tau_r"] = false;
                  }
              }),
         "T_r"},
        {"molar mass 1e-300", with(r404a, [](json& j) { j["EOS"][0]["molar_mass"] = 1e-300; }),
         "molar_mass"},
        {"molar mass 1e300", with(r404a, [](json& j) { j["EOS"][0]["molar_mass"] = 1e300; }),
         "molar_mass"},
        {"gas constant", with(r404a, [](json& j) { j["EOS"][0]["gas_constant"] = 83.14; }),
         "gas_constant"},
        {"44,000 residual terms",
         with(r404a,
              [](json& j) {
                  const std::vector<double> zeros(44000, 0.0), ones(44000, 1.0);
                  j["EOS"][0]["alphar"][0] = {{"type", "ResidualHelmholtzPower"},
                                              {"n", zeros},
                                              {"d", ones},
                                              {"t", ones},
                                              {"l", zeros}};
              }),
         "alphar"},
        {"65 coefficients in a piece",
         with(good,
              [](json& j) {
                  auto& c = j["EOS"][0]["SUPERANCILLARY"]["jexpansions_p"][3]["coef"];
                  while (c.size() < 65)
                      c.push_back(0.0);
              }),
         "coef"},
        {"dew pressure above bubble pressure",
         with(r404a, [](json& j) { std::swap(j["ANCILLARIES"]["pL"], j["ANCILLARIES"]["pV"]); }),
         "dew pressure"},
        {"larger than any fluid file", std::string(5u << 20, ' '), "larger than"},
        {"saturation curve ends below 0 degC",
         with(blend,
              [](json& j) {
                  j["ANCILLARIES"]["pL"]["Tmax"] = 260.0;
                  j["ANCILLARIES"]["pV"]["Tmax"] = 260.0;
              }),
         "reference state"},
    };
    for (const auto& c : cases) {
        try {
            Fluid::fromJson(c.text, "test.json");
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const asere::FluidError& e) {
            EXPECT_EQ(e.status(), Status::BadFluidFile) << c.what;
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.what << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find("test.json"), std::string::npos) << c.what;
        }
    }
}

// Randomly damaged numbers and fields: every file is either refused with a status or
// gives properties that are finite or a status with NaN (the fuzz target's checks, which
// abort otherwise); nothing crashes or hangs.
TEST(BrokenFluidFiles, RandomDamageNeverCrashes) {
    for (const char* file : {"R407C.json", "n-Propane.json"}) {
        SCOPED_TRACE(file);
        const json flat = fluidJson(file).flatten();
        std::vector<std::string> numeric, all;
        for (const auto& [key, value] : flat.items()) {
            all.push_back(key);
            if (value.is_number())
                numeric.push_back(key);
        }
        std::mt19937 rng(12345);
        const double factors[] = {0, -1, 1e-3, 1e3, 1.001, 0.999, 1e100, -1e-100};
        int loaded = 0, refused = 0;
        for (int trial = 0; trial < 120; ++trial) {
            json damaged = flat;
            for (int k = 0; k < 3; ++k) {
                if (rng() % 4 == 0) {
                    damaged.erase(all[rng() % all.size()]);
                } else {
                    const std::string& key = numeric[rng() % numeric.size()];
                    if (damaged.contains(key))
                        damaged[key] = damaged[key].get<double>() * factors[rng() % 8];
                }
            }
            const std::string text = damaged.unflatten().dump();
            if (asere::exerciseFluid(reinterpret_cast<const std::uint8_t*>(text.data()),
                                     text.size()))
                ++loaded;
            else
                ++refused;
        }
        EXPECT_GT(loaded, 0);
        EXPECT_GT(refused, 0);
    }
}

TEST(BrokenFluidFiles, OneBadFileLeavesTheOthersUsable) {
    TempFluids dir;
    dir.write("R134a.json", "{\"INFO\": ");
    json alias = fluidJson("R32.json");
    alias["EOS"][0]["alpha0"][0]["type"] = "Unknown";
    alias["INFO"]["ALIASES"] = {"R32bad"};
    dir.write("Broken32.json", alias.dump());
    fs::copy_file(asere::fluidsDir() / "R407C.json", dir.dir / "R407C.json",
                  fs::copy_options::overwrite_existing);
    FluidLibrary lib(dir.dir);
    EXPECT_EQ(lib.find("R134a").status, Status::BadFluidFile);
    EXPECT_EQ(lib.find("R134a").status, Status::BadFluidFile); // refused every time
    EXPECT_EQ(lib.find("R32bad").status, Status::BadFluidFile);
    EXPECT_EQ(lib.find("R22").status, Status::UnknownFluid);
    ASSERT_TRUE(lib.find("R407c").ok());
    EXPECT_TRUE(lib.find("R407C").value->dewPressure(263.15).ok());
}

// A blend file that can't be used is refused with a message naming the file and the
// field at fault; so is a blend whose pair data lacks one of its pairs.
TEST(BrokenBlendFiles, RefusedNamingFileAndField) {
    TempFluids dir;
    for (const char* f : {"R32.json", "R1234yf.json", "R407C.json", "CarbonDioxide.json"})
        fs::copy_file(asere::fluidsDir() / f, dir.dir / f);
    fs::create_directories(dir.dir / "mixtures");
    const fs::path pairs = dir.dir / "mixtures" / "mixture_binary_pairs.json";
    fs::copy_file(asere::fluidsDir() / "mixtures" / "mixture_departure_functions.json",
                  dir.dir / "mixtures" / "mixture_departure_functions.json");
    fs::copy_file(asere::fluidsDir() / "mixtures" / "mixture_binary_pairs.json", pairs);
    auto blend = [](const std::string& components, const std::string& fractions) {
        return R"({"INFO": {"NAME": "Test"}, "MIXTURE": {"components": [)" + components +
               R"(], "mass_fractions": [)" + fractions + "]}}";
    };
    const struct {
        const char* what;
        std::string text;
        const char* message;
    } cases[] = {
        {"no such component", blend(R"("R32", "R999")", "0.7, 0.3"),
         "MIXTURE.components[1] \"R999\": unknown refrigerant"},
        {"fractions off by 1e-8", blend(R"("R32", "R1234yf")", "0.7, 0.30000001"),
         "MIXTURE.mass_fractions sum to"},
        {"negative fraction", blend(R"("R32", "R1234yf")", "1.2, -0.2"),
         "MIXTURE.mass_fractions[0] is not between 0 and 1"},
        {"one fraction short", blend(R"("R32", "R1234yf")", "1.0"),
         "MIXTURE.mass_fractions has 1 entries, not 2"},
        {"a component twice", blend(R"("R32", "R32")", "0.5, 0.5"), "is named twice"},
        {"a pseudo-pure component", blend(R"("R32", "R407C")", "0.5, 0.5"), "\"R407C\" is a blend"},
        {"a component with non-analytic terms", blend(R"("R32", "R744")", "0.5, 0.5"),
         "\"R744\": its equation has non-analytic terms"},
        {"a blend of blends", blend(R"("R32", "Test")", "0.5, 0.5"),
         "can't be a component of another blend"},
        {"fractions not numbers", blend(R"("R32", "R1234yf")", R"("a", 0.3)"),
         "/MIXTURE/mass_fractions/0 is not a finite number"},
    };
    for (const auto& c : cases) {
        dir.write("Test.json", c.text);
        try {
            Fluid::fromFile(dir.dir / "Test.json");
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const asere::FluidError& e) {
            EXPECT_EQ(e.status(), Status::BadFluidFile) << c.what;
            const std::string msg = e.what();
            EXPECT_NE(msg.find("Test.json"), std::string::npos) << c.what << ": " << msg;
            EXPECT_NE(msg.find(c.message), std::string::npos) << c.what << ": " << msg;
        }
    }
    // The pair data without the pair R32/R1234yf: refused, naming the pair; through the
    // library every call gets a status.
    json list = json::parse(std::ifstream(pairs));
    list.erase(std::remove_if(
                   list.begin(), list.end(),
                   [](const json& e) { return e["Name1"] == "R32" && e["Name2"] == "R1234yf"; }),
               list.end());
    std::ofstream(pairs, std::ios::trunc) << list.dump();
    dir.write("Test.json", blend(R"("R32", "R1234yf")", "0.689, 0.311"));
    try {
        Fluid::fromFile(dir.dir / "Test.json");
        ADD_FAILURE() << "missing pair accepted";
    } catch (const asere::FluidError& e) {
        EXPECT_NE(std::string(e.what()).find("no binary interaction parameters for the pair "
                                             "R32/R1234yf"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(FluidLibrary(dir.dir).find("Test").status, Status::BadFluidFile);
}

// The fuzzing corpus of the fluid files, damaged files of every kind among them: each is
// refused with a status or gives finite properties or a status with NaN.
TEST(BrokenFluidFiles, FuzzCorpusIsRefusedOrGivesSoundProperties) {
    replayCorpus(KV_FLUID_FUZZ_CORPUS_DIR, asere::exerciseFluid);
}

// Running out of memory while loading is remembered like any other failure, so that a
// damaged file is not loaded again at every call.
TEST(BrokenFluidFiles, EveryKindOfLoadFailureIsRemembered) {
    TempFluids dir;
    fs::copy_file(asere::fluidsDir() / "R404A.json", dir.dir / "R404A.json",
                  fs::copy_options::overwrite_existing);
    FluidLibrary lib(dir.dir);
    failAllocationsFrom = 8192; // the file's 14 KB content can't be held
    const Status first = lib.find("R404A").status;
    failAllocationsFrom = SIZE_MAX;
    EXPECT_EQ(first, Status::Internal);
    EXPECT_EQ(lib.find("R404A").status, Status::Internal);
#ifndef _WIN32
    // The same file by another name. (Windows opens "r404a.json" itself, a name of its own
    // that is read afresh.)
    EXPECT_EQ(lib.find("r404a").status, Status::Internal);
#endif
}

class Failures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        pure = Fluid::load(asere::fluidsDir(), "R134a");
        blend = Fluid::load(asere::fluidsDir(), "R407C");
        mixture = Fluid::load(asere::fluidsDir(), "R448A");
    }
    static void TearDownTestSuite() {
        pure.reset();
        blend.reset();
        mixture.reset();
    }
    static std::shared_ptr<const Fluid> pure, blend, mixture;
};
std::shared_ptr<const Fluid> Failures::pure, Failures::blend, Failures::mixture;

template <class T> void expectFailure(const asere::Result<T>& r, Status s, const char* what) {
    EXPECT_EQ(r.status, s) << what;
    if constexpr (std::is_same_v<T, double>) {
        EXPECT_TRUE(std::isnan(r.value)) << what;
    }
    EXPECT_THROW(r.valueOrThrow(), asere::FluidError) << what;
}

TEST_F(Failures, SaturationOutsideTheCurve) {
    for (const auto& f : {pure, blend, mixture}) {
        const double Tt = f->tripleTemperature(), Ts = f->maxSaturationTemperature();
        EXPECT_TRUE(f->dewPressure(Tt).ok());
        EXPECT_TRUE(f->dewPressure(Ts).ok());
        const struct {
            double T;
            Status s;
        } temps[] = {{Tt - 0.01, Status::OutOfRange}, {Ts + 0.01, Status::OutOfRange},
                     {0, Status::OutOfRange},         {-300, Status::OutOfRange},
                     {NAN, Status::BadArgument},      {INFINITY, Status::BadArgument}};
        for (const auto& c : temps) {
            expectFailure(f->dewPressure(c.T), c.s, "dew pressure");
            expectFailure(f->bubblePressure(c.T), c.s, "bubble pressure");
            expectFailure(f->liquidEnthalpy(c.T), c.s, "liquid enthalpy");
            expectFailure(f->saturatedVapour(c.T), c.s, "saturated vapour");
        }
        const double pmin = f->bubblePressure(Tt).value, pmax = f->bubblePressure(Ts).value;
        const struct {
            double p;
            Status s;
        } pressures[] = {{pmin * 0.99, Status::OutOfRange}, {pmax * 1.01, Status::OutOfRange},
                         {0, Status::BadArgument},          {-1e5, Status::BadArgument},
                         {NAN, Status::BadArgument},        {INFINITY, Status::BadArgument}};
        for (const auto& c : pressures)
            expectFailure(f->bubbleTemperature(c.p), c.s, "bubble temperature");
    }
}

TEST_F(Failures, StatesThatAreNotVapour) {
    for (const auto& f : {pure, blend, mixture}) {
        const double T = 263.15, pd = f->dewPressure(T).value;
        EXPECT_TRUE(f->vapourState(T, pd).ok()); // the dew point itself
        expectFailure(f->vapourState(T, pd * 1.001), Status::NotVapour, "just above dew");
        if (f->isBlend())
            expectFailure(f->vapourState(T, f->bubblePressure(T).value), Status::NotVapour,
                          "bubble pressure");
        expectFailure(f->vapourState(T, 2e6), Status::NotVapour, "liquid");
        expectFailure(f->vapourState(f->tripleTemperature() - 1, 1000), Status::OutOfRange,
                      "below the triple point");
        expectFailure(f->vapourState(f->maxTemperature() + 1, 1e5), Status::OutOfRange,
                      "above the equation's range");
        expectFailure(f->vapourState(400, f->maxPressure() * 2), Status::OutOfRange,
                      "above the equation's pressures");
        expectFailure(f->vapourState(T, 0), Status::BadArgument, "zero pressure");
        expectFailure(f->vapourState(NAN, 1e5), Status::BadArgument, "NaN temperature");
        // Above the critical temperature there is one fluid phase, gas-like.
        EXPECT_TRUE(f->vapourState(f->criticalTemperature() + 20, 2e6).ok());

        const auto liquid = f->saturatedLiquid(T);
        expectFailure(f->stateAtPressureEntropy(pd, liquid.value.s), Status::NotVapour,
                      "two-phase entropy");
        expectFailure(f->stateAtPressureEntropy(pd, 1e9), Status::OutOfRange, "huge entropy");
        expectFailure(f->stateAtPressureEntropy(-1, 1000), Status::BadArgument, "negative p");
        expectFailure(f->stateAt(T, -1), Status::BadArgument, "negative density");
    }
}

} // namespace

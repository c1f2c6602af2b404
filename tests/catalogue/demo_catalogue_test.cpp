// The demo catalogue as committed: reproduced byte for byte by the builder, data.bin
// consistent, a plausible range, and polynomials that follow the physics.
#include "catalogue_text.h"
#include "engine_handle.h"
#include "kvcat/catalogue.h"
#include "kvcat/compare.h"
#include "kvcat/inverter.h"
#include "programdir.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>

namespace {

using namespace kvcat;
namespace fs = std::filesystem;

class DemoCatalogue : public ::testing::Test {
protected:
    Range range = loadRange(KV_CATALOGUE_RANGE_FILE);
    asere::FluidLibrary fluids{sourceData("fluids")};
    std::string codes = readFile(sourceData("kpxcodes.bin"));
    std::string models = readFile(sourceData("kpxcalc.bin"));
    std::string speeds = readFile(sourceData("kpxspeed.bin"));
    // The fixed-speed models (the inverter models, those of the speed file, have tests of
    // their own).
    std::vector<Row> rows = [this] {
        std::vector<Row> all = parseModels(models);
        std::erase_if(all, [this](const Row& row) {
            return speeds.find("\n" + row.at("Name") + "\t") != std::string::npos;
        });
        return all;
    }();

    // The block of the range a model comes from: its family number and name prefix.
    const Family& family(const Row& row) const {
        const int code = static_cast<int>(num(row, "DLLF"));
        for (const Family& f : range.families)
            if (f.code == code && row.at("Name").rfind(f.prefix, 0) == 0)
                return f;
        throw std::runtime_error("no family " + std::to_string(code));
    }
    const Supply& supply(const Row& row) const {
        for (const Supply& s : range.supplies)
            if (s.code == static_cast<int>(num(row, "DLLP")))
                return s;
        throw std::runtime_error("no supply");
    }
};

TEST_F(DemoCatalogue, BuilderReproducesTheCommittedFilesByteForByte) {
    const Catalogue cat = buildCatalogue(range, fluids);
    const std::string builtCodes = codesText(range);
    const std::vector<InverterSeries> series = loadInverters(KV_CATALOGUE_RANGE_FILE);
    const std::vector<InverterModel> inverters = buildInverters(series, fluids);
    const std::string builtModels = modelsText(cat.models) + inverterModelLines(inverters);
    EXPECT_TRUE(builtCodes == codes) << "kpxcodes.bin differs: run the kv_catalogue_update target";
    EXPECT_TRUE(builtModels == models) << "kpxcalc.bin differs: run the kv_catalogue_update target";
    EXPECT_TRUE(inverterSpeedsText(inverters) == speeds)
        << "kpxspeed.bin differs: run the kv_catalogue_update target";
    EXPECT_EQ(readFile(sourceData("data.bin")), dataBinText(builtModels.size(), builtCodes.size()));
    // And the build laid out the same bytes in the program directory.
    const fs::path bin = kv::ProgramDir::builtProgramDir();
    EXPECT_TRUE(readFile((bin / "data" / "kpxcodes.bin").string()) == codes);
    EXPECT_TRUE(readFile((bin / "data" / "kpxcalc.bin").string()) == models);
    EXPECT_TRUE(readFile((bin / "data" / "kpxspeed.bin").string()) == speeds);
    EXPECT_EQ(readFile((bin / "data.bin").string()), readFile(sourceData("data.bin")));
}

TEST_F(DemoCatalogue, RangeIsThatOfARealMaker) {
    EXPECT_GE(rows.size(), 1500u);
    EXPECT_LE(rows.size(), 3500u);
    std::set<std::string> names;
    std::set<std::tuple<std::string, std::string, std::string>> searchKeys;
    std::map<int, std::set<std::string>> refrigerantsByFamily;
    std::set<int> supplies;
    for (const Row& row : rows) {
        const std::string& name = row.at("Name");
        SCOPED_TRACE(name);
        EXPECT_LE(name.size(), 255u);
        EXPECT_LE(row.at("ShowName").size(), 255u);
        EXPECT_TRUE(names.insert(name).second);
        // The name search (show name, refrigerant, frequency) finds each model.
        EXPECT_TRUE(
            searchKeys.insert({row.at("ShowName"), row.at("Refrigerant"), row.at("Frequency")})
                .second);
        // The model filter upper-cases what the user types: show names are upper case.
        std::string upper = row.at("ShowName");
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        EXPECT_EQ(upper, row.at("ShowName"));
        const int dllp = static_cast<int>(num(row, "DLLP"));
        const int hz = (dllp >= 4 && dllp <= 7) ? 50 : 60; // the voltage table's frequency
        EXPECT_EQ(row.at("Frequency"), std::to_string(hz));
        EXPECT_EQ(num(row, "Speed"), hz == 50 ? 2900 : 3500);
        supplies.insert(dllp);
        refrigerantsByFamily[static_cast<int>(num(row, "DLLF"))].insert(row.at("Refrigerant"));
        // Exactly one of the base superheat and the base return gas temperature.
        EXPECT_NE(row.at("ShBase") == "-", row.at("RgtBase") == "-");
        EXPECT_NE(row.at("ShH") == "-", row.at("RgtH") == "-");
        EXPECT_NE(num(row, "ShF"), num(row, "ShH"));
        // Every limit is written as the tenth of a kelvin it stands for, never as a sum's
        // rounding error (-7.800000000000001) that moves the boundary.
        for (std::size_t c = kpx::columnIndex("TeLow"); c < kpx::kModelColumns.size(); ++c) {
            const std::string& text = row.at(std::string(kpx::kModelColumns[c]));
            const std::size_t point = text.find('.');
            EXPECT_TRUE(point == std::string::npos || text.size() - point <= 2) << text;
        }
    }
    EXPECT_EQ(supplies, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    const std::map<int, std::set<std::string>> expected = {
        {1, {"R410A", "R32", "R407C", "R454B"}},
        {2, {"R404A", "R448A", "R449A", "R507A", "R134a", "R513A", "R290"}},
        {3, {"R404A", "R448A", "R449A", "R507A", "R290"}},
        {4,
         {"R134a", "R513A", "R404A", "R448A", "R449A", "R507A", "R290", "R1234yf", "R1234ze(E)",
          "R744"}},
        {5, {"R404A", "R507A", "R290", "R1270", "R744"}},
    };
    EXPECT_EQ(refrigerantsByFamily, expected);
    // Every refrigerant of the catalogue has a fluid file.
    for (const Refrigerant& r : range.refrigerants)
        EXPECT_TRUE(fluids.find(r.name).ok()) << r.name;
}

// The envelope columns of a row, as the engine reads them.
Envelope envelopeOf(const Row& row) {
    kpx::RatingRecord r;
    kpx::forEachRatingColumn(
        r, [&](std::string_view name, double& v) { v = num(row, std::string(name)); });
    return r.envelope;
}

Coefficients catalogueCoefficients(const Row& row, char set) {
    Coefficients c{};
    for (int i = 0; i < 10; ++i)
        c[i] = num(row, std::string(1, set) + std::to_string(i));
    return c;
}

// Each written polynomial against the physical model it was fitted to, over the grid
// that covers the written envelope: within 1 % of capacity and power (the current and
// mass flow are held to the same band).
TEST_F(DemoCatalogue, PolynomialsFollowThePhysicsWithinOnePercent) {
    struct Cycles {
        std::vector<std::pair<double, double>> grid;
        std::vector<CyclePoint> points;
        CyclePoint rated;
    };
    std::map<std::tuple<int, std::string, std::string>, Cycles> cache;
    double worst[4] = {0, 0, 0, 0};
    std::string worstModel[4];
    for (const Row& row : rows) {
        const Family& fam = family(row);
        BaseConditions base;
        base.sc = num(row, "ScBase");
        if (row.at("ShBase") != "-")
            base.sh = num(row, "ShBase");
        else
            base.rgt = num(row, "RgtBase");
        const auto key = std::make_tuple(fam.code, row.at("Refrigerant"), row.at("Frequency"));
        auto it = cache.find(key);
        if (it == cache.end()) {
            const Thermo thermo(fluids.get(row.at("Refrigerant")));
            Cycles c;
            c.grid = fitGrid(envelopeOf(row), fam);
            for (const auto& [te, tc] : c.grid)
                c.points.push_back(thermo.cycle(te, tc, base.suctionTemperature(te), base.sc));
            c.rated = ratedCycle(fam, base, thermo);
            it = cache.emplace(key, std::move(c)).first;
        }
        const Cycles& cycles = it->second;
        const double displacement = num(row, "Displacement");
        const Compressor compressor(fam.physics, displacement, supply(row),
                                    motorForSize(fam.physics, displacement,
                                                 fam.displacements.front(),
                                                 fam.displacements.back()),
                                    cycles.rated);
        const Coefficients q = catalogueCoefficients(row, 'Q'), p = catalogueCoefficients(row, 'P'),
                           a = catalogueCoefficients(row, 'A'), m = catalogueCoefficients(row, 'M');
        for (std::size_t i = 0; i < cycles.grid.size(); ++i) {
            const auto [te, tc] = cycles.grid[i];
            const Performance perf = compressor.at(cycles.points[i]);
            const double err[4] = {
                std::fabs(evaluate(q, te, tc) / perf.capacity - 1),
                std::fabs(evaluate(p, te, tc) / perf.power - 1),
                std::fabs(evaluate(a, te, tc) / perf.current - 1),
                std::fabs(evaluate(m, te, tc) / perf.massFlow - 1),
            };
            for (int k = 0; k < 4; ++k)
                if (err[k] > worst[k]) {
                    worst[k] = err[k];
                    worstModel[k] = row.at("Name");
                }
        }
    }
    const char* what[4] = {"capacity", "power", "current", "mass flow"};
    for (int k = 0; k < 4; ++k) {
        EXPECT_LT(worst[k], 0.01) << what[k] << " of " << worstModel[k];
        std::printf("largest fit error, %s: %.3f %% (%s)\n", what[k], 100 * worst[k],
                    worstModel[k].c_str());
    }
}

// The demo range against real compressors per refrigerant and class: COP median within
// 5 % of the real one, its 10-90 % band inside the real band, Te limits and the upper Tc
// limit at least as wide as the real ranges' medians; and the builder's README shows this
// very table.
TEST_F(DemoCatalogue, CalibratedOnRealCompressorsAsTheReadmeShows) {
    const std::vector<ClassComparison> rows = compareWithReference(
        range, fluids,
        std::string(KV_SOURCE_DIR) + "/tests/catalogue/reference/compressor_curves.tsv");
    EXPECT_GE(rows.size(), 6u);
    for (const ClassComparison& c : rows) {
        SCOPED_TRACE(c.refrigerant + " " + c.appClass);
        EXPECT_NEAR(c.demo.cop50 / c.real.cop50, 1, 0.05);
        EXPECT_GE(c.demo.cop10, c.real.cop10);
        EXPECT_LE(c.demo.cop90, c.real.cop90);
        EXPECT_LE(c.demo.teLow, c.real.teLow);
        EXPECT_GE(c.demo.teHig, c.real.teHig);
        // The real rectangles reach down to Tc 10 degC at every Te, low-lift points no
        // compressor runs at; the demo's lower Tc limits keep 13 K or more above TeHig.
        EXPECT_GE(c.demo.tcHig, c.real.tcHig);
    }
    const std::string table = comparisonTable(rows);
    EXPECT_NE(readFile(std::string(KV_SOURCE_DIR) + "/tools/catalogue-builder/README.md")
                  .find("<!-- generated by catalogue-builder compare -->\n" + table +
                        "<!-- end of generated table -->"),
              std::string::npos)
        << "regenerate the table with catalogue-builder compare:\n"
        << table;
}

} // namespace

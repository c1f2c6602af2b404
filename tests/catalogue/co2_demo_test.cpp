// The demo R744 family against the public R744 compressors at their stated nominal points,
// and its transcritical curves against the physics they were fitted to, both rated
// through the real engine.
#include "catalogue_text.h"
#include "engine_handle.h"
#include "kvcat/catalogue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace kvcat;

constexpr double kPaPerBar = 1e5;

// The rows of a public reference table with the refrigerant R744, by column name.
std::vector<Row> publicR744Rows(const std::string& file) {
    std::vector<Row> rows;
    for (Row& row :
         parseModels(readFile(std::string(KV_SOURCE_DIR) + "/tests/catalogue/reference/" + file)))
        if (row["refrigerant"] == "R744")
            rows.push_back(std::move(row));
    return rows;
}

struct Spread {
    double capLo = 1e12, capHi = 0, copLo = 1e9, copHi = 0;
    int count = 0;
    void add(double capacity, double cop) {
        capLo = std::min(capLo, capacity);
        capHi = std::max(capHi, capacity);
        copLo = std::min(copLo, cop);
        copHi = std::max(copHi, cop);
        ++count;
    }
};

class R744Demo : public ::testing::Test {
protected:
    std::string codes = readFile(sourceData("kpxcodes.bin"));
    std::string models = readFile(sourceData("kpxcalc.bin"));
    Engine engine{codes, models};
    Range range = loadRange(KV_CATALOGUE_RANGE_FILE);

    // The 50 Hz models of R744 whose name starts with the prefix.
    std::vector<int32_t> demoModels(bool transcritical) const {
        std::vector<int32_t> found;
        for (const int32_t m : engine.models(range.refrigerant("R744").code, 0, 0))
            if (engine.field(m, "Frequency") == "50" &&
                (engine.field(m, "GcQ0").empty() || engine.field(m, "GcQ0") == "-") !=
                    transcritical)
                found.push_back(m);
        return found;
    }
};

// Capacity and COP at the public machines' stated nominal points: low temperature at
// -35/-5 degC, medium temperature subcritical at -5/15 degC, transcritical at -5 degC with
// the gas-cooler outlet at 25 degC and 75 bar, all at 10 K superheat and no subcooling. The
// demo's COPs lie within the public spread (2 % on either side for the published figures'
// rounding), its sizes span the public capacities.
TEST_F(R744Demo, RatesWithinTheSpreadOfThePublicMachinesAtTheirNominalPoints) {
    Spread realLow, realMedium, realTrans, demoLow, demoMedium, demoTrans;
    for (const Row& row : publicR744Rows("compressor_curves.tsv")) {
        Spread& s = row.at("app_class") == "low" ? realLow : realMedium;
        s.add(num(row, "nom_capacity_W"), num(row, "nom_capacity_W") / num(row, "nom_power_W"));
    }
    for (const Row& row : publicR744Rows("transcritical_curves.tsv"))
        realTrans.add(num(row, "nom_capacity_W"),
                      num(row, "nom_capacity_W") / num(row, "nom_power_W"));
    for (const int32_t m : demoModels(false)) {
        const Rating r = engine.rate(m, -35, -5, 0, 10, 10);
        ASSERT_EQ(r.code, 0) << engine.field(m, "Name");
        demoLow.add(r.capacity, r.cop);
    }
    for (const int32_t m : demoModels(true)) {
        const Rating r = engine.rate(m, -5, 15, 0, 10, 10);
        ASSERT_EQ(r.code, 0) << engine.field(m, "Name");
        demoMedium.add(r.capacity, r.cop);
        const KPX_TranscriticalResult t =
            engine.rateTranscritical(m, -5, 75 * kPaPerBar, 25, 10, 10);
        ASSERT_EQ(t.code, 0) << engine.field(m, "Name");
        demoTrans.add(t.capacity, t.cop);
    }
    const struct {
        const char* what;
        const Spread &real, &demo;
    } cases[] = {{"low temperature, -35/-5", realLow, demoLow},
                 {"medium temperature, -5/15", realMedium, demoMedium},
                 {"transcritical, -5 / 25 degC at 75 bar", realTrans, demoTrans}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::printf("%-40s real %2d: %6.1f-%6.1f kW COP %.2f-%.2f | demo %2d: %6.1f-%6.1f kW "
                    "COP %.2f-%.2f\n",
                    c.what, c.real.count, c.real.capLo / 1000, c.real.capHi / 1000, c.real.copLo,
                    c.real.copHi, c.demo.count, c.demo.capLo / 1000, c.demo.capHi / 1000,
                    c.demo.copLo, c.demo.copHi);
        ASSERT_GT(c.real.count, 5);
        ASSERT_GT(c.demo.count, 5);
        EXPECT_GE(c.demo.copLo, c.real.copLo * 0.98);
        EXPECT_LE(c.demo.copHi, c.real.copHi * 1.02);
        EXPECT_LE(c.demo.capLo, c.real.capLo * 1.1);
        EXPECT_GE(c.demo.capHi, c.real.capHi * 0.9);
    }
}

// On the control line the engine's transcritical rating gives the physics' capacity and
// power (within the fit), at every Te of the range and sizes from small to large; off the
// line the power still follows the physics, and the optimum pressure lies inside the range.
TEST_F(R744Demo, TranscriticalCurvesFollowThePhysics) {
    const asere::FluidLibrary fluids(sourceData("fluids"));
    const Family* family = nullptr;
    for (const Family& f : range.families)
        if (f.gasCooler)
            family = &f;
    ASSERT_NE(family, nullptr);
    const GasCoolerRules& gc = *family->gasCooler;
    const Thermo thermo(fluids.get("R744"));
    const Catalogue cat = buildCatalogue(range, fluids);
    int checked = 0;
    for (const Model& model : cat.models) {
        if (!model.gasCooler || model.entry.supply->hertz != 50)
            continue;
        EXPECT_LT(model.gasCooler->errorQ, 0.005) << model.entry.name;
        EXPECT_LT(model.gasCooler->errorP, 0.005) << model.entry.name;
        ++checked;
    }
    EXPECT_GT(checked, 5);
    for (const int32_t m : demoModels(true)) {
        const std::string name = engine.field(m, "Name");
        const double displacement = engine.number(m, "Displacement");
        const BaseConditions& base = family->base.at(50);
        const Supply* supply = nullptr;
        for (const Supply& s : range.supplies)
            if (s.code == static_cast<int>(engine.number(m, "DLLP")))
                supply = &s;
        ASSERT_NE(supply, nullptr);
        const Compressor compressor(family->physics, displacement, *supply,
                                    motorForSize(family->physics, displacement,
                                                 family->displacements.front(),
                                                 family->displacements.back()),
                                    ratedCycle(*family, base, thermo));
        for (const double te : {gc.teLow, -10.0, gc.teHig})
            for (const double tgc : {27.0, 35.0, 45.0}) {
                const double p = gc.pressureAt(tgc) * kPaPerBar;
                const Performance physics =
                    compressor.at(thermo.gasCoolerCycle(te, p, thermo.enthalpy(tgc, p), te + 10));
                const KPX_TranscriticalResult r = engine.rateTranscritical(m, te, p, tgc, 10, 10);
                SCOPED_TRACE(name + " Te " + std::to_string(te) + " tgc " + std::to_string(tgc));
                ASSERT_GE(r.code, 0);
                EXPECT_NEAR(r.capacity / physics.capacity, 1, 0.01);
                EXPECT_NEAR(r.power / physics.power, 1, 0.01);
            }
        const KPX_TranscriticalResult best = engine.optimum(m, -5, 35, 10, 10);
        ASSERT_GE(best.code, 0) << name;
        EXPECT_GT(best.gasCoolerPressure, gc.pLow * kPaPerBar) << name;
        EXPECT_LT(best.gasCoolerPressure, gc.pHig * kPaPerBar) << name;
    }
}

// The command line on the built program directory offers R744 among the refrigerants.
TEST(R744DemoCli, ListRefrigerantsShowsR744) {
    FILE* pipe = popen((std::string("'") + KV_CLI_PATH + "' list refrigerants 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe) != nullptr)
        out += buf;
    EXPECT_EQ(pclose(pipe), 0) << out;
    EXPECT_NE(out.find("\nR744\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nR404A\n"), std::string::npos) << out;
}

} // namespace

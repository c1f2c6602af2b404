// The demo catalogue rated through the real engine and property library: code lists,
// efficiency bands at standard conditions, every refusal and warning over a sweep, clean
// ratings at each family's typical point, and the engine's superheat correction against
// the physics.
#include "catalogue_text.h"
#include "engine_handle.h"
#include "kvcat/catalogue.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

using namespace kvcat;

class RatedCatalogue : public ::testing::Test {
protected:
    std::string codes = readFile(sourceData("kpxcodes.bin"));
    std::string models = readFile(sourceData("kpxcalc.bin"));
    Engine engine{codes, models};
    kvcat::Range range = kvcat::loadRange(KV_CATALOGUE_RANGE_FILE);

    const kvcat::Family& family(int code) const {
        for (const kvcat::Family& f : range.families)
            if (f.code == code)
                return f;
        throw std::runtime_error("no family");
    }
    // The block of the range a model comes from: its family number and name prefix; for
    // the inverter series, which are no block of their own, the first of their number.
    const kvcat::Family& familyOf(int32_t model) const {
        const std::string name = engine.field(model, "Name");
        const int code = static_cast<int>(engine.number(model, "DLLF"));
        for (const kvcat::Family& f : range.families)
            if (f.code == code && name.rfind(f.prefix, 0) == 0)
                return f;
        return family(code);
    }
};

TEST_F(RatedCatalogue, CodeListsEnumerateEveryEntry) {
    std::map<int32_t, std::string> refrigerants, families, supplies;
    for (const auto& [n, text] : engine.codeList("DLLR"))
        refrigerants[n] = text;
    for (const auto& [n, text] : engine.codeList("DLLF"))
        families[n] = text;
    for (const auto& [n, text] : engine.codeList("DLLP"))
        supplies[n] = text;
    EXPECT_EQ(refrigerants.size(), range.refrigerants.size());
    for (const kvcat::Refrigerant& r : range.refrigerants)
        EXPECT_EQ(refrigerants[r.code], r.name);
    EXPECT_EQ(families.size(), 5u);
    for (int code = 1; code <= 5; ++code)
        EXPECT_EQ(families[code], family(code).text);
    ASSERT_EQ(supplies.size(), 9u);
    for (const auto& [n, text] : supplies) { // the voltage table's frequencies
        const bool fifty = n >= 4 && n <= 7;
        EXPECT_NE(text.find(fifty ? "50Hz" : "60Hz"), std::string::npos) << text;
        EXPECT_EQ(text.find(fifty ? "60Hz" : "50Hz"), std::string::npos) << text;
    }
    // Each list entry finds models, and together they find every model.
    std::size_t total = 0;
    for (const auto& [n, text] : supplies)
        total += engine.models(0, 0, n).size();
    EXPECT_EQ(total, engine.models(0, 0, 0).size());
    for (const auto& [n, text] : refrigerants)
        EXPECT_FALSE(engine.models(n, 0, 0).empty()) << text;
}

// Efficiency at standard rating points, 10 K superheat and no subcooling, for every
// model of the family and refrigerant on every supply.
TEST_F(RatedCatalogue, EfficiencyAtStandardPointsLiesInRealisticBands) {
    struct Band {
        int family;
        const char* refrigerant;
        double te, tc, lo, hi;
    };
    const std::vector<Band> bands = {
        {2, "R404A", -10, 45, 1.6, 2.6}, {4, "R404A", -10, 45, 1.6, 2.6},
        {4, "R134a", -10, 45, 1.6, 2.6}, {2, "R134a", -10, 45, 1.6, 2.6},
        {1, "R410A", 5, 50, 2.6, 3.6},   {1, "R32", 5, 50, 2.6, 3.6},
        {1, "R407C", 5, 50, 2.6, 3.6},   {3, "R290", -35, 40, 0.9, 1.6},
        {5, "R290", -35, 40, 0.9, 1.6},  {5, "R404A", -35, 40, 0.8, 1.5},
        {1, "R454B", 5, 50, 2.6, 3.6},   {2, "R513A", -10, 45, 1.6, 2.6},
        {2, "R448A", -10, 45, 1.6, 2.6}, {3, "R449A", -35, 40, 0.8, 1.5},
    };
    for (const Band& b : bands) {
        const auto& r = range.refrigerant(b.refrigerant);
        const std::vector<int32_t> found = engine.models(r.code, b.family, 0);
        ASSERT_FALSE(found.empty()) << b.refrigerant;
        double lo = 1e9, hi = 0;
        for (int32_t m : found) {
            const Rating rating = engine.rate(m, b.te, b.tc, 0, 10, 10);
            ASSERT_EQ(rating.code, 0) << engine.field(m, "Name");
            lo = std::min(lo, rating.cop);
            hi = std::max(hi, rating.cop);
        }
        EXPECT_GE(lo, b.lo) << "family " << b.family << " " << b.refrigerant;
        EXPECT_LE(hi, b.hi) << "family " << b.family << " " << b.refrigerant;
        std::printf("family %d %-6s at %g/%g: COP %.2f to %.2f over %zu models\n", b.family,
                    b.refrigerant, b.te, b.tc, lo, hi, found.size());
    }
}

// Every model rates cleanly at its family's typical point, and the sizes span half a
// kilowatt to a hundred.
TEST_F(RatedCatalogue, EveryModelRatesCleanlyAtItsFamilysTypicalPointAcrossTheSizes) {
    double smallest = 1e12, largest = 0;
    for (int32_t m : engine.models(0, 0, 0)) {
        const kvcat::Family& f = familyOf(m);
        const Rating r = engine.rate(m, f.typicalTe, f.typicalTc, 0, 10, 10);
        EXPECT_EQ(r.code, 0) << engine.field(m, "Name");
        smallest = std::min(smallest, r.capacity);
        largest = std::max(largest, r.capacity);
    }
    EXPECT_GT(smallest, 200);
    EXPECT_LT(smallest, 800);
    EXPECT_GT(largest, 80000);
    EXPECT_LT(largest, 130000);
}

// The window's standard rating conditions, each for the families it is meant for.
TEST_F(RatedCatalogue, StandardConditionsRateCleanlyForTheirFamilies) {
    struct Preset {
        const char* name;
        double te, tc, sc, sh;
        std::vector<int> families;
    };
    const std::vector<Preset> presets = {
        {"Asercom, AC / HBP", 5, 50, 0, 10, {1}},
        {"Asercom, MBP", -10, 45, 0, 10, {2, 4}},
        {"Asercom, LBP", -35, 40, 0, 10, {3, 5}},
        {"ARI, AC / HBP", 7.22, 54.44, 8.33, 11.11, {1}},
        {"ARI, MBP", -6.67, 48.89, 0, 11.11, {2, 4}},
        {"ARI, LBP", -31.67, 40.56, 0, 11.11, {3, 5}},
    };
    for (const Preset& p : presets) {
        std::size_t rated = 0, clean = 0;
        for (int f : p.families)
            for (int32_t m : engine.models(0, f, 0)) {
                // Their condensing temperatures lie above R744's critical point.
                if (engine.field(m, "Refrigerant") == "R744")
                    continue;
                ++rated;
                clean += engine.rate(m, p.te, p.tc, p.sc, p.sh, p.sh).code == 0 ? 1 : 0;
            }
        EXPECT_GE(clean, rated * 95 / 100) << p.name;
        EXPECT_GT(rated, 0u) << p.name;
    }
}

// A sweep over evaporating and condensing temperatures and a set of subcoolings and
// superheats, across the catalogue, meets every refusal and every warning the rating
// has, and no other outcome.
TEST_F(RatedCatalogue, SweepMeetsEveryRefusalAndWarning) {
    struct Extra {
        double sc, sh1, sh2;
    };
    const std::vector<Extra> extras = {
        {0, 10, 10},  // standard
        {5, 5, 20},   // typical plant
        {25, 10, 10}, // subcooling beyond ScMax: -7
        {-1, 10, 10}, // negative subcooling: -9
        {0, -1, 10},  // negative evaporator superheat: -8
        {0, 10, -1},  // negative total superheat: -8
        {0, 15, 10},  // total below evaporator superheat: 10
        {0, 10, 33},  // beyond ShMax within the tolerance (30 K families): 6
        {0, 10, 43},  // the same for the 40 K families: 6
        {0, 10, 50},  // beyond every superheat bound: -6
    };
    std::map<int32_t, int> seen;
    const std::vector<int32_t> all = engine.models(0, 0, 0);
    for (std::size_t k = 0; k < all.size(); k += 9)
        for (double te = -50; te <= 20; te += 5)
            for (double tc = 15; tc <= 75; tc += 5)
                for (const Extra& x : extras)
                    ++seen[engine.rate(all[k], te, tc, x.sc, x.sh1, x.sh2).code];
    for (int32_t code : {-2, -3, -4, -5, -6, -7, -8, -9, 0, 2, 3, 4, 5, 6, 10, 11, 15})
        EXPECT_GT(seen[code], 0) << "code " << code << " never met";
    for (const auto& [code, count] : seen) {
        std::printf("code %3d: %d ratings\n", code, count);
        EXPECT_TRUE(code >= -9 && code <= 15 && code != -1) << "unexpected code " << code;
    }
}

// Away from the base superheat the engine corrects capacity and mass flow with the
// property library; the physics gives the same within the fit's accuracy, because the
// compressor's volumetric efficiency does not depend on the suction temperature.
TEST_F(RatedCatalogue, SuperheatCorrectionAgreesWithThePhysics) {
    const asere::FluidLibrary fluids(sourceData("fluids"));
    const std::vector<int32_t> all = engine.models(0, 0, 0);
    for (std::size_t k = 0; k < all.size(); k += 97) {
        const int32_t m = all[k];
        const std::string name = engine.field(m, "Name");
        const kvcat::Family& f = familyOf(m);
        const kvcat::Thermo thermo(fluids.get(engine.field(m, "Refrigerant")));
        const double sc = 3, sh = 6;
        const Rating rating = engine.rate(m, f.typicalTe, f.typicalTc, sc, sh, sh);
        ASSERT_EQ(rating.code, 0) << name;
        // The physics at the base and at the asked conditions, scaled to the polynomial.
        kvcat::BaseConditions base;
        base.sc = engine.number(m, "ScBase");
        if (engine.field(m, "ShBase") != "-")
            base.sh = engine.number(m, "ShBase");
        else
            base.rgt = engine.number(m, "RgtBase");
        const kvcat::CyclePoint atBase =
            thermo.cycle(f.typicalTe, f.typicalTc, base.suctionTemperature(f.typicalTe), base.sc);
        const kvcat::CyclePoint asked =
            thermo.cycle(f.typicalTe, f.typicalTc, f.typicalTe + sh, sc);
        const double massRatio = atBase.v1 / asked.v1;
        const double capacityRatio = massRatio * asked.effect / atBase.effect;
        const Rating atBaseRating =
            engine.rate(m, f.typicalTe, f.typicalTc, base.sc, base.superheat(f.typicalTe),
                        base.superheat(f.typicalTe));
        if (atBaseRating.code < 0)
            continue; // a base return gas beyond the superheat bounds at this Te
        EXPECT_NEAR(rating.capacity / atBaseRating.capacity, capacityRatio, 1e-4) << name;
        EXPECT_NEAR(rating.massFlow / atBaseRating.massFlow, massRatio, 1e-4) << name;
        EXPECT_DOUBLE_EQ(rating.power, atBaseRating.power) << name;
    }
}

} // namespace

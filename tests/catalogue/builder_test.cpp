// The builder's parts on their own: the fit, the range description's checks, the
// envelope physics and the enlarged range.
#include "kvcat/catalogue.h"
#include "kvcat/envelope.h"
#include "kvcat/poly.h"
#include "kvcat/range.h"

#include <cmath>
#include <gtest/gtest.h>
#include <set>

namespace {

using namespace kvcat;

std::vector<Sample> gridOf(const Coefficients& c) {
    std::vector<Sample> s;
    for (double te = -40; te <= 10; te += 5)
        for (double tc = 20; tc <= 60; tc += 5)
            s.push_back({te, tc, evaluate(c, te, tc)});
    return s;
}

TEST(Fit, RecoversKnownCubics) {
    const std::vector<Coefficients> cases = {
        {5000, 150, -40, 2.0, -1.5, 0.1, 0.01, -0.005, 0.002, -0.0004},
        {1200, 0, 15, 0, 0, 0.2, 0, 0, 0, 0},         // power-like: rises with Tc only
        {0.05, 0.0008, -0.0002, 0, 0, 0, 0, 0, 0, 0}, // mass-flow-like plane
    };
    for (const Coefficients& c : cases) {
        const Coefficients fit = fitRelative(gridOf(c));
        EXPECT_LT(maxRelativeError(fit, gridOf(c)), 1e-9);
        EXPECT_NEAR(fit[0], c[0], 1e-6 * std::fabs(c[0]));
    }
}

TEST(Fit, RefusesSamplesThatCannotDetermineTheCubic) {
    std::vector<Sample> few;
    for (int i = 0; i < 9; ++i)
        few.push_back({double(i), 40.0 + i, 100.0});
    EXPECT_THROW(fitRelative(few), std::invalid_argument);

    std::vector<Sample> oneTe; // every sample at the same Te: the Te terms are free
    for (double tc = 20; tc <= 60; tc += 2)
        oneTe.push_back({-10, tc, 100 + tc});
    EXPECT_THROW(fitRelative(oneTe), std::invalid_argument);

    std::vector<Sample> zero = gridOf({1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    zero[3].value = 0; // a relative error to zero has no meaning
    EXPECT_THROW(fitRelative(zero), std::invalid_argument);
}

TEST(Format, NumbersRoundTripAndUseAPoint) {
    for (double v : {3225.890453123, -0.00012345678901, 1e-12, 123456789.0, -40.0, 0.0}) {
        const std::string text = formatCoefficient(v);
        EXPECT_EQ(text.find(','), std::string::npos) << text;
        EXPECT_NEAR(std::strtod(text.c_str(), nullptr), v, 1e-6 * std::fabs(v)) << text;
    }
    EXPECT_EQ(formatValue(-0.0), "0");
    EXPECT_EQ(formatValue(12.3), "12.3");
    EXPECT_EQ(dataBinText(100, 130), "-30\n");
    EXPECT_EQ(dataBinText(1706994, 508), "1706486\n");
}

const std::string kMinimalFamily = R"({"code": 1, "text": "F", "prefix": "X",
  "physics": {"technology": "scroll", "lambda0": 0.97, "etaMax": 0.7, "piBuiltIn": 3,
              "curvature": 0.1, "motorEtaSmall": 0.85, "motorEtaLarge": 0.9,
              "powerFactor": 0.85, "dischargeMax": 135},
  "envelope": {"innerTe": 5, "innerTc": 5, "ShF": 10, "ShH": 20, "ShMax": 30, "RgtMax": 30,
               "ShTol": 5, "ScMax": 15, "TcTol": 3, "kPressureRatio": 1.8,
               "maxPressureRatio": 10},
  "base": {"50": {"Sc": 0, "Sh": 10}, "60": {"Sc": 0, "Rgt": 18.3}},
  "refrigerants": {"R134a": [-25, 12, 25, 65]},
  "displacements": [10, 20], "singlePhaseUpTo": 10, "threePhaseFrom": 20,
  "typicalTe": -10, "typicalTc": 45})";

std::string
rangeWith(const std::string& family, const std::string& supplyText = "400/3/50Hz",
          const std::string& refrigerants = R"([{"code": 6, "name": "R134a", "tag": "A"}])") {
    return R"({"refrigerants": )" + refrigerants + R"(, "supplies": [{"code": 4, "text": ")" +
           supplyText + R"(", "volts": 400, "phases": 3, "hertz": 50, "motor": "D5"}],
           "families": [)" +
           family + "]}";
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    const std::size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

// The minimal family with gas-cooler curves of this control line and rated pressure.
const char* const kControl = "[[25, 75], [40, 100], [50, 120]]";
std::string withGasCooler(const std::string& control,
                          const std::string& rated = R"("ratedP": 90)") {
    return replaced(kMinimalFamily, R"("typicalTc": 45})",
                    R"("typicalTc": 45, "gasCooler": {"teLow": -20, "teHig": 5, "pLow": 75,
                    "pHig": 120, "pdMax": 120, "ratedTe": -5, "ratedTgc": 35, "control": )" +
                        control + ", " + rated + "}}");
}

TEST(RangeDescription, AcceptsAMinimalRange) {
    const Range r = parseRange(rangeWith(kMinimalFamily));
    ASSERT_EQ(r.families.size(), 1u);
    EXPECT_EQ(r.families[0].refrigerants[0].first, "R134a");
    EXPECT_EQ(countModels(r), 1); // the 20 cm3 size on the one three-phase supply
    EXPECT_EQ(modelEntries(r)[0].name, "X020A-D5");
    // Gas-cooler rules: the control line's pressure between its points.
    const Range g = parseRange(rangeWith(withGasCooler(kControl)));
    ASSERT_TRUE(g.families[0].gasCooler.has_value());
    EXPECT_DOUBLE_EQ(g.families[0].gasCooler->pressureAt(35), 91.666666666666671);
    EXPECT_EQ(g.families[0].gasCooler->pressureAt(10), 75);
    EXPECT_EQ(g.families[0].gasCooler->pressureAt(60), 120);
}

TEST(RangeDescription, RefusesWhatWouldMakeABadCatalogue) {
    struct Case {
        const char* why;
        std::string json;
    };
    const std::vector<Case> cases = {
        {"not JSON", "{"},
        {"no families", R"({"refrigerants": [], "supplies": [], "families": []})"},
        {"supply text without its frequency tag", rangeWith(kMinimalFamily, "400/3/50 Hz")},
        {"supply text with the other tag", rangeWith(kMinimalFamily, "400/3/50Hz 60Hz")},
        {"tab in a display text", rangeWith(kMinimalFamily, "400\t3/50Hz")},
        {"code 0", rangeWith(replaced(kMinimalFamily, R"("code": 1)", R"("code": 0)"))},
        {"refrigerant listed twice by code",
         rangeWith(
             kMinimalFamily, "400/3/50Hz",
             R"([{"code": 6, "name": "R134a", "tag": "A"}, {"code": 6, "name": "R22", "tag": "B"}])")},
        {"unknown refrigerant", rangeWith(replaced(kMinimalFamily, "\"R134a\": [", "\"R12\": ["))},
        {"both H-curve superheat and return gas",
         rangeWith(replaced(kMinimalFamily, R"("ShH": 20)", R"("ShH": 20, "RgtH": 20)"))},
        {"H curve at the F-curve superheat",
         rangeWith(replaced(kMinimalFamily, R"("ShH": 20)", R"("ShH": 10)"))},
        {"base with neither superheat nor return gas",
         rangeWith(replaced(kMinimalFamily, R"("Sc": 0, "Sh": 10)", R"("Sc": 0)"))},
        {"limits not rising",
         rangeWith(replaced(kMinimalFamily, "[-25, 12, 25, 65]", "[12, -25, 25, 65]"))},
        {"no room for inner limits",
         rangeWith(replaced(kMinimalFamily, "[-25, 12, 25, 65]", "[-25, -20, 25, 65]"))},
        {"sizes not rising", rangeWith(replaced(kMinimalFamily, "[10, 20]", "[20, 10]"))},
        {"implausible efficiency",
         rangeWith(replaced(kMinimalFamily, R"("etaMax": 0.7)", R"("etaMax": 1.7)"))},
        {"unknown technology", rangeWith(replaced(kMinimalFamily, "\"scroll\"", "\"screw\""))},
        {"a family number shared by another text",
         rangeWith(kMinimalFamily + "," +
                   replaced(replaced(kMinimalFamily, R"("text": "F")", R"("text": "G")"),
                            R"("prefix": "X")", R"("prefix": "Y")"))},
        {"gas-cooler control line falling", rangeWith(withGasCooler(R"([[25, 90], [40, 75]])"))},
        {"gas-cooler control line short of the pressure range",
         rangeWith(withGasCooler(R"([[25, 75], [40, 100]])"))},
        {"gas-cooler rated point beyond the range",
         rangeWith(withGasCooler(kControl, R"("ratedP": 130)"))},
        {"gas-cooler pressure of 1000 bar",
         rangeWith(replaced(withGasCooler(kControl), R"("pHig": 120)", R"("pHig": 1000)"))},
        {"gas-cooler field not a number",
         rangeWith(withGasCooler(kControl, R"("ratedP": "ninety")"))},
    };
    for (const Case& c : cases)
        EXPECT_THROW(parseRange(c.json), RangeError) << c.why;
}

TEST(RangeDescription, RefusesNamesThatCollide) {
    // Two sizes that round to the same displacement give the same model name.
    const Range r = parseRange(rangeWith(replaced(kMinimalFamily, "[10, 20]", "[20, 20.2]")));
    EXPECT_THROW(modelEntries(r), RangeError);
    EXPECT_NO_THROW(modelEntries(r, true)); // numbered sizes don't collide
}

class RealRange : public ::testing::Test {
protected:
    Range range = loadRange(KV_CATALOGUE_RANGE_FILE);
    asere::FluidLibrary fluids{std::string(KV_SOURCE_DIR) + "/data/fluids"};
};

// The F and H curves are where the discharge temperature reaches the family's limit
// (or the pressure ratio its highest, or the outer limit), each at its own superheat.
TEST_F(RealRange, CurvesFollowTheDischargeLimit) {
    for (const Family& family : range.families)
        for (const auto& [name, limits] : family.refrigerants) {
            SCOPED_TRACE(family.prefix + " " + name);
            const Thermo thermo(fluids.get(name));
            const Envelope e = makeEnvelope(family, limits, thermo);
            auto discharge = [&](double te, double tc, double suction) {
                const CyclePoint p = thermo.cycle(te, tc, suction, 0);
                return thermo.dischargeTemperature(p,
                                                   isentropicEfficiency(family.physics, p.ratio()));
            };
            auto follows = [&](double te, double tc, double suction) {
                if (tc <= e.tcLow)
                    return; // too hot even at the lowest condensing temperature
                EXPECT_LE(discharge(te, tc, suction), family.physics.dischargeMax + 0.05);
                const double ratio = thermo.dewPressure(tc) / thermo.dewPressure(te);
                const bool capped = tc >= e.tcHig || ratio > family.rules.maxPressureRatio * 0.98;
                if (!capped) {
                    EXPECT_GT(discharge(te, tc + 0.5, suction), family.physics.dischargeMax);
                }
            };
            for (std::size_t n = 0; n < e.fe.size(); ++n)
                follows(e.fe[n], e.fc[n], e.fe[n] + e.shF);
            for (std::size_t n = 0; n < e.he.size(); ++n) {
                const double sH = e.shH != kpx::NoValue ? e.shH : e.rgtH - e.he[n];
                EXPECT_GT(sH, e.shF); // the H curve holds at the higher superheat
                follows(e.he[n], e.hc[n], e.he[n] + sH);
            }
            // The K line runs along the lowest pressure ratio.
            EXPECT_NEAR(thermo.dewPressure(e.k2c) / thermo.dewPressure(e.k2e),
                        family.rules.kPressureRatio, 0.02 * family.rules.kPressureRatio);
            // The family's typical point lies well inside, clean at 10 K superheat.
            EXPECT_GE(family.typicalTe, e.teMin);
            EXPECT_LE(family.typicalTe, e.teMax);
            EXPECT_GE(family.typicalTc, e.tcMin);
            EXPECT_LE(family.typicalTc, e.tcMax);
            EXPECT_LE(family.typicalTc,
                      kpx::tcLimits(e, {family.typicalTe, family.typicalTc, 0, 10, 10}).atSh2);
        }
}

TEST_F(RealRange, EnlargedRangeReachesTheCountWithUniqueNames) {
    const Range big = enlargeRange(range, 20000, &countModels);
    EXPECT_GE(countModels(big), 20000);
    EXPECT_LT(countModels(big), 26000);
    const std::vector<ModelEntry> entries = modelEntries(big, true);
    std::set<std::string> names;
    for (const ModelEntry& s : entries)
        names.insert(s.name);
    EXPECT_EQ(names.size(), entries.size());
    ASSERT_EQ(big.families.size(), range.families.size());
    for (std::size_t k = 0; k < big.families.size(); ++k) { // same span as the demo range
        const Family &f = big.families[k], &small = range.families[k];
        EXPECT_DOUBLE_EQ(f.displacements.front(), small.displacements.front());
        EXPECT_NEAR(f.displacements.back(), small.displacements.back(), 1e-9);
    }
}

TEST_F(RealRange, LimitedBuildWritesExactlyTheFirstModels) {
    const Catalogue cat = buildCatalogue(range, fluids, 7);
    ASSERT_EQ(cat.models.size(), 7u);
    EXPECT_EQ(cat.models[0].entry.name, modelEntries(range)[0].name);
}

} // namespace

// The envelope regions and the performance table against the engine's own answers, on
// the demo catalogue of the build's program directory; the reasons, the table's range
// checks and its CSV.
#include "csv_records.h"
#include "kv/binding.h"
#include "kv/calcrun.h"
#include "kv/envelope.h"
#include "kv/perftable.h"
#include "programdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <set>

namespace {

class DemoCatalogue : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string dir = kv::ProgramDir::builtProgramDir().string();
        bound_ = kv::bindLibraries(dir);
        if (bound_.ok)
            kv::initializeEngine(bound_.api, dir);
    }
    void SetUp() override { ASSERT_TRUE(bound_.ok) << bound_.message; }
    static const kv::EngineApi& api() { return bound_.api; }

    static kv::ModelInfo model(const std::string& name) {
        const auto m = kv::findModelByName(api(), name);
        EXPECT_TRUE(m.has_value()) << name;
        return m.value_or(kv::ModelInfo{});
    }

    static inline kv::BindResult bound_;
};

struct EnvelopeCase {
    const char* model;
    kv::ConditionValues at;
};

class EnvelopeRegions : public DemoCatalogue, public ::testing::WithParamInterface<EnvelopeCase> {};

// At random points further than the tolerance from every drawn boundary, the drawn region
// carries the code the engine gives there.
TEST_P(EnvelopeRegions, AgreeWithTheEngineAwayFromBoundaries) {
    const EnvelopeCase c = GetParam();
    const kv::ModelInfo m = model(c.model);
    const kv::Envelope env =
        kv::computeEnvelope(api(), m.number, c.at, kv::envelopeWindow(api(), m.number, c.at));
    ASSERT_TRUE(env.anyRated);
    ASSERT_GT(env.codes.size(), 3U) << "a demo envelope has warning bands";
    EXPECT_GE(kv::envelopeCodeAt(env, c.at.te, c.at.tc), 0) << "the operating point is rated";
    EXPECT_EQ(std::count_if(env.polygons.begin(), env.polygons.end(),
                            [](const kv::EnvelopePolygon& p) { return p.code == 0; }),
              1)
        << "the clean area is one region";

    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> te(env.window.teFrom, env.window.teTo);
    std::uniform_real_distribution<double> tc(env.window.tcFrom, env.window.tcTo);
    const double r = kv::kEnvelopeTolerance;
    int checked = 0;
    for (int i = 0; i < 3000; ++i) {
        const double x = te(random), y = tc(random);
        const int32_t drawn = kv::envelopeCodeAt(env, x, y);
        bool nearBoundary = false;
        for (int k = 0; k < 8 && !nearBoundary; ++k)
            nearBoundary = kv::envelopeCodeAt(env, x + r * std::cos(k * std::numbers::pi / 4),
                                              y + r * std::sin(k * std::numbers::pi / 4)) != drawn;
        if (nearBoundary)
            continue;
        ++checked;
        ASSERT_EQ(drawn, kv::ratePoint(api(), m.number, x, y, c.at).code)
            << c.model << " at Te " << x << ", Tc " << y;
    }
    EXPECT_GT(checked, 2500);
}

// Polygons have no repeated vertex and none in the middle of a straight edge, and a vertex
// within the bisections' resolution of one of the model's own limits lies on it.
TEST_P(EnvelopeRegions, VerticesLieOnTheModelsLimits) {
    const EnvelopeCase c = GetParam();
    const kv::ModelInfo m = model(c.model);
    const kv::Envelope env =
        kv::computeEnvelope(api(), m.number, c.at, kv::envelopeWindow(api(), m.number, c.at));
    std::vector<double> te, tc;
    for (const char* column : {"TeLow", "TeHig", "TeMin", "TeMax"})
        te.push_back(std::stod(kv::modelData(api(), m.number, column)));
    for (const char* column : {"TcLow", "TcHig", "TcMin", "TcMax"})
        tc.push_back(std::stod(kv::modelData(api(), m.number, column)));
    const auto nearLimit = [](const std::vector<double>& limits, double v) {
        return std::any_of(limits.begin(), limits.end(),
                           [v](double l) { return std::abs(v - l) < 0.01 && v != l; });
    };
    std::size_t vertices = 0, onLimits = 0;
    for (const kv::EnvelopePolygon& p : env.polygons) {
        const auto& v = p.points;
        ASSERT_GE(v.size(), 3U);
        vertices += v.size();
        for (std::size_t i = 0; i < v.size(); ++i) {
            const kv::EnvelopePoint &a = v[(i + v.size() - 1) % v.size()], &b = v[i],
                                    &n = v[(i + 1) % v.size()];
            EXPECT_FALSE(a.te == b.te && a.tc == b.tc) << "region " << p.region << " vertex " << i;
            const double cross = (b.te - a.te) * (n.tc - b.tc) - (b.tc - a.tc) * (n.te - b.te);
            EXPECT_NE(cross, 0.0) << "region " << p.region << " vertex " << i;
            EXPECT_FALSE(nearLimit(te, b.te)) << b.te << " in region " << p.region;
            EXPECT_FALSE(nearLimit(tc, b.tc)) << b.tc << " in region " << p.region;
            onLimits +=
                std::count(te.begin(), te.end(), b.te) + std::count(tc.begin(), tc.end(), b.tc);
        }
    }
    EXPECT_GT(onLimits, 8U);
    EXPECT_LT(vertices, 600U);
}

INSTANTIATE_TEST_SUITE_P(DemoModels, EnvelopeRegions,
                         ::testing::Values(EnvelopeCase{"KRM009A-E5", {5, 50, 0, 10, 10}},
                                           EnvelopeCase{"KSA008Y-E6", {-5, 40, 3, 8, 20}},
                                           EnvelopeCase{"KRM009F-E5", {0, 45, 5, 5, 15}}));

// Every cell holds what KPX_Rating gives at its Te and Tc, in the units shown; refused
// cells are empty; the operating point's row and column are found.
TEST_F(DemoCatalogue, TableCellsAreTheEnginesRatings) {
    const kv::ModelInfo m = model("KSA008Y-E6");
    for (const kv::UnitSystem units : {kv::UnitSystem::SI, kv::UnitSystem::Imperial}) {
        const kv::ConditionValues at{5, 50, 0, 10, 10};
        const kv::ConditionValues shown = kv::fromEngineUnits(at, units);
        kv::TableRange range = kv::defaultTableRange(shown, units);
        range.teTo += 6 * range.teStep; // reaches beyond the envelope
        range.tcFrom -= 2 * range.tcStep;
        const kv::PerfTable t = kv::computeTable(api(), m.number, at, units, range);
        // SI: Te -5 to 45, Tc 30 to 60; imperial: Te 30 to 120 with 41, Tc 90 to 140 with 122.
        ASSERT_EQ(t.te.size(), 11U);
        ASSERT_EQ(t.tc.size(), 7U);
        EXPECT_EQ(t.pointRow, 2);
        EXPECT_EQ(t.pointColumn, 4);
        bool refused = false, warned = false;
        for (std::size_t i = 0; i < t.te.size(); ++i)
            for (std::size_t j = 0; j < t.tc.size(); ++j) {
                const kv::ConditionValues e = kv::toEngineUnits({t.te[i], t.tc[j], 0, 0, 0}, units);
                const kv::PointRating r = kv::ratePoint(api(), m.number, e.te, e.tc, at);
                const kv::TableCell& c = t.cell(i, j);
                ASSERT_EQ(c.code, r.code);
                refused |= r.code < 0;
                warned |= r.code > 0;
                if (r.code < 0)
                    continue;
                const auto expected = kv::displayValues(r, units);
                for (std::size_t q = 0; q < expected.size(); ++q)
                    EXPECT_DOUBLE_EQ(c.values[q], expected[q]);
            }
        EXPECT_TRUE(refused && warned);
        EXPECT_DOUBLE_EQ(t.te[1] - t.te[0], units == kv::UnitSystem::Imperial ? 10.0 : 5.0);
    }
}

// Default ranges lie on multiples of the step, within two steps of the point.
TEST(TableRange, DefaultsOnMultiplesOfTheStep) {
    const struct {
        kv::ConditionValues shown;
        kv::UnitSystem units;
        kv::TableRange expected;
    } cases[] = {
        {{5, 50, 0, 10, 10}, kv::UnitSystem::SI, {-5, 15, 5, 40, 60, 5}},
        {{7.22, 54.44, 0, 10, 10}, kv::UnitSystem::SI, {0, 15, 5, 45, 60, 5}},
        {{41, 122, 0, 18, 18}, kv::UnitSystem::Imperial, {30, 60, 10, 110, 140, 10}},
        {{45.000000000001, 130, 0, 18, 18}, kv::UnitSystem::Imperial, {30, 60, 10, 110, 150, 10}},
        {{-6, 4, 0, 18, 18}, kv::UnitSystem::Imperial, {-20, 10, 10, -10, 20, 10}},
    };
    for (const auto& c : cases) {
        const kv::TableRange r = kv::defaultTableRange(c.shown, c.units);
        EXPECT_EQ(std::vector<double>({r.teFrom, r.teTo, r.teStep, r.tcFrom, r.tcTo, r.tcStep}),
                  std::vector<double>({c.expected.teFrom, c.expected.teTo, c.expected.teStep,
                                       c.expected.tcFrom, c.expected.tcTo, c.expected.tcStep}))
            << c.shown.te << ", " << c.shown.tc;
    }
}

// The operating point's own row and column stand between the round ones, marked.
TEST_F(DemoCatalogue, TableAddsThePointsRowAndColumn) {
    const kv::ModelInfo m = model("KSA008Y-E6");
    const kv::ConditionValues at{7.22, 54.44, 0, 10, 10};
    const kv::PerfTable t = kv::computeTable(api(), m.number, at, kv::UnitSystem::SI,
                                             kv::defaultTableRange(at, kv::UnitSystem::SI));
    EXPECT_EQ(t.te, (std::vector<double>{0, 5, 7.22, 10, 15}));
    EXPECT_EQ(t.tc, (std::vector<double>{45, 50, 54.44, 55, 60}));
    EXPECT_EQ(t.pointRow, 2);
    EXPECT_EQ(t.pointColumn, 2);
    EXPECT_EQ(t.cells.size(), 25U);
}

// Numbers of every size as plain text: no bytes beyond the number, an exponent where
// fixed digits would be noise, nothing for a value that is no number.
TEST(PlainNumber, EveryValue) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {2.345, 2, "2.34"}, {-0.001, 1, "0.0"},   {999999999999999.0, 0, "999999999999999"},
        {1e63, 0, "1E+63"}, {-1e70, 3, "-1E+70"}, {1.5e308, 2, "1.5E+308"},
        {INFINITY, 0, ""},  {-INFINITY, 2, ""},   {NAN, 1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kv::plainNumber(c.value, c.decimals), c.text) << c.value;
}

TEST_F(DemoCatalogue, ModelsAreFoundByNameOrGridRow) {
    const kv::ModelInfo m = model("KSA008Y-E6");
    EXPECT_EQ(m.refrigerant, "R410A");
    EXPECT_EQ(m.voltage, "208-230/1/60");
    EXPECT_FALSE(m.family.empty());
    const auto again = kv::findGridModel(api(), 0, 0, 0, m.name, m.refrigerant, m.voltage);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->number, m.number);
    EXPECT_FALSE(kv::findModelByName(api(), "NO-SUCH-MODEL").has_value());
    EXPECT_FALSE(kv::findGridModel(api(), 0, 0, 0, m.name, m.refrigerant, "400/3/50").has_value());
}

// One text of its own per code kpx_calc.h lists, naming the limit; a code it doesn't
// know is named as such.
TEST(RatingReasons, OneTextPerCode) {
#define KV_RATING_CODE_ROW(name, value) {#name, name},
    const std::pair<const char*, int32_t> codes[] = {KPX_RATING_CODES(KV_RATING_CODE_ROW)};
#undef KV_RATING_CODE_ROW
    ASSERT_EQ(std::size(codes), std::size_t{KPX_RATING_CODE_COUNT});
    std::set<std::string> texts;
    for (const auto& [name, code] : codes) {
        const std::string text = kv::ratingReason(code);
        EXPECT_EQ(text.find("unknown"), std::string::npos) << name;
        EXPECT_TRUE(texts.insert(text).second) << name << ": " << text;
    }
    EXPECT_EQ(kv::ratingReason(KPX_TE_TOO_LOW), "evaporating temperature below the envelope");
    EXPECT_EQ(kv::ratingReason(KPX_SUPERHEAT_HIGH),
              "superheat above the limit, within the tolerance");
    EXPECT_EQ(kv::ratingReason(7), "unknown rating code 7");
    EXPECT_EQ(kv::regionKind(KPX_CLEAN), kv::RegionKind::Clean);
    EXPECT_EQ(kv::regionKind(KPX_TC_ABOVE_LIMIT), kv::RegionKind::Warning);
    EXPECT_EQ(kv::regionKind(KPX_TC_TOO_LOW), kv::RegionKind::Refused);
}

// Ranges that can't be tabled get a message instead of a hang or a huge table.
TEST(TableRange, BadRangesAreRefusedWithAMessage) {
    const struct {
        kv::TableRange range;
        const char* words;
    } cases[] = {
        {{-10, 10, 0, 30, 50, 5}, "above zero"},
        {{-10, 10, 5, 30, 50, -5}, "above zero"},
        {{10, -10, 5, 30, 50, 5}, "must not end below"},
        {{-50, 50, 0.1, 0, 100, 0.1}, "at most 10000"},
        {{60, 80, 5, 20, 50, 5}, "every cell"},
        {{NAN, 10, 5, 30, 50, 5}, "number"},
        {{-10, 10, INFINITY, 30, 50, 5}, "number"},
        {{-1e308, 1e308, 1e300, 30, 50, 5}, "at most 10000"}, // the span overflows
    };
    for (const auto& c : cases) {
        const auto problem = kv::checkTableRange(c.range);
        ASSERT_TRUE(problem.has_value()) << c.words;
        EXPECT_NE(problem->find(c.words), std::string::npos) << *problem;
    }
    EXPECT_FALSE(kv::checkTableRange({-10, 10, 5, 30, 50, 5}).has_value());
    EXPECT_FALSE(kv::checkTableRange({0, 99, 1, 0, 99, 1}).has_value()); // 10,000 cells
}

// The CSV starts with the model (display texts) and the five conditions, then reads back
// into the table's figures, rounded half-to-even as the grid rounds them (500.5 gives 500,
// 2.345 gives 2.34), with units in the header; a huge figure stays a number.
TEST(TableCsv, RoundTrip) {
    kv::PerfTable t;
    t.model.name = "K\xC4-1"; // 8-bit
    t.model.refrigerant = "R134a";
    t.model.voltage = "400/3/50";
    t.at = {5, 50, 0, 10, 11.11};
    t.units = kv::UnitSystem::SI;
    t.te = {-5, 0.5};
    t.tc = {40};
    kv::TableCell clean{0, {1234.4, 500.5, 2.345, 3.1, 1e70}};
    kv::TableCell refused{-3, {}};
    t.cells = {clean, refused};
    const std::string csv = kv::tableCsv(t);
    EXPECT_EQ(csv.find('\0'), std::string::npos);

    const auto records = kv::csvRecords(csv);
    ASSERT_EQ(records.size(), 6U);
    EXPECT_EQ(records[0], (std::vector<std::string>{"Model", "Refrigerant", "Voltage", "Te (°C)",
                                                    "Tc (°C)", "Sc (K)", "Sh1 (K)", "Sh2 (K)"}));
    EXPECT_EQ(records[1], (std::vector<std::string>{"K\xC3\x84-1", "R134a", "400/3/50", "5", "50",
                                                    "0", "10", "11.11"}));
    EXPECT_EQ(records[2], (std::vector<std::string>{""}));
    EXPECT_EQ(records[3],
              (std::vector<std::string>{"Te (°C)", "Tc (°C)", "Code", "Cooling capacity (W)",
                                        "Power input (W)", "COP", "Current (A)", "Mass flow (kg/h)",
                                        "Remark"}));
    EXPECT_EQ(records[4], (std::vector<std::string>{"-5", "40", "0", "1234", "500", "2.34", "3.10",
                                                    "1E+70", ""}));
    EXPECT_EQ(records[5], (std::vector<std::string>{"0.5", "40", "-3", "", "", "", "", "",
                                                    "evaporating temperature above the envelope"}));
    EXPECT_DOUBLE_EQ(std::stod(records[4][5]), kv::roundHalfEven(clean.values[2], 2));
}

} // namespace

// The envelope classification, the superheat-dependent condensing limit, the polynomials
// and the correction factors, against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>

#include "engine_test_support.h"

using kpx::Conditions;
using kpx::Envelope;
using kpx::NotRated;
using kpx::NoValue;

namespace {

using kpx::Columns;

// Limits wide enough for the base point (-10, 40, 0, 10, 10) to be clean; the F and H
// curves give TcLim(s) = 110 - s, far above the point.
const Columns kBaseEnvelope{
    {"TeLow", -45}, {"TeHig", 15}, {"TcLow", 10}, {"TcHig", 70}, {"TeMin", -40}, {"TeMax", 10},
    {"TcMin", 20},  {"TcMax", 65}, {"ShMax", 30}, {"ShTol", 5},  {"RgtMax", 60}, {"ScMax", 15},
    {"TcTol", 3},   {"F0e", -60},  {"F0c", 100},  {"F1e", 30},   {"F1c", 100},   {"H0e", -60},
    {"H0c", 90},    {"H1e", 30},   {"H1c", 90},   {"ShF", 10},   {"ShH", 20}};
const Conditions kBasePoint{-10, 40, 0, 10, 10};

Envelope envelope(const Columns& base, const Columns& changes = {}) {
    return kpx::recordWith(kpx::merged(base, changes)).envelope;
}

struct Row {
    const char* name;
    Conditions point;
    Columns changes;
    std::int32_t expected;
};

void checkRows(const std::vector<Row>& rows, const Columns& base = kBaseEnvelope) {
    for (const Row& row : rows)
        EXPECT_EQ(kpx::classify(envelope(base, row.changes), row.point), row.expected) << row.name;
}

TEST(Classify, LimitsTolerancesAndWarningOrder) {
    checkRows({
        {"clean", kBasePoint, {}, 1},
        {"Te on outer low limit", {-45, 40, 0, 10, 10}, {}, 2},
        {"Te below outer", {-45.5, 40, 0, 10, 10}, {}, -2},
        {"Te on outer high limit", {15, 40, 0, 10, 10}, {}, 3},
        {"Te above outer", {15.5, 40, 0, 10, 10}, {}, -3},
        {"Tc on outer low limit", {-10, 10, 0, 10, 10}, {}, 4},
        {"Tc below outer", {-10, 9.5, 0, 10, 10}, {}, -4},
        {"Tc on outer high limit", {-10, 70, 0, 10, 10}, {}, 5},
        {"Tc above outer", {-10, 70.5, 0, 10, 10}, {}, -5},
        {"Sh2 = ShMax + ShTol", {-10, 40, 0, 10, 35}, {}, 6},
        {"Sh2 beyond ShMax + ShTol", {-10, 40, 0, 10, 35.5}, {}, -6},
        {"Sh2 = RgtMax - Te + ShTol", {-10, 40, 0, 10, 25}, {{"RgtMax", 10}}, 6},
        {"Sh2 beyond RgtMax - Te + ShTol", {-10, 40, 0, 10, 25.5}, {{"RgtMax", 10}}, -6},
        {"Sc = ScMax", {-10, 40, 15, 10, 10}, {}, 1},
        {"Sc above ScMax", {-10, 40, 15.5, 10, 10}, {}, -7},
        {"Sh1 negative", {-10, 40, 0, -0.5, 10}, {}, -8},
        {"Sh2 negative", {-10, 40, 0, 0, -0.5}, {}, -8},
        {"Sc negative", {-10, 40, -0.5, 10, 10}, {}, -9},
        {"zeros pass", {-10, 40, 0, 0, 0}, {}, 1},
        {"Sh2 below Sh1", {-10, 40, 0, 12, 10}, {}, 10},
        {"Te warning replaces 10", {-42, 40, 0, 12, 10}, {}, 2},
        {"Te warning replaces 6", {-42, 40, 0, 10, 32}, {}, 2},
        {"Tc warning replaces Te warning", {-42, 66, 0, 10, 10}, {}, 5},
        {"Te above inner", {12, 40, 0, 10, 10}, {}, 3},
        {"Tc below inner", {-10, 15, 0, 10, 10}, {}, 4},
        {"first refusal wins", {-50, 40, -1, 10, 10}, {}, -2},
        {"Sc refusal before Sh1", {-10, 40, 20, -1, 10}, {}, -7},
    });
}

TEST(Classify, AbsentColumnsActAsNoValue) {
    const std::pair<const char*, std::int32_t> upper[] = {
        {"TeHig", -3},  {"TcHig", -5}, {"ShMax", -6}, {"ShTol", -6},
        {"RgtMax", -6}, {"ScMax", -7}, {"TeMax", 3},  {"TcMax", 5}};
    for (const auto& [column, code] : upper)
        checkRows({{column, kBasePoint, {{column, NoValue}}, code}});
    checkRows({{"no lower limits",
                {-50, 5, 0, 10, 10},
                {{"TeLow", NoValue}, {"TcLow", NoValue}, {"TeMin", NoValue}, {"TcMin", NoValue}},
                1}});
}

TEST(Classify, KLineWarnsStrictlyBelowAndIsNotCutOff) {
    // Tc = 40 at Te = -10, 60 at Te = 10.
    const Columns k =
        kpx::merged(kBaseEnvelope, {{"K1e", -20}, {"K1c", 30}, {"K2e", 0}, {"K2c", 50}});
    checkRows({{"below", {-10, 39.5, 0, 10, 10}, {}, 11},
               {"on the line", kBasePoint, {}, 1},
               {"beyond K2e", {10, 55, 0, 10, 10}, {}, 11},
               {"replaces Tc above inner", {-10, 66, 0, 10, 10}, {{"K2c", 200}}, 11},
               {"K2e = K1e: off", {-10, 39.5, 0, 10, 10}, {{"K2e", -20}}, 1},
               {"K2e < K1e: off", {-10, 21, 0, 10, 10}, {{"K2e", -30}}, 1},
               {"no K1e, K2e: off", {-10, 21, 0, 10, 10}, {{"K1e", NoValue}, {"K2e", NoValue}}, 1}},
              k);
}

// F curve constant 60, H curve constant 50, ShF 20, ShH 10: TcLim(s) = 40 + s, so 50 at
// Sh2 = 10 and 45 at Sh2 - ShTol = 5; TcTol 3.
Columns limitEnvelope(double fc = 60) {
    Columns e = kBaseEnvelope;
    e["F0c"] = e["F1c"] = fc;
    e["H0c"] = e["H1c"] = 50;
    e["ShF"] = 20, e["ShH"] = 10;
    return e;
}

TEST(Classify, SuperheatDependentCondensingLimit) {
    checkRows({{"on the limit", {-10, 50, 0, 10, 10}, {}, 1},
               {"above, within tolerance", {-10, 50.5, 0, 10, 10}, {}, 15},
               {"on limit + TcTol", {-10, 53, 0, 10, 10}, {}, 15},
               {"beyond both", {-10, 53.5, 0, 10, 10}, {}, -4},
               {"replaces an earlier warning", {-42, 51, 0, 10, 10}, {}, 15},
               {"refused despite an earlier warning", {-42, 53.5, 0, 10, 10}, {}, -4}},
              limitEnvelope());
    // Falling with superheat: TcLim(s) = 60 - s, 50 at Sh2 and 55 at Sh2 - ShTol.
    checkRows({{"beyond TcLim + TcTol only", {-10, 54, 0, 10, 10}, {}, 15},
               {"beyond both", {-10, 55.5, 0, 10, 10}, {}, -4}},
              limitEnvelope(40));
}

TEST(TcLimits, SuperheatOfTheHCurve) {
    const struct {
        const char* name;
        double shH, rgtH, te;
        double atSh2, atSh2MinusTol;
    } rows[] = {
        {"ShH", 10, NoValue, -10, 50, 45},
        {"RgtH - Te", NoValue, 0, -5, 50 + 10.0 * (10 - 5) / (20 - 5), 50},
        {"neither", NoValue, NoValue, -10, 50 + 10.0 * (10 - NoValue) / (20 - NoValue),
         50 + 10.0 * (5 - NoValue) / (20 - NoValue)},
    };
    for (const auto& row : rows) {
        const Envelope e = envelope(limitEnvelope(), {{"ShH", row.shH}, {"RgtH", row.rgtH}});
        const auto limits = kpx::tcLimits(e, Conditions{row.te, 40, 0, 10, 10});
        EXPECT_DOUBLE_EQ(limits.atSh2, row.atSh2) << row.name;
        EXPECT_DOUBLE_EQ(limits.atSh2MinusTol, row.atSh2MinusTol) << row.name;
    }
}

TEST(TcLimits, BothShHAndRgtHUseTheFilledHCurveBreakpoints) {
    // H4 is filled from H3: H4c 99 is ignored.
    const Columns both = kpx::merged(limitEnvelope(), {{"RgtH", 0},
                                                       {"H1e", -50},
                                                       {"H1c", 52},
                                                       {"H2e", -40},
                                                       {"H2c", 54},
                                                       {"H3e", 0},
                                                       {"H3c", 56},
                                                       {"H4c", 99}});
    const auto limits = kpx::tcLimits(envelope(both), kBasePoint);
    EXPECT_EQ(limits.atSh2, 52);
    EXPECT_EQ(limits.atSh2MinusTol, 56);
    checkRows({{"above H1c", {-10, 53, 0, 10, 10}, {}, 15},
               {"above H4c and H1c + TcTol", {-10, 57, 0, 10, 10}, {}, -4}},
              both);
}

// The F curve alone, read through TcLim at Sh2 = ShF with ShH = 0 and ShF = 1 over a flat
// H curve at 0, so that TcLim(Sh2) is exactly TcF.
double fCurveAt(const Envelope& curve, double te) {
    Envelope e = curve;
    e.he[0] = -100, e.hc[0] = 0, e.he[1] = 100, e.hc[1] = 0;
    e.shH = 1, e.shF = 2;
    return kpx::tcLimits(e, Conditions{te, 0, 0, 2, 2}).atSh2;
}

TEST(TcLimits, FCurveFillingAndInterpolation) {
    Envelope e;
    e.fe = {-40, -20, 0, 10, NoValue, NoValue, NoValue};
    e.fc = {50, 60, 65, 65, 99, NoValue, NoValue}; // F4c is ignored: F4e is absent
    const struct {
        double te, tc;
    } rows[] = {
        {-30, 55},
        {-20, 60},
        {5, 65},
        {10, 65}, // on the last real breakpoint
        {20, 65 + (NoValue - 65) * (20 - 10) / (NoValue - 10)},
        {-50, NoValue + (60 - NoValue) * (-50 - NoValue) / (-20 - NoValue)}, // towards F1
    };
    for (const auto& row : rows)
        EXPECT_DOUBLE_EQ(fCurveAt(e, row.te), row.tc) << "Te " << row.te;
}

TEST(Polynomials, TermsBelongToTheirSuffixes) {
    // Coefficient i + 1 at Te = 2, Tc = 3: 1 + 2*2 + 3*3 + 4*4 + 5*6 + 6*9 + 7*8 + 8*12 +
    // 9*18 + 10*27.
    const std::array<double, 10> k{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(kpx::capacityPolynomial(k, 2, 3), 698);
    EXPECT_EQ(kpx::powerPolynomial(k, 2, 3), 698);
    EXPECT_EQ(kpx::massFlowPolynomial(k, 2, 3), 698);
}

// With every term 1, a first coefficient of 1e16, ones, and -1e16 last, the ones vanish
// in the sum only when the coefficients are added in the given order.
std::array<double, 10> orderProbe(const std::array<std::size_t, 10>& order) {
    std::array<double, 10> k{};
    k.fill(1);
    k[order.front()] = 1e16;
    k[order.back()] = -1e16;
    return k;
}

TEST(Polynomials, SummedInTheirOwnSuffixOrder) {
    const std::array<std::size_t, 10> capacity{7, 8, 9, 6, 3, 4, 5, 1, 2, 0};
    const std::array<std::size_t, 10> power{6, 7, 8, 9, 3, 4, 5, 1, 2, 0};
    const std::array<std::size_t, 10> mass{9, 6, 7, 8, 3, 4, 5, 1, 2, 0};
    EXPECT_EQ(kpx::capacityPolynomial(orderProbe(capacity), 1, 1), 0);
    EXPECT_EQ(kpx::powerPolynomial(orderProbe(power), 1, 1), 0);
    EXPECT_EQ(kpx::massFlowPolynomial(orderProbe(mass), 1, 1), 0);
    EXPECT_NE(kpx::capacityPolynomial(orderProbe(power), 1, 1), 0);
    EXPECT_NE(kpx::massFlowPolynomial(orderProbe(capacity), 1, 1), 0);
}

// At Te = -10, Tc = 40: capacity 1000 + 20 Te - 10 Tc = 400, power 500 + 5 Tc = 700,
// current 2 + 0.05 Tc = 4, mass flow 0.01 + 0.0002 Te = 0.008.
kpx::RatingRecord ratingRecord() {
    kpx::RatingRecord r = kpx::recordWith({{"Q0", 1000},
                                           {"Q1", 20},
                                           {"Q2", -10},
                                           {"P0", 500},
                                           {"P2", 5},
                                           {"A0", 2},
                                           {"A2", 0.05},
                                           {"M0", 0.01},
                                           {"M1", 0.0002},
                                           {"ScBase", 0},
                                           {"ShBase", 10}});
    for (std::size_t i = 3; i < 10; ++i)
        r.q[i] = r.p[i] = r.a[i] = r.m[i] = 0;
    r.p[1] = r.a[1] = r.m[2] = 0;
    r.envelope = envelope(kBaseEnvelope);
    r.refrigerant = "R404A";
    return r;
}

kpx::RatingResult rate(const kpx::RatingRecord& r, const Conditions& c,
                       kpx::FakeProperties& properties) {
    return kpx::rate(r, c, properties, "data/");
}

void expectNotRated(const kpx::RatingResult& r) {
    for (const double v : {r.capacity, r.power, r.current, r.massFlow, r.cop})
        EXPECT_EQ(v, NotRated);
}

TEST(Rate, PropertyCallsInOrderAndTheCorrectionFactors) {
    kpx::RatingRecord record = ratingRecord();
    record.scBase = 3;
    kpx::FakeProperties properties;
    const auto r = rate(record, Conditions{-10, 40, 2, 8, 12}, properties);

    const double teK = -10 + 273.15, tcK = 40 + 273.15;
    const double pe = 100 * teK, pc = 100 * tcK, tb = pc / 100 - 0.25;
    const std::vector<std::tuple<std::string, double, double>> expected{
        {"pressure", teK, 0},     {"pressure", tcK, 0},     {"bubble", pc, 0},
        {"liquid", tb - 2, 0},    {"liquid", tb - 3, 0},    {"vapour", teK + 8, pe},
        {"volume", teK + 12, pe}, {"vapour", teK + 10, pe}, {"volume", teK + 10, pe},
    };
    ASSERT_EQ(properties.calls.size(), 2 + expected.size());
    EXPECT_EQ(properties.calls[0].function, "revision");
    EXPECT_EQ(properties.calls[1].function, "directory");
    EXPECT_EQ(properties.calls[1].text, "data/");
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& call = properties.calls[2 + i];
        EXPECT_EQ(call.function, std::get<0>(expected[i])) << i;
        EXPECT_EQ(call.text, "R404A") << i;
        EXPECT_DOUBLE_EQ(call.a, std::get<1>(expected[i])) << i;
        EXPECT_DOUBLE_EQ(call.b, std::get<2>(expected[i])) << i;
    }

    const double hLiq = 1500 * (tb - 2), hLiqBase = 1500 * (tb - 3);
    const double hOut = 1e5 + 1000 * (teK + 8) + 0.001 * pe;
    const double hOutBase = 1e5 + 1000 * (teK + 10) + 0.001 * pe;
    const double fm = ((teK + 10) / pe) / ((teK + 12) / pe);
    const double fq = fm * (hOut - hLiq) / (hOutBase - hLiqBase);
    EXPECT_EQ(r.code, KPX_CLEAN);
    EXPECT_DOUBLE_EQ(r.capacity, 400 * fq);
    EXPECT_DOUBLE_EQ(r.massFlow, kpx::massFlowPolynomial(record.m, -10, 40) * fm);
    EXPECT_EQ(r.power, 700);
    EXPECT_EQ(r.current, 4);
    EXPECT_DOUBLE_EQ(r.cop, r.capacity / 700);
}

TEST(Rate, ReturnGasBaseWhenShBaseIsAbsent) {
    kpx::RatingRecord record = ratingRecord();
    record.shBase = NoValue;
    record.rgtBase = 5; // ShBase = 5 - (-10) = 15
    kpx::FakeProperties properties;
    rate(record, kBasePoint, properties);
    ASSERT_EQ(properties.calls.size(), 11u);
    EXPECT_DOUBLE_EQ(properties.calls[9].a, -10 + 273.15 + 15);
    EXPECT_DOUBLE_EQ(properties.calls[10].a, -10 + 273.15 + 15);
}

TEST(Rate, ZeroDivisorsGiveFactorOneAndCopEqualToCapacity) {
    kpx::RatingRecord record = ratingRecord();
    kpx::FakeProperties zeroVolume;
    zeroVolume.override = [](std::size_t i, double& v) {
        if (i == 6) // v
            v = 0;
        return 0;
    };
    const Conditions raised{-10, 40, 0, 10, 14};
    const auto a = rate(record, raised, zeroVolume);
    EXPECT_EQ(a.massFlow, kpx::massFlowPolynomial(record.m, -10, 40));

    kpx::FakeProperties noBaseEffect;
    double hLiqBase = 0;
    noBaseEffect.override = [&](std::size_t i, double& v) {
        if (i == 4)
            hLiqBase = v;
        if (i == 7) // hOutBase equal to hLiqBase
            v = hLiqBase;
        return 0;
    };
    const auto b = rate(record, raised, noBaseEffect);
    EXPECT_EQ(b.capacity, 400); // fq is 1, not fm
    EXPECT_NE(b.massFlow, kpx::massFlowPolynomial(record.m, -10, 40));

    record.p.fill(0);
    kpx::FakeProperties properties;
    const auto c = rate(record, raised, properties);
    EXPECT_EQ(c.power, 0);
    EXPECT_EQ(c.cop, c.capacity);
}

TEST(Rate, AbsentCoefficientsCountAsNoValue) {
    kpx::RatingRecord record = ratingRecord();
    record.m.fill(NoValue);
    kpx::FakeProperties properties;
    // Terms at (-10, 40): 1 - 10 + 40 + 100 - 400 + 1600 - 1000 + 4000 - 16000 + 64000.
    EXPECT_EQ(rate(record, kBasePoint, properties).massFlow, -999999.0 * 52331);
}

TEST(Rate, RefusalCallsNothingAndWarningStillComputes) {
    kpx::FakeProperties refused;
    const auto r = rate(ratingRecord(), Conditions{20, 40, 0, 10, 10}, refused);
    EXPECT_EQ(r.code, KPX_TE_TOO_HIGH);
    expectNotRated(r);
    EXPECT_TRUE(refused.calls.empty());

    kpx::FakeProperties warned;
    const auto w = rate(ratingRecord(), Conditions{-42, 40, 0, 10, 10}, warned);
    EXPECT_EQ(w.code, KPX_TE_BELOW_INNER);
    EXPECT_NE(w.capacity, NotRated);
    EXPECT_NE(w.massFlow, NotRated);
}

TEST(Rate, FailedPropertyCallGivesMinusTenAndNotRated) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Each of the nine calls fails once by status, once with NaN, once with infinity.
    for (std::size_t failing = 0; failing < 9; ++failing)
        for (const auto& mode : {std::pair{3, 1.0}, {0, nan}, {0, inf}}) {
            SCOPED_TRACE("call " + std::to_string(failing) + " value " +
                         std::to_string(mode.second));
            kpx::FakeProperties properties;
            properties.override = [&](std::size_t i, double& v) {
                v = i == failing ? mode.second : v;
                return i == failing ? mode.first : 0;
            };
            const auto r = rate(ratingRecord(), kBasePoint, properties);
            EXPECT_EQ(r.code, KPX_PROPERTIES_FAILED);
            expectNotRated(r);
            EXPECT_EQ(properties.calls.size(), 2 + failing + 1); // stops there
        }
    // A condition that is no finite number never reaches the property library.
    for (const Conditions& c : {Conditions{nan, 40, 0, 10, 10}, Conditions{-10, nan, 0, 10, 10},
                                Conditions{-10, 40, 0, inf, 10}, Conditions{-10, 40, 0, 10, nan}}) {
        kpx::FakeProperties properties;
        const auto r = rate(ratingRecord(), c, properties);
        EXPECT_EQ(r.code, KPX_PROPERTIES_FAILED);
        expectNotRated(r);
        EXPECT_TRUE(properties.calls.empty());
    }
}

// Figures that overflow are a failed rating too, whatever the code would have been.
TEST(Rate, OutputThatIsNotFiniteGivesMinusTenAndNotRated) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        std::function<void(kpx::RatingRecord&)> change;
        Conditions point;
    } cases[] = {
        {"capacity coefficient 1e309", [&](auto& r) { r.q[9] = inf; }, kBasePoint},
        {"power coefficient overflows", [](auto& r) { r.p[9] = 1e308; }, kBasePoint},
        {"current infinite", [&](auto& r) { r.a[0] = -inf; }, kBasePoint},
        {"mass flow not a number", [&](auto& r) { r.m[0] = inf, r.m[1] = inf; }, kBasePoint},
        {"tiny power: COP overflows", [](auto& r) { r.p.fill(0), r.p[0] = 1e-320; }, kBasePoint},
        {"with a warning", [&](auto& r) { r.q[0] = inf; }, Conditions{-42, 40, 0, 10, 10}},
    };
    for (const auto& c : cases) {
        kpx::RatingRecord record = ratingRecord();
        c.change(record);
        kpx::FakeProperties properties;
        const auto r = rate(record, c.point, properties);
        EXPECT_EQ(r.code, KPX_PROPERTIES_FAILED) << c.what;
        expectNotRated(r);
    }
}

TEST(Rate, CatalogueFillsEveryRatingColumnByName) {
    // Header Refrigerant, Q0 ... : each column holds its own position plus 0.5.
    std::string header = "Refrigerant\t", line = "R407C\t";
    double value = 0.5;
    kpx::RatingRecord names;
    kpx::forEachRatingColumn(names, [&](std::string_view name, double&) {
        header += std::string(name) + "\t";
        line += std::to_string(value++) + "\t";
    });
    const auto c = kpx::catalogueFrom("", header + "\n" + line + "\n");
    const kpx::RatingRecord r = c.ratingRecord(0);
    EXPECT_STREQ(r.refrigerant, "R407C");
    EXPECT_EQ(r.scBase, 0.5); // the columns in the catalogue files' order
    EXPECT_EQ(r.q[7], 10.5);
    EXPECT_EQ(r.m[9], 42.5);
    EXPECT_EQ(r.envelope.shH, 57.5);
    EXPECT_EQ(r.envelope.hc[4], 86.5);
    kpx::RatingRecord copy = r;
    std::size_t checked = 0;
    kpx::forEachRatingColumn(copy, [&](std::string_view name, double& v) {
        EXPECT_EQ(v, c.FieldNumber(0, name)) << name;
        ++checked;
    });
    EXPECT_EQ(checked, kpx::kRatingColumnCount);

    // A line shorter than the header gives the same numbers for the fields it has.
    const auto shortLine =
        kpx::catalogueFrom("", header + "\n" + line.substr(0, line.find("10.5")) + "\n");
    const kpx::RatingRecord s = shortLine.ratingRecord(0);
    EXPECT_EQ(s.q[6], 9.5);
    EXPECT_EQ(s.q[7], NoValue);
    EXPECT_EQ(s.envelope.teHig, NoValue);
    EXPECT_STREQ(kpx::catalogueFrom("", "Refrigerant\t\n\n").ratingRecord(0).refrigerant, "");
}

} // namespace

// The transcritical rating against its curves, its refusals and warnings, the energy
// balance of its discharge state and the optimum gas-cooler pressure against a fine scan,
// on closed-form properties shaped like carbon dioxide's (a steep pseudo-critical rise of
// enthalpy with temperature).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "engine_test_support.h"
#include "kpx/catalogue.h"
#include "kpx/transcritical.h"

namespace {

constexpr double kK = 273.15;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Saturation p = 3.5 MPa e^(0.024 (T - 0 degC)); critical point 31 degC; liquid and gas-cooler
// enthalpies 50 kJ/kg below the curves' reference. `fail` makes the call of that name fail.
class ToyCarbonDioxide final : public kpx::PropertyProvider, public kpx::StateProperties {
public:
    std::string fail;
    int stateCalls = 0;

    static double pSat(double t) { return 3.5e6 * std::exp(0.024 * (t - kK)); }
    static double h(double t, double p) {
        const double pseudoCritical = 304.15 + 6e-6 * (p - 7.38e6);
        return 150e3 + 3000 * (t - kK) - 0.008 * (p - 7.5e6) +
               20e3 * std::tanh((t - pseudoCritical) / 3);
    }
    static double vapourH(double t, double p) { return 380e3 + 1000 * (t - kK) - 0.002 * p; }
    static double volume(double t, double p) { return 188.9 * t / p; }

    void revision(char** text) override { **text = 0; }
    void setDataDirectory(const char*) override {}
    std::int32_t saturationPressure(const char*, double t, double* p) override {
        return put("pressure", pSat(t), p);
    }
    std::int32_t bubbleTemperature(const char*, double p, double* t) override {
        return put("bubble", kK + std::log(p / 3.5e6) / 0.024, t);
    }
    std::int32_t liquidEnthalpy(const char*, double t, double* out) override {
        return put("liquid", 150e3 + 2500 * (t - kK), out);
    }
    std::int32_t vapourEnthalpy(const char*, double t, double p, double* out) override {
        return put("vapour", vapourH(t, p), out);
    }
    std::int32_t vapourVolume(const char*, double t, double p, double* v) override {
        return put("volume", volume(t, p), v);
    }
    std::int32_t stateTP(const char*, double t, double p, double* out, double* s,
                         double* rho) override {
        ++stateCalls;
        *s = 1000;
        *rho = 1 / volume(t, p);
        return put("state", h(t, p), out);
    }
    // Fails where `direct` is off, so that the search along the isobar is tried too.
    std::int32_t vapourStatePH(const char*, double p, double h, double* t, double* s) override {
        *s = 1000;
        double low = kK - 50, high = kK + 500; // bisection on the closed form
        for (int i = 0; i < 200; ++i)
            (ToyCarbonDioxide::h((low + high) / 2, p) < h ? low : high) = (low + high) / 2;
        *t = direct ? low : kNaN;
        return direct ? 0 : 4;
    }
    bool direct = false;
    std::int32_t criticalPoint(const char*, double* t, double* p) override {
        *t = kK + 31;
        return put("critical", pSat(kK + 31), p);
    }

private:
    std::int32_t put(const std::string& name, double value, double* out) {
        *out = name == fail ? kNaN : value;
        return name == fail ? 4 : 0;
    }
};

constexpr double kShift = 50e3; // curve reference minus the toy's

// Constant mass flow 0.2 kg/s at the base superheat of 10 K at Te 0, rising 1 %/K with
// Te (the capacity curve's Te·h terms), power convex in pgc.
kpx::GasCoolerColumns model() {
    kpx::GasCoolerColumns m;
    const double hBase = ToyCarbonDioxide::vapourH(kK + 10, 3.5e6) + kShift;
    m.q = {0.2 * hBase, 0.002 * hBase, -0.2, 0, -0.002, 0, 0, 0, 0, 0};
    m.p = {15000, 150, -2.4e-3, 0, 0, 1.6e-10, 0, 0, 0, 0};
    m.shBase = 10;
    m.teLow = -20;
    m.teHig = 5;
    m.pLow = 6.0e6;
    m.pHig = 12e6;
    m.hLow = 250e3;
    m.hHig = 340e3;
    m.technology = "Reciprocating";
    return m;
}

KPX_TranscriticalResult rate(const kpx::GasCoolerColumns& m, kpx::GasCoolerPoint x,
                             ToyCarbonDioxide& toy) {
    return kpx::rateTranscritical(m, "R744", x, toy, toy, "");
}

// At the base superheat and without a liquid line the rating is the curves evaluated
// directly; other superheats and a liquid line move the capacity as the suction density
// and the enthalpy differences say.
TEST(TranscriticalRating, FollowsItsCurvesAndCorrections) {
    struct Row {
        double te, pgc, tgc, sh1, sh2, liquid;
    };
    const Row rows[] = {{-5, 9e6, 35, 10, 10, kNaN},   {-15, 7.5e6, 30.5, 10, 10, kNaN},
                        {0, 11e6, 40, 10, 10, kNaN},   {-5, 9e6, 35, 5, 20, kNaN},
                        {-10, 10e6, 38, 10, 10, 20},   {-5, 9e6, 35, 0, 0, 35},
                        {-5, 7.0e6, 26, 10, 10, kNaN}, {-20, 12e6, 39, 3, 15, 12}};
    for (const Row& r : rows)
        for (const bool direct : {false, true}) {
            ToyCarbonDioxide toy;
            toy.direct = direct;
            const auto m = model();
            const auto got = rate(m, {r.te, r.pgc, r.tgc, r.sh1, r.sh2, r.liquid}, toy);
            SCOPED_TRACE(std::to_string(r.te) + " " + std::to_string(r.pgc) + " " +
                         std::to_string(r.tgc));
            ASSERT_EQ(got.code, r.sh2 < r.sh1 ? KPX_SH2_BELOW_SH1 : KPX_CLEAN);
            const double teK = r.te + kK, pe = ToyCarbonDioxide::pSat(teK);
            const double hOut = ToyCarbonDioxide::h(r.tgc + kK, r.pgc);
            const double hIn =
                std::isnan(r.liquid) ? hOut : ToyCarbonDioxide::h(r.liquid + kK, r.pgc);
            const double hBase = ToyCarbonDioxide::vapourH(teK + 10, pe);
            const double q = kpx::polynomial(m.q, r.te, hOut + kShift);
            const double flow = q / (hBase - hOut) * ToyCarbonDioxide::volume(teK + 10, pe) /
                                ToyCarbonDioxide::volume(teK + r.sh2, pe);
            const double capacity = flow * (ToyCarbonDioxide::vapourH(teK + r.sh1, pe) - hIn);
            EXPECT_NEAR(got.capacity, capacity, 1e-12 * capacity);
            if (r.sh1 == 10 && r.sh2 == 10 && std::isnan(r.liquid)) {
                EXPECT_NEAR(got.capacity, q, 1e-9 * q);
            }
            EXPECT_NEAR(got.power, kpx::polynomial(m.p, r.te, r.pgc), 1e-12 * got.power);
            EXPECT_NEAR(got.massFlow, flow, 1e-12 * flow);
            EXPECT_DOUBLE_EQ(got.cop, got.capacity / got.power);
            EXPECT_DOUBLE_EQ(got.pressureRatio, r.pgc / pe);
            EXPECT_DOUBLE_EQ(got.gasCoolerOutletEnthalpy, hOut + kShift);
            EXPECT_DOUBLE_EQ(got.evaporatorInletEnthalpy, hIn + kShift);
            EXPECT_EQ(got.gasCoolerPressure, r.pgc);
            EXPECT_EQ(got.gasCoolerOutletTemperature, r.tgc);
            // The discharge state: the suction gas heated by the power less the shell's 8 %,
            // on the gas-cooler isobar; the gas cooler takes that heat and the capacity's.
            const double h2 = ToyCarbonDioxide::vapourH(teK + r.sh2, pe) + 0.92 * got.power / flow;
            EXPECT_NEAR(ToyCarbonDioxide::h(got.dischargeTemperature + kK, r.pgc), h2, 1e-3);
            EXPECT_NEAR(got.heatRejection, flow * (h2 - hOut), 1e-9 * got.heatRejection);
            EXPECT_GT(got.dischargeTemperature, r.tgc);
        }
}

// A capacity curve in Te and the gas-cooler pressure holds at its own outlet temperature:
// the mass flow it gives there, times the enthalpy difference of the outlet asked for. Below
// the critical pressure its outlet must be liquid.
TEST(TranscriticalRating, PressureFormHoldsAtItsOutletTemperature) {
    auto m = model();
    m.qTgc = 35;
    m.q = {50000, 500, 0.001, 0, 0, 0, 0, 0, 0, 0};
    m.hLow = m.hHig = kpx::NoValue;
    struct Row {
        double te, pgc, tgc;
    };
    for (const Row& r : {Row{-5, 9e6, 35}, Row{-5, 9e6, 30}, Row{-15, 11e6, 40}, Row{0, 8e6, 20}}) {
        ToyCarbonDioxide toy;
        const auto got = rate(m, {r.te, r.pgc, r.tgc, 10, 10, kNaN}, toy);
        ASSERT_EQ(got.code, KPX_CLEAN) << r.tgc;
        const double pe = ToyCarbonDioxide::pSat(r.te + kK);
        const double hBase = ToyCarbonDioxide::vapourH(r.te + kK + 10, pe);
        const double q = kpx::polynomial(m.q, r.te, r.pgc);
        const double flow = q / (hBase - ToyCarbonDioxide::h(kK + 35, r.pgc));
        EXPECT_NEAR(got.massFlow, flow, 1e-12 * flow);
        EXPECT_NEAR(got.capacity, flow * (hBase - ToyCarbonDioxide::h(kK + r.tgc, r.pgc)),
                    1e-9 * got.capacity);
        if (r.tgc == 35) {
            EXPECT_NEAR(got.capacity, q, 1e-9 * q);
        }
    }
    // 6.5 MPa saturates at 25.8 degC: an outlet at 20 degC is liquid, the curve's at 35 is not.
    ToyCarbonDioxide toy;
    EXPECT_EQ(rate(m, {-5, 6.5e6, 20, 10, 10, kNaN}, toy).code, KPX_GAS_COOLER_PRESSURE_LOW);
    const auto best =
        kpx::optimumGasCoolerPressure(m, "R744", {-5, 0, 20, 10, 10, kNaN}, toy, toy, "");
    ASSERT_GE(best.code, 0);
    EXPECT_GE(best.gasCoolerPressure, ToyCarbonDioxide::pSat(kK + 31)); // the critical pressure
}

// Beyond the capacity curve's enthalpy range the mass flow is the one at the range's end
// (a warning), never the curve's extrapolation; a discharge above the model's maximum warns.
TEST(TranscriticalRating, WarnsOutsideTheCurveAndAboveTheDischargeLimit) {
    ToyCarbonDioxide toy;
    auto m = model();
    m.hLow = 300e3; // above the outlet enthalpy at 25 degC and 9 MPa
    const auto low = rate(m, {-5, 9e6, 25, 10, 10, kNaN}, toy);
    ASSERT_EQ(low.code, KPX_GAS_COOLER_ENTHALPY_OUTSIDE);
    const double pe = ToyCarbonDioxide::pSat(kK - 5);
    const double hBase = ToyCarbonDioxide::vapourH(kK + 5, pe);
    const double flow = kpx::polynomial(m.q, -5, 300e3) / (hBase - (300e3 - kShift));
    EXPECT_NEAR(low.massFlow, flow, 1e-12 * flow);
    EXPECT_NEAR(low.capacity, flow * (hBase - ToyCarbonDioxide::h(kK + 25, 9e6)), 1e-6);

    m = model();
    m.tdMax = 60;
    const auto hot = rate(m, {-20, 12e6, 39, 10, 10, kNaN}, toy);
    EXPECT_EQ(hot.code, KPX_ABOVE_MAX_DISCHARGE);
    EXPECT_GT(hot.dischargeTemperature, 60);
    EXPECT_EQ(hot.maxDischargeTemperature, 60);
    m.tdMax = 300;
    EXPECT_EQ(rate(m, {-20, 12e6, 39, 10, 10, kNaN}, toy).code, KPX_CLEAN);
}

// Bad points: a defined code and no figure.
TEST(TranscriticalRating, RefusesBadPointsWithoutFigures) {
    struct Row {
        const char* what;
        kpx::GasCoolerPoint point;
        std::function<void(kpx::GasCoolerColumns&, ToyCarbonDioxide&)> change;
        int code;
    };
    const auto none = [](kpx::GasCoolerColumns&, ToyCarbonDioxide&) {};
    const Row rows[] = {
        {"no curves",
         {-5, 9e6, 35, 10, 10, kNaN},
         [](kpx::GasCoolerColumns& m, ToyCarbonDioxide&) { m.p[4] = kpx::NoValue; },
         KPX_NO_GAS_COOLER_CURVES},
        {"no pressure range",
         {-5, 9e6, 35, 10, 10, kNaN},
         [](kpx::GasCoolerColumns& m, ToyCarbonDioxide&) { m.pHig = kpx::NoValue; },
         KPX_NO_GAS_COOLER_CURVES},
        // 7 MPa saturates at 28.9 degC: an outlet at 30 degC is vapour.
        {"outlet vapour", {-5, 7e6, 30, 10, 10, kNaN}, none, KPX_GAS_COOLER_OUTLET_VAPOUR},
        {"outlet below suction", {-5, 9e6, -6, 10, 10, kNaN}, none, KPX_GAS_COOLER_BELOW_SUCTION},
        {"outlet at suction", {-5, 9e6, -5, 10, 10, kNaN}, none, KPX_GAS_COOLER_BELOW_SUCTION},
        {"pressure low", {-5, 5.9e6, 20, 10, 10, kNaN}, none, KPX_GAS_COOLER_PRESSURE_LOW},
        {"pressure high", {-5, 12.1e6, 35, 10, 10, kNaN}, none, KPX_GAS_COOLER_PRESSURE_HIGH},
        {"above discharge maximum",
         {-5, 10.5e6, 35, 10, 10, kNaN},
         [](kpx::GasCoolerColumns& m, ToyCarbonDioxide&) { m.pdMax = 10e6; },
         KPX_GAS_COOLER_PRESSURE_HIGH},
        {"pressure ratio",
         {-20, 11e6, 35, 10, 10, kNaN},
         [](kpx::GasCoolerColumns& m, ToyCarbonDioxide&) { m.prMax = 5; },
         KPX_PRESSURE_RATIO_TOO_HIGH},
        {"te low", {-21, 9e6, 35, 10, 10, kNaN}, none, KPX_TE_TOO_LOW},
        {"te high", {6, 9e6, 35, 10, 10, kNaN}, none, KPX_TE_TOO_HIGH},
        {"superheat negative", {-5, 9e6, 35, -1, 10, kNaN}, none, KPX_SUPERHEAT_NEGATIVE},
        {"liquid line above outlet", {-5, 9e6, 35, 10, 10, 36}, none, KPX_LIQUID_LINE_INVALID},
        {"liquid line at suction", {-5, 9e6, 35, 10, 10, -5}, none, KPX_LIQUID_LINE_INVALID},
        {"liquid line infinite", {-5, 9e6, 35, 10, 10, -INFINITY}, none, KPX_PROPERTIES_FAILED},
        {"pressure NaN", {-5, kNaN, 35, 10, 10, kNaN}, none, KPX_PROPERTIES_FAILED},
        {"te NaN", {kNaN, 9e6, 35, 10, 10, kNaN}, none, KPX_PROPERTIES_FAILED},
        {"outlet infinite", {-5, 9e6, INFINITY, 10, 10, kNaN}, none, KPX_PROPERTIES_FAILED},
        {"state call fails",
         {-5, 9e6, 35, 10, 10, kNaN},
         [](kpx::GasCoolerColumns&, ToyCarbonDioxide& t) { t.fail = "state"; },
         KPX_PROPERTIES_FAILED},
        {"critical point fails",
         {-5, 9e6, 35, 10, 10, kNaN},
         [](kpx::GasCoolerColumns&, ToyCarbonDioxide& t) { t.fail = "critical"; },
         KPX_PROPERTIES_FAILED},
        {"liquid reference fails",
         {-5, 9e6, 35, 10, 10, kNaN},
         [](kpx::GasCoolerColumns&, ToyCarbonDioxide& t) { t.fail = "liquid"; },
         KPX_PROPERTIES_FAILED},
        {"overflowing curve",
         {-5, 9e6, 35, 10, 10, kNaN},
         [](kpx::GasCoolerColumns& m, ToyCarbonDioxide&) { m.q[9] = 1e300; },
         KPX_PROPERTIES_FAILED},
    };
    for (const Row& row : rows) {
        ToyCarbonDioxide toy;
        auto m = model();
        row.change(m, toy);
        const auto got = rate(m, row.point, toy);
        EXPECT_EQ(got.code, row.code) << row.what;
        for (const double x : {got.capacity, got.power, got.cop, got.massFlow,
                               got.dischargeTemperature, got.gasCoolerPressure})
            EXPECT_TRUE(std::isnan(x)) << row.what;
        // The optimum refuses the same points, but for their pressure.
        if (row.point.pgc == 9e6) {
            const auto best = kpx::optimumGasCoolerPressure(m, "R744", row.point, toy, toy, "");
            EXPECT_EQ(best.code, row.code) << row.what;
            EXPECT_EQ(std::isnan(best.cop), best.code < 0) << row.what;
        }
    }
}

// The optimum pressure has the COP of the best point of a scan at 1 kPa steps, and lies
// within a step of it, also where the envelope's maximum pressure, pressure ratio or the
// outlet's saturation pressure bound the search.
TEST(OptimumGasCoolerPressure, MatchesAFineScan) {
    struct Row {
        double te, tgc;
        double pdMax, prMax;
    };
    const Row rows[] = {{-5, 35, kpx::NoValue, kpx::NoValue}, {-10, 30, kpx::NoValue, kpx::NoValue},
                        {0, 40, kpx::NoValue, kpx::NoValue},  {-5, 25, kpx::NoValue, kpx::NoValue},
                        {-5, 38, 8.5e6, kpx::NoValue},        {-5, 35, kpx::NoValue, 3.0},
                        {-20, 20, kpx::NoValue, kpx::NoValue}};
    for (const Row& r : rows) {
        ToyCarbonDioxide toy;
        auto m = model();
        m.pdMax = r.pdMax;
        m.prMax = r.prMax;
        SCOPED_TRACE(std::to_string(r.te) + " / " + std::to_string(r.tgc));
        const auto best =
            kpx::optimumGasCoolerPressure(m, "R744", {r.te, 0, r.tgc, 10, 10, kNaN}, toy, toy, "");
        ASSERT_GE(best.code, 0);
        double scanP = 0, scanCop = -1;
        for (double p = m.pLow; p <= m.pHig; p += 1e3) {
            const auto at = rate(m, {r.te, p, r.tgc, 10, 10, kNaN}, toy);
            if (at.code >= 0 && at.cop > scanCop) {
                scanCop = at.cop;
                scanP = p;
            }
        }
        EXPECT_GE(best.cop, scanCop * (1 - 1e-9));
        EXPECT_NEAR(best.gasCoolerPressure, scanP, 1.5e3);
        const auto again = rate(m, {r.te, best.gasCoolerPressure, r.tgc, 10, 10, kNaN}, toy);
        EXPECT_DOUBLE_EQ(again.cop, best.cop);
        EXPECT_DOUBLE_EQ(again.dischargeTemperature, best.dischargeTemperature);
    }
}

// No pressure of the envelope serves: the outlet saturates above the highest pressure.
TEST(OptimumGasCoolerPressure, RefusesAnEmptyRange) {
    ToyCarbonDioxide toy;
    auto m = model();
    m.pHig = 6.5e6; // saturates at 25.8 degC
    const auto best =
        kpx::optimumGasCoolerPressure(m, "R744", {-5, 0, 27, 10, 10, kNaN}, toy, toy, "");
    EXPECT_EQ(best.code, KPX_NO_PRESSURE_IN_ENVELOPE);
    EXPECT_TRUE(std::isnan(best.gasCoolerPressure));
}

// The transcritical columns anywhere in the header are read by name; a catalogue without
// them rates no model transcritical.
TEST(TranscriticalColumns, ReadByNameAndAbsentInOldCatalogues) {
    std::string header = "ShowName\tDLLF\tGcPrMax\t";
    std::string line = "A\t4\t4.5\t";
    for (int i = 9; i >= 0; --i) {
        header += "GcQ" + std::to_string(i) + "\tGcP" + std::to_string(i) + "\t";
        line += std::to_string(i + 1) + "\t" + std::to_string(-i) + "\t";
    }
    header += "GcShBase\tGcTeLow\tGcTeHig\tGcPLow\tGcPHig\tGcHLow\tGcHHig\tGcPdMax\tTdMax\t\n";
    line += "10\t-20\t0\t7.5e6\t1.2E7\t291650\t336410\t-\t140\t\n";
    const auto c = kpx::catalogueFrom("", header + line);
    const kpx::GasCoolerColumns g = c.gasCoolerColumns(0);
    EXPECT_TRUE(g.present());
    EXPECT_EQ(g.q[0], 1);
    EXPECT_EQ(g.q[9], 10);
    EXPECT_EQ(g.p[9], -9);
    EXPECT_EQ(g.pHig, 12e6);
    EXPECT_EQ(g.hHig, 336410);
    EXPECT_EQ(g.pdMax, kpx::NoValue);
    EXPECT_EQ(g.prMax, 4.5);
    EXPECT_EQ(g.tdMax, 140);
    EXPECT_EQ(g.technology, "Reciprocating");
    const auto old = kpx::catalogueFrom("", "ShowName\tQ0\t\nA\t1\t\n");
    EXPECT_FALSE(old.gasCoolerColumns(0).present());
}

} // namespace

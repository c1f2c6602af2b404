// The C exports as the rating engine calls them.
#include "reference.h"

#include "asere32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const std::string kDataDir = asere::fluidsDir().parent_path().string() + "/";

struct Calls {
    int32_t rc[5];
    double v[5];
};

Calls allCalls(const char* refrigerant, double T, double p) {
    Calls c;
    c.rc[0] = ILK_SaturationPressure(refrigerant, T, &c.v[0]);
    c.rc[1] = ILK_BubbleTemperature(refrigerant, p, &c.v[1]);
    c.rc[2] = ILK_LiquidEnthalpy(refrigerant, T, &c.v[2]);
    c.rc[3] = ILK_VapourEnthalpy(refrigerant, T, p, &c.v[3]);
    c.rc[4] = ILK_VapourVolume(refrigerant, T, p, &c.v[4]);
    return c;
}

void expectAllFail(const Calls& c, int32_t status, const char* what) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(c.rc[i], status) << what << " call " << i;
        EXPECT_TRUE(std::isnan(c.v[i])) << what << " call " << i;
    }
}

// Runs first: nothing is set up yet.
TEST(CInterface, FailsCleanlyBeforeTheDataDirectoryIsSet) {
    expectAllFail(allCalls("R134a", 263.15, 2e5), ILK_NO_DATA_DIRECTORY, "no directory");
    EXPECT_EQ(ILK_SetDataDirectory(nullptr), ILK_NULL_POINTER);
    expectAllFail(allCalls("R134a", 263.15, 2e5), ILK_NO_DATA_DIRECTORY, "still no directory");
}

TEST(CInterface, Revision) {
    char buffer[ILK_TEXT_SIZE];
    std::memset(buffer, 'x', sizeof buffer);
    char* text = buffer;
    const int16_t rev = ILK_Revision(&text);
    EXPECT_GT(rev, 0);
    EXPECT_LT(std::strlen(buffer), sizeof buffer);
    EXPECT_NE(std::string(buffer).find("revision"), std::string::npos);
    EXPECT_NE(std::string(buffer).find("mixture model"), std::string::npos);
    EXPECT_EQ(ILK_Revision(nullptr), rev);
    char* none = nullptr;
    EXPECT_EQ(ILK_Revision(&none), rev);
}

TEST(CInterface, DataDirectorySwitches) {
    ASSERT_EQ(ILK_SetDataDirectory(kDataDir.c_str()), ILK_OK);
    double p = 0;
    ASSERT_EQ(ILK_SaturationPressure("R134a", 263.15, &p), ILK_OK);
    // A directory without fluids: calls fail, and the good one works again afterwards.
    EXPECT_EQ(ILK_SetDataDirectory("/nonexistent/"), ILK_NO_DATA_DIRECTORY);
    expectAllFail(allCalls("R134a", 263.15, 2e5), ILK_NO_DATA_DIRECTORY, "missing directory");
    // Without the closing separator.
    std::string noSlash = kDataDir.substr(0, kDataDir.size() - 1);
    ASSERT_EQ(ILK_SetDataDirectory(noSlash.c_str()), ILK_OK);
    double p2 = 0;
    ASSERT_EQ(ILK_SaturationPressure("R134a", 263.15, &p2), ILK_OK);
    EXPECT_EQ(p2, p);
    // A null directory changes nothing.
    EXPECT_EQ(ILK_SetDataDirectory(nullptr), ILK_NULL_POINTER);
    EXPECT_EQ(ILK_SaturationPressure("R134a", 263.15, &p2), ILK_OK);
}

TEST(CInterface, BadArgumentsGiveAStatusAndNaN) {
    ASSERT_EQ(ILK_SetDataDirectory(kDataDir.c_str()), ILK_OK);
    expectAllFail(allCalls(nullptr, 263.15, 2e5), ILK_NULL_POINTER, "null refrigerant");
    expectAllFail(allCalls("R999", 263.15, 2e5), ILK_UNKNOWN_FLUID, "unknown refrigerant");
    expectAllFail(allCalls("", 263.15, 2e5), ILK_UNKNOWN_FLUID, "empty name");
    EXPECT_EQ(ILK_SaturationPressure("R134a", 263.15, nullptr), ILK_NULL_POINTER);
    EXPECT_EQ(ILK_BubbleTemperature("R134a", 2e5, nullptr), ILK_NULL_POINTER);
    EXPECT_EQ(ILK_LiquidEnthalpy("R134a", 263.15, nullptr), ILK_NULL_POINTER);
    EXPECT_EQ(ILK_VapourEnthalpy("R134a", 263.15, 2e5, nullptr), ILK_NULL_POINTER);
    EXPECT_EQ(ILK_VapourVolume("R134a", 263.15, 2e5, nullptr), ILK_NULL_POINTER);

    double v = 0;
    EXPECT_EQ(ILK_SaturationPressure("R134a", 100, &v), ILK_OUT_OF_RANGE); // below the triple point
    EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(ILK_SaturationPressure("R134a", 400, &v),
              ILK_OUT_OF_RANGE); // above the critical point
    EXPECT_EQ(ILK_LiquidEnthalpy("R404A", 360, &v), ILK_OUT_OF_RANGE);
    for (const char* blend : {"R454B", "R448A"}) { // above the blend's critical region
        EXPECT_EQ(ILK_SaturationPressure(blend, 360, &v), ILK_OUT_OF_RANGE);
        EXPECT_TRUE(std::isnan(v));
        EXPECT_EQ(ILK_LiquidEnthalpy(blend, 360, &v), ILK_OUT_OF_RANGE);
        EXPECT_EQ(ILK_BubbleTemperature(blend, 6e6, &v), ILK_OUT_OF_RANGE);
        EXPECT_TRUE(std::isnan(v));
    }
    EXPECT_EQ(ILK_BubbleTemperature("R134a", 1e8, &v), ILK_OUT_OF_RANGE);
    EXPECT_EQ(ILK_VapourEnthalpy("R134a", 263.15, 1e6, &v), ILK_NOT_VAPOUR); // liquid
    EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(ILK_VapourVolume("R410A", 263.15, 2e6, &v), ILK_NOT_VAPOUR);
    EXPECT_EQ(ILK_VapourVolume("R410A", NAN, 2e5, &v), ILK_BAD_ARGUMENT);
    // The exports beyond the seven: null results, a wet discharge, supercritical end points.
    double T = 0, h = 0, s = 0;
    EXPECT_EQ(ILK_VapourEntropy("R134a", 263.15, 2e5, nullptr), ILK_NULL_POINTER);
    EXPECT_EQ(ILK_VapourStatePS("R134a", 1e6, 1750, &T, nullptr), ILK_NULL_POINTER);
    EXPECT_TRUE(std::isnan(T));
    EXPECT_EQ(ILK_VapourStatePH(nullptr, 1e6, 4.2e5, &T, &s), ILK_NULL_POINTER);
    EXPECT_TRUE(std::isnan(T) && std::isnan(s));
    EXPECT_EQ(ILK_VapourEntropy("R134a", 263.15, 1e6, &s), ILK_NOT_VAPOUR);
    EXPECT_EQ(ILK_VapourStatePS("R134a", 1e6, 1100, &T, &h), ILK_NOT_VAPOUR); // inside the dome
    EXPECT_TRUE(std::isnan(T) && std::isnan(h));
    EXPECT_EQ(ILK_VapourStatePH("R407C", 1.5e6, 2.5e5, &T, &s), ILK_NOT_VAPOUR);
    EXPECT_TRUE(std::isnan(T) && std::isnan(s));
    EXPECT_EQ(ILK_VapourStatePH("R410A", NAN, 4e5, &T, &s), ILK_BAD_ARGUMENT);
    EXPECT_EQ(ILK_VapourStatePS("R134a", 1e6, 1e5, &T, &h),
              ILK_OUT_OF_RANGE); // beyond the equation's range
    // A failure leaves nothing behind for the next call.
    EXPECT_EQ(ILK_VapourEnthalpy("R134a", 263.15, 1e5, &v), ILK_OK);
    EXPECT_TRUE(std::isfinite(v));
}

// The single-phase state and the critical point: results or a status with NaN in every
// result.
TEST(CInterface, StateAtTemperatureAndPressure) {
    ASSERT_EQ(ILK_SetDataDirectory(kDataDir.c_str()), ILK_OK);
    struct Row {
        const char* fluid;
        double T, p;
        int32_t status;
    };
    const Row rows[] = {
        {"R134a", 263.15, 1e5, ILK_OK},          // vapour
        {"R134a", 263.15, 2e6, ILK_OK},          // liquid
        {"R134a", 400, 6e6, ILK_OK},             // above the critical point
        {"R410A", 273.15, 8.0e5, ILK_TWO_PHASE}, // between dew (798 kPa) and bubble (801 kPa)
        {"R454B", 273.15, 7.5e5, ILK_TWO_PHASE}, // 732 and 767 kPa
        {"R454B", 273.15, 3e6, ILK_OK},
        {"R134a", 150, 1e5, ILK_OUT_OF_RANGE}, // below the triple point
        {"R134a", 263.15, 1e12, ILK_OUT_OF_RANGE},
        {"R134a", NAN, 1e5, ILK_BAD_ARGUMENT},
        {"R134a", 263.15, -1, ILK_BAD_ARGUMENT},
        {"R134a", 263.15, INFINITY, ILK_BAD_ARGUMENT},
        {"R999", 263.15, 1e5, ILK_UNKNOWN_FLUID},
        {nullptr, 263.15, 1e5, ILK_NULL_POINTER},
    };
    for (const Row& r : rows) {
        double h = 0, s = 0, rho = 0;
        EXPECT_EQ(ILK_StateTP(r.fluid, r.T, r.p, &h, &s, &rho), r.status) << r.T << " " << r.p;
        EXPECT_EQ(std::isfinite(h) && std::isfinite(s) && rho > 0, r.status == ILK_OK) << r.T;
        EXPECT_EQ(std::isnan(h) && std::isnan(s) && std::isnan(rho), r.status != ILK_OK) << r.T;
    }
    // A null result: the others NaN.
    double h = 0, rho = 0;
    EXPECT_EQ(ILK_StateTP("R134a", 263.15, 1e5, &h, nullptr, &rho), ILK_NULL_POINTER);
    EXPECT_TRUE(std::isnan(h) && std::isnan(rho));

    double Tc = 0, pc = 0;
    ASSERT_EQ(ILK_CriticalPoint("R134a", &Tc, &pc), ILK_OK);
    EXPECT_NEAR(Tc, 374.18, 1e-9);
    EXPECT_NEAR(pc, 4.05928e6, 1e-3);
    // A blend of pure fluids: the top of its saturation curve, where saturation stops.
    ASSERT_EQ(ILK_CriticalPoint("R454B", &Tc, &pc), ILK_OK);
    double p = 0;
    EXPECT_EQ(ILK_SaturationPressure("R454B", Tc - 1e-6, &p), ILK_OK);
    EXPECT_EQ(ILK_SaturationPressure("R454B", Tc + 1e-3, &p), ILK_OUT_OF_RANGE);
    EXPECT_EQ(ILK_CriticalPoint("R999", &Tc, &pc), ILK_UNKNOWN_FLUID);
    EXPECT_TRUE(std::isnan(Tc) && std::isnan(pc));
    EXPECT_EQ(ILK_CriticalPoint("R134a", &Tc, nullptr), ILK_NULL_POINTER);
    EXPECT_TRUE(std::isnan(Tc));
}

// R744 through the exports: saturation bounded by the triple and critical points, and
// gas-cooler states above the critical pressure against the reference table.
TEST(CInterface, TranscriticalR744) {
    ASSERT_EQ(ILK_SetDataDirectory(kDataDir.c_str()), ILK_OK);
    double Tc = 0, pc = 0, v = 0;
    ASSERT_EQ(ILK_CriticalPoint("R744", &Tc, &pc), ILK_OK);
    EXPECT_EQ(Tc, 304.1282);
    EXPECT_EQ(pc, 7377300.0);
    for (const double T : {216.0, 216.6, 304.0, 304.2}) {
        const int32_t status = T > 216.592 && T < Tc ? ILK_OK : ILK_OUT_OF_RANGE;
        EXPECT_EQ(ILK_SaturationPressure("R744", T, &v), status) << T;
        EXPECT_EQ(ILK_LiquidEnthalpy("R744", T, &v), status) << T;
    }
    EXPECT_EQ(ILK_BubbleTemperature("R744", 8e6, &v), ILK_OUT_OF_RANGE);
    EXPECT_EQ(ILK_VapourEnthalpy("R744", 293.15, 9e6, &v), ILK_NOT_VAPOUR); // liquid-like
    int rows = 0;
    for (const auto& r : asere::readTable("R744_supercritical.tsv", 5)) {
        if (r[1] != 9e6 || r[0] > 400)
            continue;
        double h = 0, s = 0, rho = 0;
        ASSERT_EQ(ILK_StateTP("R744", r[0], r[1], &h, &s, &rho), ILK_OK) << r[0];
        EXPECT_NEAR(rho / r[2], 1, 1e-5) << r[0];
        EXPECT_NEAR(h, r[3], 2.0) << r[0];
        EXPECT_NEAR(s, r[4], 0.01) << r[0];
        ++rows;
    }
    EXPECT_EQ(rows, 26);
}

// The calls of one rating for every refrigerant, at -10 degC evaporating and +45 degC
// condensing, against the reference tables.
TEST(CInterface, RatingCallsMatchTheReference) {
    ASSERT_EQ(ILK_SetDataDirectory(kDataDir.c_str()), ILK_OK);
    for (const auto& f : asere::referenceFluids()) {
        const auto sat = asere::readTable(std::string(f.prefix) + "_sat.tsv", 7);
        for (const auto& row : sat) {
            if (std::abs(row[0] - 263.15) > 1e-6 && std::abs(row[0] - 318.15) > 1e-6)
                continue;
            const Calls c = allCalls(f.name, row[0], row[1]);
            for (int i = 0; i < 5; ++i)
                ASSERT_EQ(c.rc[i], ILK_OK) << f.name << " call " << i;
            EXPECT_NEAR(c.v[0] / row[1], 1, 1e-5) << f.name;
            EXPECT_NEAR(c.v[1], row[3], 1e-3) << f.name;
            EXPECT_NEAR(c.v[2], row[4], 1.0) << f.name;
            EXPECT_NEAR(c.v[3], row[5], 1.0) << f.name;
            EXPECT_NEAR(c.v[4] / row[6], 1, 1e-5) << f.name;
            // The discharge of an isentropic compression from 10 K above this dew point to twice
            // its pressure, and back from its enthalpy.
            double s = 0, T = 0, h = 0, T2 = 0, s2 = 0;
            ASSERT_EQ(ILK_VapourEntropy(f.name, row[0] + 10, row[1], &s), 0) << f.name;
            ASSERT_EQ(ILK_VapourStatePS(f.name, 2 * row[1], s, &T, &h), 0) << f.name;
            EXPECT_GT(T, row[0]) << f.name;
            EXPECT_GT(h, row[5]) << f.name;
            ASSERT_EQ(ILK_VapourStatePH(f.name, 2 * row[1], h, &T2, &s2), 0) << f.name;
            EXPECT_NEAR(T2, T, 1e-6) << f.name;
            EXPECT_NEAR(s2, s, 1e-6) << f.name;
        }
    }
}

} // namespace

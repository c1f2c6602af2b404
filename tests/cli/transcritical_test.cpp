// vantrix-cli above the critical point, run in-process on a catalogue of three R744
// models: two with the first public transcritical curves (one of them from 6 MPa), one
// without transcritical curves.
#include "in_process.h"
#include "kv/figures.h"
#include "kv/units.h"
#include "kvcli/cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace {

using kv::TestModel;
using kvtest::Outcome;

using kv::carbonDioxideModels;

using Transcritical = kvtest::InProcessCli<carbonDioxideModels>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

KPX_TranscriticalResult direct(const kv::EngineApi& api, const char* model, double pgc,
                               double tgc) {
    KPX_TranscriticalResult r{};
    api.KPX_RatingTranscritical(0, model, "R744", 50, -5, pgc, tgc, 10, 10, kNaN, &r);
    return r;
}

// rate and table give the engine's transcritical figures in the units asked for, with the
// optimum pressure; a model without transcritical curves is left out.
TEST_F(Transcritical, RateAndTableGiveTheEnginesFigures) {
    const auto& api = bound_.api;
    const Outcome o = cli({"rate", "--format", "json", "--te", "-5", "--sh1", "10", "--sh2", "10",
                           "--pgc", "90", "--tgc", "35"});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rows = nlohmann::json::parse(o.out)["rows"];
    ASSERT_EQ(rows.size(), 2u) << o.out;
    const KPX_TranscriticalResult at = direct(api, "CO2-A", 9e6, 35);
    KPX_TranscriticalResult best{};
    api.KPX_OptimumGasCoolerPressure(0, "CO2-A", "R744", 50, -5, 35, 10, 10, kNaN, &best);
    for (const auto& row : rows) {
        EXPECT_EQ(row["code"], 0);
        EXPECT_EQ(row["gasCoolerPressure"], 90.0);
        EXPECT_EQ(row["gasCoolerOutletTemperature"], 35.0);
        EXPECT_EQ(row["capacity"], at.capacity);
        EXPECT_EQ(row["powerInput"], at.power);
        EXPECT_EQ(row["massFlow"], at.massFlow * 3600);
        // Searched to a millionth of each model's own pressure range.
        EXPECT_NEAR(row["optimumGasCoolerPressure"].get<double>(), best.gasCoolerPressure / 1e5,
                    1e-4);
    }

    // By capacity: at 7 MPa only the model whose range starts at 6 MPa rates; the refused
    // one comes last.
    const Outcome ordered = cli({"rate", "--format", "json", "--te", "-5", "--pgc", "70", "--tgc",
                                 "25", "--order", "capacity"});
    ASSERT_EQ(ordered.status, 0) << ordered.err;
    const auto byCapacity = nlohmann::json::parse(ordered.out)["rows"];
    ASSERT_EQ(byCapacity.size(), 2u);
    EXPECT_EQ(byCapacity[0]["model"], "CO2-LOW");
    EXPECT_EQ(byCapacity[1]["code"], KPX_GAS_COOLER_PRESSURE_LOW);

    // Imperial: psia, °F, Btu/h.
    const double psia = 9e6 / kv::kPascalsPerPsi;
    const Outcome ip =
        cli({"rate", "--format", "json", "--units", "imperial", "--te", "23", "--sh1", "18",
             "--sh2", "18", "--pgc", kv::numberText(psia, {".", ""}), "--tgc", "95"});
    ASSERT_EQ(ip.status, 0) << ip.err;
    const auto us = nlohmann::json::parse(ip.out)["rows"][0];
    EXPECT_NEAR(us["capacity"].get<double>(), at.capacity / kv::kWattsPerBtuh, 1e-6 * at.capacity);
    EXPECT_NEAR(us["gasCoolerPressure"].get<double>(), psia, 1e-9);
    EXPECT_NEAR(us["optimumGasCoolerPressure"].get<double>(),
                best.gasCoolerPressure / kv::kPascalsPerPsi, 1e-3);

    // A table over pressure: the rows asked for, a refused row with its reason, the optimum.
    const Outcome t =
        cli({"table", "--model", "CO2-A", "--format", "json", "--te", "-5", "--sh1", "10", "--sh2",
             "10", "--tgc", "35", "--pgc-from", "70", "--pgc-to", "90", "--pgc-step", "10"});
    ASSERT_EQ(t.status, 0) << t.err;
    const auto doc = nlohmann::json::parse(t.out);
    ASSERT_EQ(doc["rows"].size(), 3u);
    EXPECT_EQ(doc["rows"][0]["code"], KPX_GAS_COOLER_PRESSURE_LOW);
    EXPECT_EQ(doc["rows"][0]["gasCoolerPressure"], 70.0);
    EXPECT_TRUE(doc["rows"][0]["capacity"].is_null());
    EXPECT_EQ(doc["rows"][2]["capacity"], at.capacity);
    EXPECT_EQ(doc["optimumGasCoolerPressure"], best.gasCoolerPressure / 1e5);

    // The text table follows the regional decimal sign, and reads it.
    std::ostringstream out, err;
    ASSERT_EQ(kvcli::runCommandLine({"--program-dir", dir_->path().string(), "table", "--model",
                                     "CO2-A", "--te", "-5", "--tgc", "35,5", "--pgc-from", "80",
                                     "--pgc-to", "90", "--pgc-step", "2,5"},
                                    {}, {",", "."}, out, err),
              0)
        << err.str();
    EXPECT_NE(out.str().find("82,50"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("35,50"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Optimum gas-cooler pressure: "), std::string::npos) << out.str();

    // The default range: the model's pressures in steps of 5 bar.
    const Outcome range =
        cli({"table", "--model", "CO2-LOW", "--format", "csv", "--te", "-5", "--tgc", "35"});
    ASSERT_EQ(range.status, 0) << range.err;
    EXPECT_EQ(std::count(range.out.begin(), range.out.end(), '\n'), 1 + 9) << range.out;
}

// Bad input: a usage error (2) or a data problem (3) with a message naming it, never a
// figure.
TEST_F(Transcritical, BadInputGetsADefinedMessage) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"rate", "--pgc", "90"}, 2, "needs --tgc"},
        {{"rate", "--tgc", "35"}, 2, "--pgc and --tgc together"},
        {{"rate", "--pgc", "nine", "--tgc", "35"}, 2, "invalid number \"nine\" for --pgc"},
        {{"rate", "--pgc", "-90", "--tgc", "35"}, 2, "--pgc must be a positive"},
        {{"rate", "--pgc", "1e308", "--tgc", "35"}, 2, "invalid number \"1e308\""},
        {{"rate", "--pgc", "nan", "--tgc", "35"}, 2, "invalid number"},
        {{"rate", "--pgc", "90", "--tgc", "inf"}, 2, "invalid number"},
        {{"rate", "--pgc", "90", "--tgc", "35", "--tc", "40"}, 2, "--tc and --sc"},
        {{"table", "--model", "CO2-A", "--tgc", "35", "--pgc-from", "100", "--pgc-to", "80"},
         2,
         "--pgc-from must not lie above"},
        {{"table", "--model", "CO2-A", "--tgc", "35", "--pgc-step", "0.0001"}, 2, "more than 1000"},
        {{"table", "--model", "CO2-A", "--pgc-step", "5"}, 2, "needs --tgc"},
        {{"table", "--model", "CO2-A", "--tgc", "35", "--show", "pressureRatio"}, 2, "--show"},
        {{"table", "--model", "CO2-NONE", "--tgc", "35"}, 3, "no transcritical curves"},
        {{"table", "--model", "CO2-X", "--tgc", "35"}, 2, "no model named"},
        {{"envelope", "--model", "CO2-A", "--pgc", "90"}, 2, "belongs to"},
        {{"rate", "--pgc", "90", "--tgc", "35", "--target", "5000"}, 2, "--target is not offered"},
        {{"rate", "--pgc", "90", "--tgc", "35", "--speed", "50"}, 2, "of one speed"},
        {{"table", "--model", "CO2-A", "--tgc", "35", "--speeds"}, 2, "of one speed"},
        // One row where a step is lost in the pressure's rounding, never an endless table.
        {{"table", "--model", "CO2-A", "--tgc", "35", "--pgc-from", "1e300", "--pgc-to", "1e300"},
         0,
         ""},
        {{"rate", "--pgc", "90", "--tgc", "35", "--filter", "NONE"},
         0,
         "no model of the selection rates transcritical: 1 matched, 1 of them without"},
    };
    for (const Case& c : cases) {
        const Outcome o = cli(c.args);
        EXPECT_EQ(o.status, c.status) << c.args[1] << " " << c.args[2] << ": " << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << c.message << ": " << o.err;
        EXPECT_EQ(o.out.find("nan"), std::string::npos) << o.out;
    }
}

// envelope gives the Te-Tc polygons and, for a model with transcritical curves, the
// region in Te and gas-cooler pressure at --tgc: in JSON, CSV and the table; pressures
// below the saturation pressure of the outlet temperature are not in it.
TEST_F(Transcritical, EnvelopeGivesBothRegions) {
    Outcome o = cli({"envelope", "--model", "CO2-A", "--format", "json", "--te", "-5", "--sh1",
                     "10", "--sh2", "10"});
    ASSERT_EQ(o.status, 0) << o.err;
    nlohmann::json doc = nlohmann::json::parse(o.out);
    EXPECT_FALSE(doc["regions"].empty());
    EXPECT_EQ(doc["gasCoolerRegion"]["gasCoolerOutletTemperature"], 35.0);
    const auto& edges = doc["gasCoolerRegion"]["edges"];
    ASSERT_EQ(edges.size(), 25u) << o.out;
    EXPECT_EQ(edges.front()["te"], -20.0);
    EXPECT_EQ(edges.back()["te"], 0.0);
    for (const auto& e : edges) {
        EXPECT_GE(e["gasCoolerPressureLow"].get<double>(), 75.0);
        EXPECT_LE(e["gasCoolerPressureHigh"].get<double>(), 100.0);
        EXPECT_LE(e["gasCoolerPressureLow"], e["gasCoolerPressureHigh"]);
    }

    // From 60 bar at an outlet of 25 degC: only above its saturation pressure (64.3 bar).
    o = cli({"envelope", "--model", "CO2-LOW", "--format", "json", "--tgc", "25"});
    ASSERT_EQ(o.status, 0) << o.err;
    doc = nlohmann::json::parse(o.out);
    ASSERT_FALSE(doc["gasCoolerRegion"]["edges"].empty());
    for (const auto& e : doc["gasCoolerRegion"]["edges"])
        EXPECT_GT(e["gasCoolerPressureLow"].get<double>(), 64.3);

    o = cli({"envelope", "--model", "CO2-A", "--format", "csv", "--units", "imperial"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("region,code,te,tc\r\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\r\nte,gasCoolerPressureLow,gasCoolerPressureHigh,"
                         "gasCoolerOutletTemperature\r\n-4.000,"),
              std::string::npos)
        << o.out;
    o = cli({"envelope", "--model", "CO2-A", "--tgc", "40"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("Transcritical region at a gas-cooler outlet of 40"), std::string::npos)
        << o.out;

    // Without transcritical curves: the polygons alone. A --tgc that is no number: usage.
    o = cli({"envelope", "--model", "CO2-NONE", "--format", "json"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_FALSE(nlohmann::json::parse(o.out).contains("gasCoolerRegion"));
    o = cli({"envelope", "--model", "CO2-A", "--tgc", "warm"});
    EXPECT_EQ(o.status, 2);
}

} // namespace

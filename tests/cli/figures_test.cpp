// The figures beyond the rating in vantrix-cli's rate (JSON, CSV) and table --show, run
// in-process on a catalogue of two models at their base conditions: one without the
// optional columns (figures from the energy balance), one with its own discharge
// temperature above its maximum and a displacement.
#include "bound_catalogue.h"
#include "csv_records.h"
#include "in_process.h"
#include "kv/figures.h"
#include "kvcli/cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace {

using kv::TestModel;

using kv::figureModels;

using kvtest::Outcome;

using Figures = kvtest::InProcessCli<figureModels>;

// Every key in every row; the energy balance of a scroll (5 % of the power lost from its
// shell): heat rejection = capacity + power - heat loss; the catalogue's own discharge
// temperature above its maximum: a warning of its own, in the JSON and on standard error.
TEST_F(Figures, RateJsonCarriesTheFiguresByTheirKeys) {
    const Outcome o = cli({"rate", "--format", "json", "--conditions", "Asercom, AC / HBP"});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto doc = nlohmann::json::parse(o.out);
    ASSERT_EQ(doc["rows"].size(), 2u);
    for (const auto& row : doc["rows"]) {
        for (const std::string_view key : kv::kFigureNames)
            EXPECT_TRUE(row.contains(std::string(key))) << key;
        EXPECT_TRUE(row.contains(std::string(kv::kDischargeEstimatedName)));
        const double capacity = row["capacity"], power = row["powerInput"];
        EXPECT_GT(row["dischargePressure"].get<double>(), row["suctionPressure"].get<double>());
        EXPECT_EQ(row["suctionGasTemperature"], 15.0);
        EXPECT_NEAR(row["heatingCop"].get<double>(), row["heatRejection"].get<double>() / power,
                    1e-12);
        if (row["model"] == "FIG-E") {
            EXPECT_NEAR(row["heatRejection"].get<double>(), capacity + 0.95 * power, 1e-9);
            EXPECT_EQ(row["dischargeTemperatureEstimated"], true);
            EXPECT_TRUE(row["volumetricEfficiency"].is_null());
            EXPECT_GT(row["dischargeTemperature"].get<double>(), 50);
            EXPECT_TRUE(row["figureWarnings"].empty());
        } else {
            EXPECT_EQ(row["dischargeTemperature"], 95.0);
            EXPECT_EQ(row["dischargeTemperatureEstimated"], false);
            EXPECT_GT(row["volumetricEfficiency"].get<double>(), 0);
            EXPECT_EQ(row["figureWarnings"],
                      nlohmann::json::array({std::string(kv::kAboveMaxDischargeReason)}));
        }
    }
    EXPECT_NE(o.err.find("FIG-C (R134a, 400/3/50): " + std::string(kv::kAboveMaxDischargeReason)),
              std::string::npos)
        << o.err;
    EXPECT_EQ(o.err.find("FIG-E"), std::string::npos) << o.err;

    // Imperial: psia and °F.
    const Outcome ip = cli({"rate", "--format", "json", "--units", "imperial"});
    ASSERT_EQ(ip.status, 0) << ip.err;
    // Rows by model name: FIG-C first.
    const auto si = doc["rows"][0], us = nlohmann::json::parse(ip.out)["rows"][0];
    ASSERT_EQ(us["model"], "FIG-C");
    EXPECT_NEAR(us["dischargePressure"].get<double>(),
                si["dischargePressure"].get<double>() / kv::kPascalsPerPsi, 1e-9);
    EXPECT_NEAR(us["dischargeTemperature"].get<double>(), 95 * 1.8 + 32, 1e-9);
}

// table --show: the figure's own column in CSV (its warning in the remark), its own block
// in the text table with "!" on a cell that warns; an unknown name is a usage error.
TEST_F(Figures, TableShowsTheFigureAskedFor) {
    const Outcome csv =
        cli({"table", "--model", "FIG-C", "--show", "dischargeTemperature", "--format", "csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto records = kv::csvRecords(csv.out.substr(csv.out.find("\r\n\r\n") + 4));
    ASSERT_GT(records.size(), 1u);
    const auto& header = records[0];
    const auto column = std::find(header.begin(), header.end(), "Discharge temperature (°C)");
    ASSERT_NE(column, header.end()) << csv.out;
    const auto at = static_cast<std::size_t>(column - header.begin());
    bool point = false;
    for (std::size_t i = 1; i < records.size(); ++i)
        if (records[i][0] == "5" && records[i][1] == "50") {
            point = true;
            EXPECT_EQ(records[i][at], "95.0");
            EXPECT_NE(records[i].back().find(kv::kAboveMaxDischargeReason), std::string::npos);
        }
    EXPECT_TRUE(point);

    const Outcome text = cli({"table", "--model", "FIG-C", "--show", "isentropicEfficiency"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("\nIsentropic efficiency\n"), std::string::npos) << text.out;
    const Outcome warned = cli({"table", "--model", "FIG-C", "--show", "dischargeTemperature"});
    EXPECT_NE(warned.out.find("95.0!"), std::string::npos) << warned.out;
    EXPECT_NE(warned.out.find("! " + std::string(kv::kAboveMaxDischargeReason)), std::string::npos);

    // With "," as decimal sign the text table follows it; CSV keeps ".".
    std::ostringstream out, err;
    ASSERT_EQ(kvcli::runCommandLine({"--program-dir", dir_->path().string(), "table", "--model",
                                     "FIG-C", "--show", "dischargeTemperature"},
                                    {}, {",", "."}, out, err),
              0)
        << err.str();
    EXPECT_NE(out.str().find("95,0!"), std::string::npos) << out.str();

    const Outcome bad = cli({"table", "--model", "FIG-C", "--show", "capacityX"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("accepted: \"suctionPressure\""), std::string::npos) << bad.err;
    EXPECT_EQ(cli({"rate", "--show", "pressureRatio"}).status, 2);
}

} // namespace

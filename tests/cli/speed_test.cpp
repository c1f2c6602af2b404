// vantrix-cli's variable-speed options, run in-process on a program directory holding the
// public map of one inverter compressor (three speeds) and a fixed-speed model made of its
// 60 rev/s set.
#include "kvcli/cli.h"
#include "programdir.h"
#include "speed_map.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

class SpeedCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const kvcat::CatalogueTexts cat = kvcat::speedMapCatalogue(fs::temp_directory_path());
        dir_ = std::make_unique<kv::ProgramDir>(cat.codes, cat.models);
        dir_->write("data/kpxspeed.bin", cat.speeds);
    }
    static void TearDownTestSuite() { dir_.reset(); }

    // The command at the map's rating basis, Te 0 degC and Tc 40 degC (export takes none).
    static Outcome cli(std::vector<std::string> args) {
        if (args.front() != "export")
            args.insert(args.end(),
                        {"--te", "0", "--tc", "40", "--sc", "5", "--sh1", "8", "--sh2", "8"});
        args.insert(args.begin(), {"--program-dir", dir_->path().string()});
        std::ostringstream out, err;
        const int status = kvcli::runCommandLine(args, {}, {".", ","}, out, err);
        return {status, out.str(), err.str()};
    }
    static nlohmann::json rows(const std::vector<std::string>& args) {
        std::vector<std::string> all{"rate", "--format", "json"};
        all.insert(all.end(), args.begin(), args.end());
        const Outcome o = cli(all);
        EXPECT_EQ(o.status, 0) << o.err;
        nlohmann::json byModel = nlohmann::json::object();
        const nlohmann::json doc = nlohmann::json::parse(o.out);
        for (const auto& row : doc["rows"])
            byModel[row["model"].get<std::string>()] = row;
        return byModel;
    }

    static inline std::unique_ptr<kv::ProgramDir> dir_;
};

TEST_F(SpeedCli, RateAtASpeedAndAtTheSpeedThatMeetsACapacity) {
    const nlohmann::json plain = rows({});
    ASSERT_EQ(plain.size(), 2u);
    // Without a speed option: the nominal speed, whose set the fixed model also holds.
    EXPECT_EQ(plain["V0001"]["speed"], 60.0);
    EXPECT_EQ(plain["V0001"]["minSpeed"], 25.0);
    EXPECT_EQ(plain["V0001"]["maxSpeed"], 100.0);
    EXPECT_FALSE(plain["FIX"].contains("speed"));
    EXPECT_EQ(plain["V0001"]["capacity"], plain["FIX"]["capacity"]);

    const nlohmann::json at = rows({"--speed", "42.5"});
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at["V0001"]["speed"], 42.5);
    EXPECT_EQ(at["FIX"], plain["FIX"]); // fixed-speed models as always
    const nlohmann::json low = rows({"--speed", "25"}), high = rows({"--speed", "60"});
    const double t = (42.5 - 25) / 35;
    for (const char* key : {"capacity", "powerInput", "current", "massFlow"}) {
        const double a = low["V0001"][key], b = high["V0001"][key], got = at["V0001"][key];
        EXPECT_NEAR(got, (1 - t) * a + t * b, 1e-9 * got) << key;
    }
    // Figures beyond the rating belong to the nominal speed: none at another.
    EXPECT_TRUE(at["V0001"]["dischargeTemperature"].is_null());

    const Outcome matched = cli({"rate", "--format", "json", "--match-capacity", "20000"});
    ASSERT_EQ(matched.status, 0) << matched.err;
    const auto doc = nlohmann::json::parse(matched.out);
    ASSERT_EQ(doc["rows"].size(), 1u);
    const auto& row = doc["rows"][0];
    EXPECT_NEAR(row["capacity"].get<double>(), 20000, 20000 * 1e-9);
    EXPECT_GT(row["speed"].get<double>(), 42.5);
    EXPECT_LT(row["speed"].get<double>(), 60);
    EXPECT_NE(matched.err.find("--match-capacity: 1 model left out (code -22)"), std::string::npos)
        << matched.err;

    // Table and CSV carry the speed column; a capacity no speed reaches is counted.
    const Outcome table = cli({"rate", "--speed", "100"});
    EXPECT_NE(table.out.find("Speed (rev/s)"), std::string::npos);
    EXPECT_NE(table.out.find("100.000"), std::string::npos);
    const Outcome tooMuch = cli({"rate", "--match-capacity", "60000"});
    EXPECT_EQ(tooMuch.status, 0);
    EXPECT_NE(tooMuch.err.find("1 left out (code -25): capacity above that at the highest"),
              std::string::npos)
        << tooMuch.err;
    const Outcome outside = cli({"rate", "--speed", "120"});
    EXPECT_NE(outside.err.find("--speed: 1 model left out (code -21)"), std::string::npos)
        << outside.err;
    EXPECT_NE(outside.out.find("FIX"), std::string::npos);
}

TEST_F(SpeedCli, FiguresAgainstSpeed) {
    const Outcome o = cli({"table", "--model", "V0001", "--speeds", "--format", "json"});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto doc = nlohmann::json::parse(o.out);
    EXPECT_EQ(doc["nominalSpeed"], 60.0);
    EXPECT_EQ(doc["minSpeed"], 25.0);
    EXPECT_EQ(doc["maxSpeed"], 100.0);
    std::vector<double> speeds;
    for (const auto& line : doc["speeds"]) {
        speeds.push_back(line["speed"]);
        const nlohmann::json rated =
            rows({"--speed", std::to_string(line["speed"].get<double>())})["V0001"];
        EXPECT_EQ(line["capacity"], rated["capacity"]) << line["speed"];
        EXPECT_EQ(line["code"], 0);
    }
    EXPECT_EQ(speeds, (std::vector<double>{25, 30, 40, 50, 60, 70, 80, 90, 100}));
    const Outcome csv = cli({"table", "--model", "V0001", "--speeds", "--format", "csv"});
    EXPECT_NE(csv.out.find("Speed (rev/s),Code,Cooling capacity (W)"), std::string::npos);
    EXPECT_NE(csv.out.find("\n60.000,0,"), std::string::npos) << csv.out;
    // The EnergyPlus form holds one speed: the nominal set, and says so.
    const Outcome idf = cli({"export", "--model", "V0001"});
    ASSERT_EQ(idf.status, 0) << idf.err;
    EXPECT_NE(idf.out.find("the curves are its set at the nominal speed, 60.000 rev/s; its 3 sets"),
              std::string::npos)
        << idf.out;
    EXPECT_EQ(cli({"export", "--model", "FIX"}).out.find("variable-speed"), std::string::npos);
}

// A model whose speed sets are refused (here one set only) is left out, and counted, when
// a speed is asked for; without one it rates at its nominal speed.
TEST_F(SpeedCli, RefusedSpeedSetsAreLeftOutWhenASpeedIsAskedFor) {
    const kvcat::CatalogueTexts cat = kvcat::speedMapCatalogue(fs::temp_directory_path());
    std::string speeds = cat.speeds;
    const std::size_t second = speeds.find("\nV0001\t") + 1;
    const std::string oneSet = speeds.substr(second, speeds.find('\n', second) + 1 - second);
    speeds += "FIX" + oneSet.substr(5);
    const kv::ProgramDir dir(cat.codes, cat.models);
    dir.write("data/kpxspeed.bin", speeds);
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(),
                    {"--program-dir", dir.path().string(), "rate", "--te", "0", "--tc", "40"});
        std::ostringstream out, err;
        const int status = kvcli::runCommandLine(args, {}, {".", ","}, out, err);
        return Outcome{status, out.str(), err.str()};
    };
    const Outcome at = run({"--speed", "50"});
    EXPECT_EQ(at.status, 0);
    EXPECT_EQ(at.out.find("FIX"), std::string::npos) << at.out;
    EXPECT_NE(at.err.find("--speed: 1 model left out (code -23): the model's speed sets are "
                          "refused"),
              std::string::npos)
        << at.err;
    EXPECT_NE(run({}).out.find("FIX"), std::string::npos);
}

TEST_F(SpeedCli, BadSpeedOptionsAreUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    for (const Case& c : std::vector<Case>{
             {{"rate", "--speed", "abc"}, "invalid number \"abc\" for --speed"},
             {{"rate", "--speed", "-5"}, "invalid number \"-5\" for --speed"},
             {{"rate", "--speed", "0"}, "invalid number \"0\" for --speed"},
             {{"rate", "--speed", "1e999"}, "invalid number \"1e999\" for --speed"},
             {{"rate", "--match-capacity", "nan"}, "invalid number \"nan\" for --match-capacity"},
             {{"rate", "--speed", "50", "--match-capacity", "1000"}, "exclude each other"},
             {{"table", "--model", "V0001", "--speeds", "--show", "heatingCop"}, "don't apply"},
             {{"table", "--model", "FIX", "--speeds"}, "FIX is no variable-speed model"},
             {{"envelope", "--model", "V0001", "--speed", "50"}, "belongs to rate"},
         }) {
        const Outcome o = cli(c.args);
        EXPECT_EQ(o.status, 2) << c.args.back();
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_EQ(o.out, "");
    }
}

} // namespace

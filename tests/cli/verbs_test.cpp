// vantrix-cli's envelope and table verbs and the left-out summary of rate, run in-process
// on a small catalogue: the same numbers as the front-end core, and clear usage errors.
#include "bound_catalogue.h"
#include "cli.h"
#include "diagram.h"
#include "envelope.h"
#include "perftable.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace {

using kv::TestModel;

std::vector<TestModel> verbModels() {
    TestModel env, none;
    env.showName = "ENV-1";
    env.overrides = {{"TeLow", "-30"}, {"TeHig", "15"}, {"TcLow", "20"}, {"TcHig", "65"},
                     {"TeMin", "-25"}, {"TeMax", "10"}, {"TcMin", "25"}, {"TcMax", "60"}};
    none.showName = "NOENV-1"; // no upper Te limit: every point is refused with -3
    none.overrides = {{"TeHig", "-"}};
    return {env, none};
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Verbs : public kv::BoundCatalogue<verbModels> {
protected:
    // Runs as vantrix-cli's main does, with the C locale's number format.
    static Outcome cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-dir", dir_->path().string()});
        std::ostringstream out, err;
        const int status = kvcli::runCommandLine(args, {}, {".", ","}, out, err);
        return {status, out.str(), err.str()};
    }

    static kv::ModelInfo model(const std::string& name) {
        return kv::findModelByName(bound_.api, name).value_or(kv::ModelInfo{});
    }
};

// The table gives the core's cells for the default range and for a range of its own.
TEST_F(Verbs, TableGivesTheCoresCells) {
    const kv::ModelInfo m = model("ENV-1");
    const kv::ConditionValues at{5, 50, 0, 10, 10}; // the default condition
    const struct {
        std::vector<std::string> range;
        kv::TableRange expected;
    } cases[] = {
        {{}, {-5, 15, 5, 40, 60, 5}},
        {{"--te-from", "-40", "--te-to", "20", "--te-step", "10", "--tc-from=10", "--tc-to", "70",
          "--tc-step", "12,5"},
         {-40, 20, 10, 10, 70, 12.5}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"table", "--model", "ENV-1", "--format", "csv"};
        args.insert(args.end(), c.range.begin(), c.range.end());
        const Outcome o = cli(args);
        ASSERT_EQ(o.status, 0) << o.err;
        const kv::PerfTable t =
            kv::computeTable(bound_.api, m.number, at, kv::UnitSystem::SI, c.expected);
        EXPECT_EQ(o.out, kv::tableCsv(t));
    }

    // JSON: numbers as numbers, refused cells null with their reason.
    const Outcome o = cli({"table", "--model", "ENV-1", "--format", "json", "--te-to", "20"});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto doc = nlohmann::json::parse(o.out);
    EXPECT_EQ(doc["model"], "ENV-1");
    EXPECT_EQ(doc["pointRow"], 2);
    EXPECT_EQ(doc["cells"].size(), 30U);    // Te -5 to 20, Tc 40 to 60
    const auto& refused = doc["cells"][25]; // Te 20 °C, Tc 40 °C: above TeHig
    EXPECT_EQ(refused["code"], -3);
    EXPECT_TRUE(refused["capacity"].is_null());
    EXPECT_EQ(refused["reason"], "evaporating temperature above the envelope");
    EXPECT_DOUBLE_EQ(doc["cells"][12]["capacity"].get<double>(), 1000.0);

    // Text: warning cells are marked, refused ones shown as "-", with the reasons below.
    const Outcome text = cli({"table", "--model", "ENV-1", "--te-to", "20"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("1000*"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("code -3: evaporating temperature above the envelope"),
              std::string::npos);
}

// The envelope's polygons as CSV records, point for point as the core computes them, and
// the same diagram as SVG.
TEST_F(Verbs, EnvelopeAsCsvAndSvg) {
    const Outcome o = cli({"envelope", "--model", "ENV-1"});
    ASSERT_EQ(o.status, 0) << o.err;
    const kv::ModelInfo m = model("ENV-1");
    const kv::ConditionValues at{5, 50, 0, 10, 10};
    const kv::Envelope env =
        kv::computeEnvelope(bound_.api, m.number, at, kv::envelopeWindow(bound_.api, m.number, at));
    ASSERT_GT(env.polygons.size(), 4U);
    std::istringstream in(o.out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "region,code,te,tc\r");
    for (const kv::EnvelopePolygon& p : env.polygons)
        for (const kv::EnvelopePoint& e : p.points) {
            ASSERT_TRUE(std::getline(in, line)) << "region " << p.region;
            int region = 0, code = 0;
            double te = 0, tc = 0;
            char comma = 0;
            std::istringstream(line) >> region >> comma >> code >> comma >> te >> comma >> tc;
            EXPECT_EQ(region, p.region);
            EXPECT_EQ(code, p.code) << "region " << p.region;
            EXPECT_NEAR(te, e.te, 1e-3);
            EXPECT_NEAR(tc, e.tc, 1e-3);
        }
    EXPECT_FALSE(std::getline(in, line)) << line;

    // A point far outside every envelope (a typing error) keeps the diagram's window.
    const Outcome far = cli({"envelope", "--model", "ENV-1", "--te", "1e9"});
    ASSERT_EQ(far.status, 0) << far.err;
    EXPECT_EQ(far.out.find("e+"), std::string::npos);
    EXPECT_EQ(far.out.find("1000000000"), std::string::npos);

    const Outcome svg =
        cli({"envelope", "--model=ENV-1", "--format", "svg", "--units", "imperial"});
    ASSERT_EQ(svg.status, 0) << svg.err;
    EXPECT_EQ(svg.out.rfind("<?xml", 0), 0U);
    for (const char* text :
         {"<svg", "Within the envelope", "Operating point", "Te 41.0 °F, Tc 122.0 °F",
          "Evaporating temperature Te (°F)", "</svg>"})
        EXPECT_NE(svg.out.find(text), std::string::npos) << text;
}

// Bad input: a clear message and status 2, nothing on standard output.
TEST_F(Verbs, UsageErrors) {
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"table", "--model", "NOPE"}, "no model named \"NOPE\""},
        {{"envelope"}, "needs --model NAME"},
        {{"table", "--model", "ENV-1", "--te-step", "0"}, "above zero"},
        {{"table", "--model", "ENV-1", "--te-to", "warm"}, "invalid number \"warm\" for --te-to"},
        {{"envelope", "--model", "ENV-1", "--format", "json"}, "accepted: \"csv\", \"svg\""},
        {{"table", "--model", "ENV-1", "--format", "svg"}, "accepted: \"table\", \"csv\""},
        {{"table", "--model", "ENV-1", "--target", "5"}, "--target belongs to rate"},
        {{"envelope", "--model", "ENV-1", "extra"}, "unexpected argument \"extra\""},
        {{"envelope", "--model"}, "--model needs a value"},
    };
    for (const auto& c : cases) {
        const Outcome o = cli(c.args);
        EXPECT_EQ(o.status, kvcli::kExitUsage) << c.message;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_TRUE(o.out.empty()) << o.out;
    }
}

// rate without a result row says how many models matched and why each was left out; a
// model refused everywhere is named by envelope.
TEST_F(Verbs, WhyNothingFits) {
    Outcome o = cli({"rate", "--te", "20"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("Results : 0"), std::string::npos);
    EXPECT_NE(o.err.find("2 models match the selection"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("2 left out (code -3): evaporating temperature above the envelope"),
              std::string::npos)
        << o.err;

    o = cli({"rate", "--te", "12"});
    EXPECT_NE(o.err.find("1 left out (code 3): evaporating temperature above the "
                         "continuous-duty range"),
              std::string::npos)
        << o.err;
    o = cli({"rate", "--frequency", "60", "--filter", "ENV"});
    EXPECT_NE(o.err.find("1 left out: power supply not for 60 Hz"), std::string::npos) << o.err;

    o = cli({"rate"}); // ENV-1 is shown: no summary
    EXPECT_EQ(o.err.find("left out"), std::string::npos) << o.err;

    o = cli({"envelope", "--model", "NOENV-1"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.err.find("refuses every point of NOENV-1"), std::string::npos) << o.err;
}

} // namespace

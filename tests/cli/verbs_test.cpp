// vantrix-cli's envelope and table verbs and the left-out summary of rate, run in-process
// on a small catalogue: the same numbers as the front-end core, and clear usage errors.
#include "bound_catalogue.h"
#include "in_process.h"
#include "kv/diagram.h"
#include "kv/displaytext.h"
#include "kv/envelope.h"
#include "kv/perftable.h"
#include "kvcli/cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace {

using kv::TestModel;

std::vector<TestModel> verbModels() {
    TestModel env, none, eightBit, us, huge;
    env.showName = "ENV-1";
    env.overrides = {{"TeLow", "-30"}, {"TeHig", "15"}, {"TcLow", "20"}, {"TcHig", "65"},
                     {"TeMin", "-25"}, {"TeMax", "10"}, {"TcMin", "25"}, {"TcMax", "60"}};
    none.showName = "NOENV-1"; // no upper Te limit: every point is refused with -3
    none.overrides = {{"TeHig", "-"}};
    eightBit.showName = "K\xC4-1"; // Latin-1 "KÄ-1"
    eightBit.overrides = env.overrides;
    us = kv::namedModel("US-1", 1000, "1"); // a 60 Hz supply
    // Limits near 1e14 °C, where neighbouring doubles are 1/64 K apart.
    huge.showName = "HUGE-1";
    huge.overrides = {{"TeLow", "99999999999995"},   {"TeHig", "100000000000005"},
                      {"TcLow", "100000000000025"},  {"TcHig", "100000000000035"},
                      {"TeMin", "99999999999997"},   {"TeMax", "100000000000003"},
                      {"TcMin", "100000000000027"},  {"TcMax", "100000000000033"},
                      {"RgtMax", "200000000000000"}, {"F0e", "0"},
                      {"F1e", "200000000000000"},    {"H0e", "0"},
                      {"H1e", "200000000000000"},    {"F0c", "300000000000000"},
                      {"F1c", "300000000000000"},    {"H0c", "300000000000000"},
                      {"H1c", "300000000000000"}};
    return {env, none, eightBit, us, huge};
}

using kvtest::Outcome;

class Verbs : public kvtest::InProcessCli<verbModels> {
protected:
    static kv::ModelInfo model(const std::string& name) {
        return kv::findModelByName(bound_.api, name).value_or(kv::ModelInfo{});
    }
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The table gives the core's cells for the default range and for a range of its own.
TEST_F(Verbs, TableGivesTheCoresCells) {
    const kv::ModelInfo m = model("ENV-1");
    const kv::ConditionValues at{5, 50, 0, 10, 10}; // the default condition
    const struct {
        std::vector<std::string> range;
        kv::TableRange expected;
    } cases[] = {
        {{}, {-5, 15, 5, 40, 60, 5}},
        {{"--te", "7"}, {0, 15, 5, 40, 60, 5}}, // the point's own row between 5 and 10
        {{"--te-from", "-40", "--te-to", "20", "--te-step", "10", "--tc-from=10", "--tc-to", "70",
          "--tc-step", "12,5"},
         {-40, 20, 10, 10, 70, 12.5}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"table", "--model", "ENV-1", "--format", "csv"};
        args.insert(args.end(), c.range.begin(), c.range.end());
        const Outcome o = cli(args);
        ASSERT_EQ(o.status, 0) << o.err;
        kv::ConditionValues point = at;
        if (c.range.size() == 2)
            point.te = 7;
        const kv::PerfTable t =
            kv::computeTable(bound_.api, m.number, point, kv::UnitSystem::SI, c.expected);
        EXPECT_EQ(o.out, kv::tableCsv(t));
    }

    // JSON: numbers as numbers, refused cells null with their reason.
    const Outcome o = cli({"table", "--model", "ENV-1", "--format", "json", "--te-to", "20"});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto doc = nlohmann::json::parse(o.out);
    EXPECT_EQ(doc["model"], "ENV-1");
    EXPECT_EQ(doc["pointRow"], 2);
    EXPECT_EQ(doc["voltage"], "400/3/50");
    EXPECT_EQ(doc["conditions"]["sh2"], 10.0);
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
    EXPECT_EQ(text.out.rfind("ENV-1 (R134a, 400/3/50) at Te 5 °C, Tc 50 °C, Sc 0 K, Sh1 10 K, "
                             "Sh2 10 K\n",
                             0),
              0U)
        << text.out;
    EXPECT_NE(text.out.find("code -3: evaporating temperature above the envelope"),
              std::string::npos);
}

// The envelope's polygons as CSV records, point for point as the core computes them, and
// the same diagram as SVG.
TEST_F(Verbs, EnvelopeAsCsvAndSvg) {
    const Outcome o = cli({"envelope", "--model", "ENV-1", "--format", "csv"});
    ASSERT_EQ(o.status, 0) << o.err;
    const kv::ModelInfo m = model("ENV-1");
    const kv::ConditionValues at{5, 50, 0, 10, 10};
    const kv::Envelope env =
        kv::computeEnvelope(bound_.api, m.number, at, kv::envelopeWindow(bound_.api, m.number, at));
    ASSERT_GT(env.polygons.size(), 4U);
    std::istringstream in(o.out);
    std::string line;
    for (const char* expected :
         {"Model,Refrigerant,Voltage,Te (°C),Tc (°C),Sc (K),Sh1 (K),Sh2 (K)\r",
          "ENV-1,R134a,400/3/50,5,50,0,10,10\r", "\r", "region,code,te,tc\r"}) {
        std::getline(in, line);
        EXPECT_EQ(line, expected);
    }
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
    const Outcome far = cli({"envelope", "--model", "ENV-1", "--te", "1e9", "--format=csv"});
    ASSERT_EQ(far.status, 0) << far.err;
    const std::string polygons = far.out.substr(far.out.find("region,"));
    EXPECT_EQ(polygons.find("e+"), std::string::npos);
    EXPECT_EQ(polygons.find("1000000000"), std::string::npos);

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
        {{"envelope", "--model", "ENV-1", "--format", "pdf"},
         "accepted: \"table\", \"csv\", \"json\", \"svg\""},
        {{"table", "--model", "ENV-1", "--format", "svg"},
         "svg is the diagram of envelope; table accepts: \"table\", \"csv\", \"json\""},
        {{"rate", "--format", "svg"}, "rate accepts: \"table\", \"csv\", \"json\""},
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

// rate without a result row says how many models of the selection (the chosen frequency's)
// matched and why each was left out; a model refused everywhere is named by envelope with
// the engine's reasons.
TEST_F(Verbs, WhyNothingFits) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> said, notSaid;
    } cases[] = {
        {{"rate", "--te", "20"},
         {"4 models match the selection",
          "3 left out (code -3): evaporating temperature above the envelope",
          "1 other model has a power supply not for 50 Hz"},
         {"5 models"}},
        {{"rate", "--te", "12"},
         {"2 left out (code 3): evaporating temperature above the continuous-duty range"},
         {}},
        {{"rate", "--frequency", "60", "--filter", "ENV"},
         {"No model matches the selection", "2 other models have a power supply not for 60 Hz"},
         {}},
        {{"rate"}, {}, {"left out"}}, // ENV-1 is shown: no summary
        {{"envelope", "--model", "NOENV-1"},
         {"refuses every point of NOENV-1: evaporating temperature above the envelope "
          "(code -3)"},
         {"missing"}},
        {{"envelope", "--model", "ENV-1", "--sh1", "45", "--sh2", "45"},
         {"refuses every point of ENV-1: superheat above the limit (code -6)"},
         {"missing"}},
    };
    for (const auto& c : cases) {
        const Outcome o = cli(c.args);
        EXPECT_EQ(o.status, 0) << o.err;
        for (const std::string& text : c.said)
            EXPECT_TRUE(contains(o.err, text)) << text << "\n" << o.err;
        for (const std::string& text : c.notSaid)
            EXPECT_FALSE(contains(o.err, text)) << text << "\n" << o.err;
    }
}

// Every verb in every format: output that ends, is valid UTF-8 without stray bytes, shows
// the catalogue's 8-bit name as UTF-8 and takes that name back, and carries the model and
// the five conditions; JSON parses.
TEST_F(Verbs, EveryFormatOfEveryVerb) {
    const std::string utf8Name = "K\xC3\x84-1";
    const struct {
        std::vector<std::string> args;
        std::string format;
        std::vector<std::string> shows;
    } cases[] = {
        {{"table", "--model", utf8Name}, "table", {utf8Name + " (R134a", "Sh2 10 K"}},
        {{"table", "--model", utf8Name}, "csv", {utf8Name + ",R134a,400/3/50,5,50,0,10,10\r\n"}},
        {{"table", "--model", utf8Name}, "json", {}},
        {{"envelope", "--model", utf8Name}, "table", {utf8Name + " (R134a", "code 0: within"}},
        {{"envelope", "--model", utf8Name}, "csv", {utf8Name + ",R134a,400/3/50,5,50,0,10,10\r\n"}},
        {{"envelope", "--model", utf8Name}, "json", {}},
        {{"envelope", "--model", utf8Name}, "svg", {"</svg>"}},
        {{"rate", "--filter", "K"}, "json", {}},
        // Numbers of any size: no buffer's bytes, an exponent where digits would be noise.
        {{"table", "--model", "ENV-1", "--te", "-1e70"}, "table", {"Te -1E+70 °C"}},
        {{"table", "--model", "ENV-1", "--te", "-1e70"}, "csv", {",-1E+70,50,"}},
        // A model whose limits are near 1e14 °C: the searches end.
        {{"envelope", "--model", "HUGE-1", "--te", "1e14", "--tc", "100000000000030"},
         "csv",
         {"HUGE-1"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--format", c.format});
        const Outcome o = cli(args);
        const std::string what = c.args[0] + " " + c.format;
        ASSERT_EQ(o.status, 0) << what << "\n" << o.err;
        EXPECT_TRUE(kv::isValidUtf8(o.out)) << what;
        EXPECT_EQ(o.out.find('\0'), std::string::npos) << what;
        for (const std::string& text : c.shows)
            EXPECT_TRUE(contains(o.out, text)) << what << ": " << text << "\n"
                                               << o.out.substr(0, 400);
        if (c.format != "json")
            continue;
        const auto doc = nlohmann::json::parse(o.out);
        if (c.args[0] == "rate") {
            EXPECT_EQ(doc["rows"][0]["model"], utf8Name);
            continue;
        }
        EXPECT_EQ(doc["model"], utf8Name);
        EXPECT_EQ(doc["conditions"]["sh1"], 10.0);
        if (c.args[0] == "envelope") {
            EXPECT_GT(doc["regions"].size(), 4U);
        }
    }
}

// "VERB --help" shows that verb's help; "--help" alone the general one.
TEST_F(Verbs, EachVerbHasItsHelp) {
    for (const char* verb : {"rate", "list", "envelope", "table"}) {
        const Outcome o = cli({verb, "--help"});
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.out.rfind("Usage: vantrix-cli [--program-dir DIR] " + std::string(verb), 0), 0U)
            << o.out;
        EXPECT_FALSE(contains(o.out, "Commands:")) << verb;
    }
    EXPECT_TRUE(contains(cli({"table", "--help"}).out, "--te-step"));
    EXPECT_FALSE(contains(cli({"envelope", "--help"}).out, "--te-step"));
    EXPECT_TRUE(contains(cli({"--help"}).out, "Commands:"));
}

} // namespace

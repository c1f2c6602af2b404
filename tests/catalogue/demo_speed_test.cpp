// The demo catalogue's inverter models as the engine reads them: every speed set accepted,
// figures against speed with the trends of real inverter compressors, and envelopes that
// narrow at low and high speed.
#include "catalogue_text.h"
#include "engine_handle.h"
#include "kvcat/inverter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <kpx_calc.h>

namespace {

using namespace kvcat;

struct InverterRow {
    int32_t number = 0; // the engine's model number
    std::string name, refrigerant, prefix;
};

class DemoInverters : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string speeds = readFile(sourceData("kpxspeed.bin"));
        engine_ = new Engine(readFile(sourceData("kpxcodes.bin")),
                             readFile(sourceData("kpxcalc.bin")), speeds);
        const std::vector<Row> rows = parseModels(readFile(sourceData("kpxcalc.bin")));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string& name = rows[i].at("Name");
            if (speeds.find("\n" + name + "\t") != std::string::npos)
                inverters_.push_back({static_cast<int32_t>(i + 1), name, rows[i].at("Refrigerant"),
                                      name.substr(0, 3)});
        }
    }
    static void TearDownTestSuite() {
        delete engine_;
        engine_ = nullptr;
    }
    static const kv::EngineApi& api() { return engine_->api(); }
    // The series' typical point: air conditioning 5/50 degC, heat pumps -7/50 degC.
    static std::pair<double, double> typicalPoint(const InverterRow& m) {
        return m.prefix == "KIH" ? std::make_pair(-7.0, 50.0) : std::make_pair(5.0, 50.0);
    }

    static Engine* engine_;
    static std::vector<InverterRow> inverters_;
};

Engine* DemoInverters::engine_ = nullptr;
std::vector<InverterRow> DemoInverters::inverters_;

struct AtSpeed {
    int32_t code = 0;
    double capacity = 0, power = 0, current = 0, massFlow = 0, cop = 0;
};

AtSpeed rateAt(const kv::EngineApi& api, int32_t model, double speed, double te, double tc) {
    AtSpeed r;
    r.code = api.KPX_RatingAtSpeed(model, "", "", 0, speed, te, tc, 0, 10, 10, &r.capacity,
                                   &r.power, &r.current, &r.massFlow, &r.cop);
    return r;
}

// Both series on R32, R454B and R290, three sizes each, every one with its five sets
// accepted; the builder's sets follow the physics within 1 %.
TEST_F(DemoInverters, EveryInverterModelLoadsItsFiveSets) {
    ASSERT_TRUE(api().hasSpeeds());
    ASSERT_EQ(inverters_.size(), 18u);
    for (const std::string refrigerant : {"R32", "R454B", "R290"})
        for (const std::string prefix : {"KIA", "KIH"})
            EXPECT_EQ(std::count_if(inverters_.begin(), inverters_.end(),
                                    [&](const InverterRow& m) {
                                        return m.refrigerant == refrigerant && m.prefix == prefix;
                                    }),
                      3)
                << prefix << " " << refrigerant;
    for (const InverterRow& m : inverters_) {
        SCOPED_TRACE(m.name);
        KPX_SpeedInfo info{};
        char* text = nullptr;
        ASSERT_EQ(api().KPX_SpeedData(m.number, "", "", 0, &info, &text), KPX_CLEAN);
        EXPECT_EQ(info.nominalSpeed, 60);
        EXPECT_EQ(info.minSpeed, 20);
        EXPECT_EQ(info.maxSpeed, 110);
        EXPECT_EQ(std::vector<double>(info.speeds, info.speeds + info.setCount),
                  (std::vector<double>{20, 30, 60, 90, 110}));
        // The model table's line is the nominal set: KPX_Rating gives the rating at 60 rev/s.
        const auto [te, tc] = typicalPoint(m);
        const Rating nominal = engine_->rate(m.number, te, tc, 0, 10, 10);
        EXPECT_EQ(nominal.capacity, rateAt(api(), m.number, 60, te, tc).capacity);
        EXPECT_EQ(engine_->number(m.number, "Speed"), 3600);
    }
    const asere::FluidLibrary fluids(sourceData("fluids"));
    const std::vector<InverterSeries> series = loadInverters(KV_CATALOGUE_RANGE_FILE);
    FitErrors worst;
    for (const InverterModel& m : buildInverters(series, fluids))
        for (const Model& set : m.sets) {
            worst.capacity = std::max(worst.capacity, set.errors.capacity);
            worst.power = std::max(worst.power, set.errors.power);
            worst.current = std::max(worst.current, set.errors.current);
            worst.massFlow = std::max(worst.massFlow, set.errors.massFlow);
        }
    EXPECT_LT(worst.capacity, 0.01);
    EXPECT_LT(worst.power, 0.01);
    EXPECT_LT(worst.current, 0.01);
    EXPECT_LT(worst.massFlow, 0.01);
    std::printf("largest fit error of the inverter sets: capacity %.3f %%, power %.3f %%, current "
                "%.3f %%, mass flow %.3f %%\n",
                100 * worst.capacity, 100 * worst.power, 100 * worst.current, 100 * worst.massFlow);
}

// At the series' typical point, every 10 rev/s from 20 to 110: capacity rising with a
// max/min ratio of 4 to 6 and a few per cent less per rev/s at the lowest speed (leakage);
// volumetric efficiency no higher at the top than below it; COP highest at 50 to 80 rev/s
// and 5 to 12 % lower at maximum speed.
TEST_F(DemoInverters, FiguresAgainstSpeedFollowRealInverterCompressors) {
    for (const InverterRow& m : inverters_) {
        SCOPED_TRACE(m.name);
        const auto [te, tc] = typicalPoint(m);
        std::vector<AtSpeed> r;
        for (double n = 20; n <= 110; n += 10) {
            r.push_back(rateAt(api(), m.number, n, te, tc));
            ASSERT_EQ(r.back().code, KPX_CLEAN) << n << " rev/s";
        }
        for (std::size_t i = 1; i < r.size(); ++i)
            EXPECT_GT(r[i].capacity, r[i - 1].capacity) << 20 + 10 * i << " rev/s";
        const double ratio = r.back().capacity / r.front().capacity;
        EXPECT_GE(ratio, 4);
        EXPECT_LE(ratio, 6);
        const double perRevLow = r[0].capacity / 20, perRevNominal = r[4].capacity / 60;
        EXPECT_GT(1 - perRevLow / perRevNominal, 0.01);
        EXPECT_LT(1 - perRevLow / perRevNominal, 0.12);
        EXPECT_LE(r.back().massFlow / 110, r[7].massFlow / 90 * 1.001);
        const auto best = std::max_element(
            r.begin(), r.end(), [](const AtSpeed& a, const AtSpeed& b) { return a.cop < b.cop; });
        const double bestSpeed = 20 + 10 * static_cast<double>(best - r.begin());
        EXPECT_GE(bestSpeed, 50);
        EXPECT_LE(bestSpeed, 80);
        const double drop = 1 - r.back().cop / best->cop;
        EXPECT_GE(drop, 0.05);
        EXPECT_LE(drop, 0.12);
        if (m.name.find("040") != std::string::npos || m.name.find("030") != std::string::npos)
            std::printf("%s %s %g/%g: Q kW %.2f %.2f %.2f %.2f %.2f, COP %.2f %.2f %.2f %.2f "
                        "%.2f (20/30/60/90/110 rev/s), best COP at %g rev/s, -%.1f %% at 110\n",
                        m.name.c_str(), m.refrigerant.c_str(), te, tc, r[0].capacity / 1000,
                        r[1].capacity / 1000, r[4].capacity / 1000, r[7].capacity / 1000,
                        r.back().capacity / 1000, r[0].cop, r[1].cop, r[4].cop, r[7].cop,
                        r.back().cop, bestSpeed, 100 * drop);
    }
}

// The envelope narrows at the ends of the speed range: near the highest condensing
// temperature only the upper speeds are allowed, near the highest evaporating temperature
// only the lower ones, and at a mild point every speed.
TEST_F(DemoInverters, EnvelopeNarrowsAtLowAndHighSpeed) {
    struct Case {
        const char* what;
        double te, tc;
        bool lowAllowed, highAllowed;
    } cases[] = {
        {"mild point", 5, 40, true, true},
        {"high condensing", 5, 62, false, true},
        {"high evaporating", 14, 40, true, false},
    };
    for (const InverterRow& m : inverters_)
        for (const Case& c : cases) {
            SCOPED_TRACE(m.name + " " + c.what);
            double low = 0, high = 0;
            ASSERT_EQ(api().KPX_SpeedRange(m.number, "", "", 0, c.te, c.tc, 0, 10, 10, &low, &high),
                      KPX_CLEAN);
            EXPECT_EQ(low == 20, c.lowAllowed) << low;
            EXPECT_EQ(high == 110, c.highAllowed) << high;
            EXPECT_LT(low, high);
            // Outside the allowed speeds the rating refuses the point.
            if (!c.lowAllowed) {
                EXPECT_NE(rateAt(api(), m.number, 20, c.te, c.tc).code, KPX_CLEAN);
            }
            if (!c.highAllowed) {
                EXPECT_NE(rateAt(api(), m.number, 110, c.te, c.tc).code, KPX_CLEAN);
            }
        }
}

// A faulty inverter description stops the builder with a message naming the series and
// what is wrong, never a model with extrapolated or unordered sets.
TEST(InverterDescription, RefusesFaultySeries) {
    const std::string good = readFile(KV_CATALOGUE_RANGE_FILE);
    const std::string speeds =
        R"("speeds": [20, 30, 60, 90, 110], "nominal": 60, "teDropHigh": 4,)";
    ASSERT_NE(good.find(speeds), std::string::npos);
    ASSERT_EQ(parseInverters(good).size(), 2u);
    struct Case {
        const char* what;
        std::string from, to, message;
    } cases[] = {
        {"speeds falling", speeds, R"("speeds": [20, 60, 30, 90, 110], "nominal": 60,)", "rising"},
        {"one speed", speeds, R"("speeds": [60], "nominal": 60,)", "two or more speeds"},
        {"speed twice", speeds, R"("speeds": [20, 60, 60, 110], "nominal": 60,)", "rising"},
        {"speed as text", speeds, R"("speeds": [20, "60", 110], "nominal": 60,)", "numbers of 5"},
        {"speed absurd", speeds, R"("speeds": [20, 60, 1e300], "nominal": 60,)", "numbers of 5"},
        {"nominal at an end", speeds, R"("speeds": [20, 30, 60, 90, 110], "nominal": 20,)",
         "nominal speed"},
        {"nominal not published", speeds, R"("speeds": [20, 30, 60, 90, 110], "nominal": 50,)",
         "nominal speed"},
        {"loss out of range", R"("suctionLoss": 0.07, "etaHigh": 0.2})",
         R"("suctionLoss": 0.9, "etaHigh": 0.2})", "plausible range"},
        {"parameter as text", R"("suctionLoss": 0.07, "etaHigh": 0.2})",
         R"("suctionLoss": 0.07, "etaHigh": "x"})", "must be a number"},
        {"unknown supply", R"("prefix": "KIA", "supply": 4)", R"("prefix": "KIA", "supply": 99)",
         "no supply 99"},
        {"prefix twice", R"("prefix": "KIH")", R"("prefix": "KIA")", "prefix used twice"},
        {"sizes falling", R"("displacements": [10, 20, 40])", R"("displacements": [40, 20, 10])",
         "rising order"},
        {"not a list", R"("inverters": [)", R"("inverters": {"x": 1}, "unused": [)",
         "must be a list"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = good;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, c.from.size(), c.to);
        try {
            parseInverters(text);
            ADD_FAILURE() << "accepted";
        } catch (const RangeError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

} // namespace

// The whole calculation run against the real engine and property library, on a small
// catalogue written by the test (see test_catalogue.h for what it needs).
#include "bound_catalogue.h"
#include "kv/calcrun.h"
#include "kv/codelists.h"
#include "kv/conditions.h"
#include "kv/datacheck.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using kv::GridRow;
using kv::namedModel;
using kv::NumberFormat;
using kv::TestModel;

std::vector<TestModel> runModels() {
    std::vector<TestModel> m{namedModel("ZB-15KCE", 1234), namedModel("zb-small", 45),
                             namedModel("AB-2", 900),      namedModel("ab-1", 12000),
                             namedModel("US-60", 1500),    namedModel("WARN-1", 1000),
                             namedModel("R404-X", 2000)};
    m[0].current = 2.345;
    m[1].dllp = "5";
    m[2].dllf = "4";
    m[2].dllp = "10";
    m[3].dllf = "6";
    m[4].dllp = "1";
    // Te 5 °C above its inner limit: rated with warning 3, so never shown.
    m[5].overrides = {{"TeMax", "0"}};
    m[6].refrigerant = "R404A";
    m[6].dllr = "2";
    return m;
}

class CalcRun : public kv::BoundCatalogue<runModels> {
protected:
    // The rows of the run tests need clean ratings of R134a and R404A at 5 / 50 °C.
    void requireRatings() {
        for (int32_t model : {1, 7}) {
            double q = 0, p = 0, a = 0, m = 0, cop = 0;
            const int32_t code =
                api().KPX_Rating(model, "", "", 0, 5, 50, 0, 10, 10, &q, &p, &a, &m, &cop);
            ASSERT_EQ(code, 0) << "model " << model
                               << ": these tests need the engine and the property library to "
                                  "rate R134a and R404A cleanly at Te 5 °C, Tc 50 °C, Sc 0 K, "
                                  "Sh1 = Sh2 = 10 K (code -10: a property call failed)";
        }
    }

    static const kv::EngineApi& api() { return bound_.api; }

    static kv::CalcRequest request() {
        kv::CalcRequest r;
        r.format = NumberFormat::english();
        r.conditions = *kv::presetTexts(kv::kDefaultCondition, kv::UnitSystem::SI, r.format);
        return r;
    }

    static std::vector<std::string> names(const kv::CalcResult& r) {
        std::vector<std::string> out;
        for (const auto& row : r.rows)
            out.push_back(row[2]);
        return out;
    }
};

TEST_F(CalcRun, CodeListsEnumerateAndFindCodesByText) {
    EXPECT_EQ(kv::selectionItems(api(), kv::CodeList::Refrigerant),
              (std::vector<std::string>{"All", "R134a", "R404A"}));
    const auto fam = kv::enumerateCodeList(api(), kv::CodeList::Family);
    ASSERT_EQ(fam.size(), 2u);
    for (const auto& e : fam)
        EXPECT_EQ(kv::findCode(api(), kv::CodeList::Family, e.text), e.code);
    EXPECT_EQ(kv::findCode(api(), kv::CodeList::Refrigerant, "All"), 0);
    EXPECT_EQ(kv::findCode(api(), kv::CodeList::Refrigerant, "r134a"), 0);
    EXPECT_EQ(kv::findCode(api(), kv::CodeList::Refrigerant, ""), 0);

    // "All" and the supplies tagged for the frequency (the "Special" one carries both).
    EXPECT_EQ(kv::voltageItems(api(), kv::Frequency::Hz50).size(), 6u);
    EXPECT_EQ(kv::voltageItems(api(), kv::Frequency::Hz60).size(), 7u);
}

// With nothing matching, only the empty row after the results is left, selected and red.
TEST_F(CalcRun, LowSuperheatWarningThresholdInBothSystems) {
    struct Case {
        kv::UnitSystem units;
        std::string sh2;
        bool warned;
    };
    for (const Case& c : std::vector<Case>{{kv::UnitSystem::SI, "5", false},
                                           {kv::UnitSystem::SI, "4,99", true},
                                           {kv::UnitSystem::SI, "4.99", true},
                                           {kv::UnitSystem::SI, "", true},
                                           {kv::UnitSystem::Imperial, "9", false},
                                           {kv::UnitSystem::Imperial, "8.9", true}}) {
        auto req = request();
        req.units = c.units;
        req.conditions.sh2 = c.sh2;
        req.modelFilter = "NO SUCH MODEL";
        req.targetCapacity = "1000";
        const auto r = runCalculation(api(), req);
        EXPECT_EQ(r.lowSuperheat, c.warned) << c.sh2;
        EXPECT_EQ(r.warning, c.warned ? kv::kLowSuperheatWarning : "") << c.sh2;
        EXPECT_EQ(r.resultCount, 0);
        EXPECT_TRUE(r.rows.empty());
        EXPECT_EQ(r.selectedRow, 1);
        EXPECT_EQ(r.redRows, std::vector<int>{1});
        EXPECT_FALSE(r.is50Hz.has_value());
    }
}

TEST_F(CalcRun, SiRowsFormattedAndOrderedByName) {
    ASSERT_NO_FATAL_FAILURE(requireRatings());
    const auto r = runCalculation(api(), request());
    EXPECT_EQ(names(r),
              (std::vector<std::string>{"AB-2", "R404-X", "ZB-15KCE", "ab-1", "zb-small"}));
    ASSERT_EQ(r.resultCount, 5);
    EXPECT_EQ(r.rows[2], (GridRow{"", "Scroll", "ZB-15KCE", "R134a", "400/3/50", "1,234", "500",
                                  "2.47", "2.34", "036"}));
    EXPECT_EQ(r.rows[0][1], "Reciprocating");
    EXPECT_EQ(r.rows[0][4], "10");
    EXPECT_EQ(r.rows[3][1], "");
    EXPECT_EQ(r.rows[3][5], "12,000");
    EXPECT_EQ(r.rows[4][5], "045");
    EXPECT_EQ(r.selectedRow, 1);
    EXPECT_EQ(r.redRows, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(r.is50Hz, std::optional<bool>(true));
    EXPECT_EQ(r.order, kv::OrderBy::ModelName);
    EXPECT_TRUE(r.warning.empty());
    EXPECT_EQ(r.header.texts[5], "Cooling capacity (W)");
}

TEST_F(CalcRun, SelectionFrequencyAndFilter) {
    ASSERT_NO_FATAL_FAILURE(requireRatings());
    struct Case {
        const char* what;
        std::function<void(kv::CalcRequest&)> set;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases{
        {"60 Hz", [](auto& q) { q.frequency = kv::Frequency::Hz60; }, {"AB-2", "US-60"}},
        {"filter upper-cased", [](auto& q) { q.modelFilter = "zb"; }, {"ZB-15KCE"}},
        {"refrigerant", [](auto& q) { q.refrigerant = "R404A"; }, {"R404-X"}},
        {"family", [](auto& q) { q.family = "Recip"; }, {"AB-2"}},
        {"voltage", [](auto& q) { q.voltage = "230V 1ph 50Hz"; }, {"zb-small"}},
        {"no voltage selected",
         [](auto& q) { q.voltage = ""; },
         {"AB-2", "R404-X", "ZB-15KCE", "ab-1", "zb-small"}},
        {"order by capacity",
         [](auto& q) { q.order = kv::OrderBy::Capacity; },
         {"zb-small", "AB-2", "ZB-15KCE", "R404-X", "ab-1"}},
    };
    for (const auto& c : cases) {
        auto req = request();
        c.set(req);
        const auto r = runCalculation(api(), req);
        EXPECT_EQ(names(r), c.expected) << c.what;
        EXPECT_EQ(r.is50Hz, std::optional<bool>(req.frequency == kv::Frequency::Hz50)) << c.what;
    }
}

TEST_F(CalcRun, ImperialRowsAndHeaders) {
    ASSERT_NO_FATAL_FAILURE(requireRatings());
    auto req = request();
    req.units = kv::UnitSystem::Imperial;
    req.conditions = *kv::presetTexts(kv::kDefaultCondition, req.units, req.format);
    req.modelFilter = "ZB-15";
    const auto r = runCalculation(api(), req);
    ASSERT_EQ(r.resultCount, 1);
    // 1234 W = 4211.6 Btu/h; COP 2.468 = EER 8.42; 0.01 kg/s = 79.37 lbs/h.
    EXPECT_EQ(r.rows[0], (GridRow{"", "Scroll", "ZB-15KCE", "R134a", "400/3/50", "4,212", "500",
                                  "8.42", "2.34", "079"}));
    EXPECT_EQ(r.header.texts[7], "EER (Btu/W.h)");
    EXPECT_NEAR(r.engineConditions.te, 5.0, 1e-9);
}

TEST_F(CalcRun, TargetCapacityOrdersByCapacityAndSelectsTheNearest) {
    ASSERT_NO_FATAL_FAILURE(requireRatings());
    auto req = request();
    req.targetCapacity = "1,000";
    auto r = runCalculation(api(), req);
    EXPECT_EQ(r.order, kv::OrderBy::Capacity);
    EXPECT_EQ(names(r),
              (std::vector<std::string>{"zb-small", "AB-2", "ZB-15KCE", "R404-X", "ab-1"}));
    EXPECT_EQ(r.selectedRow, 2);
    req.format = NumberFormat::german();
    req.targetCapacity = "1.900";
    r = runCalculation(api(), req);
    EXPECT_EQ(r.selectedRow, 4);
    EXPECT_EQ(r.rows[4][5], "12.000");
}

TEST(DataCheck, FirstLineMustHoldTheSizeDifference) {
    kv::ProgramDir dir("codes", "model table", false);
    struct Case {
        std::string firstLine;
        bool ok;
    };
    for (const Case& c : std::vector<Case>{{"6\n", true},
                                           {"6\r\n", true},
                                           {"6", true},
                                           {"6\r\ngarbage", true},
                                           {"\nwhatever", true},
                                           {"", true},
                                           {"6 \n", false},
                                           {"06\n", false},
                                           {"+6\n", false},
                                           {"-6\n", false}}) {
        dir.write("data.bin", c.firstLine);
        const auto check = kv::checkDataFiles(dir.path());
        EXPECT_EQ(check.ok, c.ok) << c.firstLine;
        if (!c.ok) {
            EXPECT_NE(check.message.find("data.bin"), std::string::npos);
        }
    }
    dir.remove("data/kpxcodes.bin");
    dir.write("data.bin", "6\n");
    auto check = kv::checkDataFiles(dir.path());
    EXPECT_FALSE(check.ok);
    EXPECT_NE(check.file.find("kpxcodes.bin"), std::string::npos);
    dir.remove("data.bin");
    check = kv::checkDataFiles(dir.path());
    EXPECT_FALSE(check.ok);
    EXPECT_NE(check.message.find("data.bin"), std::string::npos);
}

} // namespace

// Unit conversions, number texts and the tolerant field reading.
#include "kv/conditions.h"
#include "kv/units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using kv::NumberFormat;
using kv::UnitSystem;

const NumberFormat kEnglish = NumberFormat::english();
const NumberFormat kGerman = NumberFormat::german();

TEST(Conversions, TemperaturesRoundTripAndTheWarningThreshold) {
    for (const auto& [si, imperial] :
         std::vector<std::pair<double, double>>{{0, 32}, {-40, -40}, {100, 212}}) {
        EXPECT_NEAR(kv::celsiusToFahrenheit(si), imperial, 1e-12) << si;
        EXPECT_NEAR(kv::fahrenheitToCelsius(imperial), si, 1e-12) << imperial;
    }
    // 9 °F of superheat is exactly 5 K, not a hair below.
    EXPECT_FALSE(kv::fahrenheitToKelvinDifference(9) < 5.0);
}

TEST(RoundHalfEven, TiesGoToTheEvenDigit) {
    struct Case {
        double value;
        int decimals;
        double expected;
    };
    const std::vector<Case> cases{
        {0.5, 0, 0},       {1.5, 0, 2},          {2.5, 0, 2},          {-2.5, 0, -2},
        {-3.5, 0, -4},     {2.675, 2, 2.68},     {2.665, 2, 2.66},     {1.005, 2, 1.0},
        {44.996, 2, 45.0}, {7.2222222, 2, 7.22}, {1234.4999, 0, 1234}, {0.004, 2, 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(kv::roundHalfEven(c.value, c.decimals), c.expected)
            << c.value << " to " << c.decimals;
}

TEST(ParseNumber, FollowsTheRegionalFormat) {
    struct Case {
        std::string text;
        const NumberFormat* format;
        std::optional<double> expected;
    };
    const std::vector<Case> cases{
        {"12.5", &kEnglish, 12.5},         {"1,234", &kEnglish, 1234},
        {"12,000.5", &kEnglish, 12000.5},  {" -7 ", &kEnglish, -7},
        {"1.5E3", &kEnglish, 1500},        {".5", &kEnglish, 0.5},
        {"12,5", &kGerman, 12.5},          {"1.234,5", &kGerman, 1234.5},
        {"11.1", &kGerman, std::nullopt}, // a group needs three digits
        {"1,23", &kEnglish, std::nullopt}, {"", &kEnglish, std::nullopt},
        {"abc", &kEnglish, std::nullopt},  {"12a", &kEnglish, std::nullopt},
        {"-", &kEnglish, std::nullopt},    {"1e999", &kEnglish, std::nullopt},
        {"nan", &kEnglish, std::nullopt},  {"1e", &kEnglish, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kv::parseNumber(c.text, *c.format), c.expected) << c.text;
}

TEST(GetDoubleField, AcceptsPointOrCommaUnderEitherFormat) {
    for (const NumberFormat* f : {&kEnglish, &kGerman}) {
        EXPECT_DOUBLE_EQ(kv::GetDoubleField("12,5", *f), 12.5);
        EXPECT_DOUBLE_EQ(kv::GetDoubleField("12.5", *f), 12.5);
        EXPECT_DOUBLE_EQ(kv::GetDoubleField("-6,67", *f), -6.67);
        EXPECT_EQ(kv::GetDoubleField("", *f), 0);
        EXPECT_EQ(kv::GetDoubleField("abc", *f), 0);
        EXPECT_EQ(kv::GetDoubleField("1e999", *f), 0);
        EXPECT_FALSE(kv::readDoubleField("x1", *f).has_value());
    }
    // Under an English format a comma is a decimal sign here, not a group separator.
    EXPECT_DOUBLE_EQ(kv::GetDoubleField("1,234", kEnglish), 1.234);
}

TEST(NumberTexts, PlainTextAndGridFormats) {
    EXPECT_EQ(kv::numberText(kv::fahrenheitToCelsius(45), kEnglish), "7.22222222222222");
    EXPECT_EQ(kv::numberText(7.22, kGerman), "7,22");
    EXPECT_EQ(kv::numberText(-0.0, kEnglish), "0");
    EXPECT_EQ(kv::numberText(1234567, kEnglish), "1234567");
    EXPECT_EQ(kv::numberText(1e20, kEnglish), "1E+20");

    struct Case {
        double value;
        std::string grouped, fixed;
    };
    const std::vector<Case> cases{
        {45, "045", "45.00"},       {0, "000", "0.00"},
        {1234, "1,234", "1234.00"}, {1234567.4, "1,234,567", "1234567.40"},
        {-45, "-045", "-45.00"},    {2.5, "002", "2.50"},
        {3.5, "004", "3.50"},       {2.345, "002", "2.34"},
        {-0.001, "000", "0.00"},    {0.01 * 3600, "036", "36.00"}, // 0.01 kg/s as kg/h
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kv::formatGrouped000(c.value, kEnglish), c.grouped) << c.value;
        EXPECT_EQ(kv::formatFixed2(c.value, kEnglish), c.fixed) << c.value;
    }
    EXPECT_EQ(kv::formatGrouped000(12000, kGerman), "12.000");
    EXPECT_EQ(kv::formatFixed2(3.14159, kGerman), "3,14");
    EXPECT_EQ(kv::formatGrouped000(NAN, kEnglish), "");
}

TEST(UnitSwitch, ConvertsFieldsAndRoundTrips) {
    const kv::UnitSwitchFields si{{"0", "100", "5", "10", "7,22"}, "1000"};
    const auto imperial = kv::switchUnits(si, UnitSystem::Imperial, kEnglish);
    EXPECT_EQ(imperial.conditions, (kv::ConditionTexts{"32", "212", "9", "18", "13"}));
    EXPECT_EQ(imperial.capacity, "3412.96928327645");
    const auto back = kv::switchUnits(imperial, UnitSystem::SI, kEnglish);
    EXPECT_EQ(back.conditions, (kv::ConditionTexts{"0", "100", "5", "10", "7.22"}));
    EXPECT_EQ(back.capacity, "1000");

    // 7,22 °C is 45 °F (44.996 rounded to 2 decimals), and back 7.22 in the regional sign.
    const auto te = kv::switchUnits({{"7,22", "", "", "", ""}, ""}, UnitSystem::Imperial, kGerman);
    // Empty temperatures read as 0 °C, empty differences as 0 K; an empty target stays empty.
    EXPECT_EQ(te.conditions, (kv::ConditionTexts{"45", "32", "0", "0", "0"}));
    EXPECT_EQ(te.capacity, "");
    EXPECT_EQ(kv::switchUnits(te, UnitSystem::SI, kGerman).conditions.te, "7,22");

    // Text that is no number reads as 0 and is written back converted.
    const auto junk =
        kv::switchUnits({{"abc", "", "", "", ""}, "abc"}, UnitSystem::Imperial, kEnglish);
    EXPECT_EQ(junk.conditions.te, "32");
    EXPECT_EQ(junk.capacity, "0");
    EXPECT_EQ(
        kv::switchUnits({{"abc", "", "", "", ""}, ""}, UnitSystem::SI, kEnglish).conditions.te,
        "-17.78");
    EXPECT_FALSE(kv::presetTexts(kv::kUserMode, UnitSystem::Imperial, kEnglish).has_value());

    // A value whose conversion overflows keeps its text; the others are converted.
    const auto huge = kv::switchUnits({{"1e308", "0", "1.7e308", "0", "0"}, "1e308"},
                                      UnitSystem::Imperial, kEnglish);
    EXPECT_EQ(huge.conditions, (kv::ConditionTexts{"1e308", "32", "1.7e308", "0", "0"}));
    EXPECT_EQ(huge.capacity, "1e308");
}

} // namespace

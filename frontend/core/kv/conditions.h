// The standard rating conditions of cbConditions.
//
// A preset's values are SI texts written exactly as listed, with "," as the decimal
// sign. With the imperial system shown they are read back, converted and written as
// whole numbers (ties to even), which gives the imperial column below.
#pragma once

#include "kv/units.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct ConditionPreset {
    std::string_view name;
    // txtTe, txtTc, txtSc, txtSh1, txtSh2 in °C and K, as written into the fields.
    std::array<std::string_view, 5> siTexts;
    // The same in °F, whole numbers, as they stand after the imperial conversion.
    std::array<int, 5> imperial;
};

inline constexpr std::string_view kUserMode = "User Mode";

inline constexpr std::array<ConditionPreset, 6> kStandardConditions{{
    {"Asercom, AC / HBP", {"5", "50", "0", "10", "10"}, {41, 122, 0, 18, 18}},
    {"Asercom, MBP", {"-10", "45", "0", "10", "10"}, {14, 113, 0, 18, 18}},
    {"Asercom, LBP", {"-35", "40", "0", "10", "10"}, {-31, 104, 0, 18, 18}},
    {"ARI, AC / HBP", {"7,22", "54,44", "8,33", "11,11", "11,11"}, {45, 130, 15, 20, 20}},
    {"ARI, MBP", {"-6,67", "48,89", "0", "11,11", "11,11"}, {20, 120, 0, 20, 20}},
    {"ARI, LBP", {"-31,67", "40,56", "0", "11,11", "11,11"}, {-25, 105, 0, 20, 20}},
}};

// The condition that start-up and Reset select first.
inline constexpr std::string_view kDefaultCondition = "Asercom, AC / HBP";

// The seven items of cbConditions in list order: the six presets, then "User Mode".
std::vector<std::string> conditionItems();

// The preset of that name; none for "User Mode" or an unknown text.
const ConditionPreset* findPreset(std::string_view name);

// The field texts choosing `name` writes for the unit system shown: the SI texts as
// listed, or in imperial those texts read with GetDoubleField, converted (temperatures
// and differences) and written as whole numbers, ties to even. No value for "User Mode"
// or an unknown text: the fields are not changed.
std::optional<ConditionTexts> presetTexts(std::string_view name, UnitSystem shown,
                                          const NumberFormat& format);

} // namespace kv

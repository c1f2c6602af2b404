// The user's stored choices: fourteen text values in the per-user settings store, written
// when the window closes and read back at start-up.
//
// The store is QSettings in the native format and user scope, with organisation and
// application both the executable's base name, group "Settings", every value a string.
// Numbers are kept in SI units in the user's regional format, so the stored values do not
// depend on the unit system shown.
#pragma once

#include "units.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QSettings;

namespace kvw {

// The group of the store that holds the choices.
inline constexpr const char* kSettingsGroup = "Settings";

// The fourteen keys, in the order they are written.
inline constexpr std::array<const char*, 14> kSettingsKeys{
    "Refrigerant", "Family",     "Voltage",        "Te",          "Tc",   "Sc",    "Sh1",
    "Sh2",         "Conditions", "TargetCapacity", "ModelFilter", "Freq", "Order", "Unit"};

// The texts of the fourteen keys. Default-constructed it holds what a missing key reads as.
struct StoredChoices {
    std::string refrigerant = "All";
    std::string family = "All";
    std::string voltage = "All";
    std::string te, tc, sc, sh1, sh2; // SI number texts
    std::string conditions;
    std::string targetCapacity; // W, or the field's text unchanged in SI
    std::string modelFilter;
    std::string freq = "1";  // "1": 50 Hz
    std::string order = "1"; // "1": order by model name
    std::string unit = "1";  // "1": °C - W

    bool operator==(const StoredChoices&) const = default;
};

// What the controls hold when the window closes, in the units shown.
struct ControlState {
    std::string refrigerant; // selected item of cbRefrig, empty when none
    std::string family;      // cbFamily
    std::string voltage;     // cbVoltage
    kv::ConditionTexts conditions;
    std::string conditionsItem; // selected item of cbConditions
    std::string targetCapacity; // txtCapacity
    std::string modelFilter;    // txtModelFilter
    bool freq50 = true;         // "50 Hz" selected
    bool orderByName = true;    // "Model name" selected
    kv::UnitSystem units = kv::UnitSystem::SI;
};

// The values the save writes: conditions read with GetDoubleField (a text that is no
// number gives 0) and converted to SI, the target capacity by its own rule (empty stays
// empty; the text unchanged in SI; GetDoubleField × 0.293 in imperial), "1"/"0" flags.
StoredChoices storedFromControls(const ControlState& state, const kv::NumberFormat& format);

// The settings store of this program, named after the executable.
std::unique_ptr<QSettings> openSettingsStore();

// Writes the fourteen keys to group "Settings", in the order of kSettingsKeys, as texts.
// Other groups and other keys of the store are left as they are.
void writeStoredChoices(QSettings& store, const StoredChoices& choices);

// Reads the fourteen keys of group "Settings". A missing key, or one whose value is no
// text (a hand-edited or foreign value), reads as its default.
StoredChoices readStoredChoices(QSettings& store);

// "Freq", "Order" and "Unit": only the exact text "1" selects the first option.
bool selectsFirstOption(std::string_view flag);

// A stored condition value as the field shows it before any unit switch: the number,
// read in the regional format, rounded to 2 decimals (ties to even) and written as plain
// decimal text. Nothing when the text is no number in that format. A text holding the
// format's thousands separator is refused too: the store never writes one, so it means
// the regional format changed since the value was written (a "7,225" kept under a
// German format is no 7225 under an English one).
std::optional<std::string> restoredConditionText(std::string_view stored,
                                                 const kv::NumberFormat& format);

} // namespace kvw

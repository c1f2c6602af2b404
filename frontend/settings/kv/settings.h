// The user's stored choices: fourteen text values in the per-user settings store, written
// when the window closes and read back at start-up.
//
// The store is the file of QSettings' native format and user scope, with organisation
// and application both the executable's base name, group "Settings", every value a
// string; settingsfile.h reads and writes it. Numbers are kept in SI units in the user's
// regional format, so the stored values do not depend on the unit system shown.
#pragma once

#include "kv/settingsfile.h"
#include "kv/units.h"

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// What the controls hold when the window closes, in the units shown.
struct ControlState {
    std::string refrigerant; // selected item of cbRefrig, empty when none
    std::string family;      // cbFamily
    std::string voltage;     // cbVoltage
    ConditionTexts conditions;
    std::string conditionsItem; // selected item of cbConditions
    std::string targetCapacity; // txtCapacity
    std::string modelFilter;    // txtModelFilter
    bool freq50 = true;         // "50 Hz" selected
    bool orderByName = true;    // "Model name" selected
    UnitSystem units = UnitSystem::SI;
};

// The values the save writes: conditions read with GetDoubleField (a text that is no
// number gives 0) and converted to SI, the target capacity by its own rule (empty stays
// empty; the text unchanged in SI; GetDoubleField × 0.293 in imperial), "1"/"0" flags.
StoredChoices storedFromControls(const ControlState& state, const NumberFormat& format);

// The store's file, where QSettings keeps the native user-scope settings of this
// program: <user configuration folder>/<name>/<name>.conf, <name> being the executable's
// base name.
std::string settingsStorePath();

// "Freq", "Order" and "Unit": only the exact text "1" selects the first option.
bool selectsFirstOption(std::string_view flag);

// A stored condition value as the field shows it before any unit switch: the number,
// read in the regional format, rounded to 2 decimals (ties to even) and written as plain
// decimal text. Nothing when the text is no number in that format. A text holding the
// format's thousands separator is refused too: the store never writes one, so it means
// the regional format changed since the value was written (a "7,225" kept under a
// German format is no 7225 under an English one).
std::optional<std::string> restoredConditionText(std::string_view stored,
                                                 const NumberFormat& format);

} // namespace kv

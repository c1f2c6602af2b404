// The engine's three code lists (refrigerants, product families, power supplies) as
// display texts, and the way back from a display text to its code number.
//
// No number is attached to a list item: the calculation run finds an item's code again
// by enumerating the list and comparing display texts. The voltage list holds only the
// power supplies whose text carries the tag of the selected frequency.
#pragma once

#include "kv/binding.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class CodeList { Refrigerant, Family, Power };

// The state of the option pair `opt_freq`: index 0 "50 Hz", index 1 "60 Hz".
enum class Frequency { Hz50 = 0, Hz60 = 1 };

inline constexpr std::string_view kAllItem = "All";

// One entry of a code list: its number (the `next` of the call that returned it) and its
// display text (the buffer up to its first zero byte).
struct CodeEntry {
    int32_t code = 0;
    std::string text;
    bool operator==(const CodeEntry&) const = default;
};

// Walks one list from index 0 until next comes back 0, with one text buffer shared
// by every call of the walk and not cleared between calls. A walk that revisits a number
// stops there, so a faulty list can't loop for ever.
std::vector<CodeEntry> enumerateCodeList(const EngineApi& api, CodeList list);

// The display texts of a list in engine order.
std::vector<std::string> codeListTexts(const EngineApi& api, CodeList list);

// The items of cbRefrig or cbFamily: "All", then the list's texts.
std::vector<std::string> selectionItems(const EngineApi& api, CodeList list);

// The code of the entry whose text equals `text` exactly (case-sensitive); the last of
// several matching entries wins; 0 when none matches (e.g. "All" or no selection), which
// matches every model. Each call gets a fresh buffer filled with "a".
int32_t findCode(const EngineApi& api, CodeList list, std::string_view text);

// "50Hz" or "60Hz" (no space, unlike the button captions).
std::string_view frequencyTag(Frequency frequency);
// The caption of the option button: "50 Hz" or "60 Hz".
std::string_view frequencyCaption(Frequency frequency);

// The power-supply texts that carry the frequency's tag (exact, case-sensitive substring),
// in their given order, after "All".
std::vector<std::string> filterVoltages(const std::vector<std::string>& powerTexts,
                                        Frequency frequency);

// The items of cbVoltage for a frequency: "All", then the engine's power supplies that
// carry the tag. The list is filled with no item selected.
std::vector<std::string> voltageItems(const EngineApi& api, Frequency frequency);

} // namespace kv

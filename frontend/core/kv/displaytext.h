// Catalogue texts as the front ends show them.
//
// The catalogue's texts are 8-bit texts in the system's code page, which the engine never
// converts: UTF-8 where the bytes are valid UTF-8, Latin-1 where they are not (a name
// with byte 0xC4 for "Ä"). Every output (the window's lists and grid, the command line's
// table, CSV and JSON) shows them through `displayText`, and keeps the engine's exact
// bytes wherever a text goes back to the engine or names a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// Whether the bytes are valid UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Valid UTF-8: the bytes unchanged; otherwise every byte read as Latin-1 and written as
// UTF-8. The result is always valid UTF-8.
std::string displayText(std::string_view bytes);

// The item of `items` (engine bytes) that `text` names: an item whose bytes or whose
// display text equals it, exactly; the last of several. Nothing when none does.
std::optional<std::string> itemNamed(const std::vector<std::string>& items, std::string_view text);

// Equal texts when ASCII letters are compared without their case.
bool sameIgnoringCase(std::string_view a, std::string_view b);

} // namespace kv

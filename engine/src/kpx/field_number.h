// Numbers read from catalogue texts.
#pragma once

#include <cstdint>
#include <string_view>

namespace kpx {

// What a field gives when it is absent, empty or "-".
inline constexpr double NoValue = -999999.0;

// The value of a model field: NoValue for an empty text or exactly "-", otherwise the
// leading decimal number of the text (white space skipped, optional sign, digits with an
// optional "." fraction and an optional exponent), 0 when no number starts the text.
// Decimal forms only; "." is the decimal point whatever the process locale says.
double FieldNumber(std::string_view text);

// The leading integer of a text as the C library's integer conversion reads it: white
// space skipped, optional sign, decimal digits; 0 when no digit follows. Values beyond
// the 32-bit range are clamped to it.
std::int32_t leadingInteger(std::string_view text);

} // namespace kpx

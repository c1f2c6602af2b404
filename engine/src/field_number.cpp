#include "kpx/field_number.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace kpx {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Overflow and underflow are rare; the C library decides them exactly, in the "C" locale.
double convertOutOfRange(const char* first, const char* last) {
#ifdef _WIN32
    static const _locale_t cLocale = _create_locale(LC_ALL, "C");
    const std::string copy(first, last);
    return _strtod_l(copy.c_str(), nullptr, cLocale);
#else
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string copy(first, last);
    return strtod_l(copy.c_str(), nullptr, cLocale);
#endif
}

} // namespace

double FieldNumber(std::string_view text) {
    if (text.empty() || text == "-")
        return NoValue;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p != end && isSpace(*p))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // Only a digit, or a point followed by a digit, starts a number.
    const bool starts = p != end && (isDigit(*p) || (*p == '.' && p + 1 != end && isDigit(p[1])));
    if (!starts)
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        value = convertOutOfRange(p, result.ptr);
    else if (result.ec != std::errc{})
        return 0.0;
    return negative ? -value : value;
}

std::int32_t leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value >= limit ? limit - 1 : value);
}

} // namespace kpx

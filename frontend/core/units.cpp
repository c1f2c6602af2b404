#include "kv/units.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

namespace kv {

std::string_view unitSystemText(UnitSystem system) {
    return system == UnitSystem::Imperial ? kUnitSystemTextImperial : kUnitSystemTextSI;
}

NumberFormat NumberFormat::fromCLocale() {
    NumberFormat f;
    const std::lconv* lc = std::localeconv();
    if (lc != nullptr && lc->decimal_point != nullptr && *lc->decimal_point != '\0')
        f.decimal = lc->decimal_point;
    if (lc != nullptr && lc->thousands_sep != nullptr && *lc->thousands_sep != '\0')
        f.group = lc->thousands_sep;
    else
        f.group = f.decimal == "," ? "." : ",";
    return f;
}

// ---- conversion rules -------------------------------------------------------------

namespace {
const double kNineFifths = 9.0 / 5.0;
const double kFiveNinths = 5.0 / 9.0;
} // namespace

double celsiusToFahrenheit(double c) {
    return (c + 40.0) * kNineFifths - 40.0;
}
double fahrenheitToCelsius(double f) {
    return (f + 40.0) * kFiveNinths - 40.0;
}
double kelvinToFahrenheitDifference(double k) {
    return k * kNineFifths;
}
double fahrenheitToKelvinDifference(double f) {
    return f * kFiveNinths;
}
double wattsToBtuh(double w) {
    return w / kWattsPerBtuh;
}
double btuhToWatts(double btuh) {
    return btuh * kWattsPerBtuh;
}
double copToEer(double cop) {
    return cop / kWattsPerBtuh;
}
double kilogramsToPounds(double kg) {
    return kg * kPoundsPerKilogram;
}

namespace {

// Parses a plain C-format number ("-12.5e3") without looking at the process locale.
std::optional<double> parsePlain(const std::string& s) {
    double v = 0;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (first != last && *first == '+')
        ++first;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || ptr != last || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// 15 significant digits of |value| and the decimal exponent of the first one.
struct Decimal15 {
    std::string digits; // exactly 15 digits
    int exponent = 0;   // value = d.dddd × 10^exponent
};

Decimal15 decimal15(double magnitude) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 14);
    std::string s(buf, res.ptr);
    Decimal15 d;
    const auto e = s.find('e');
    for (std::size_t i = 0; i < e; ++i)
        if (s[i] != '.')
            d.digits += s[i];
    d.exponent = std::atoi(s.c_str() + e + 1);
    return d;
}

} // namespace

double roundHalfEven(double value, int decimals) {
    if (!std::isfinite(value) || value == 0.0)
        return value;
    const bool negative = value < 0;
    const Decimal15 d = decimal15(std::fabs(value));
    const int kept = d.exponent + 1 + decimals; // digits before the rounding place
    if (kept >= 15)
        return value;
    if (kept < 0)
        return negative ? -0.0 : 0.0;
    std::string prefix = d.digits.substr(0, static_cast<std::size_t>(kept));
    const std::string rest = d.digits.substr(static_cast<std::size_t>(kept));
    // Compare the dropped digits with one half.
    const std::string half = "5" + std::string(rest.size() - 1, '0');
    const int cmp = rest.compare(half);
    std::int64_t n = prefix.empty() ? 0 : std::stoll(prefix);
    if (cmp > 0 || (cmp == 0 && (n % 2) != 0))
        ++n;
    std::string text = std::to_string(n) + "e" + std::to_string(-decimals);
    double r = parsePlain(text).value_or(0.0);
    return negative ? -r : r;
}

UnitLabels unitLabels(UnitSystem system) {
    if (system == UnitSystem::Imperial)
        return {"Btu/h", "°F", "°F", "°F", "°F", "°F"};
    return {"W", "°C", "°C", "K", "K", "K"};
}

// ---- number texts ----------------------------------------------------------------

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool startsWithAt(std::string_view s, std::size_t pos, const std::string& what) {
    return !what.empty() && s.substr(pos, what.size()) == what;
}

std::string replaceAll(std::string_view s, char from, char to) {
    std::string out(s);
    for (char& c : out)
        if (c == from)
            c = to;
    return out;
}

std::string withDecimal(std::string text, const NumberFormat& format) {
    const auto dot = text.find('.');
    if (dot != std::string::npos)
        text.replace(dot, 1, format.decimal);
    return text;
}

} // namespace

std::optional<double> parseNumber(std::string_view text, const NumberFormat& format) {
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    const std::string_view s = text.substr(b, e - b);
    std::size_t i = 0;
    std::string plain;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-')
            plain += '-';
        ++i;
    }
    std::size_t digitCount = 0;
    // Integer part, thousands separators between groups of three digits.
    while (i < s.size()) {
        if (isDigit(s[i])) {
            plain += s[i++];
            ++digitCount;
        } else if (digitCount > 0 && !startsWithAt(s, i, format.decimal) &&
                   startsWithAt(s, i, format.group)) {
            const std::size_t g = i + format.group.size();
            if (g + 3 > s.size() || !isDigit(s[g]) || !isDigit(s[g + 1]) || !isDigit(s[g + 2]))
                return std::nullopt;
            if (g + 3 < s.size() && isDigit(s[g + 3]))
                return std::nullopt;
            plain.append(s.substr(g, 3));
            digitCount += 3;
            i = g + 3;
        } else {
            break;
        }
    }
    if (startsWithAt(s, i, format.decimal)) {
        i += format.decimal.size();
        plain += '.';
        while (i < s.size() && isDigit(s[i])) {
            plain += s[i++];
            ++digitCount;
        }
    }
    if (digitCount == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            plain += s[i++];
        const std::size_t start = i;
        while (i < s.size() && isDigit(s[i]))
            plain += s[i++];
        if (i == start)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    return parsePlain(plain);
}

std::optional<double> readDoubleField(std::string_view text, const NumberFormat& format) {
    const double probe = parseNumber("11.1", format).value_or(0.0);
    const std::string normalised =
        probe != 0.0 ? replaceAll(text, ',', '.') : replaceAll(text, '.', ',');
    return parseNumber(normalised, format);
}

double GetDoubleField(std::string_view text, const NumberFormat& format) {
    return readDoubleField(text, format).value_or(0.0);
}

std::string numberText(double value, const NumberFormat& format) {
    if (!std::isfinite(value))
        return {};
    if (value == 0.0)
        return "0";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string s(buf, res.ptr);
    const auto e = s.find('e');
    if (e != std::string::npos)
        s[e] = 'E';
    return withDecimal(s, format);
}

namespace {

std::string fixedDigits(double magnitude, int decimals) {
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, decimals);
    return std::string(buf, res.ptr);
}

} // namespace

std::string formatGrouped000(double value, const NumberFormat& format) {
    if (!std::isfinite(value))
        return {};
    const double r = roundHalfEven(value, 0);
    std::string digits = fixedDigits(std::fabs(r), 0);
    if (digits.size() < 3)
        digits.insert(0, 3 - digits.size(), '0');
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += format.group;
        out += digits[i];
    }
    if (r < 0)
        out.insert(0, "-");
    return out;
}

std::string formatFixed2(double value, const NumberFormat& format) {
    if (!std::isfinite(value))
        return {};
    const double r = roundHalfEven(value, 2);
    std::string out = withDecimal(fixedDigits(std::fabs(r), 2), format);
    if (r < 0)
        out.insert(0, "-");
    return out;
}

// ---- conditions and the unit switch ------------------------------------------------

ConditionValues readConditions(const ConditionTexts& t, const NumberFormat& f) {
    return {GetDoubleField(t.te, f), GetDoubleField(t.tc, f), GetDoubleField(t.sc, f),
            GetDoubleField(t.sh1, f), GetDoubleField(t.sh2, f)};
}

ConditionValues toEngineUnits(const ConditionValues& v, UnitSystem shown) {
    if (shown == UnitSystem::SI)
        return v;
    return {fahrenheitToCelsius(v.te),           fahrenheitToCelsius(v.tc),
            fahrenheitToKelvinDifference(v.sc),  fahrenheitToKelvinDifference(v.sh1),
            fahrenheitToKelvinDifference(v.sh2), v.speed};
}

ConditionValues fromEngineUnits(const ConditionValues& v, UnitSystem target) {
    if (target == UnitSystem::SI)
        return v;
    return {celsiusToFahrenheit(v.te),           celsiusToFahrenheit(v.tc),
            kelvinToFahrenheitDifference(v.sc),  kelvinToFahrenheitDifference(v.sh1),
            kelvinToFahrenheitDifference(v.sh2), v.speed};
}

UnitSwitchFields switchUnits(const UnitSwitchFields& fields, UnitSystem newSystem,
                             const NumberFormat& format) {
    const ConditionValues shown = readConditions(fields.conditions, format);
    const ConditionValues v = newSystem == UnitSystem::Imperial
                                  ? fromEngineUnits(shown, UnitSystem::Imperial)
                                  : toEngineUnits(shown, UnitSystem::Imperial);
    // A value whose conversion overflows keeps its text: an empty field would be stored
    // as 0 at the next close.
    auto text = [&](double x, const std::string& before) {
        const std::string t = numberText(roundHalfEven(x, 2), format);
        return t.empty() ? before : t;
    };
    const ConditionTexts& in = fields.conditions;
    UnitSwitchFields out;
    out.conditions = {text(v.te, in.te), text(v.tc, in.tc), text(v.sc, in.sc), text(v.sh1, in.sh1),
                      text(v.sh2, in.sh2)};
    if (!fields.capacity.empty()) {
        const double c = GetDoubleField(fields.capacity, format);
        out.capacity =
            numberText(newSystem == UnitSystem::Imperial ? wattsToBtuh(c) : btuhToWatts(c), format);
        if (out.capacity.empty())
            out.capacity = fields.capacity;
    }
    return out;
}

} // namespace kv

// Unit systems, number texts and the tolerant number reading of the input fields.
//
// The engine works in SI units only (°C, K, W, kg/s). The front end converts at its
// edges: condition values before they go to the engine, results before they are shown,
// stored values when they are saved and restored. Every conversion rule and every unit
// text lives here, together with number formatting in the user's regional format, which
// the caller hands in as a `NumberFormat` (the window builds it from its toolkit's system
// locale, the command line from the C library's LC_NUMERIC).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// The state of the option pair `opt_intsyst`: index 0 SI, index 1 imperial.
enum class UnitSystem { SI = 0, Imperial = 1 };

inline constexpr std::string_view kUnitSystemTextSI = "°C - W";
inline constexpr std::string_view kUnitSystemTextImperial = "°F - Btu/h";
std::string_view unitSystemText(UnitSystem system);

// The user's regional number format: decimal sign and thousands separator as texts
// (a separator may be more than one byte, e.g. a UTF-8 no-break space).
struct NumberFormat {
    std::string decimal = ".";
    std::string group = ",";

    // "." and ",", the format of an English locale.
    static NumberFormat english() { return {".", ","}; }
    // "," and ".", the format of a German locale.
    static NumberFormat german() { return {",", "."}; }
    // The C library's current LC_NUMERIC. A locale without a thousands separator (the C
    // locale) gets "," (or "." when its decimal sign is ","), so that "#,000" still groups.
    static NumberFormat fromCLocale();

    bool operator==(const NumberFormat&) const = default;
};

// ---- conversion rules -------------------------------------------------------------

inline constexpr double kWattsPerBtuh = 0.293; // W per Btu/h, the divisor W -> Btu/h
inline constexpr double kPoundsPerKilogram = 2.20462;
inline constexpr double kSecondsPerHour = 3600.0;

// Temperatures: F = (C + 40) × 9/5 − 40 and back, with the factors computed first.
double celsiusToFahrenheit(double c);
double fahrenheitToCelsius(double f);
// Temperature differences: K × 9/5 and °F × 5/9.
double kelvinToFahrenheitDifference(double k);
double fahrenheitToKelvinDifference(double f);
// Cooling capacity: W ÷ 0.293 and Btu/h × 0.293.
double wattsToBtuh(double w);
double btuhToWatts(double btuh);
// COP (W/W) to EER (Btu/(W·h)): ÷ 0.293.
double copToEer(double cop);
// Mass flow kg -> lbs (the same time base); the hourly figure is a separate × 3600.
double kilogramsToPounds(double kg);

// Rounds to `decimals` places with ties to the even digit (Round of the grid and of the
// unit switch). A value whose decimal text at 15 significant digits ends exactly in 5 at
// the rounding place counts as a tie, so 2.675 rounds like the decimal 2.675.
double roundHalfEven(double value, int decimals);

// ---- unit texts ------------------------------------------------------------------

struct UnitLabels {
    std::string_view target; // lblUnit_Target
    std::string_view te;     // lblUnit_Te
    std::string_view tc;     // lblUnit_Tc
    std::string_view sc;     // lblUnit_Sc
    std::string_view sh1;    // lblUnit_Sh1
    std::string_view sh2;    // lblUnit_Sh2
};
// The texts SetUnitLabels writes for a unit system.
UnitLabels unitLabels(UnitSystem system);

// ---- number texts ----------------------------------------------------------------

// Converts a text with the regional format's rules: optional surrounding blanks, an
// optional sign, digits with optional thousands separators (each followed by exactly
// three digits), an optional decimal part and an optional exponent ("1,5E3"). Gives no
// value for an empty text, any other character, or a result that is not finite.
std::optional<double> parseNumber(std::string_view text, const NumberFormat& format);

// GetDoubleField: reads a condition or target field. Accepts "." or "," as the decimal
// sign: when the probe "11.1" converts to a non-zero number under `format`, every "," is
// replaced by "."; otherwise every "." by ",". A text that doesn't convert gives 0.
double GetDoubleField(std::string_view text, const NumberFormat& format);
// The same reading, but no value for a text that doesn't convert (where 0 would hide a
// typing error, as on a command line).
std::optional<double> readDoubleField(std::string_view text, const NumberFormat& format);

// Plain decimal text: regional decimal sign, no thousands separators, no trailing zeros,
// at most 15 significant digits (45 °F in °C gives 7.22222222222222). This is the text the
// unit switch writes and the settings store keeps. Very large or small magnitudes use an
// exponent ("1E+20", "1E-20").
std::string numberText(double value, const NumberFormat& format);

// The format "#,000": thousands grouped, at least three integer digits, no decimals
// (45 -> "045", 1234 -> "1,234"). The value is rounded half-to-even to a whole number
// first. A value that is not finite gives an empty text.
std::string formatGrouped000(double value, const NumberFormat& format);
// The format "#0.00": at least one integer digit and exactly two decimals, no grouping.
// The value is rounded half-to-even to 2 decimals first.
std::string formatFixed2(double value, const NumberFormat& format);

// ---- the five condition fields and the unit switch --------------------------------

// The texts of txtTe, txtTc, txtSc, txtSh1, txtSh2 as the user sees them.
struct ConditionTexts {
    std::string te;
    std::string tc;
    std::string sc;
    std::string sh1;
    std::string sh2;
    bool operator==(const ConditionTexts&) const = default;
};

// The five conditions as numbers (°C and K in SI, °F in imperial).
struct ConditionValues {
    double te = 0, tc = 0, sc = 0, sh1 = 0, sh2 = 0;
    // A variable-speed model's shaft speed (rev/s) to rate at; none: KPX_Rating's nominal.
    std::optional<double> speed = std::nullopt;
    bool operator==(const ConditionValues&) const = default;
};

// Reads the five fields with GetDoubleField.
ConditionValues readConditions(const ConditionTexts& texts, const NumberFormat& format);
// Converts displayed values to engine units (°C, K); SI values pass unchanged.
ConditionValues toEngineUnits(const ConditionValues& shown, UnitSystem shownSystem);
// Converts SI values to the given system; SI passes unchanged.
ConditionValues fromEngineUnits(const ConditionValues& si, UnitSystem target);

// The fields the unit switch rewrites.
struct UnitSwitchFields {
    ConditionTexts conditions;
    std::string capacity; // txtCapacity
    bool operator==(const UnitSwitchFields&) const = default;
};

// The unit switch toward `newSystem` (the other system was shown before): reads the
// fields with GetDoubleField, converts, writes the conditions rounded to 2 decimals (ties
// to even) and the capacity unrounded; an empty capacity stays empty, and a field whose
// value can't be converted (it overflows) keeps its text.
UnitSwitchFields switchUnits(const UnitSwitchFields& fields, UnitSystem newSystem,
                             const NumberFormat& format);

} // namespace kv

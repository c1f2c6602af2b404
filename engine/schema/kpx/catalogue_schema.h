// The catalogue's schema, shared by the engine that reads it, the builder that writes it
// and the front end that shows it: the two file names, the columns of the model table in
// the order the files carry them, the code lists, and the tables of product families and
// power supplies by which the window shows a model's technology and voltage.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace kpx {

inline constexpr const char* kCodesFileName = "kpxcodes.bin";
inline constexpr const char* kModelsFileName = "kpxcalc.bin";

// The code lists, each also the model-table column that holds a model's number in it.
struct CodeListPrefix {
    static constexpr const char* kRefrigerants = "DLLR";
    static constexpr const char* kFamilies = "DLLF";
    static constexpr const char* kPowerSupplies = "DLLP";
};

// The model table's columns in file order. Units: temperatures degC, subcooling and
// superheats K, capacity and power W, current A, mass flow kg/s, displacement cm3 per
// revolution, speed rpm.
inline constexpr std::array<std::string_view, 96> kModelColumns = {
    // Identity and selection.
    "Name", "ShowName", "Refrigerant", "Frequency", "DLLR", "DLLF", "DLLP", "Displacement", "Speed",
    // Base conditions of the capacity and mass-flow polynomials; RgtBase counts only when
    // ShBase is absent.
    "ScBase", "ShBase", "RgtBase",
    // The polynomials: capacity, power input, current, mass flow; the suffix names the term
    // (1, Te, Tc, Te², Te·Tc, Tc², Te³, Te²·Tc, Te·Tc², Tc³).
    "Q0", "Q1", "Q2", "Q3", "Q4", "Q5", "Q6", "Q7", "Q8", "Q9", //
    "P0", "P1", "P2", "P3", "P4", "P5", "P6", "P7", "P8", "P9", //
    "A0", "A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8", "A9", //
    "M0", "M1", "M2", "M3", "M4", "M5", "M6", "M7", "M8", "M9", //
    // The envelope: outer and inner limits, superheat and subcooling bounds, the K line.
    "TeLow", "TeHig", "TcLow", "TcHig", "TeMin", "TeMax", "TcMin", "TcMax", "ShMax", "RgtMax",
    "ShTol", "ScMax", "TcTol", "ShF", "ShH", "RgtH", "K1e", "K1c", "K2e", "K2c",
    // The F curve (7 breakpoints) and the H curve (5 breakpoints), Te rising.
    "F0e", "F0c", "F1e", "F1c", "F2e", "F2c", "F3e", "F3c", "F4e", "F4c", "F5e", "F5c", "F6e",
    "F6c", //
    "H0e", "H0c", "H1e", "H1c", "H2e", "H2c", "H3e", "H3c", "H4e", "H4c"};

// Position of a column in kModelColumns; kModelColumns.size() when it isn't one.
constexpr std::size_t columnIndex(std::string_view name) {
    for (std::size_t i = 0; i < kModelColumns.size(); ++i)
        if (kModelColumns[i] == name)
            return i;
    return kModelColumns.size();
}

// The numeric columns a rating reads: the base conditions, the polynomials and the
// envelope, from "ScBase" to the end.
inline constexpr std::size_t kFirstRatingColumn = columnIndex("ScBase");
inline constexpr std::size_t kRatingColumnCount = kModelColumns.size() - kFirstRatingColumn;
inline constexpr std::span<const std::string_view, kRatingColumnCount> kRatingColumns{
    kModelColumns.data() + kFirstRatingColumn, kRatingColumnCount};
// The forty polynomial coefficients, "Q0" to "M9", within the rating columns.
inline constexpr std::size_t kFirstCoefficientColumn = columnIndex("Q0");
inline constexpr std::size_t kCoefficientColumnCount = 40;
static_assert(columnIndex("M9") == kFirstCoefficientColumn + kCoefficientColumnCount - 1);

// Optional columns of the figures beyond the rating, after the model table's columns;
// catalogues without them load and rate as before, and the rating reads none of them.
// Discharge temperature (degC) and heat rejection (W), polynomials in the capacity
// polynomial's form (suffixes as "Q0".."Q9") at the base conditions, and the model's
// highest discharge temperature (degC).
inline constexpr std::array<std::string_view, 10> kDischargeColumns = {
    "Td0", "Td1", "Td2", "Td3", "Td4", "Td5", "Td6", "Td7", "Td8", "Td9"};
inline constexpr std::array<std::string_view, 10> kHeatRejectionColumns = {
    "Qr0", "Qr1", "Qr2", "Qr3", "Qr4", "Qr5", "Qr6", "Qr7", "Qr8", "Qr9"};
inline constexpr std::string_view kMaxDischargeColumn = "TdMax";

// Optional transcritical columns, after the model table's columns; catalogues without them
// load and rate as before, and neither the rating nor the figures read them. The capacity
// curve "GcQ0".."GcQ9" in Te (degC) and the gas-cooler outlet enthalpy (J/kg, 200 kJ/kg for
// saturated liquid at 0 degC), the power curve "GcP0".."GcP9" in Te and the gas-cooler
// pressure (Pa), both W with the suffixes of "Q0".."Q9" (the enthalpy or pressure in place
// of Tc); then the base superheat of the capacity curve (K), the Te range (degC), the
// pressure range (Pa), the enthalpy range of the capacity curve (J/kg), the highest
// discharge pressure (Pa) and the highest pressure ratio. A model whose capacity curve
// is published in Te and the gas-cooler pressure instead, at one gas-cooler outlet
// temperature, gives that temperature (degC) as "GcQTgc"; its curve's enthalpy range is
// then empty.
inline constexpr std::array<std::string_view, 10> kGasCoolerCapacityColumns = {
    "GcQ0", "GcQ1", "GcQ2", "GcQ3", "GcQ4", "GcQ5", "GcQ6", "GcQ7", "GcQ8", "GcQ9"};
inline constexpr std::array<std::string_view, 10> kGasCoolerPowerColumns = {
    "GcP0", "GcP1", "GcP2", "GcP3", "GcP4", "GcP5", "GcP6", "GcP7", "GcP8", "GcP9"};
inline constexpr std::array<std::string_view, 10> kGasCoolerLimitColumns = {
    "GcShBase", "GcTeLow", "GcTeHig", "GcPLow",  "GcPHig",
    "GcHLow",   "GcHHig",  "GcPdMax", "GcPrMax", "GcQTgc"};

// True when `text` is exactly the decimal text of `code` (no sign, blank or leading zero).
constexpr bool isCodeText(std::string_view text, int code) {
    if (text.empty() || text.size() > 9 || text[0] == '0')
        return false;
    int value = 0;
    for (const char ch : text) {
        if (ch < '0' || ch > '9')
            return false;
        value = value * 10 + (ch - '0');
    }
    return value == code;
}

// Product families by "DLLF" number: the technology the window shows, and the
// application classes a family serves (low, medium and high temperature; high includes
// air conditioning).
struct FamilyEntry {
    int code;
    std::string_view technology;
    std::string_view text; // the code-list text a new catalogue gives the family
    bool low, medium, high;
};
inline constexpr std::array<FamilyEntry, 5> kFamilies = {{
    {1, "Scroll", "Scroll - air conditioning", false, false, true},
    {2, "Scroll", "Scroll - medium temperature", false, true, false},
    {3, "Scroll", "Scroll - low temperature", true, false, false},
    {4, "Reciprocating", "Reciprocating - medium/high temperature", false, true, true},
    {5, "Reciprocating", "Reciprocating - low temperature", true, false, false},
}};

// Power supplies by "DLLP" number: the voltage text the window shows, the line voltage
// that currents are worked out at, phases and frequency.
struct SupplyEntry {
    int code;
    std::string_view voltage;
    double volts;
    int phases;
    int hertz;
};
inline constexpr std::array<SupplyEntry, 9> kSupplies = {{
    {1, "208-230/1/60", 220, 1, 60},
    {2, "460/3/60", 460, 3, 60},
    {3, "200-230/3/60", 215, 3, 60},
    {4, "400/3/50", 400, 3, 50},
    {5, "230/1/50", 230, 1, 50},
    {6, "230/3/50", 230, 3, 50},
    {7, "500/3/50", 500, 3, 50},
    {8, "575/3/60", 575, 3, 60},
    {9, "380/3/60", 380, 3, 60},
}};

// The table entry whose number a field's text gives, or null.
template <typename Entry, std::size_t N>
constexpr const Entry* entryFor(const std::array<Entry, N>& table, std::string_view codeText) {
    for (const Entry& e : table)
        if (isCodeText(codeText, e.code))
            return &e;
    return nullptr;
}

} // namespace kpx

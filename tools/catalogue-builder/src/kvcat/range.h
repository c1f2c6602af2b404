// The description of a compressor range: code lists, power supplies, families with
// their physics, envelopes per refrigerant and sizes. Read from a small JSON file
// (range.json beside the builder); every number in it is in the units named below.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvcat {

class RangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Technology { Scroll, Reciprocating };

struct Refrigerant {
    int code = 0;     // "DLLR" number
    std::string name; // the catalogue's "Refrigerant" text, also the fluid's name
    std::string tag;  // short tag used in model names
};

struct Supply {
    int code = 0;      // "DLLP" number
    std::string text;  // display text, carries "50Hz" or "60Hz"
    double volts = 0;  // line voltage used for the current, V
    int phases = 3;    // 1 or 3
    int hertz = 50;    // 50 or 60
    std::string motor; // motor code in the model name
};

// Base conditions of the published polynomials: subcooling and either a superheat or
// a return gas temperature.
struct BaseConditions {
    double sc = 0;             // K
    std::optional<double> sh;  // K
    std::optional<double> rgt; // degC, used when sh is absent
    double suctionTemperature(double te) const { return sh ? te + *sh : *rgt; }
    double superheat(double te) const { return sh ? *sh : *rgt - te; }
};

struct Physics {
    Technology technology = Technology::Scroll;
    // Volumetric efficiency. Reciprocating: lambda0 - clearance * (pi^(1/n) - 1).
    // Scroll: lambda0 - leakage * (pi - 1) * (refDisplacement / displacement)^0.3.
    double lambda0 = 0.95;
    double clearance = 0.04;
    double polytropic = 1.15;
    double leakage = 0.01;
    double refDisplacement = 50; // cm3
    // Isentropic efficiency: etaMax - curvature * ln(pi / piBuiltIn)^2.
    double etaMax = 0.7;
    double piBuiltIn = 3.0;
    double curvature = 0.1;
    // Friction: a constant shaft power (constant torque at constant speed), as a fraction
    // of the gas compression power at the rated point.
    double friction = 0.06;
    // Motor efficiency at rated load, from the smallest to the largest size (log scale
    // in displacement), and its fall at part load: eta * (1 - partLoad * (1 - x)^2).
    double motorEtaSmall = 0.8;
    double motorEtaLarge = 0.92;
    double motorPartLoad = 0.15;
    // Power factor at rated load, of the largest size and of the smallest (log scale in
    // displacement between them).
    double powerFactor = 0.85;
    double powerFactorSmall = 0.85;
    double dischargeMax = 135; // degC, highest discharge temperature
};

struct EnvelopeLimits {
    double teLow = 0, teHig = 0, tcLow = 0, tcHig = 0; // outer limits, degC
};

struct EnvelopeRules {
    double innerTe = 5, innerTc = 5; // K between outer and inner limits
    double shF = 10;                 // K, superheat of the F curve
    std::optional<double> shH;       // K, superheat of the H curve
    std::optional<double> rgtH;      // degC, return gas temperature of the H curve
    double shMax = 30, rgtMax = 30, shTol = 5, scMax = 15, tcTol = 3;
    double kPressureRatio = 1.8;  // the K line follows this pressure ratio
    double maxPressureRatio = 12; // the F and H curves stay at or below it
};

// The transcritical curves of a carbon dioxide family: the gas-cooler pressure range its
// power curve covers, and the high-pressure control line (outlet temperature, pressure)
// along which its capacity curve in the outlet enthalpy holds, as a plant's controller
// keeps it. Temperatures in degC, pressures in bar.
struct GasCoolerRules {
    double teLow = 0, teHig = 0;                    // Te range of both curves
    double pLow = 0, pHig = 0;                      // gas-cooler pressure range
    double pdMax = 0;                               // highest discharge pressure
    std::vector<std::pair<double, double>> control; // (outlet temperature, pressure), rising
    double ratedTe = 0, ratedTgc = 0, ratedP = 0;   // the motor's rated point
    double pressureAt(double tgc) const;            // pressure of the control line at tgc
};

struct Family {
    int code = 0; // "DLLF" number (families of one number share its text)
    std::string text;
    std::string prefix; // model name prefix
    Physics physics;
    EnvelopeRules rules;
    std::map<int, BaseConditions> base; // by supply frequency, 50 and 60
    std::vector<std::pair<std::string, EnvelopeLimits>> refrigerants; // name, limits
    std::vector<double> displacements;                                // cm3 per revolution
    double singlePhaseUpTo = 0;              // largest displacement offered on single phase, cm3
    double threePhaseFrom = 0;               // smallest displacement offered on three phase, cm3
    double typicalTe = 0, typicalTc = 0;     // the family's typical rating point, degC
    std::optional<GasCoolerRules> gasCooler; // transcritical curves beside the subcritical
};

struct Range {
    std::vector<Refrigerant> refrigerants;
    std::vector<Supply> supplies;
    std::vector<Family> families;

    const Refrigerant& refrigerant(const std::string& name) const;
    // Speed of the motor at a supply frequency: 2900 rpm at 50 Hz, 3500 rpm at 60 Hz.
    static double speed(int hertz) { return hertz == 60 ? 3500.0 : 2900.0; }
};

// Parses the description; throws RangeError naming what is wrong.
Range parseRange(const std::string& jsonText);
// The text of a range file, read once (it may be a pipe); throws RangeError.
std::string readRangeText(const std::filesystem::path& file);
Range loadRange(const std::filesystem::path& file);

// The same range with each family's sizes spread evenly (geometrically) over its
// displacement span so that `count` (the number of models a range gives) reaches at
// least `models`.
Range enlargeRange(const Range& range, int models, int (*count)(const Range&));

} // namespace kvcat

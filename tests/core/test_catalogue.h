// Small catalogues written by the tests: code lists and model tables whose models rate
// cleanly at the preset "Asercom, AC / HBP" (Te 5 °C, Tc 50 °C, Sc 0 K, Sh1 = Sh2 = 10 K),
// which are also their base conditions, so capacity and mass flow equal their constant
// coefficients exactly. Needs a property library that can rate the refrigerant there.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kv {

struct TestModel {
    std::string showName;
    std::string name; // "Name"; the ShowName when empty
    std::string refrigerant = "R134a";
    std::string dllr = "1", dllf = "1", dllp = "4";
    double capacity = 1000; // W  (Q0)
    double power = 500;     // W  (P0)
    double current = 2;     // A  (A0)
    double massFlow = 0.01; // kg/s (M0)
    // Columns to set differently, e.g. {"TeMax", "0"} for a model that rates with a warning;
    // a column of no other model is added to the table.
    std::map<std::string, std::string> overrides;
};

// A model of the test catalogue with its ShowName, capacity (W) and power supply.
TestModel namedModel(const std::string& name, double capacity = 1000,
                     const std::string& dllp = "4");

struct CodeLine {
    std::string list; // DLLR, DLLF, DLLP
    int number;
    std::string text;
};

// Refrigerants 1 R134a, 2 R404A; families 1 "Scroll ZB", 4 "Recip"; power supplies 1..9
// with texts carrying the "50Hz" / "60Hz" tags, and 10 "Special".
std::vector<CodeLine> defaultCodes();

// `count` models that all match the default selection and all rate cleanly, with names
// out of order and capacities rising, R134a and R404A alternating (benchmarks).
std::vector<TestModel> manyModels(int count);

// Two models for the figures beyond the rating: FIG-E without the optional columns (figures
// from the energy balance, no displacement) and FIG-C with a displacement and its own
// discharge temperature of 95 °C everywhere, above its maximum of 80 °C.
std::vector<TestModel> figureModels();

std::string codesFile(const std::vector<CodeLine>& lines);
std::string modelsFile(const std::vector<TestModel>& models);

// Three R744 models: CO2-A with the first public transcritical curves (7.5 to 10 MPa),
// CO2-LOW with the same curves from 6 MPa, CO2-NONE without transcritical curves.
std::vector<TestModel> carbonDioxideModels();

} // namespace kv

// The transcritical curves of a carbon dioxide compressor from the physical model: the
// capacity in Te and the gas-cooler outlet enthalpy along the family's high-pressure
// control line, the power in Te and the gas-cooler pressure, and their envelope, as the
// catalogue's optional gas-cooler columns hold them.
#pragma once

#include "kvcat/compressor.h"
#include "kvcat/poly.h"
#include "kvcat/range.h"

#include <string>

namespace kvcat {

struct GasCoolerCurves {
    Coefficients q{}, p{}; // W in (Te degC, h J/kg) and in (Te degC, p Pa)
    double shBase = 0;     // K
    double teLow = 0, teHig = 0, pLow = 0, pHig = 0, hLow = 0, hHig = 0, pdMax = 0;
    double errorQ = 0, errorP = 0; // largest relative error of the written curves
};

// The model's curves over the family's gas-cooler rules at the base superheat.
GasCoolerCurves gasCoolerCurves(const GasCoolerRules& rules, const BaseConditions& base,
                                const Thermo& thermo, const Compressor& compressor);

// The column names and texts of the curves, in the catalogue's order of its gas-cooler
// columns; empty for a model without them.
std::vector<std::string_view> gasCoolerColumnNames();
std::vector<std::string> gasCoolerFields(const GasCoolerCurves& curves);

} // namespace kvcat

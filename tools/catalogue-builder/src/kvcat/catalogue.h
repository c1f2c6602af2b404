// The catalogue: one model per family, refrigerant, size and power supply, with its
// fitted polynomials and envelope, and the text of the three files the program reads.
#pragma once

#include "kvcat/compressor.h"
#include "kvcat/envelope.h"
#include "kvcat/gas_cooler.h"
#include "kvcat/poly.h"
#include "kvcat/range.h"

#include <asere/fluid.h>
#include <optional>
#include <string>
#include <vector>

namespace kvcat {

// A model as the range offers it, before any physics: its family, refrigerant, limits,
// supply, size and name.
struct ModelEntry {
    const Family* family = nullptr;
    const Refrigerant* refrigerant = nullptr;
    const EnvelopeLimits* limits = nullptr;
    const Supply* supply = nullptr;
    double displacement = 0; // cm3 per revolution
    int sizeIndex = 0;       // position of the size in the family
    std::string name;
};

// Every model the range offers, in catalogue order (family, refrigerant, size, supply).
// Single-phase supplies only up to the family's single-phase size, three-phase from
// its three-phase size. With sequentialNames the size part of a name is the size's
// position (for ranges with many close sizes); otherwise the displacement in cm3.
std::vector<ModelEntry> modelEntries(const Range& range, bool sequentialNames = false);
int countModels(const Range& range);

struct FitErrors {
    double capacity = 0, power = 0, current = 0, massFlow = 0; // largest relative error
};

struct Model {
    ModelEntry entry;
    BaseConditions base;
    Envelope envelope;
    Coefficients q{}, p{}, a{}, m{};
    Coefficients td{};                        // discharge temperature, degC
    double dischargeMax = 0;                  // highest discharge temperature, degC
    FitErrors errors;                         // of the coefficients as written, over the fit grid
    std::optional<GasCoolerCurves> gasCooler; // transcritical curves, for such families
};

struct Catalogue {
    std::vector<Model> models;
    FitErrors worst;
};

// The point a family's motors are rated at, at base conditions `base`: its typical point,
// or the transcritical rated point of a family with gas-cooler curves, whose load is the
// higher.
CyclePoint ratedCycle(const Family& family, const BaseConditions& base, const Thermo& thermo);

// Builds every model: the physics over the fit grid at the model's base conditions, the
// four fits and the envelope. `limit` > 0 keeps only the first `limit` models.
// Throws RangeError or ThermoError.
Catalogue buildCatalogue(const Range& range, const asere::FluidLibrary& fluids, int limit = 0,
                         bool sequentialNames = false);

// The model as the engine reads it: the numbers of its rating columns, NoValue where the
// catalogue writes "-".
kpx::RatingRecord ratingRecord(const Model& model);

// The file texts.
std::string codesText(const Range& range);
std::string modelsText(const std::vector<Model>& models);
// The first line of data.bin: size of the model table minus size of the code lists.
std::string dataBinText(std::size_t modelsBytes, std::size_t codesBytes);

// A number as the catalogue writes it: coefficients with seven significant digits, other
// values (already rounded) in their shortest form. Locale-independent, "." as point.
std::string formatCoefficient(double value);
// The coefficients as the catalogue file gives them back (seven significant digits).
Coefficients asWritten(const Coefficients& c);
std::string formatValue(double value);

} // namespace kvcat

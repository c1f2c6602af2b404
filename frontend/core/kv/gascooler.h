// A model's transcritical operation as the window and the command line show it: whether it
// has gas-cooler curves and over which Te and gas-cooler pressures, its figures over
// gas-cooler pressure at one outlet temperature, and the reasons of the transcritical codes.
#pragma once

#include "kv/binding.h"

#include <optional>
#include <string>
#include <vector>

namespace kv {

// The Te (degC) and gas-cooler pressure (Pa) ranges of a model's transcritical curves.
struct GasCoolerRange {
    double teLow = 0, teHig = 0, pLow = 0, pHig = 0;
};

// The ranges of the model's curves; none for a model without them (or with a range that
// is not a finite rising pair), and on an engine without the transcritical exports.
std::optional<GasCoolerRange> gasCoolerRange(const EngineApi& api, int32_t model);

// The model rated at each pressure (Pa) at Te, outlet tgc (degC) and the superheats, no
// liquid line; and at the pressure of the highest COP.
struct GasCoolerTable {
    std::vector<KPX_TranscriticalResult> rows;
    KPX_TranscriticalResult optimum{};
};
GasCoolerTable gasCoolerTable(const EngineApi& api, int32_t model, double te, double tgc,
                              double sh1, double sh2, const std::vector<double>& pressures);

// The region in Te and gas-cooler pressure where the model rates (a code of 0 or a
// warning) at outlet tgc: per Te of `steps` + 1 across the curves' range, the lowest and
// highest rating pressure of `steps` + 1 across theirs; a Te where none rates is left out.
struct GasCoolerEdge {
    double te = 0, pLow = 0, pHig = 0; // degC, Pa
};
std::vector<GasCoolerEdge> gasCoolerRegion(const EngineApi& api, int32_t model,
                                           const GasCoolerRange& range, double tgc, double sh1,
                                           double sh2, int steps = 24);

// The pressures from `from` to `to` (Pa) in steps of `step`, the end included; empty when
// the range doesn't rise or would take more than `maxRows` rows.
std::vector<double> pressureSteps(double from, double to, double step, int maxRows = 200);

// Why the engine refused or warned of a transcritical point: the transcritical codes' own
// reasons, the rating's for the others.
std::string transcriticalReason(int32_t code);

} // namespace kv

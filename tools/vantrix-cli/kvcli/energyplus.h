// A model as EnergyPlus input: its `Refrigeration:Compressor` object with the
// `Curve:Bicubic` capacity and power curves, so that a building-energy simulation can use
// the selected compressor as it is.
#pragma once

#include "kv/binding.h"
#include "kv/perftable.h"

#include <array>
#include <cstddef>
#include <string>
#include <variant>

namespace kvcli {

// The bicubic's coefficients C1..C10 are the catalogue's Q0..Q9 (P0..P9) in this order:
// z = C1 + C2 x + C3 x² + C4 y + C5 y² + C6 xy + C7 x³ + C8 y³ + C9 x²y + C10 xy², with
// x = Te and y = Tc, against 1, Te, Tc, Te², TeTc, Tc², Te³, Te²Tc, TeTc², Tc³.
inline constexpr std::array<std::size_t, 10> kBicubicFromCatalogue{0, 1, 3, 2, 5, 4, 6, 9, 7, 8};

// The IDF text of the model (engine bytes in `model`), or the reason it can't be written
// (a polynomial coefficient or the rating basis missing from the catalogue).
struct ExportProblem {
    std::string message;
};
std::variant<std::string, ExportProblem> energyPlusCompressor(const kv::EngineApi& api,
                                                              const kv::ModelInfo& model);

} // namespace kvcli

// The demo catalogue against real compressors: per refrigerant and application class,
// the COP at the class's typical point and the validity ranges, side by side.
#pragma once

#include "range.h"

#include <asere/fluid.hpp>
#include <filesystem>
#include <string>

namespace kvcat {

// A Markdown table of the demo range against the coefficient file `reference` (the
// import's format), both rated through the engine's own rating at 10 K superheat and no
// subcooling. Rows flagged as defective in the file's `flags` column are left out.
std::string compareWithReference(const Range& range, const asere::FluidLibrary& fluids,
                                 const std::filesystem::path& reference);

} // namespace kvcat

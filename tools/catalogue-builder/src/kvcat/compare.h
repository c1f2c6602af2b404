// The demo catalogue against real compressors: per refrigerant and application class,
// the COP at the class's typical point and the validity ranges, side by side.
#pragma once

#include "kvcat/range.h"

#include <asere/fluid.h>
#include <filesystem>
#include <string>
#include <vector>

namespace kvcat {

// One refrigerant and application class, real and demo: counts, COP quantiles (10, 50
// and 90 %) at the class's typical point, and medians of the outer limits.
struct ClassComparison {
    std::string refrigerant, appClass;
    double te = 0, tc = 0; // the class's typical point
    struct Side {
        std::size_t models = 0;
        double cop10 = 0, cop50 = 0, cop90 = 0;
        double teLow = 0, teHig = 0, tcLow = 0, tcHig = 0;
    } real, demo;
};

// The demo range against the coefficient file `reference` (the import's format, with an
// `app_class` and a `flags` column), both rated through the engine's own rating at 10 K
// superheat and no subcooling. Rows flagged as defective are left out. A demo family
// counts for the classes the window's family table gives it.
std::vector<ClassComparison> compareWithReference(const Range& range,
                                                  const asere::FluidLibrary& fluids,
                                                  const std::filesystem::path& reference);
// The comparison as the Markdown table of the README.
std::string comparisonTable(const std::vector<ClassComparison>& rows);

} // namespace kvcat

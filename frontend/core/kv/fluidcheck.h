// Which fluid file the property library could not use.
//
// A rating whose property calls fail gives KPX_PROPERTIES_FAILED, and the model is left
// out like any refused rating. When a refrigerant's fluid file is missing, damaged or unreadable,
// all of that refrigerant's models vanish that way. After a run with such ratings the front ends
// ask the property library once more, for one saturation pressure of each refrigerant concerned.
// Its status tells a fluid file that can't be used (ILK_UNKNOWN_FLUID, ILK_NO_DATA_DIRECTORY,
// ILK_BAD_FLUID_FILE) from a state outside the fluid's range or a solver that gave up, which is no
// problem of the file and stays silent like any other refused rating.
#pragma once

#include "kv/binding.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

struct FluidProblem {
    std::string refrigerant; // as the catalogue writes it (engine bytes)
    std::string file;        // the fluid file, or the fluids folder, that can't be used
    std::string message;     // names the file and the refrigerant, as UTF-8
};

// The fluid files behind `refrigerants` (each named once) that the property library can't
// use, for the program directory `programDir`. The file is the one the library reads for
// the name: "<name>.json" in data/fluids, else the file whose name matches ignoring case,
// else the file that declares the name (as a JSON text); the folder when none does.
std::vector<FluidProblem> fluidProblems(const EngineApi& api, const std::string& programDir,
                                        const std::vector<std::string>& refrigerants);

} // namespace kv

// Binding of the rating engine and the property library by absolute path.
//
// The window and the command-line front end load libASEREP32.so and then libKPX_Calc.so
// from the program directory with dlopen (never through a search path) and call the
// exports through this table.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

struct EngineApi {
    using Revision = int16_t (*)(char**);
    using SetDirectory = int32_t (*)(const char*);
    using Property = int32_t (*)(const char*, double, double*);
    using Initialize = int32_t (*)(const char*);
    using Enumerate = int32_t (*)(int32_t, int32_t*, char**);
    using GetModel = int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t*, char**);
    using GetModelData = int32_t (*)(int32_t, const char*, char**);
    using Rating = int32_t (*)(int32_t, const char*, const char*, int32_t, double, double, double,
                               double, double, double*, double*, double*, double*, double*);

    Revision ILK_Revision = nullptr;
    // Called only after a run in which the property library failed, to tell which fluid
    // file it could not use (fluidcheck.h).
    SetDirectory ILK_SetDataDirectory = nullptr;
    Property ILK_SaturationPressure = nullptr;
    Initialize KPX_Initialize = nullptr;
    Enumerate KPX_GetRefrigerant = nullptr;
    Enumerate KPX_GetFamily = nullptr;
    Enumerate KPX_GetPower = nullptr;
    GetModel KPX_GetModel = nullptr;
    GetModelData KPX_GetModelData = nullptr;
    Rating KPX_Rating = nullptr;
};

inline constexpr const char* kPropertyLibraryFile = "libASEREP32.so";
inline constexpr const char* kEngineLibraryFile = "libKPX_Calc.so";

// The outcome of binding: the table, or the file (and export) that could not be bound.
struct BindResult {
    bool ok = false;
    EngineApi api;
    std::string failedFile; // absolute path of the library that failed
    std::string message;    // human-readable: which file or export, and why
};

// Loads both libraries from `programDir` (no trailing slash needed) and resolves every
// export. Libraries stay loaded for the life of the process: the engine's catalogue
// lives until the library is unloaded, and nothing unloads it.
BindResult bindLibraries(const std::string& programDir);

// Start-up's calls after binding: ILK_Revision once (its result is not used), then
// KPX_Initialize with the program directory followed by "/data/".
void initializeEngine(const EngineApi& api, const std::string& programDir);

// Text a query export wrote into a 256-byte buffer, cut at its first zero byte.
std::string bufferText(const char* buffer);

} // namespace kv

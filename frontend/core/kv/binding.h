// Binding of the rating engine and the property library by absolute path.
//
// The window and the command-line front end load libASEREP32.so and then libKPX_Calc.so
// from the program directory with dlopen (never through a search path) and call the
// exports through this table. On Windows the command-line front end loads ASEREP32.dll
// and KPX_Calc.dll with LoadLibrary.
#pragma once

#include <asere32.h>
#include <kpx_calc.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace kv {

// The exports, typed by the libraries' own declarations: a changed export no longer
// compiles here.
struct EngineApi {
    using Enumerate = decltype(&::KPX_GetRefrigerant); // all three code lists

    decltype(&::ILK_Revision) ILK_Revision = nullptr;
    // Called only after a run in which the property library failed, to tell which fluid
    // file it could not use (fluidcheck.h).
    decltype(&::ILK_SetDataDirectory) ILK_SetDataDirectory = nullptr;
    decltype(&::ILK_SaturationPressure) ILK_SaturationPressure = nullptr;
    decltype(&::KPX_Initialize) KPX_Initialize = nullptr;
    decltype(&::KPX_GetRefrigerant) KPX_GetRefrigerant = nullptr;
    decltype(&::KPX_GetFamily) KPX_GetFamily = nullptr;
    decltype(&::KPX_GetPower) KPX_GetPower = nullptr;
    decltype(&::KPX_GetModel) KPX_GetModel = nullptr;
    decltype(&::KPX_GetModelData) KPX_GetModelData = nullptr;
    decltype(&::KPX_Rating) KPX_Rating = nullptr;
    // The figures beyond the rating: null when the engine has no such export.
    decltype(&::KPX_RatingFigures) KPX_RatingFigures = nullptr;
    // The transcritical rating and its optimum gas-cooler pressure: null when the engine
    // has no such exports.
    decltype(&::KPX_RatingTranscritical) KPX_RatingTranscritical = nullptr;
    decltype(&::KPX_OptimumGasCoolerPressure) KPX_OptimumGasCoolerPressure = nullptr;
    // Variable-speed models: null when the engine has no such exports (all four or none).
    decltype(&::KPX_SpeedData) KPX_SpeedData = nullptr;
    decltype(&::KPX_RatingAtSpeed) KPX_RatingAtSpeed = nullptr;
    decltype(&::KPX_SpeedRange) KPX_SpeedRange = nullptr;
    decltype(&::KPX_MatchCapacity) KPX_MatchCapacity = nullptr;
    bool hasSpeeds() const {
        return KPX_SpeedData != nullptr && KPX_RatingAtSpeed != nullptr &&
               KPX_SpeedRange != nullptr && KPX_MatchCapacity != nullptr;
    }
};

#ifdef _WIN32
inline constexpr const char* kPropertyLibraryFile = "ASEREP32.dll";
inline constexpr const char* kEngineLibraryFile = "KPX_Calc.dll";
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr const char* kPropertyLibraryFile = "libASEREP32.so";
inline constexpr const char* kEngineLibraryFile = "libKPX_Calc.so";
inline constexpr char kPathSeparator = '/';
#endif

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

// `dir` and `file` joined with the platform's separator (one only, where `dir` ends in one).
std::string joinPath(const std::string& dir, const char* file);

// Start-up's calls after binding: ILK_Revision once (its result is not used), then
// KPX_Initialize with the program directory followed by "/data/" ("\\data\\" on Windows).
void initializeEngine(const EngineApi& api, const std::string& programDir);

// A path from an 8-bit text of the command line or of the libraries' interface, and the
// text of a path: on Windows in the ANSI code page, as the system's "A" functions read
// such texts; elsewhere the bytes unchanged.
std::filesystem::path nativePath(const std::string& text);
std::string nativeText(const std::filesystem::path& path);

} // namespace kv

// Binding of the rating engine and the property library by absolute path.
//
// The window and the command-line front end load libASEREP32.so and then libKPX_Calc.so
// from the program directory with dlopen (never through a search path) and call the
// exports through this table. On Windows the command-line front end loads ASEREP32.dll
// and KPX_Calc.dll with LoadLibrary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The exports' calling convention: the standard one on 32-bit Windows.
#if defined(_WIN32) && !defined(_WIN64)
#define KV_CALL __stdcall
#else
#define KV_CALL
#endif

namespace kv {

struct EngineApi {
    using Revision = int16_t(KV_CALL*)(char**);
    using SetDirectory = int32_t(KV_CALL*)(const char*);
    using Property = int32_t(KV_CALL*)(const char*, double, double*);
    using Initialize = int32_t(KV_CALL*)(const char*);
    using Enumerate = int32_t(KV_CALL*)(int32_t, int32_t*, char**);
    using GetModel = int32_t(KV_CALL*)(int32_t, int32_t, int32_t, int32_t, int32_t*, char**);
    using GetModelData = int32_t(KV_CALL*)(int32_t, const char*, char**);
    using Rating = int32_t(KV_CALL*)(int32_t, const char*, const char*, int32_t, double, double,
                                     double, double, double, double*, double*, double*, double*,
                                     double*);

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

// Text a query export wrote into a 256-byte buffer, cut at its first zero byte.
std::string bufferText(const char* buffer);

// A path from an 8-bit text of the command line or of the libraries' interface, and the
// text of a path: on Windows in the ANSI code page, as the system's "A" functions read
// such texts; elsewhere the bytes unchanged.
std::filesystem::path nativePath(const std::string& text);
std::string nativeText(const std::filesystem::path& path);

} // namespace kv

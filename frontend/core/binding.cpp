#include "kv/binding.h"

#include <filesystem>
#include <system_error>
#include <type_traits>
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace kv {
namespace {

#ifdef _WIN32
bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

void* loadLibrary(const std::string& path, std::string& why) {
    // Dependencies of the library are looked for beside it first.
    HMODULE handle = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (handle == nullptr)
        why = "error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(handle);
}

void* findSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
#else
bool isSeparator(char c) {
    return c == '/';
}

void* loadLibrary(const std::string& path, std::string& why) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (handle == nullptr) {
        const char* text = dlerror();
        why = text != nullptr ? text : "";
    }
    return handle;
}

void* findSymbol(void* handle, const char* name) {
    dlerror();
    return dlsym(handle, name);
}
#endif

template <typename Fn>
bool resolve(void* handle, const char* name, Fn& out, const std::string& path, BindResult& r) {
    void* sym = findSymbol(handle, name);
    if (sym == nullptr) {
        r.failedFile = path;
        r.message = "The function " + std::string(name) + " can't be found in " + path;
        return false;
    }
    out = reinterpret_cast<Fn>(sym);
    return true;
}

void* openLibrary(const std::string& path, BindResult& r) {
    // Only a regular file is opened: a named pipe in its place would block the load.
    std::error_code ec;
    const std::filesystem::path file = nativePath(path);
    if (std::filesystem::exists(file, ec) && !std::filesystem::is_regular_file(file, ec)) {
        r.failedFile = path;
        r.message = "The library " + path + " can't be loaded: it is not a regular file";
        return nullptr;
    }
    std::string why;
    void* handle = loadLibrary(path, why);
    if (handle == nullptr) {
        r.failedFile = path;
        r.message = "The library " + path + " can't be loaded";
        if (!why.empty())
            r.message += ": " + why;
    }
    return handle;
}

} // namespace

std::string joinPath(const std::string& dir, const char* file) {
    if (!dir.empty() && isSeparator(dir.back()))
        return dir + file;
    return dir + kPathSeparator + file;
}

BindResult bindLibraries(const std::string& programDir) {
    BindResult r;
    const std::string propertyPath = joinPath(programDir, kPropertyLibraryFile);
    void* properties = openLibrary(propertyPath, r);
    if (properties == nullptr)
        return r;
    if (!resolve(properties, "ILK_Revision", r.api.ILK_Revision, propertyPath, r) ||
        !resolve(properties, "ILK_SetDataDirectory", r.api.ILK_SetDataDirectory, propertyPath, r) ||
        !resolve(properties, "ILK_SaturationPressure", r.api.ILK_SaturationPressure, propertyPath,
                 r))
        return r;

    const std::string enginePath = joinPath(programDir, kEngineLibraryFile);
    void* engine = openLibrary(enginePath, r);
    if (engine == nullptr)
        return r;
    EngineApi& a = r.api;
    if (!resolve(engine, "KPX_Initialize", a.KPX_Initialize, enginePath, r) ||
        !resolve(engine, "KPX_GetRefrigerant", a.KPX_GetRefrigerant, enginePath, r) ||
        !resolve(engine, "KPX_GetFamily", a.KPX_GetFamily, enginePath, r) ||
        !resolve(engine, "KPX_GetPower", a.KPX_GetPower, enginePath, r) ||
        !resolve(engine, "KPX_GetModel", a.KPX_GetModel, enginePath, r) ||
        !resolve(engine, "KPX_GetModelData", a.KPX_GetModelData, enginePath, r) ||
        !resolve(engine, "KPX_Rating", a.KPX_Rating, enginePath, r))
        return r;
    // Beside the seven: an engine without it still binds.
    a.KPX_RatingFigures =
        reinterpret_cast<decltype(a.KPX_RatingFigures)>(findSymbol(engine, "KPX_RatingFigures"));
    const auto optional = [engine](auto& function, const char* name) {
        function =
            reinterpret_cast<std::remove_reference_t<decltype(function)>>(findSymbol(engine, name));
    };
    optional(a.KPX_SpeedData, "KPX_SpeedData");
    optional(a.KPX_RatingAtSpeed, "KPX_RatingAtSpeed");
    optional(a.KPX_SpeedRange, "KPX_SpeedRange");
    optional(a.KPX_MatchCapacity, "KPX_MatchCapacity");
    optional(a.KPX_RatingTranscritical, "KPX_RatingTranscritical");
    optional(a.KPX_OptimumGasCoolerPressure, "KPX_OptimumGasCoolerPressure");
    r.ok = true;
    return r;
}

void initializeEngine(const EngineApi& api, const std::string& programDir) {
    if (api.ILK_Revision != nullptr) {
        char* none = nullptr;
        api.ILK_Revision(&none);
    }
    if (api.KPX_Initialize != nullptr)
        api.KPX_Initialize((joinPath(programDir, "data") + kPathSeparator).c_str());
}

#ifdef _WIN32
std::filesystem::path nativePath(const std::string& text) {
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), n);
    return std::filesystem::path(wide);
}

std::string nativeText(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
    return text;
}
#else
std::filesystem::path nativePath(const std::string& text) {
    return std::filesystem::path(text);
}

std::string nativeText(const std::filesystem::path& path) {
    return path.string();
}
#endif

} // namespace kv

#include "binding.h"

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace kv {
namespace {

std::string joinPath(const std::string& dir, const char* file) {
    if (!dir.empty() && dir.back() == '/')
        return dir + file;
    return dir + "/" + file;
}

template <typename Fn>
bool resolve(void* handle, const char* name, Fn& out, const std::string& path, BindResult& r) {
    dlerror();
    void* sym = dlsym(handle, name);
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
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
        r.failedFile = path;
        r.message = "The library " + path + " can't be loaded: it is not a regular file";
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        r.failedFile = path;
        r.message = "The library " + path + " can't be loaded";
        if (why != nullptr)
            r.message += std::string(": ") + why;
    }
    return handle;
}

} // namespace

BindResult bindLibraries(const std::string& programDir) {
    BindResult r;
    const std::string propertyPath = joinPath(programDir, kPropertyLibraryFile);
    void* properties = openLibrary(propertyPath, r);
    if (properties == nullptr)
        return r;
    if (!resolve(properties, "ILK_Revision", r.api.ILK_Revision, propertyPath, r) ||
        !resolve(properties, "ILK_SetDataDirectory", r.api.ILK_SetDataDirectory, propertyPath,
                 r) ||
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
    r.ok = true;
    return r;
}

std::string bufferText(const char* buffer) {
    return std::string(buffer, strnlen(buffer, 256));
}

void initializeEngine(const EngineApi& api, const std::string& programDir) {
    if (api.ILK_Revision != nullptr) {
        char* none = nullptr;
        api.ILK_Revision(&none);
    }
    if (api.KPX_Initialize != nullptr)
        api.KPX_Initialize(joinPath(programDir, "data/").c_str());
}

} // namespace kv

#include "engine.h"

#include "kv/codelists.h"
#include "kv/datacheck.h"
#include "kv/perftable.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <type_traits>

namespace kvpy {

py::handle dataError;

[[noreturn]] void raiseDataError(const std::string& message) {
    PyErr_SetString(dataError.ptr(), message.c_str());
    throw py::error_already_set();
}

std::mutex engineMutex;

namespace {

std::shared_ptr<const Engine> opened;

// The program directory next to the module's folder (build/bin/python in the build tree,
// PREFIX/python after cmake --install) when it holds the engine, else the package's.
std::string defaultDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&defaultDirectory), &info) != 0 && info.dli_fname) {
        std::error_code ec;
        const auto dir = std::filesystem::absolute(info.dli_fname, ec).parent_path().parent_path();
        if (!ec && std::filesystem::is_regular_file(dir / kv::kEngineLibraryFile, ec))
            return dir.string();
    }
    return KV_INSTALLED_PROGRAM_DIR;
}

// The property functions that the engine's binding table doesn't hold, from the library
// bindLibraries loaded, found again by its path; an empty text, or why not.
std::string resolveProperties(const std::string& dir, PropertyApi& p) {
    const std::string file = kv::joinPath(dir, kv::kPropertyLibraryFile);
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return "The library " + file + " is not loaded";
    std::string missing;
    const auto resolve = [&](const char* name, auto& out) {
        out = reinterpret_cast<std::remove_reference_t<decltype(out)>>(dlsym(handle, name));
        if (out == nullptr && missing.empty())
            missing = "The function " + std::string(name) + " can't be found in " + file;
    };
    resolve("ILK_SaturationPressure", p.saturationPressure);
    resolve("ILK_BubbleTemperature", p.bubbleTemperature);
    resolve("ILK_LiquidEnthalpy", p.liquidEnthalpy);
    resolve("ILK_VapourEnthalpy", p.vapourEnthalpy);
    resolve("ILK_VapourVolume", p.vapourVolume);
    dlclose(handle); // bindLibraries' reference keeps it loaded
    return missing;
}

} // namespace

std::shared_ptr<const Engine> openEngine(const std::optional<std::string>& given) {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::path(given ? *given : defaultDirectory());
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::string dir = (ec ? path : absolute.lexically_normal()).string();
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    const kv::DataCheck check = kv::checkDataFiles(dir);
    if (!check.ok)
        raiseDataError(std::string(kv::kDataProblemMessage) + ": " + check.message);

    std::string refused;
    auto engine = locked([&]() -> std::shared_ptr<const Engine> {
        if (opened) {
            if (opened->directory == dir || std::filesystem::equivalent(opened->directory, dir, ec))
                return opened;
            refused = "this process serves the program directory " + opened->directory + "; open " +
                      dir + " in another process";
            return nullptr;
        }
        const kv::BindResult bound = kv::bindLibraries(dir);
        if (!bound.ok) {
            refused = bound.message;
            return nullptr;
        }
        kv::initializeEngine(bound.api, dir);
        // The property functions read the fluid files of the catalogue's data directory.
        bound.api.ILK_SetDataDirectory((kv::joinPath(dir, "data") + kv::kPathSeparator).c_str());
        auto e = std::make_shared<Engine>();
        e->directory = dir;
        e->api = bound.api;
        refused = resolveProperties(dir, e->properties);
        if (!refused.empty())
            return nullptr;
        kv::forEachModel(e->api, 0, 0, 0, [&](int32_t n) {
            e->modelCount = std::max(e->modelCount, n);
            return true;
        });
        opened = e;
        return e;
    });
    if (!engine)
        raiseDataError(refused);
    return engine;
}

} // namespace kvpy

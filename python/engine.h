// The one program directory a Python process serves: its libraries bound once, every
// engine call under one mutex with the interpreter lock released, and the module's data
// error.
#pragma once

#include "kv/binding.h"

#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace kvpy {

namespace py = pybind11;

// A data problem: a damaged program directory, a library that can't be bound, a fluid
// file that can't be used. Usage errors are ValueError; a rating code is data.
extern py::handle dataError;

[[noreturn]] void raiseDataError(const std::string& message);

// The property functions the engine's binding table doesn't hold.
struct PropertyApi {
    decltype(&::ILK_SaturationPressure) saturationPressure = nullptr;
    decltype(&::ILK_BubbleTemperature) bubbleTemperature = nullptr;
    decltype(&::ILK_LiquidEnthalpy) liquidEnthalpy = nullptr;
    decltype(&::ILK_VapourEnthalpy) vapourEnthalpy = nullptr;
    decltype(&::ILK_VapourVolume) vapourVolume = nullptr;
};

// The libraries of the one program directory this process serves.
struct Engine {
    std::string directory;
    kv::EngineApi api;
    PropertyApi properties;
    int32_t modelCount = 0; // the models are numbered 1 to modelCount
};

extern std::mutex engineMutex; // every call into the engine; guards the opened directory too

// Runs `body` with the engine's mutex held and the interpreter lock released.
template <class Body> auto locked(Body body) {
    py::gil_scoped_release release;
    std::lock_guard lock(engineMutex);
    return body();
}

// The libraries of `given` (by default the program directory beside the module, or the
// package's), bound and initialised once per process; another directory is refused.
std::shared_ptr<const Engine> openEngine(const std::optional<std::string>& given);

} // namespace kvpy

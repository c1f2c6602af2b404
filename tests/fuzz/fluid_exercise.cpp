#include "fluid_exercise.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "asere/fluid.h"

namespace asere {
namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void check(const Result<double>& r) {
    require(r.ok() ? std::isfinite(r.value) : std::isnan(r.value));
}

void check(const Result<State>& r) {
    require(r.ok() ? std::isfinite(r.value.h) && std::isfinite(r.value.v) && r.value.v > 0
                   : std::isnan(r.value.h));
}

} // namespace

bool exerciseFluid(const std::uint8_t* data, std::size_t size) {
    std::shared_ptr<const Fluid> fluid;
    try {
        fluid = Fluid::fromJson(std::string_view(reinterpret_cast<const char*>(data), size),
                                "fuzz.json");
    } catch (const FluidError& e) {
        require(e.status() == Status::BadFluidFile);
        return false;
    }
    // The nine calls of a rating at a few points of the curve and beyond it, and single-phase
    // states.
    for (const double T : {230.0, 273.15, 320.0, fluid->maxSaturationTemperature() + 1}) {
        const auto pressure = fluid->dewPressure(T);
        check(pressure);
        const double p = pressure.ok() ? pressure.value : 2e5;
        check(fluid->bubblePressure(T));
        check(fluid->bubbleTemperature(p));
        check(fluid->liquidEnthalpy(T - 5));
        check(fluid->vapourState(T + 10, p));
        check(fluid->vapourState(T + 40, p / 2));
        // The liquid, and above the critical point.
        check(fluid->singlePhaseState(T - 5, 1.5 * p));
        check(fluid->singlePhaseState(T + 40, 2 * fluid->criticalPressure()));
    }
    return true;
}

} // namespace asere

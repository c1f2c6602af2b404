// First cut of the fluid interface: every property call fails cleanly until the
// equation of state lands.
#include "asere/fluid.hpp"

namespace asere {
namespace detail {
struct FluidData {
    std::string name;
    std::vector<std::string> aliases;
};
} // namespace detail

const char* describe(Status status) noexcept {
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::UnknownFluid:
        return "unknown refrigerant";
    case Status::NoDataDirectory:
        return "no fluids directory";
    case Status::BadFluidFile:
        return "fluid file can't be used";
    case Status::OutOfRange:
        return "state outside the fluid's range";
    case Status::NotVapour:
        return "not a vapour state";
    case Status::NoConvergence:
        return "solver did not converge";
    case Status::NullPointer:
        return "null pointer";
    case Status::BadArgument:
        return "bad argument";
    }
    return "unknown status";
}

namespace {
template <class T> Result<T> fail() {
    return Result<T>{T{}, Status::NoConvergence};
}
Result<double> failD() {
    return Result<double>{NAN, Status::NoConvergence};
}
} // namespace

Fluid::Fluid(std::unique_ptr<detail::FluidData> data) : data_(std::move(data)) {}
Fluid::~Fluid() = default;

std::shared_ptr<const Fluid> Fluid::fromFile(const std::filesystem::path& file) {
    throw FluidError(Status::BadFluidFile, "not yet implemented: " + file.string());
}
std::shared_ptr<const Fluid> Fluid::fromJson(std::string_view, std::string_view origin) {
    throw FluidError(Status::BadFluidFile, "not yet implemented: " + std::string(origin));
}
std::shared_ptr<const Fluid> Fluid::load(const std::filesystem::path& dir, std::string_view) {
    throw FluidError(Status::UnknownFluid, "not yet implemented: " + dir.string());
}

const std::string& Fluid::name() const noexcept {
    return data_->name;
}
const std::vector<std::string>& Fluid::aliases() const noexcept {
    return data_->aliases;
}
bool Fluid::isBlend() const noexcept {
    return false;
}
double Fluid::molarMass() const noexcept {
    return NAN;
}
double Fluid::gasConstant() const noexcept {
    return NAN;
}
double Fluid::criticalTemperature() const noexcept {
    return NAN;
}
double Fluid::criticalPressure() const noexcept {
    return NAN;
}
double Fluid::criticalDensity() const noexcept {
    return NAN;
}
double Fluid::tripleTemperature() const noexcept {
    return NAN;
}
double Fluid::maxSaturationTemperature() const noexcept {
    return NAN;
}
double Fluid::maxTemperature() const noexcept {
    return NAN;
}
double Fluid::maxPressure() const noexcept {
    return NAN;
}
Result<double> Fluid::dewPressure(double) const noexcept {
    return failD();
}
Result<double> Fluid::bubblePressure(double) const noexcept {
    return failD();
}
Result<double> Fluid::dewTemperature(double) const noexcept {
    return failD();
}
Result<double> Fluid::bubbleTemperature(double) const noexcept {
    return failD();
}
Result<State> Fluid::saturatedLiquid(double) const noexcept {
    return fail<State>();
}
Result<State> Fluid::saturatedVapour(double) const noexcept {
    return fail<State>();
}
Result<double> Fluid::liquidEnthalpy(double) const noexcept {
    return failD();
}
Result<State> Fluid::vapourState(double, double) const noexcept {
    return fail<State>();
}
Result<State> Fluid::stateAt(double, double) const noexcept {
    return fail<State>();
}
Result<State> Fluid::stateAtPressureEntropy(double, double) const noexcept {
    return fail<State>();
}

FluidLibrary::FluidLibrary(std::filesystem::path dir) : directory_(std::move(dir)) {}
Result<std::shared_ptr<const Fluid>> FluidLibrary::find(std::string_view) const {
    return {nullptr, Status::UnknownFluid};
}
std::shared_ptr<const Fluid> FluidLibrary::get(std::string_view name) const {
    throw FluidError(Status::UnknownFluid, "unknown refrigerant: " + std::string(name));
}
const FluidLibrary::Entry& FluidLibrary::lookup(std::string_view) const {
    static const Entry none{};
    return none;
}

} // namespace asere

// Korvane Vantrix refrigerant properties: the internal C++ interface.
//
// A Fluid is one refrigerant's Helmholtz-energy equation of state with its saturation
// curve, read from one JSON file of the fluids directory. A Fluid is immutable after
// loading and safe to share between threads. A FluidLibrary finds and loads fluids by
// name or alias, lazily and once per fluid.
//
// Units are SI on a mass basis throughout: K, Pa, kg/m3, m3/kg, J/kg, J/(kg K).
// Enthalpy and entropy use the IIR reference state: h = 200 kJ/kg and s = 1 kJ/(kg K)
// for saturated liquid (bubble point) at 0 degC.
//
// Property functions never throw: they return a Result whose status tells why a value
// could not be computed (its value is then NaN). Loading throws FluidError.
#pragma once

#include "asere32.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace asere {

// Why a call failed: the statuses of the C interface (asere32.h), by the same numbers.
enum class Status : std::int32_t {
    Ok = ILK_OK,
    UnknownFluid = ILK_UNKNOWN_FLUID,
    NoDataDirectory = ILK_NO_DATA_DIRECTORY,
    BadFluidFile = ILK_BAD_FLUID_FILE,
    OutOfRange = ILK_OUT_OF_RANGE,
    NotVapour = ILK_NOT_VAPOUR,
    NoConvergence = ILK_NO_CONVERGENCE,
    NullPointer = ILK_NULL_POINTER,
    BadArgument = ILK_BAD_ARGUMENT,
    Internal = ILK_INTERNAL,
    TwoPhase = ILK_TWO_PHASE,
};
static_assert(static_cast<int>(Status::TwoPhase) + 1 == ILK_STATUS_COUNT,
              "every status of asere32.h has its name here");

// A short English description of a status, e.g. "unknown refrigerant".
const char* describe(Status status) noexcept;

// The outcome of a property call: a value, or a status and NaN.
template <class T> struct Result {
    T value{};
    Status status = Status::Ok;

    bool ok() const noexcept { return status == Status::Ok; }
    explicit operator bool() const noexcept { return ok(); }
    // The value, or throws FluidError with the status; for tools that prefer exceptions.
    const T& valueOrThrow() const;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A failed result: the status, with NaN (or an empty value) for the value.
template <class T> Result<T> failure(Status s) {
    if constexpr (std::is_same_v<T, double>)
        return Result<T>{kNaN, s};
    else
        return Result<T>{T{}, s};
}

class FluidError : public std::runtime_error {
public:
    FluidError(Status status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    Status status() const noexcept { return status_; }

private:
    Status status_;
};

template <class T> const T& Result<T>::valueOrThrow() const {
    if (!ok())
        throw FluidError(status, describe(status));
    return value;
}

// A single-phase state (or one side of the saturation curve).
struct State {
    double T = NAN;   // temperature, K
    double p = NAN;   // pressure, Pa
    double rho = NAN; // density, kg/m3
    double v = NAN;   // specific volume, m3/kg
    double h = NAN;   // enthalpy, J/kg
    double s = NAN;   // entropy, J/(kg K)
    double cp = NAN;  // isobaric heat capacity, J/(kg K)
    double cv = NAN;  // isochoric heat capacity, J/(kg K)
    double w = NAN;   // speed of sound, m/s
};

struct FluidData; // the equation of state and saturation curve, defined in the sources

class Fluid {
public:
    // Reads one fluid file. Throws FluidError (BadFluidFile) with a message naming the
    // file and what is wrong: unreadable, not JSON, missing fields, an unknown term type.
    static std::shared_ptr<const Fluid> fromFile(const std::filesystem::path& file);
    // The same from the text of a fluid file; `origin` names it in error messages.
    static std::shared_ptr<const Fluid> fromJson(std::string_view text,
                                                 std::string_view origin = "fluid file");
    // Finds the file in `fluidsDirectory` whose name or one of whose aliases is `name`
    // (exact match first, then ignoring case) and reads it. Throws FluidError:
    // NoDataDirectory when the directory can't be read, UnknownFluid when nothing
    // answers the name, BadFluidFile when the file that answers can't be used.
    static std::shared_ptr<const Fluid> load(const std::filesystem::path& fluidsDirectory,
                                             std::string_view name);

    ~Fluid();
    Fluid(const Fluid&) = delete;
    Fluid& operator=(const Fluid&) = delete;

    // Identity and constants.
    const std::string& name() const noexcept;
    const std::vector<std::string>& aliases() const noexcept;
    bool isBlend() const noexcept;               // pseudo-pure blend with a glide
    double molarMass() const noexcept;           // kg/mol
    double gasConstant() const noexcept;         // specific, J/(kg K)
    double criticalTemperature() const noexcept; // K
    double criticalPressure() const noexcept;    // Pa
    double criticalDensity() const noexcept;     // kg/m3
    double tripleTemperature() const noexcept;   // K, lowest temperature of saturation
    // Highest temperature at which saturation is given (the critical temperature for a
    // pure fluid, the highest temperature of the blend's pressure equations).
    double maxSaturationTemperature() const noexcept;
    double maxTemperature() const noexcept; // K, upper limit of the equation of state
    double maxPressure() const noexcept;    // Pa

    // Saturation. T from the triple point to the top of the saturation curve, p the
    // matching range of pressures; outside it: OutOfRange.
    Result<double> dewPressure(double T) const noexcept;
    Result<double> bubblePressure(double T) const noexcept;
    Result<double> dewTemperature(double p) const noexcept;
    Result<double> bubbleTemperature(double p) const noexcept;
    Result<State> saturatedLiquid(double T) const noexcept; // bubble point at T
    Result<State> saturatedVapour(double T) const noexcept; // dew point at T
    Result<double> liquidEnthalpy(double T) const noexcept; // saturated liquid at T, J/kg

    // Vapour at (T, p): NotVapour when p is at or above the dew pressure at T (below the
    // critical temperature), or when no vapour-like density root exists.
    Result<State> vapourState(double T, double p) const noexcept;
    // The single-phase state at (T, p). Below the top of the saturation curve: at p up to
    // the dew pressure the vapour (vapourState), at p from the bubble pressure up the
    // liquid, whose density root lies above the saturated liquid's (never a root inside
    // the dome); between a blend's bubble and dew pressures TwoPhase. Above the top of the
    // curve the one state of the isotherm at p, gas-like or liquid-like.
    Result<State> singlePhaseState(double T, double p) const noexcept;
    // Temperature (K) and pressure (Pa) above which the fluid has no saturation: the
    // critical point of a pure fluid's or pseudo-pure blend's equation, the top of the
    // computed saturation curve of a blend of pure fluids.
    std::pair<double, double> criticalPoint() const noexcept;
    // State at density and temperature (any phase, no phase check).
    Result<State> stateAt(double T, double rho) const noexcept;
    // Vapour state at pressure p and entropy s (isentropic compression end point).
    // NotVapour when (p, s) lies in the two-phase region or in the liquid.
    Result<State> stateAtPressureEntropy(double p, double s) const noexcept;

    // The internal data; for the library's own sources.
    const FluidData& data() const noexcept { return *data_; }

private:
    explicit Fluid(std::unique_ptr<FluidData> data);
    std::unique_ptr<FluidData> data_;
};

// The fluids of one directory, each read once, at its first use. Safe to use from
// several threads. A file that can't be used is refused with the same status every
// time it is asked for (it is not read again, whatever made its loading fail).
class FluidLibrary {
public:
    // The names whose answers are remembered: at most this many, of at most this length.
    static constexpr std::size_t kMaxRememberedNames = 1024;
    static constexpr std::size_t kMaxRememberedNameBytes = 255;

    explicit FluidLibrary(std::filesystem::path fluidsDirectory);

    const std::filesystem::path& directory() const noexcept { return directory_; }
    // The fluid answering `name` (file name, fluid name or alias).
    Result<std::shared_ptr<const Fluid>> find(std::string_view name) const;
    // Like find, with the error message of the failure.
    std::shared_ptr<const Fluid> get(std::string_view name) const; // throws FluidError
    // How many names' answers are remembered now.
    std::size_t rememberedNames() const;

private:
    struct Entry {
        std::shared_ptr<const Fluid> fluid;
        Status status = Status::Ok;
        std::string message;
    };
    Entry lookup(std::string_view name, bool withMessage) const;

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };
    using Entries = std::unordered_map<std::string, Entry, Hash, std::equal_to<>>;

    std::filesystem::path directory_;
    mutable std::mutex mutex_;
    mutable Entries names_; // by the name asked for
    mutable Entries files_; // by the file that answered
    // The names each file of the directory declares, read once when a name is not a
    // file name.
    mutable std::vector<std::pair<std::filesystem::path, std::vector<std::string>>> index_;
    mutable bool indexed_ = false;
};

} // namespace asere

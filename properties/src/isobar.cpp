#include "asere/isobar.h"

#include "asere/fluid_data.h"
#include "asere/state_cache.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace asere {
namespace {

constexpr int kMaxSteps = 100;
constexpr int kMaxDensitySteps = 30;

// The property an isobar is searched along: enthalpy (slope cp in T) or entropy (cp / T).
struct Along {
    double State::*member;
    bool entropy;
    double slope(const State& s) const { return entropy ? s.cp / s.T : s.cp; }
};

// Where the vapour of the isobar starts: its dew point, or above the critical pressure
// just above the top of the saturation curve.
struct IsobarStart {
    State low;
    bool supercritical;
};

Result<IsobarStart> isobarStart(const Fluid& fluid, double p) {
    const FluidData& f = fluid.data();
    const auto dew = fluid.dewTemperature(p);
    if (dew) {
        // The dew point's vapour: from the saturation curve's density (pure fluids and
        // pseudo-pure blends), or solved at (T, p) on the mixture model.
        const auto low =
            f.mixture ? fluid.vapourState(dew.value, p) : fluid.saturatedVapour(dew.value);
        if (!low)
            return failure<IsobarStart>(low.status);
        return {{low.value, false}, Status::Ok};
    }
    if (dew.status != Status::OutOfRange || !(p > fluid.criticalPressure()))
        return failure<IsobarStart>(dew.status);
    const auto low = fluid.vapourState(
        std::max(fluid.maxSaturationTemperature(), fluid.criticalTemperature()) * 1.0001, p);
    if (!low)
        return failure<IsobarStart>(low.status);
    return {{low.value, true}, Status::Ok};
}

// The isobar this thread searched last: its start, once needed, and the last state found
// on it. The figures of a rating ask for two states on the discharge isobar, the
// isentropic one and the one from the energy balance, a few kelvin apart: the second
// search starts from the first one's state.
struct IsobarMemory {
    std::uint64_t fluidId = 0;
    double p = 0;
    std::optional<IsobarStart> start;
    std::optional<State> found;
};
thread_local IsobarMemory lastIsobar;

IsobarMemory& isobarMemory(const Fluid& fluid, double p) {
    IsobarMemory& m = lastIsobar;
    if (m.fluidId != fluid.data().id || m.p != p)
        m = {fluid.data().id, p, std::nullopt, std::nullopt};
    return m;
}

// The start of the isobar in `m`, found once. NotVapour (OutOfRange above the critical
// pressure) when `target` lies below it.
Result<IsobarStart> isobarStart(const Fluid& fluid, IsobarMemory& m, double target, Along along) {
    if (!m.start) {
        const auto start = isobarStart(fluid, m.p);
        if (!start)
            return start;
        m.start = start.value;
    }
    const IsobarStart& start = *m.start;
    const double low = start.low.*along.member;
    if (start.supercritical ? target < low : target < low - 1e-9 * std::abs(low))
        return failure<IsobarStart>(start.supercritical ? Status::OutOfRange : Status::NotVapour);
    return {start, Status::Ok};
}

// The vapour's density at the dew point T from the saturation curve's expansions, where the
// fluid has them (pure fluids, pseudo-pure blends).
std::optional<double> dewDensity(const FluidData& f, double T) {
    if (f.mixture)
        return std::nullopt;
    const Chebyshev& c = f.blend ? f.blendRhoV : f.satRhoV;
    if (!c.covers(T))
        return std::nullopt;
    return c.eval(T);
}

// Whether `s`, a state on the isobar in `m`, is its vapour: below the equation's highest
// temperature, hotter than the dew point and less dense than the dew point's vapour. The
// dew point's density from the saturation curve where the fluid has it, else from the
// isobar's start. False where the state lies below the start or the start can't be had.
bool onVapourSide(const Fluid& fluid, IsobarMemory& m, const State& s, double target, Along along) {
    if (!(s.T < fluid.maxTemperature()))
        return false;
    if (!fluid.data().mixture) {
        const auto dew = fluid.dewTemperature(m.p);
        if (dew) {
            const auto rho = dewDensity(fluid.data(), dew.value);
            if (rho)
                return s.T > dew.value && s.rho <= *rho;
        }
    }
    const auto start = isobarStart(fluid, m, target, along);
    return start && s.T > start.value.low.T && s.rho <= start.value.low.rho;
}

// The end of an isentropic compression from `from` to the pressure p, estimated with the
// exponents (d ln T / d ln p and d ln rho / d ln p at constant entropy) of `from`: exact
// for an ideal gas of constant heat capacity, within about 1 % for the vapours here.
Result<State> isentropicEstimate(const Fluid& fluid, const State& from, double p) {
    const double dpdRho = from.w * from.w * from.cv / from.cp;
    const double dpdT = from.rho * std::sqrt((from.cp - from.cv) * dpdRho / from.T);
    const double lnRatio = std::log(p / from.p);
    const double mT = from.p * dpdT / (dpdRho * from.rho * from.rho * from.cp);
    const double mRho = from.p / (from.rho * from.w * from.w);
    return fluid.stateAt(std::min(from.T * std::exp(mT * lnRatio), fluid.maxTemperature()),
                         from.rho * std::exp(mRho * lnRatio));
}

// ln(a / b) and exp(x) closely enough for the steps of the density Newton (to third order,
// and exp within 1.2 % for the steps' largest |x| of 1/2), without the library's functions:
// the steps only lead the way, the converged state is exact.
double lnRatio(double a, double b) {
    return 2 * (a - b) / (a + b);
}
double expStep(double x) {
    return (2 + x) / (2 - x);
}

// Newton's method in temperature and density together from `start`, one evaluation of
// the equation of state per step: ln p(T, rho) = ln p and x(T, rho) = target, with the
// slopes from the state's cp, cv and speed of sound. The steps are taken in ln rho, and
// for entropy in ln T, in which the vapour's pressure and entropy are nearly linear (an
// ideal gas's exactly). Once a step is below 1e-5 of T and rho, the next one would be
// below about 1e-10, far inside the accuracy of the equation itself: the stepped state is
// given from this one's slopes instead of evaluated (p and x as asked, the other property
// by dh = T ds + v dp). Gives the state where it converged.
std::optional<State> densityNewton(const Fluid& fluid, State cur, double p, double target,
                                   Along along) {
    const double tMax = fluid.maxTemperature();
    for (int i = 0; i < kMaxDensitySteps; ++i) {
        if (!(cur.p > 0))
            return std::nullopt;
        const double fx = cur.*along.member - target;
        const double fp = cur.p * lnRatio(cur.p, p);
        const double T = cur.T, rho = cur.rho;
        const double dpdRho = cur.w * cur.w * cur.cv / cur.cp;
        const double dpdT = rho * std::sqrt((cur.cp - cur.cv) * dpdRho / T);
        const double dxdT = along.entropy ? cur.cv / T : cur.cv + dpdT / rho;
        const double dxdRho = along.entropy ? -dpdT / (rho * rho) : (dpdRho - T * dpdT / rho) / rho;
        const double det = dpdT * dxdRho - dpdRho * dxdT;
        if (!std::isfinite(det) || det == 0)
            return std::nullopt;
        const double dT = (fx * dpdRho - fp * dxdRho) / det;
        const double dRho = (fp * dxdT - fx * dpdT) / det;
        if (std::abs(dT) <= 1e-5 * T && std::abs(dRho) <= 1e-5 * rho) {
            const double dp = p - cur.p;
            State done = cur;
            done.T = T + dT;
            done.rho = rho + dRho;
            done.p = p;
            if (along.entropy)
                done.h += T * (target - cur.s) + dp / rho;
            else
                done.s += ((target - cur.h) - dp / rho) / T;
            done.*along.member = target;
            return done;
        }
        // Damped: at most a fifth of the temperature and half the density per step.
        const double scale = std::min({1.0, 0.2 * T / std::max(std::abs(dT), 1e-300),
                                       0.5 * rho / std::max(std::abs(dRho), 1e-300)});
        const double nextT =
            std::min(along.entropy ? T * expStep(scale * dT / T) : T + scale * dT, tMax);
        // Held at the highest temperature twice: the target lies beyond the equation's range,
        // which the search on T tells.
        if (nextT == tMax && T == tMax)
            return std::nullopt;
        const auto next = fluid.stateAt(nextT, rho * expStep(scale * dRho / rho));
        if (!next)
            return std::nullopt;
        cur = next.value;
    }
    return std::nullopt;
}

// The vapour of the isobar p whose `along` property is `target`. From a start near it (the
// isentropic estimate from `from`, or the last state found on this isobar), the density
// Newton, kept when it ends on the vapour side. Otherwise from the start of the isobar:
// a guess from the density Newton, then Newton's method on T with vapour states (dx/dT
// from cp), bracketed by the start of the isobar and the equation's highest temperature.
Result<State> vapourOnIsobar(const Fluid& fluid, double p, double target, Along along,
                             const State* from) noexcept {
    if (!std::isfinite(p) || !std::isfinite(target) || !(p > 0))
        return failure<State>(Status::BadArgument);
    if (p > fluid.maxPressure())
        return failure<State>(Status::OutOfRange);
    IsobarMemory& m = isobarMemory(fluid, p);
    const auto keep = [&m, p](State found) -> Result<State> {
        found.p = p;
        found.v = 1 / found.rho;
        m.found = found;
        return {found, Status::Ok};
    };
    // The estimate from `from` first, so that a rating's figures follow the same steps
    // whatever was asked before them.
    std::optional<State> near = m.found;
    if (from != nullptr)
        if (const auto estimate = isentropicEstimate(fluid, *from, p))
            near = estimate.value;
    if (near)
        if (const auto guess = densityNewton(fluid, *near, p, target, along);
            guess && onVapourSide(fluid, m, *guess, target, along))
            return keep(*guess);

    const auto start = isobarStart(fluid, m, target, along);
    if (!start)
        return failure<State>(start.status);
    const State low = start.value.low;
    double tLow = low.T, tHigh = fluid.maxTemperature();
    State cur = low;
    double T = tLow;
    // Converged on the vapour side (T above the start, less dense than the start's
    // vapour): that state; otherwise its temperature as the first guess of the search.
    if (const auto guess = densityNewton(fluid, low, p, target, along);
        guess && guess->T > tLow && guess->T <= tHigh) {
        if (guess->T < tHigh && guess->rho <= low.rho)
            return keep(*guess);
        const auto st = fluid.vapourState(guess->T, p);
        if (st) {
            T = guess->T;
            cur = st.value;
        }
    }
    bool checkedHigh = false;
    for (int i = 0; i < kMaxSteps; ++i) {
        const double diff = cur.*along.member - target;
        if (std::abs(diff) <= 1e-12 * std::max(1.0, std::abs(target)))
            break;
        if (diff < 0)
            tLow = T;
        else
            tHigh = T;
        double next = T - diff / along.slope(cur);
        if (!(next > tLow && next < tHigh) || !std::isfinite(next))
            next = 0.5 * (tLow + tHigh);
        if (std::abs(next - T) <= 1e-13 * T)
            break;
        if (i == kMaxSteps - 1)
            return failure<State>(Status::NoConvergence);
        // Beyond the equation's highest temperature only when the target lies there.
        if (!checkedHigh && tHigh == fluid.maxTemperature() && next >= 0.5 * (T + tHigh)) {
            const auto high = fluid.vapourState(tHigh, p);
            if (!high)
                return high;
            if (target > high.value.*along.member)
                return failure<State>(Status::OutOfRange);
            checkedHigh = true;
        }
        T = next;
        const auto st = fluid.vapourState(T, p);
        if (!st)
            return st;
        cur = st.value;
    }
    // Stopped short of the target: at the equation's highest temperature the target lies
    // beyond it.
    if (std::abs(cur.*along.member - target) > 1e-9 * std::max(1.0, std::abs(target)))
        return failure<State>(T >= 0.999 * fluid.maxTemperature() ? Status::OutOfRange
                                                                  : Status::NoConvergence);
    cur.p = p;
    return {cur, Status::Ok};
}

} // namespace

Result<State> vapourAtPressureEnthalpy(const Fluid& fluid, double p, double h) noexcept {
    return vapourOnIsobar(fluid, p, h, Along{&State::h, false}, nullptr);
}

Result<State> isobarVapourAtEntropy(const Fluid& fluid, double p, double s) noexcept {
    // A vapour state of this entropy that this thread had lately, as a rating's suction
    // state, starts the search from its isentropic compression.
    return vapourOnIsobar(fluid, p, s, Along{&State::s, true},
                          cachedVapour(fluid.data().id, &State::s, s));
}

} // namespace asere

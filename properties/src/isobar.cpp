#include "asere/isobar.h"

#include "asere/fluid_data.h"

#include <algorithm>
#include <cmath>
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
// just above the top of the saturation curve. NotVapour (OutOfRange above the critical
// pressure) when `target` lies below it.
Result<State> isobarStart(const Fluid& fluid, double p, double target, Along along) {
    const FluidData& f = fluid.data();
    const auto dew = fluid.dewTemperature(p);
    if (dew) {
        auto low = f.blend ? fluid.vapourState(dew.value, p) : fluid.saturatedVapour(dew.value);
        if (low && target < low.value.*along.member - 1e-9 * std::abs(low.value.*along.member))
            return failure<State>(Status::NotVapour);
        return low;
    }
    if (dew.status != Status::OutOfRange || !(p > fluid.criticalPressure()))
        return failure<State>(dew.status);
    auto low = fluid.vapourState(
        std::max(fluid.maxSaturationTemperature(), fluid.criticalTemperature()) * 1.0001, p);
    if (low && target < low.value.*along.member)
        return failure<State>(Status::OutOfRange);
    return low;
}

// Newton's method in temperature and density together from `start`, one evaluation of
// the equation of state per step: p(T, rho) = p and x(T, rho) = target, with the slopes
// from the state's cp, cv and speed of sound. Gives the state where it converged.
std::optional<State> densityNewton(const Fluid& fluid, State cur, double p, double target,
                                   Along along) {
    const double tMax = fluid.maxTemperature();
    for (int i = 0; i < kMaxDensitySteps; ++i) {
        const double fp = cur.p - p, fx = cur.*along.member - target;
        if (std::abs(fp) <= 1e-12 * p && std::abs(fx) <= 1e-12 * std::max(1.0, std::abs(target)))
            return cur;
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
        // Damped: at most a fifth of the temperature and half the density per step.
        const double scale = std::min({1.0, 0.2 * T / std::max(std::abs(dT), 1e-300),
                                       0.5 * rho / std::max(std::abs(dRho), 1e-300)});
        const double nextT = std::min(T + scale * dT, tMax);
        const auto next = fluid.stateAt(nextT, rho + scale * dRho);
        if (!next)
            return std::nullopt;
        cur = next.value;
    }
    return std::nullopt;
}

// The vapour of the isobar p whose `along` property is `target`: a guess from the
// density Newton, then Newton's method on T with vapour states (dx/dT from cp), bracketed
// by the start of the isobar and the equation's highest temperature.
Result<State> vapourOnIsobar(const Fluid& fluid, double p, double target, Along along) noexcept {
    if (!std::isfinite(p) || !std::isfinite(target) || !(p > 0))
        return failure<State>(Status::BadArgument);
    if (p > fluid.maxPressure())
        return failure<State>(Status::OutOfRange);
    const auto low = isobarStart(fluid, p, target, along);
    if (!low)
        return low;
    double tLow = low.value.T, tHigh = fluid.maxTemperature();
    State cur = low.value;
    double T = tLow;
    // Converged on the vapour side (T above the start, less dense than the start's
    // vapour): that state; otherwise its temperature as the first guess of the search.
    if (const auto guess = densityNewton(fluid, cur, p, target, along);
        guess && guess->T > tLow && guess->T <= tHigh) {
        if (guess->T < tHigh && guess->rho <= cur.rho) {
            State found = *guess;
            found.p = p;
            found.v = 1 / found.rho;
            return {found, Status::Ok};
        }
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
    return vapourOnIsobar(fluid, p, h, Along{&State::h, false});
}

Result<State> isobarVapourAtEntropy(const Fluid& fluid, double p, double s) noexcept {
    return vapourOnIsobar(fluid, p, s, Along{&State::s, true});
}

} // namespace asere

#include "isobar.h"

#include "fluid_data.h"

#include <algorithm>
#include <cmath>

namespace asere {
namespace {

constexpr int kMaxSteps = 100;

} // namespace

Result<State> vapourAtPressureEnthalpy(const Fluid& fluid, double p, double h) noexcept {
    if (!std::isfinite(p) || !std::isfinite(h) || !(p > 0))
        return failure<State>(Status::BadArgument);
    const FluidData& f = fluid.data();
    if (p > fluid.maxPressure())
        return failure<State>(Status::OutOfRange);
    // The bracket: from the dew point at p (or, above the critical pressure, just above
    // the top of the saturation curve) to the equation's highest temperature.
    double tLow;
    Result<State> low;
    const auto dew = fluid.dewTemperature(p);
    if (dew) {
        tLow = dew.value;
        low = f.blend ? fluid.vapourState(tLow, p) : fluid.saturatedVapour(tLow);
        if (!low)
            return low;
        if (h < low.value.h - 1e-9 * std::abs(low.value.h))
            return failure<State>(Status::NotVapour);
    } else if (dew.status == Status::OutOfRange && p > fluid.criticalPressure()) {
        tLow = std::max(fluid.maxSaturationTemperature(), fluid.criticalTemperature()) * 1.0001;
        low = fluid.vapourState(tLow, p);
        if (!low)
            return low;
        if (h < low.value.h)
            return failure<State>(Status::OutOfRange);
    } else {
        return failure<State>(dew.status);
    }
    double tHigh = fluid.maxTemperature();
    const auto high = fluid.vapourState(tHigh, p);
    if (!high)
        return high;
    if (h > high.value.h)
        return failure<State>(Status::OutOfRange);

    // Newton's method on h(T) at fixed p (dh/dT = cp), kept inside the bracket.
    State current = low.value;
    double T = tLow;
    for (int i = 0; i < kMaxSteps; ++i) {
        const double diff = current.h - h;
        if (std::abs(diff) <= 1e-12 * std::max(1.0, std::abs(h)))
            break;
        if (diff < 0)
            tLow = T;
        else
            tHigh = T;
        double next = T - diff / current.cp;
        if (!(next > tLow && next < tHigh) || !std::isfinite(next))
            next = 0.5 * (tLow + tHigh);
        if (std::abs(next - T) <= 1e-13 * T)
            break;
        if (i == kMaxSteps - 1)
            return failure<State>(Status::NoConvergence);
        T = next;
        const auto st = fluid.vapourState(T, p);
        if (!st)
            return st;
        current = st.value;
    }
    current.p = p;
    return {current, Status::Ok};
}

} // namespace asere

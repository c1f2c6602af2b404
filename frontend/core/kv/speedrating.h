// Rating variable-speed models as a run asks: at their nominal speed (KPX_Rating, as the
// window's selection), at a given speed, or at the speed that meets a capacity. Fixed-speed
// models rate as always at a given speed, and have no speed that meets a capacity.
#pragma once

#include "kv/binding.h"
#include "kv/envelope.h"
#include "kv/units.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kv {

struct SpeedRequest {
    std::optional<double> speed;         // rev/s
    std::optional<double> matchCapacity; // W
    bool any() const { return speed.has_value() || matchCapacity.has_value(); }
};

// A model's speeds; nothing for a fixed-speed model, one whose speed sets the engine
// refuses, or an engine without the speed exports.
std::optional<KPX_SpeedInfo> speedInfo(const EngineApi& api, int32_t model);

struct SpeedRating {
    PointRating rating;
    std::optional<double> speed; // rev/s, for a variable-speed model
};

// Rates the model at the point as `request` asks (engine units); without a request
// through KPX_Rating, a variable-speed model at its nominal speed. Asked for a speed, a
// model whose speed sets the engine refuses gives KPX_SPEED_DATA_INVALID.
SpeedRating rateAsRequested(const EngineApi& api, int32_t model, const ConditionValues& at,
                            const SpeedRequest& request);

// The speeds allowed at the point (KPX_SpeedRange), rev/s; nothing when none is or the
// model is fixed-speed.
struct SpeedSpan {
    double low, high;
};
std::optional<SpeedSpan> speedSpan(const EngineApi& api, int32_t model, const ConditionValues& at);

// The speeds of a table against speed: the allowed span's ends, the published speeds and
// the multiples of `step` rev/s between them, rising.
std::vector<double> tableSpeeds(const KPX_SpeedInfo& info, const SpeedSpan& span, double step);

// A variable-speed model's figures against speed at the point: one rating per speed of
// tableSpeeds over the speeds allowed there, in steps of 10 rev/s; nothing for a
// fixed-speed model or where no speed is allowed.
struct SpeedRow {
    double speed; // rev/s
    PointRating rating;
};
inline constexpr double kSpeedTableStep = 10.0;
std::vector<SpeedRow> ratingsAgainstSpeed(const EngineApi& api, int32_t model,
                                          const ConditionValues& at);

} // namespace kv

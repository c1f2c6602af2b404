#include "kv/speedrating.h"

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

// KPX_SpeedData's code for the model: KPX_FIXED_SPEED without the speed exports.
int32_t speedData(const EngineApi& api, int32_t model, KPX_SpeedInfo& info) {
    if (!api.hasSpeeds())
        return KPX_FIXED_SPEED;
    return api.KPX_SpeedData(model, "", "", 0, &info, nullptr);
}

} // namespace

std::optional<KPX_SpeedInfo> speedInfo(const EngineApi& api, int32_t model) {
    KPX_SpeedInfo info{};
    if (speedData(api, model, info) != KPX_CLEAN)
        return std::nullopt;
    return info;
}

SpeedRating rateAsRequested(const EngineApi& api, int32_t model, const ConditionValues& at,
                            const SpeedRequest& request) {
    SpeedRating out;
    PointRating& r = out.rating;
    KPX_SpeedInfo speeds{};
    const int32_t data = speedData(api, model, speeds);
    const std::optional<KPX_SpeedInfo> info =
        data == KPX_CLEAN ? std::optional(speeds) : std::nullopt;
    if (!request.any()) {
        out.rating = ratePoint(api, model, at.te, at.tc, at);
        if (info)
            out.speed = info->nominalSpeed;
        return out;
    }
    // Speed sets the engine refuses: asked for a speed, the model is left out with that
    // code rather than shown at its nominal speed.
    if (data == KPX_SPEED_DATA_INVALID) {
        r.code = KPX_SPEED_DATA_INVALID;
        return out;
    }
    if (!info) {
        // Fixed speed (or speed sets refused): no speed meets a capacity.
        if (request.matchCapacity) {
            r.code = KPX_FIXED_SPEED;
            return out;
        }
        return {ratePoint(api, model, at.te, at.tc, at), std::nullopt};
    }
    if (request.matchCapacity) {
        double speed = 0;
        r.code = api.KPX_MatchCapacity(model, "", "", 0, *request.matchCapacity, at.te, at.tc,
                                       at.sc, at.sh1, at.sh2, &speed, &r.capacity, &r.power,
                                       &r.current, &r.massFlow, &r.cop);
        if (r.code >= 0)
            out.speed = speed;
        return out;
    }
    const double speed = request.speed.value_or(info->nominalSpeed);
    r.code = api.KPX_RatingAtSpeed(model, "", "", 0, speed, at.te, at.tc, at.sc, at.sh1, at.sh2,
                                   &r.capacity, &r.power, &r.current, &r.massFlow, &r.cop);
    out.speed = speed;
    return out;
}

std::optional<SpeedSpan> speedSpan(const EngineApi& api, int32_t model, const ConditionValues& at) {
    if (!api.hasSpeeds())
        return std::nullopt;
    SpeedSpan span{};
    if (api.KPX_SpeedRange(model, "", "", 0, at.te, at.tc, at.sc, at.sh1, at.sh2, &span.low,
                           &span.high) != KPX_CLEAN)
        return std::nullopt;
    return span;
}

std::vector<double> tableSpeeds(const KPX_SpeedInfo& info, const SpeedSpan& span, double step) {
    std::vector<double> speeds{span.low, span.high};
    for (int32_t i = 0; i < info.setCount && i < KPX_MAX_SPEED_SETS; ++i)
        if (info.speeds[i] > span.low && info.speeds[i] < span.high)
            speeds.push_back(info.speeds[i]);
    if (step > 0)
        for (double s = std::floor(span.low / step + 1) * step; s < span.high; s += step)
            speeds.push_back(s);
    std::sort(speeds.begin(), speeds.end());
    speeds.erase(std::unique(speeds.begin(), speeds.end()), speeds.end());
    return speeds;
}

std::vector<SpeedRow> ratingsAgainstSpeed(const EngineApi& api, int32_t model,
                                          const ConditionValues& at) {
    std::vector<SpeedRow> rows;
    const auto info = speedInfo(api, model);
    const auto span = info ? speedSpan(api, model, at) : std::nullopt;
    if (!span)
        return rows;
    for (const double speed : tableSpeeds(*info, *span, kSpeedTableStep)) {
        SpeedRequest request;
        request.speed = speed;
        rows.push_back({speed, rateAsRequested(api, model, at, request).rating});
    }
    return rows;
}

} // namespace kv

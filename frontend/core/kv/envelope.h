// A model's operating envelope as the engine classifies it, and the texts that say why a
// point is refused or carries a warning.
//
// The regions are found through KPX_Rating alone: the front end samples the engine's
// RatingCode on columns of constant Te, refines every change of code along Tc and every
// change of the code sequence along Te by bisection, and joins the columns into
// polygons. It holds no envelope rule of its own, so what is drawn is what the engine
// decides. All temperatures here are in the engine's units (°C, K).
#pragma once

#include "kv/binding.h"
#include "kv/units.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// One rating of one model at one point, in engine units.
struct PointRating {
    int32_t code = -1;
    double capacity = 0, power = 0, current = 0, massFlow = 0, cop = 0;
};

// KPX_Rating of a model (by number) at Te, Tc and the Sc, Sh1, Sh2 of `at`.
PointRating ratePoint(const EngineApi& api, int32_t model, double te, double tc,
                      const ConditionValues& at);

enum class RegionKind { Clean, Warning, Refused };
// 0 clean, positive warning, negative refused.
RegionKind regionKind(int32_t code);

// Which limit a RatingCode stands for: one text per code, e.g. "evaporating temperature
// below the envelope". An unknown code gives "unknown rating code N".
std::string ratingReason(int32_t code);

// The Te and Tc range a diagram covers, °C.
struct EnvelopeWindow {
    double teFrom = -40, teTo = 20, tcFrom = 0, tcTo = 80;
};

struct EnvelopePoint {
    double te = 0, tc = 0;
};

// One region of constant RatingCode: a simple polygon, Te rising along its lower edge and
// falling along its upper edge, without repeated vertices or vertices inside a straight
// edge. Where a boundary is one of the model's own limits (TeLow ... TcMax), its vertices
// lie on that limit.
struct EnvelopePolygon {
    int region = 0; // 1-based number of the polygon
    int32_t code = 0;
    std::vector<EnvelopePoint> points;
};

// A boundary between two codes, as a polyline: the lines a diagram draws.
struct EnvelopeLine {
    std::vector<EnvelopePoint> points;
};

struct Envelope {
    EnvelopeWindow window;
    std::vector<EnvelopePolygon> polygons;
    std::vector<EnvelopeLine> boundaries;
    // The codes that occur, ascending.
    std::vector<int32_t> codes;
    // False when the engine refuses every sampled point (no envelope columns).
    bool anyRated = false;
    int ratings = 0; // KPX_Rating calls spent
};

// Accuracy of the boundaries: every change of code lies within this distance (K) of where
// the engine puts it.
inline constexpr double kEnvelopeTolerance = 0.1;

// The window a model's diagram shows: the extent of the points the engine rates, found on
// a coarse grid over a wide range, with a margin, widened to take in the point (te, tc).
EnvelopeWindow envelopeWindow(const EngineApi& api, int32_t model, const ConditionValues& at);

// The regions of a model at the Sc, Sh1 and Sh2 of `at` over `window`.
Envelope computeEnvelope(const EngineApi& api, int32_t model, const ConditionValues& at,
                         const EnvelopeWindow& window);

// The code of the polygon that holds (te, tc); -1 outside every polygon.
int32_t envelopeCodeAt(const Envelope& envelope, double te, double tc);

} // namespace kv

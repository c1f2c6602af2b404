// The states a thread asked for last, so that a rating asking again for the same state
// (the same fluid and the same inputs) gets it without solving again.
#pragma once

#include "asere/fluid.h"

#include <cstdint>

namespace asere {

// Which call a remembered state answers: a vapour at (T, p), a saturated state at T, or
// a single-phase state at (T, p).
enum class CacheKind { Vapour = 1, SaturatedLiquid = 2, SaturatedVapour = 3, SinglePhase = 4 };

// The state remembered for the fluid `fluidId` (its unique id) and exactly these inputs
// (b = 0 for the saturated states), or null. Fluids never change after loading, so a
// remembered state can never be stale.
const State* cachedState(std::uint64_t fluidId, CacheKind kind, double a, double b);
// A remembered vapour state of the fluid `fluidId` whose `member` is exactly `value`, or
// null.
const State* cachedVapour(std::uint64_t fluidId, double State::*member, double value);
// Remembers a state in place of the oldest one of this thread.
void rememberState(std::uint64_t fluidId, CacheKind kind, double a, double b, const State& state);

} // namespace asere

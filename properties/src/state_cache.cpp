// A few recent states per thread, keyed by the fluid's unique id and the exact inputs.
#include "asere/state_cache.h"

#include <array>
#include <cstddef>

namespace asere {

namespace {

struct CacheEntry {
    std::uint64_t id = 0;
    CacheKind kind{};
    double a = 0, b = 0;
    State state;
};
constexpr std::size_t kCacheSize = 8;
thread_local std::array<CacheEntry, kCacheSize> cache;
thread_local std::size_t cacheNext = 0;

} // namespace

const State* cachedState(std::uint64_t fluidId, CacheKind kind, double a, double b) {
    for (const CacheEntry& e : cache)
        if (e.id == fluidId && e.kind == kind && e.a == a && e.b == b)
            return &e.state;
    return nullptr;
}

const State* cachedVapour(std::uint64_t fluidId, double State::*member, double value) {
    for (const CacheEntry& e : cache)
        if (e.id == fluidId && e.kind == CacheKind::Vapour && e.state.*member == value)
            return &e.state;
    return nullptr;
}

void rememberState(std::uint64_t fluidId, CacheKind kind, double a, double b, const State& state) {
    cache[cacheNext] = {fluidId, kind, a, b, state};
    cacheNext = (cacheNext + 1) % kCacheSize;
}

} // namespace asere

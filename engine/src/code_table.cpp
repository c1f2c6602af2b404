#include "kpx/code_table.h"

namespace kpx {

std::uint32_t KeyHash(std::string_view key) {
    std::uint32_t hash = 0;
    for (const char c : key)
        hash = hash * 33u +
               static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
    return hash;
}

void CodeTable::store(std::string key, std::string value) {
    if (const auto it = index_.find(key); it != index_.end()) {
        entries_[it->second].value = std::move(value);
        return;
    }
    const std::size_t position = entries_.size();
    buckets_[bucketOf(key)].push_back(position);
    index_.emplace(key, position);
    entries_.push_back(Entry{std::move(key), std::move(value)});
}

const std::string* CodeTable::find(std::string_view key) const {
    const auto position = positionOf(key);
    return position ? &entries_[*position].value : nullptr;
}

std::optional<std::size_t> CodeTable::positionOf(std::string_view key) const {
    const auto it = index_.find(key);
    if (it == index_.end())
        return std::nullopt;
    return it->second;
}

} // namespace kpx

// The code lists of a catalogue: a hash table of 17 buckets whose walk order is part of
// the interface, because the code-list enumerations follow it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kpx {

// Hash of a key: starting at 0, hash * 33 + byte for every byte, the byte taken as a
// signed 8-bit value, unsigned 32-bit arithmetic with wrap-around.
std::uint32_t KeyHash(std::string_view key);

class CodeTable {
public:
    static constexpr std::size_t kBucketCount = 17;

    struct Entry {
        std::string key;
        std::string value;
    };

    static std::size_t bucketOf(std::string_view key) { return KeyHash(key) % kBucketCount; }

    // A new key goes to the front of its bucket; a known key keeps its place and takes
    // the new value.
    void store(std::string key, std::string value);
    const std::string* find(std::string_view key) const;
    std::size_t size() const { return entries_.size(); }
    // Entries are numbered 0 .. size()-1 in the order their keys arrived; a number stays
    // with its key.
    std::optional<std::size_t> positionOf(std::string_view key) const;
    const Entry& entry(std::size_t position) const { return entries_[position]; }

    // Visits buckets 0 to 16, each from front to back (latest new key first). The
    // visitor returns true to stop the walk.
    template <typename Visitor> void walk(Visitor&& visit) const {
        walkPositions([&](std::size_t position) { return visit(entries_[position]); });
    }
    // The same walk, handing over each entry's number.
    template <typename Visitor> void walkPositions(Visitor&& visit) const {
        for (const auto& bucket : buckets_)
            for (auto it = bucket.rbegin(); it != bucket.rend(); ++it)
                if (visit(*it))
                    return;
    }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::vector<Entry> entries_;
    // Each bucket lists entry positions in the order the keys arrived.
    std::array<std::vector<std::size_t>, kBucketCount> buckets_;
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> index_;
};

} // namespace kpx

// Variable-speed models: the polynomial sets a model publishes at several shaft speeds
// ("kpxspeed.bin", beside the model table), and rating such a model at any speed of its
// range by linear interpolation in speed between the two neighbouring sets.
//
// The model table keeps one line per model, holding the set at the model's nominal
// speed, so a program that reads only the model table rates the model at that speed.
// The speed file adds every set of the model, the nominal one included, each line:
//   Name  Refrigerant  Speed  SpeedNom  SpeedMin  SpeedMax  ScBase ... H4c
// (tab-terminated fields, one header line, speeds in rev/s, the rating columns as the
// model table has them). Its lines of one model must agree with the model table: the
// same refrigerant, and the nominal set equal to the model table's line number by number;
// otherwise the speed sets are refused and the model rates at its nominal speed only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kpx/rating.h"

namespace kpx {

class Catalogue;

inline constexpr const char* kSpeedsFileName = "kpxspeed.bin";
// The columns of the speed file before the rating columns.
inline constexpr std::array<std::string_view, 6> kSpeedColumns = {
    "Name", "Refrigerant", "Speed", "SpeedNom", "SpeedMin", "SpeedMax"};
// At most this many sets per model.
inline constexpr std::size_t kMaxSpeedSets = KPX_MAX_SPEED_SETS;

struct SpeedSet {
    double speed = 0; // rev/s
    RatingRecord record;
};

// One variable-speed model. `problem` is empty for usable sets; otherwise it says,
// naming the model, why its sets are refused.
struct SpeedModel {
    double nominal = 0, minimum = 0, maximum = 0; // rev/s
    std::vector<SpeedSet> sets;                   // speeds strictly rising
    std::string problem;
};

// The speed sets of a catalogue, by model position.
class SpeedTable {
public:
    // Replaces the table by the sets a speed-file content holds, checked against the
    // catalogue's model table (which must be loaded). Lines of a name the model table
    // doesn't have are ignored.
    void read(std::string_view content, const Catalogue& catalogue);
    void clear() { models_.clear(); }
    // The model's speed sets, or null for a fixed-speed model.
    const SpeedModel* find(std::size_t position) const;

private:
    std::unordered_map<std::size_t, SpeedModel> models_;
};

// The model's rating record at `speed` (within its published speeds): a published set
// itself at its speed, else every number interpolated linearly between the two
// neighbouring sets (a number equal in both stays exactly as it is, so absent limits stay
// absent). `refrigerant` is the model's.
RatingRecord recordAtSpeed(const SpeedModel& model, double speed, const char* refrigerant);

// Rates the model at `speed` rev/s: KPX_SPEED_BELOW_MIN / KPX_SPEED_ABOVE_MAX outside its
// speed range, KPX_PROPERTIES_FAILED for a speed that is no finite number, else the
// rating of recordAtSpeed.
RatingResult rateAtSpeed(const SpeedModel& model, const char* refrigerant, double speed,
                         const Conditions& c, PropertyProvider& properties,
                         const char* dataDirectory);

// The speeds at which the point lies within the envelope (the classification of
// recordAtSpeed gives no refusal), as one interval of the model's speed range: the longest
// such interval when there are several. Nothing when no speed of the range is allowed.
struct SpeedInterval {
    double low, high;
};
std::optional<SpeedInterval> allowedSpeeds(const SpeedModel& model, const Conditions& c);

// The lowest speed of the allowed interval at which the model's capacity at the point
// is `required`, and the rating there; or a code: KPX_NO_SPEED_IN_ENVELOPE,
// KPX_CAPACITY_ABOVE_MAX, KPX_CAPACITY_BELOW_MIN, or a rating failure.
struct SpeedMatch {
    double speed = NotRated;
    RatingResult result;
};
SpeedMatch matchCapacity(const SpeedModel& model, const char* refrigerant, double required,
                         const Conditions& c, PropertyProvider& properties,
                         const char* dataDirectory);

} // namespace kpx

#include "kpx/speed.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

#include "kpx/catalogue.h"
#include "kpx/catalogue_file.h"

namespace kpx {
namespace {

// A line of the speed file, its numbers read.
struct SpeedLine {
    std::string_view refrigerant;
    double speed, nominal, minimum, maximum;
    RatingRecord record;
};

bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Every number of the two records, in schema order, as pairs.
template <typename Visit> void forEachPair(RatingRecord& a, RatingRecord& b, Visit&& visit) {
    const auto slotsA = ratingSlots(a);
    const auto slotsB = ratingSlots(b);
    for (std::size_t i = 0; i < slotsA.size(); ++i)
        visit(kRatingColumns[i], *slotsA[i], *slotsB[i]);
}

constexpr bool isEnvelopeColumn(std::size_t ratingColumn) {
    return ratingColumn >= columnIndex("TeLow") - kFirstRatingColumn;
}
constexpr bool isBaseColumn(std::size_t ratingColumn) {
    return ratingColumn < kFirstCoefficientColumn - kFirstRatingColumn;
}

// Why a model's lines can't be used, or empty. The lines are in file order.
std::string checkModel(std::string_view name, const std::vector<SpeedLine>& lines,
                       std::string_view modelRefrigerant, RatingRecord modelRecord) {
    const std::string model = "model " + std::string(name) + ": ";
    if (lines.size() < 2)
        return model + "a variable-speed model needs polynomial sets at two speeds or more, it "
                       "has one";
    if (lines.size() > kMaxSpeedSets)
        return model + "more than " + std::to_string(kMaxSpeedSets) + " speed sets";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SpeedLine& l = lines[i];
        if (l.refrigerant != modelRefrigerant)
            return model + "speed sets of different refrigerants (" + std::string(l.refrigerant) +
                   " and " + std::string(modelRefrigerant) + ")";
        if (!(std::isfinite(l.speed) && l.speed > 0))
            return model + "a speed that is no positive number";
        if (i > 0 && l.speed == lines[i - 1].speed)
            return model + "the speed " + std::to_string(l.speed) + " rev/s is given twice";
        if (i > 0 && l.speed < lines[i - 1].speed)
            return model + "the speeds decrease (" + std::to_string(lines[i - 1].speed) + " then " +
                   std::to_string(l.speed) + " rev/s)";
        if (!sameBits(l.nominal, lines[0].nominal) || !sameBits(l.minimum, lines[0].minimum) ||
            !sameBits(l.maximum, lines[0].maximum))
            return model + "its sets give different nominal, minimum or maximum speeds";
    }
    const SpeedLine& first = lines.front();
    const double lowest = first.speed, highest = lines.back().speed;
    if (!(first.minimum >= lowest && first.maximum <= highest && first.minimum < first.maximum &&
          first.nominal >= first.minimum && first.nominal <= first.maximum))
        return model + "its speed range must lie within its published speeds and hold its "
                       "nominal speed";
    const auto nominal = std::find_if(lines.begin(), lines.end(),
                                      [&](const SpeedLine& l) { return l.speed == first.nominal; });
    if (nominal == lines.end())
        return model + "its nominal speed is none of its published speeds";
    std::string problem;
    RatingRecord nominalRecord = nominal->record;
    forEachPair(nominalRecord, modelRecord, [&](std::string_view column, double a, double b) {
        if (problem.empty() && !sameBits(a, b))
            problem = model + "its set at the nominal speed differs from the model table in " +
                      std::string(column) + ": the speed file belongs to another catalogue";
    });
    if (!problem.empty())
        return problem;
    for (const SpeedLine& l : lines) {
        RatingRecord a = first.record, b = l.record;
        std::size_t k = 0;
        forEachPair(a, b, [&](std::string_view column, double x, double y) {
            const std::size_t i = k++;
            if (!problem.empty())
                return;
            if (isBaseColumn(i) && !sameBits(x, y))
                problem =
                    model + "its sets have different rating bases (" + std::string(column) + ")";
            else if (isEnvelopeColumn(i) && ((x == NoValue) != (y == NoValue)))
                problem = model + "the envelope limit " + std::string(column) +
                          " is given at some speeds only";
        });
        if (!problem.empty())
            return problem;
    }
    return {};
}

double interpolate(double a, double b, double t) {
    return a == b ? a : (1 - t) * a + t * b;
}

} // namespace

void SpeedTable::read(std::string_view content, const Catalogue& catalogue) {
    models_.clear();
    // The model positions by name, the first of a name.
    std::unordered_map<std::string_view, std::size_t> positions;
    for (std::size_t i = catalogue.modelCount(); i-- > 0;)
        positions[catalogue.FieldText(i, "Name")] = i;

    std::vector<std::size_t> columnOf; // file column of each speed and rating column
    std::map<std::size_t, std::pair<std::string_view, std::vector<SpeedLine>>> byPosition;
    bool header = true;
    forEachLine(content, [&](std::string_view line) {
        const std::vector<std::string_view> fields = fieldsOf(line);
        if (std::exchange(header, false)) {
            const auto find = [&](std::string_view name) {
                const auto it = std::find(fields.begin(), fields.end(), name);
                return static_cast<std::size_t>(it - fields.begin());
            };
            for (const std::string_view c : kSpeedColumns)
                columnOf.push_back(find(c));
            for (const std::string_view c : kRatingColumns)
                columnOf.push_back(find(c));
            return;
        }
        const auto text = [&](std::size_t k) {
            return columnOf[k] < fields.size() ? fields[columnOf[k]] : std::string_view{};
        };
        const auto found = positions.find(text(0));
        if (text(0).empty() || found == positions.end())
            return;
        SpeedLine l{text(1),
                    FieldNumber(text(2)),
                    FieldNumber(text(3)),
                    FieldNumber(text(4)),
                    FieldNumber(text(5)),
                    {}};
        std::size_t k = kSpeedColumns.size();
        forEachRatingColumn(
            l.record, [&](std::string_view, double& value) { value = FieldNumber(text(k++)); });
        auto& entry = byPosition[found->second];
        entry.first = found->first;
        entry.second.push_back(l);
    });
    for (auto& [position, entry] : byPosition) {
        SpeedModel m;
        const std::vector<SpeedLine>& lines = entry.second;
        const RatingRecord modelRecord = catalogue.ratingRecord(position);
        m.problem = checkModel(entry.first, lines, modelRecord.refrigerant, modelRecord);
        m.nominal = lines.front().nominal;
        m.minimum = lines.front().minimum;
        m.maximum = lines.front().maximum;
        for (const SpeedLine& l : lines)
            m.sets.push_back(SpeedSet{l.speed, l.record});
        models_.emplace(position, std::move(m));
    }
}

const SpeedModel* SpeedTable::find(std::size_t position) const {
    const auto it = models_.find(position);
    return it == models_.end() ? nullptr : &it->second;
}

namespace {

// The two sets around a speed within the published ones, and where it lies between them.
struct Between {
    const SpeedSet& a;
    const SpeedSet& b;
    double t; // 0 at a, 1 at b
};
Between between(const SpeedModel& model, double speed) {
    const std::vector<SpeedSet>& sets = model.sets;
    std::size_t upper = 1;
    while (upper + 1 < sets.size() && sets[upper].speed < speed)
        ++upper;
    const SpeedSet& a = sets[upper - 1];
    const SpeedSet& b = sets[upper];
    return {a, b, (speed - a.speed) / (b.speed - a.speed)};
}

// The envelope alone at a speed, as recordAtSpeed gives it: what the classification reads.
Envelope envelopeAtSpeed(const SpeedModel& model, double speed) {
    const Between at = between(model, speed);
    const Envelope& a = at.a.record.envelope;
    const Envelope& b = at.b.record.envelope;
    if (speed == at.a.speed)
        return a;
    if (speed == at.b.speed)
        return b;
    const double t = at.t;
    Envelope e;
    for (double Envelope::*limit :
         {&Envelope::teLow, &Envelope::teHig, &Envelope::tcLow, &Envelope::tcHig,  &Envelope::teMin,
          &Envelope::teMax, &Envelope::tcMin, &Envelope::tcMax, &Envelope::rgtMax, &Envelope::rgtH,
          &Envelope::shMax, &Envelope::shTol, &Envelope::scMax, &Envelope::tcTol,  &Envelope::shF,
          &Envelope::shH,   &Envelope::k1e,   &Envelope::k1c,   &Envelope::k2e,    &Envelope::k2c})
        e.*limit = interpolate(a.*limit, b.*limit, t);
    for (std::size_t n = 0; n < e.fe.size(); ++n) {
        e.fe[n] = interpolate(a.fe[n], b.fe[n], t);
        e.fc[n] = interpolate(a.fc[n], b.fc[n], t);
    }
    for (std::size_t n = 0; n < e.he.size(); ++n) {
        e.he[n] = interpolate(a.he[n], b.he[n], t);
        e.hc[n] = interpolate(a.hc[n], b.hc[n], t);
    }
    return e;
}

} // namespace

RatingRecord recordAtSpeed(const SpeedModel& model, double speed, const char* refrigerant) {
    const Between at = between(model, speed);
    RatingRecord r;
    if (speed == at.a.speed)
        r = at.a.record;
    else if (speed == at.b.speed)
        r = at.b.record;
    else {
        // The base conditions and the coefficients, which come first in the schema's
        // order; then the envelope.
        RatingRecord lowRecord = at.a.record, highRecord = at.b.record;
        const auto low = ratingSlots(lowRecord);
        const auto high = ratingSlots(highRecord);
        const auto out = ratingSlots(r);
        constexpr std::size_t kCoefficientsEnd = columnIndex("TeLow") - kFirstRatingColumn;
        for (std::size_t i = 0; i < kCoefficientsEnd; ++i)
            *out[i] = interpolate(*low[i], *high[i], at.t);
        r.envelope = envelopeAtSpeed(model, speed);
    }
    r.refrigerant = refrigerant;
    return r;
}

namespace {

RatingCode speedCode(const SpeedModel& model, double speed) {
    if (!std::isfinite(speed))
        return KPX_PROPERTIES_FAILED;
    if (speed < model.minimum)
        return KPX_SPEED_BELOW_MIN;
    if (speed > model.maximum)
        return KPX_SPEED_ABOVE_MAX;
    return KPX_CLEAN;
}

bool allowedAt(const SpeedModel& model, double speed, const Conditions& c) {
    return classify(envelopeAtSpeed(model, speed), c) >= 0;
}

} // namespace

RatingResult rateAtSpeed(const SpeedModel& model, const char* refrigerant, double speed,
                         const Conditions& c, PropertyProvider& properties,
                         const char* dataDirectory) {
    if (const RatingCode code = speedCode(model, speed); code != KPX_CLEAN) {
        RatingResult refused;
        refused.code = code;
        return refused;
    }
    return rate(recordAtSpeed(model, speed, refrigerant), c, properties, dataDirectory);
}

std::optional<SpeedInterval> allowedSpeeds(const SpeedModel& model, const Conditions& c) {
    // Samples: the range's ends, the published speeds within it and 8 steps between each
    // two of those (the limits are linear in speed between published speeds, so an
    // allowed set is one interval there but for the K line's and the curves' shapes);
    // then each end of the longest allowed run is refined by bisection against its
    // refused neighbour.
    std::vector<double> knots{model.minimum};
    for (const SpeedSet& s : model.sets)
        if (s.speed > model.minimum && s.speed < model.maximum)
            knots.push_back(s.speed);
    knots.push_back(model.maximum);
    constexpr int kSteps = 8;
    std::vector<double> samples;
    for (std::size_t k = 0; k + 1 < knots.size(); ++k)
        for (int j = 0; j < kSteps; ++j)
            samples.push_back(knots[k] + (knots[k + 1] - knots[k]) * j / kSteps);
    samples.push_back(model.maximum);
    std::vector<char> allowed(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        allowed[i] = allowedAt(model, samples[i], c);

    std::optional<std::pair<std::size_t, std::size_t>> best;
    for (std::size_t i = 0; i < samples.size();) {
        if (!allowed[i]) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j + 1 < samples.size() && allowed[j + 1])
            ++j;
        if (!best || samples[j] - samples[i] > samples[best->second] - samples[best->first])
            best = std::pair(i, j);
        i = j + 1;
    }
    if (!best)
        return std::nullopt;
    const auto refine = [&](double in, double out) {
        for (int n = 0; n < 200 && std::abs(out - in) > 1e-10 * std::abs(in); ++n) {
            const double mid = in + (out - in) / 2;
            (allowedAt(model, mid, c) ? in : out) = mid;
        }
        return in;
    };
    SpeedInterval range{samples[best->first], samples[best->second]};
    if (best->first > 0)
        range.low = refine(range.low, samples[best->first - 1]);
    if (best->second + 1 < samples.size())
        range.high = refine(range.high, samples[best->second + 1]);
    return range;
}

SpeedMatch matchCapacity(const SpeedModel& model, const char* refrigerant, double required,
                         const Conditions& c, PropertyProvider& properties,
                         const char* dataDirectory) {
    SpeedMatch match;
    if (!std::isfinite(required)) {
        match.result.code = KPX_PROPERTIES_FAILED;
        return match;
    }
    const std::optional<SpeedInterval> range = allowedSpeeds(model, c);
    if (!range) {
        match.result.code = KPX_NO_SPEED_IN_ENVELOPE;
        return match;
    }
    // The rating basis is the same in every set: one correction serves all speeds, and
    // the capacity is linear in speed between the knots.
    const RatingRecord lowest = recordAtSpeed(model, range->low, refrigerant);
    const RatingCode working = classify(lowest.envelope, c);
    const std::optional<Correction> f =
        working < 0 ? std::nullopt : correction(lowest, c, properties, dataDirectory);
    if (!f) {
        match.result.code = working < 0 ? working : KPX_PROPERTIES_FAILED;
        return match;
    }
    std::vector<double> knots{range->low};
    for (const SpeedSet& s : model.sets)
        if (s.speed > range->low && s.speed < range->high)
            knots.push_back(s.speed);
    knots.push_back(range->high);
    std::vector<double> capacity;
    for (const double s : knots)
        capacity.push_back(
            ratePolynomials(recordAtSpeed(model, s, refrigerant), c, *f, kWorking).capacity);
    for (std::size_t k = 0; k + 1 < knots.size(); ++k) {
        const double a = capacity[k], b = capacity[k + 1];
        if (!((a <= required && required <= b) || (b <= required && required <= a)))
            continue;
        const double t = a == b ? 0.0 : (required - a) / (b - a);
        match.speed = std::clamp(knots[k] + t * (knots[k + 1] - knots[k]), knots[k], knots[k + 1]);
        const RatingRecord r = recordAtSpeed(model, match.speed, refrigerant);
        if (const RatingCode code = classify(r.envelope, c); code < 0)
            match.result.code = code;
        else
            match.result = ratePolynomials(r, c, *f, code);
        return match;
    }
    const bool above =
        std::all_of(capacity.begin(), capacity.end(), [&](double q) { return q < required; });
    const bool below =
        std::all_of(capacity.begin(), capacity.end(), [&](double q) { return q > required; });
    // Neither: a capacity that is no number.
    match.result.code = above   ? RatingCode{KPX_CAPACITY_ABOVE_MAX}
                        : below ? RatingCode{KPX_CAPACITY_BELOW_MIN}
                                : RatingCode{KPX_PROPERTIES_FAILED};
    return match;
}

} // namespace kpx

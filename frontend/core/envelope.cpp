#include "kv/envelope.h"

#include "kv/calcrun.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kv {

PointRating ratePoint(const EngineApi& api, int32_t model, double te, double tc,
                      const ConditionValues& at) {
    PointRating r;
    if (at.speed) {
        if (api.KPX_RatingAtSpeed != nullptr)
            r.code =
                api.KPX_RatingAtSpeed(model, "", "", 0, *at.speed, te, tc, at.sc, at.sh1, at.sh2,
                                      &r.capacity, &r.power, &r.current, &r.massFlow, &r.cop);
        return r;
    }
    if (api.KPX_Rating == nullptr)
        return r;
    r.code = api.KPX_Rating(model, "", "", 0, te, tc, at.sc, at.sh1, at.sh2, &r.capacity, &r.power,
                            &r.current, &r.massFlow, &r.cop);
    return r;
}

RegionKind regionKind(int32_t code) {
    if (code == KPX_CLEAN)
        return RegionKind::Clean;
    return code > 0 ? RegionKind::Warning : RegionKind::Refused;
}

std::string ratingReason(int32_t code) {
    static const std::map<int32_t, std::string_view> kReasons{
        {KPX_CLEAN, "within the envelope"},
        {KPX_NOT_FOUND, "model not found in the catalogue"},
        {KPX_TE_TOO_LOW, "evaporating temperature below the envelope"},
        {KPX_TE_TOO_HIGH, "evaporating temperature above the envelope"},
        {KPX_TC_TOO_LOW,
         "condensing temperature below the envelope or above the limit for this superheat"},
        {KPX_TC_TOO_HIGH, "condensing temperature above the envelope"},
        {KPX_SUPERHEAT_TOO_HIGH, "superheat above the limit"},
        {KPX_SUBCOOLING_TOO_HIGH, "subcooling above the limit"},
        {KPX_SUPERHEAT_NEGATIVE, "negative superheat"},
        {KPX_SUBCOOLING_NEGATIVE, "negative subcooling"},
        {KPX_PROPERTIES_FAILED, "refrigerant properties not available at this point"},
        {KPX_TE_BELOW_INNER, "evaporating temperature below the continuous-duty range"},
        {KPX_TE_ABOVE_INNER, "evaporating temperature above the continuous-duty range"},
        {KPX_TC_BELOW_INNER, "condensing temperature below the continuous-duty range"},
        {KPX_TC_ABOVE_INNER, "condensing temperature above the continuous-duty range"},
        {KPX_SUPERHEAT_HIGH, "superheat above the limit, within the tolerance"},
        {KPX_SH2_BELOW_SH1, "total superheat below the evaporator superheat"},
        {KPX_BELOW_K_LINE, "pressure ratio below the minimum (under the K line)"},
        {KPX_TC_ABOVE_LIMIT,
         "condensing temperature above the limit for this superheat, within the tolerance"},
        // Variable-speed models.
        {KPX_SPEED_BELOW_MIN, "speed below the model's minimum speed"},
        {KPX_SPEED_ABOVE_MAX, "speed above the model's maximum speed"},
        {KPX_FIXED_SPEED, "fixed-speed model: no speed to choose"},
        {KPX_SPEED_DATA_INVALID, "the model's speed sets are refused"},
        {KPX_NO_SPEED_IN_ENVELOPE, "outside the envelope at every speed"},
        {KPX_CAPACITY_ABOVE_MAX, "capacity above that at the highest speed allowed"},
        {KPX_CAPACITY_BELOW_MIN, "capacity below that at the lowest speed allowed"},
    };
    const auto it = kReasons.find(code);
    if (it == kReasons.end())
        return "unknown rating code " + std::to_string(code);
    return std::string(it->second);
}

namespace {

// Sampling steps and the resolution of the bisections, K. The bisections go well below
// kEnvelopeTolerance so that the joining of columns by straight lines stays inside it.
constexpr double kTcSampleStep = 0.5;
constexpr double kTeSampleStep = 1.0;
constexpr double kTcResolution = 0.01;
constexpr double kTeResolution = 0.02;
// Columns are added between two columns of the same code sequence while a boundary at the
// midpoint lies further than this from the straight line between them.
constexpr double kLineDeviation = 0.03;
constexpr double kMinColumnSpacing = 0.1;
// Every bisection ends after this many halvings, whatever the temperatures.
constexpr int kMaxBisections = 64;

// Whether `mid` lies strictly between `lo` and `hi`: false where the two are neighbouring
// doubles, so a bisection can't go on.
bool splits(double lo, double mid, double hi) {
    return lo < mid && mid < hi;
}

// The model's own limits, engine units: where a boundary meets one, it lies on it.
struct ModelLimits {
    std::vector<double> te, tc;
};

ModelLimits modelLimits(const EngineApi& api, int32_t model) {
    ModelLimits limits;
    if (api.KPX_GetModelData == nullptr)
        return limits;
    const std::pair<const char*, std::vector<double>*> columns[] = {
        {"TeLow", &limits.te}, {"TeHig", &limits.te}, {"TeMin", &limits.te}, {"TeMax", &limits.te},
        {"TcLow", &limits.tc}, {"TcHig", &limits.tc}, {"TcMin", &limits.tc}, {"TcMax", &limits.tc}};
    for (const auto& [column, into] : columns)
        if (const auto v = parseNumber(modelData(api, model, column), NumberFormat::english()))
            into->push_back(*v);
    return limits;
}

// Where a change of code bracketed by lo and hi lies: on a limit of the model between
// them, or else halfway.
double boundaryAt(const std::vector<double>& limits, double lo, double hi) {
    for (double limit : limits)
        if (lo <= limit && limit <= hi)
            return limit;
    return (lo + hi) / 2;
}

struct Column {
    double te = 0;
    std::vector<double> bounds; // Tc of each change of code, rising
    std::vector<int32_t> codes; // codes.size() == bounds.size() + 1

    int32_t codeAt(double tc) const {
        const auto it = std::upper_bound(bounds.begin(), bounds.end(), tc);
        return codes[static_cast<std::size_t>(it - bounds.begin())];
    }
};

class Scanner {
public:
    Scanner(const EngineApi& api, int32_t model, const ConditionValues& at, const EnvelopeWindow& w,
            std::vector<double> tcLimits)
        : api_(api), model_(model), at_(at), w_(w), tcLimits_(std::move(tcLimits)) {}

    int32_t code(double te, double tc) {
        ++ratings;
        return ratePoint(api_, model_, te, tc, at_).code;
    }

    Column column(double te) {
        Column c;
        c.te = te;
        const int n =
            std::max(1, static_cast<int>(std::ceil((w_.tcTo - w_.tcFrom) / kTcSampleStep)));
        double prevTc = w_.tcFrom;
        int32_t prev = code(te, prevTc);
        c.codes.push_back(prev);
        for (int i = 1; i <= n; ++i) {
            const double tc = w_.tcFrom + (w_.tcTo - w_.tcFrom) * i / n;
            const int32_t cur = code(te, tc);
            if (cur != prev)
                refine(c, te, prevTc, prev, tc, cur);
            prevTc = tc;
            prev = cur;
        }
        return c;
    }

    // Adds to `out` the columns after `a` up to and including `b`.
    void span(const Column& a, const Column& b, std::vector<Column>& out, int depth = 0) {
        const double width = b.te - a.te;
        const bool same = a.codes == b.codes;
        const double mid = (a.te + b.te) / 2;
        if (depth > 20 || !splits(a.te, mid, b.te) || (same && width <= kMinColumnSpacing) ||
            (!same && width <= kTeResolution)) {
            out.push_back(b);
            return;
        }
        Column m = column(mid);
        if (same && m.codes == a.codes) {
            double deviation = 0;
            for (std::size_t k = 0; k < m.bounds.size(); ++k)
                deviation =
                    std::max(deviation, std::abs(m.bounds[k] - (a.bounds[k] + b.bounds[k]) / 2));
            if (deviation <= kLineDeviation) {
                out.push_back(std::move(m));
                out.push_back(b);
                return;
            }
        }
        span(a, m, out, depth + 1);
        const Column middle = out.back();
        span(middle, b, out, depth + 1);
    }

    int ratings = 0;

private:
    // Finds every change of code between (lo, cLo) and (hi, cHi) to kTcResolution, or to
    // the spacing of doubles where that is coarser (temperatures near 1e14).
    void refine(Column& c, double te, double lo, int32_t cLo, double hi, int32_t cHi,
                int depth = 0) {
        const double mid = (lo + hi) / 2;
        if (hi - lo <= kTcResolution || !splits(lo, mid, hi) || depth >= kMaxBisections) {
            c.bounds.push_back(boundaryAt(tcLimits_, lo, hi));
            c.codes.push_back(cHi);
            return;
        }
        const int32_t cm = code(te, mid);
        if (cm != cLo)
            refine(c, te, lo, cLo, mid, cm, depth + 1);
        if (cm != cHi)
            refine(c, te, mid, cm, hi, cHi, depth + 1);
    }

    const EngineApi& api_;
    int32_t model_;
    ConditionValues at_;
    EnvelopeWindow w_;
    std::vector<double> tcLimits_;
};

// A polygon without repeated vertices and without vertices in the middle of a straight
// edge (the samples along a limit or the window's edge).
std::vector<EnvelopePoint> simplified(std::vector<EnvelopePoint> points) {
    bool changed = true;
    while (changed && points.size() > 3) {
        changed = false;
        std::vector<EnvelopePoint> kept;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const EnvelopePoint& a = kept.empty() ? points.back() : kept.back();
            const EnvelopePoint& b = points[i];
            const EnvelopePoint& c = points[(i + 1) % points.size()];
            const double cross = (b.te - a.te) * (c.tc - b.tc) - (b.tc - a.tc) * (c.te - b.te);
            const double scale =
                std::hypot(b.te - a.te, b.tc - a.tc) * std::hypot(c.te - b.te, c.tc - b.tc);
            if (std::abs(cross) <= 1e-12 * scale) {
                changed = true;
                continue;
            }
            kept.push_back(b);
        }
        if (kept.size() < 3)
            break;
        points = std::move(kept);
    }
    return points;
}

// One interval of constant code across a run of slabs: its lower and upper edges, Te rising.
struct Piece {
    int32_t code = 0;
    std::vector<EnvelopePoint> lower, upper;
};

bool meets(const Piece& a, const Piece& b) { // a ends where b starts, with an overlap in Tc
    return a.code == b.code && std::max(a.lower.back().tc, b.lower.front().tc) <
                                   std::min(a.upper.back().tc, b.upper.front().tc);
}

// Joins the pieces of the next slab to the open pieces they continue, one to one, so that a
// region of one code becomes one polygon; pieces that end are moved to `done`.
void joinSlab(std::vector<Piece>& open, std::vector<Piece>& slab, std::vector<Piece>& done) {
    auto partners = [](const std::vector<Piece>& side, const Piece& p, bool before) {
        std::vector<std::size_t> found;
        for (std::size_t i = 0; i < side.size(); ++i)
            if (before ? meets(side[i], p) : meets(p, side[i]))
                found.push_back(i);
        return found;
    };
    // The pairs first, then the joins, so that no test sees a piece already moved.
    std::vector<std::size_t> joinTo(slab.size(), open.size());
    for (std::size_t j = 0; j < slab.size(); ++j) {
        const auto from = partners(open, slab[j], true);
        if (from.size() == 1 && partners(slab, open[from[0]], false).size() == 1)
            joinTo[j] = from[0];
    }
    std::vector<bool> continued(open.size(), false);
    for (std::size_t j = 0; j < slab.size(); ++j) {
        if (joinTo[j] == open.size())
            continue;
        Piece& o = open[joinTo[j]];
        o.lower.insert(o.lower.end(), slab[j].lower.begin(), slab[j].lower.end());
        o.upper.insert(o.upper.end(), slab[j].upper.begin(), slab[j].upper.end());
        slab[j] = std::move(o);
        continued[joinTo[j]] = true;
    }
    for (std::size_t i = 0; i < open.size(); ++i)
        if (!continued[i])
            done.push_back(std::move(open[i]));
    open = std::move(slab);
}

void addSegment(std::vector<EnvelopeLine>& lines, EnvelopePoint a, EnvelopePoint b) {
    if (!lines.empty() && !lines.back().points.empty()) {
        const EnvelopePoint& last = lines.back().points.back();
        if (last.te == a.te && last.tc == a.tc) {
            lines.back().points.push_back(b);
            return;
        }
    }
    lines.push_back({{a, b}});
}

} // namespace

EnvelopeWindow envelopeWindow(const EngineApi& api, int32_t model, const ConditionValues& at) {
    // Wide enough for every refrigerant of the catalogue. A rated area missed between two
    // samples reaches less than a step beyond the last rated sample, inside the margin.
    constexpr double kTeLow = -60, kTeHigh = 40, kTcLow = -20, kTcHigh = 90, kStep = 5;
    constexpr double kMargin = 7.5;
    double teMin = 1e9, teMax = -1e9, tcMin = 1e9, tcMax = -1e9;
    for (double te = kTeLow; te <= kTeHigh; te += kStep)
        for (double tc = kTcLow; tc <= kTcHigh; tc += kStep)
            if (ratePoint(api, model, te, tc, at).code >= 0) {
                teMin = std::min(teMin, te);
                teMax = std::max(teMax, te);
                tcMin = std::min(tcMin, tc);
                tcMax = std::max(tcMax, tc);
            }
    EnvelopeWindow w;
    if (teMin > teMax && std::isfinite(at.te) && std::isfinite(at.tc)) {
        // Nothing rated: a window around the point.
        teMin = teMax = at.te;
        tcMin = tcMax = at.tc;
    }
    // The operating point is taken in when it lies near the sampled range; one far outside
    // (a typing error) must not stretch the diagram into a flat line.
    if (at.te >= kTeLow - 40 && at.te <= kTeHigh + 40 && at.tc >= kTcLow - 40 &&
        at.tc <= kTcHigh + 40) {
        teMin = std::min(teMin, at.te);
        teMax = std::max(teMax, at.te);
        tcMin = std::min(tcMin, at.tc);
        tcMax = std::max(tcMax, at.tc);
    } else if (teMin > teMax) {
        teMin = kTeLow;
        teMax = kTeHigh;
        tcMin = kTcLow;
        tcMax = kTcHigh;
    }
    // A margin of at least one sampling step beyond the outermost rated point, on
    // multiples of 5 K.
    w.teFrom = std::floor((teMin - kMargin) / 5) * 5;
    w.teTo = std::ceil((teMax + kMargin) / 5) * 5;
    w.tcFrom = std::floor((tcMin - kMargin) / 5) * 5;
    w.tcTo = std::ceil((tcMax + kMargin) / 5) * 5;
    return w;
}

Envelope computeEnvelope(const EngineApi& api, int32_t model, const ConditionValues& at,
                         const EnvelopeWindow& window) {
    Envelope env;
    env.window = window;
    // A window of more than a few hundred kelvin is no envelope; it would only cost time.
    constexpr double kLargestSpan = 400;
    if (!(window.teTo > window.teFrom) || !(window.tcTo > window.tcFrom) ||
        !(window.teTo - window.teFrom <= kLargestSpan) ||
        !(window.tcTo - window.tcFrom <= kLargestSpan))
        return env;
    const ModelLimits limits = modelLimits(api, model);
    Scanner scan(api, model, at, window, limits.tc);

    // Columns of constant Te: coarse ones first, then the spans between them refined.
    const int n =
        std::max(1, static_cast<int>(std::ceil((window.teTo - window.teFrom) / kTeSampleStep)));
    std::vector<Column> columns{scan.column(window.teFrom)};
    for (int i = 1; i <= n; ++i) {
        const Column prev = columns.back();
        scan.span(prev, scan.column(window.teFrom + (window.teTo - window.teFrom) * i / n),
                  columns);
    }

    // Slabs: runs of columns with one code sequence. Neighbouring slabs meet halfway
    // between their outer columns, which lie within kTeResolution of each other.
    std::vector<Piece> open, done;
    std::size_t s = 0;
    while (s < columns.size()) {
        std::size_t e = s;
        while (e + 1 < columns.size() && columns[e + 1].codes == columns[s].codes)
            ++e;
        const double left =
            s == 0 ? window.teFrom : boundaryAt(limits.te, columns[s - 1].te, columns[s].te);
        const double right = e + 1 == columns.size()
                                 ? window.teTo
                                 : boundaryAt(limits.te, columns[e].te, columns[e + 1].te);
        // The Te positions of the slab, with the value of each at the slab's column.
        std::vector<std::pair<double, const Column*>> stations;
        stations.emplace_back(left, &columns[s]);
        for (std::size_t i = s; i <= e; ++i)
            if (columns[i].te > stations.back().first)
                stations.emplace_back(columns[i].te, &columns[i]);
        if (right > stations.back().first)
            stations.emplace_back(right, &columns[e]);

        const Column& first = columns[s];
        const std::size_t intervals = first.codes.size();
        std::vector<Piece> slab;
        for (std::size_t k = 0; k < intervals; ++k) {
            auto lower = [&](const Column* c) { return k == 0 ? window.tcFrom : c->bounds[k - 1]; };
            auto upper = [&](const Column* c) {
                return k + 1 == intervals ? window.tcTo : c->bounds[k];
            };
            Piece p;
            p.code = first.codes[k];
            for (const auto& [te, c] : stations) {
                p.lower.push_back({te, lower(c)});
                p.upper.push_back({te, upper(c)});
            }
            slab.push_back(std::move(p));
            // Boundaries between two refusals are not drawn: nothing is rated on either side.
            if (k + 1 < intervals && (first.codes[k] >= 0 || first.codes[k + 1] >= 0)) {
                EnvelopeLine line;
                for (const auto& [te, c] : stations)
                    line.points.push_back({te, c->bounds[k]});
                env.boundaries.push_back(std::move(line));
            }
        }
        joinSlab(open, slab, done);
        // Where the next slab starts: a vertical boundary over the Tc where the codes of
        // the two sides differ.
        if (e + 1 < columns.size()) {
            const Column& a = columns[e];
            const Column& b = columns[e + 1];
            std::vector<double> cuts{window.tcFrom, window.tcTo};
            cuts.insert(cuts.end(), a.bounds.begin(), a.bounds.end());
            cuts.insert(cuts.end(), b.bounds.begin(), b.bounds.end());
            std::sort(cuts.begin(), cuts.end());
            std::vector<EnvelopeLine> vertical;
            for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
                const double mid = (cuts[i] + cuts[i + 1]) / 2;
                const int32_t before = a.codeAt(mid), after = b.codeAt(mid);
                if (cuts[i + 1] > cuts[i] && before != after && (before >= 0 || after >= 0))
                    addSegment(vertical, {right, cuts[i]}, {right, cuts[i + 1]});
            }
            env.boundaries.insert(env.boundaries.end(), vertical.begin(), vertical.end());
        }
        s = e + 1;
    }

    done.insert(done.end(), open.begin(), open.end());
    for (Piece& piece : done) {
        EnvelopePolygon p;
        p.region = static_cast<int>(env.polygons.size()) + 1;
        p.code = piece.code;
        p.points = std::move(piece.lower);
        p.points.insert(p.points.end(), piece.upper.rbegin(), piece.upper.rend());
        p.points = simplified(std::move(p.points));
        env.polygons.push_back(std::move(p));
    }

    for (const Column& c : columns)
        for (int32_t code : c.codes) {
            if (code >= 0)
                env.anyRated = true;
            if (std::find(env.codes.begin(), env.codes.end(), code) == env.codes.end())
                env.codes.push_back(code);
        }
    std::sort(env.codes.begin(), env.codes.end());
    env.ratings = scan.ratings;
    return env;
}

int32_t envelopeCodeAt(const Envelope& envelope, double te, double tc) {
    for (const EnvelopePolygon& p : envelope.polygons) {
        bool inside = false;
        const auto& v = p.points;
        for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            if ((v[i].tc > tc) != (v[j].tc > tc) &&
                te < (v[j].te - v[i].te) * (tc - v[i].tc) / (v[j].tc - v[i].tc) + v[i].te)
                inside = !inside;
        }
        if (inside)
            return p.code;
    }
    return -1;
}

} // namespace kv

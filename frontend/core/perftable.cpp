#include "kv/perftable.h"

#include "kv/calcrun.h"
#include "kv/codelists.h"
#include "kv/displaytext.h"

#include <kpx_text_buffer.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kv {

namespace {

// plainNumber writes magnitudes below this in fixed notation: at most this many digits.
constexpr double kLargestFixed = 1e15;
constexpr std::size_t kLargestFixedDigits = 15;

// Walks the models matching the codes until `match` accepts one.
template <typename Match>
std::optional<ModelInfo> findModel(const EngineApi& api, int32_t refrigerant, int32_t family,
                                   int32_t power, Match match) {
    std::optional<ModelInfo> found;
    forEachModel(api, refrigerant, family, power, [&](int32_t number) {
        ModelInfo info = modelInfo(api, number);
        if (match(info))
            found = std::move(info);
        return !found;
    });
    return found;
}

// `count` values from `from` to `to` by `step`; the last may fall short of `to` by less
// than a step (a hundredth of a step counts as reaching it).
std::size_t stepCount(double from, double to, double step) {
    return static_cast<std::size_t>(std::floor((to - from) / step + 1e-2)) + 1;
}

// The values of a range into `out`, with `point` added in order where it falls between two
// of them; gives the place of the point, or -1 outside the range.
int steps(double from, double to, double step, double point, std::vector<double>& out) {
    const std::size_t count = stepCount(from, to, step);
    int at = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const double v = from + static_cast<double>(i) * step;
        if (std::abs(v - point) < 1e-6) {
            at = static_cast<int>(out.size());
        } else if (at < 0 && i > 0 && out.back() < point && point < v) {
            at = static_cast<int>(out.size());
            out.push_back(point);
        }
        out.push_back(v);
    }
    return at;
}

} // namespace

void forEachModel(const EngineApi& api, int32_t refrigerant, int32_t family, int32_t power,
                  const std::function<bool(int32_t)>& visit) {
    if (api.KPX_GetModel == nullptr || api.KPX_GetModelData == nullptr)
        return;
    int32_t start = 0;
    for (;;) {
        kpx::TextBuffer showName;
        int32_t next = 0;
        api.KPX_GetModel(start, refrigerant, family, power, &next, showName.address());
        // A search must move forward; anything else ends it rather than loop.
        if (next <= start || !visit(next))
            return;
        start = next;
    }
}

ModelInfo modelInfo(const EngineApi& api, int32_t number) {
    ModelInfo m;
    m.number = number;
    m.name = modelData(api, number, "Name");
    m.showName = modelData(api, number, "ShowName");
    m.refrigerant = modelData(api, number, "Refrigerant");
    const std::string dllf = modelData(api, number, "DLLF");
    const std::string dllp = modelData(api, number, "DLLP");
    m.technology = technologyText(dllf);
    m.voltage = voltageText(dllp);
    for (const CodeEntry& e : enumerateCodeList(api, CodeList::Family))
        if (std::to_string(e.code) == dllf)
            m.family = e.text;
    return m;
}

std::optional<ModelInfo> findGridModel(const EngineApi& api, int32_t refrigerant, int32_t family,
                                       int32_t power, const std::string& name,
                                       const std::string& refrigerantText,
                                       const std::string& voltage) {
    return findModel(api, refrigerant, family, power, [&](const ModelInfo& m) {
        // The grid shows the catalogue's texts as display texts.
        return displayText(m.name) == name && displayText(m.refrigerant) == refrigerantText &&
               displayText(m.voltage) == voltage;
    });
}

std::optional<ModelInfo> findModelByName(const EngineApi& api, const std::string& name) {
    // The catalogue's bytes or their display text, as the Model column of rate shows it.
    return findModel(api, 0, 0, 0, [&](const ModelInfo& m) {
        return m.name == name || m.showName == name || displayText(m.name) == name ||
               displayText(m.showName) == name;
    });
}

ModelInfo displayed(const ModelInfo& m) {
    ModelInfo shown = m;
    for (std::string* text : {&shown.name, &shown.showName, &shown.refrigerant, &shown.family,
                              &shown.technology, &shown.voltage})
        *text = displayText(*text);
    return shown;
}

TableRange defaultTableRange(const ConditionValues& p, UnitSystem units) {
    const double step = units == UnitSystem::Imperial ? 10 : 5;
    // A point a hair off a multiple (45 °F through °C and back) counts as on it.
    const auto on = [step](double v, double sign) {
        const double count = v / step + 2 * sign;
        const double whole = std::round(count);
        return (std::abs(count - whole) < 1e-9 ? whole
                : sign < 0                     ? std::ceil(count)
                                               : std::floor(count)) *
               step;
    };
    return {on(p.te, -1), on(p.te, 1), step, on(p.tc, -1), on(p.tc, 1), step};
}

std::optional<std::string> checkTableRange(const TableRange& r) {
    for (double v : {r.teFrom, r.teTo, r.teStep, r.tcFrom, r.tcTo, r.tcStep})
        if (!std::isfinite(v))
            return "every bound and step of the table must be a number";
    if (r.teStep <= 0 || r.tcStep <= 0)
        return "the table's steps must be above zero";
    if (r.teTo < r.teFrom || r.tcTo < r.tcFrom)
        return "the table's ranges must not end below where they start";
    const double cells = std::floor((r.teTo - r.teFrom) / r.teStep + 1.01) *
                         std::floor((r.tcTo - r.tcFrom) / r.tcStep + 1.01);
    if (!(cells <= kMaxTableCells))
        return "the table would have more than " + std::to_string(kMaxTableCells) +
               " cells; at most " + std::to_string(kMaxTableCells) + " are allowed";
    if (r.teFrom >= r.tcTo)
        return "the evaporating temperature is at or above the condensing temperature in "
               "every cell";
    return std::nullopt;
}

std::string quantityHeading(Quantity q, UnitSystem units) {
    return std::string(gridHeader(units).texts[static_cast<std::size_t>(kCapacityColumn) +
                                               static_cast<std::size_t>(q)]);
}

int quantityDecimals(Quantity q) {
    return q == Quantity::Efficiency || q == Quantity::Current ? 2 : 0;
}

std::array<double, kQuantities> displayValues(const PointRating& r, UnitSystem units) {
    const bool imperial = units == UnitSystem::Imperial;
    return {imperial ? wattsToBtuh(r.capacity) : r.capacity, r.power,
            imperial ? copToEer(r.cop) : r.cop, r.current,
            (imperial ? kilogramsToPounds(r.massFlow) : r.massFlow) * kSecondsPerHour};
}

PerfTable computeTable(const EngineApi& api, int32_t model, const ConditionValues& at,
                       UnitSystem units, const TableRange& range) {
    PerfTable t;
    t.model = modelInfo(api, model);
    t.at = at;
    t.units = units;
    const ConditionValues shown = fromEngineUnits(at, units);
    t.pointRow = steps(range.teFrom, range.teTo, range.teStep, shown.te, t.te);
    t.pointColumn = steps(range.tcFrom, range.tcTo, range.tcStep, shown.tc, t.tc);

    t.cells.reserve(t.te.size() * t.tc.size());
    for (double te : t.te)
        for (double tc : t.tc) {
            ConditionValues engine = toEngineUnits({te, tc, 0, 0, 0}, units);
            const PointRating r = ratePoint(api, model, engine.te, engine.tc, at);
            TableCell c;
            c.code = r.code;
            if (c.rated())
                c.values = displayValues(r, units);
            t.cells.push_back(c);
        }
    return t;
}

std::string plainNumber(double value, int decimals) {
    if (!std::isfinite(value))
        return {};
    const double rounded = roundHalfEven(value, decimals);
    // Beyond 15 significant digits a fixed text would only show the noise of the binary
    // value (and grow to 309 digits): such a value is written with its exponent.
    if (std::abs(rounded) >= kLargestFixed)
        return numberText(rounded, NumberFormat::english());
    std::string text(kLargestFixedDigits + 2 + static_cast<std::size_t>(std::max(decimals, 0)),
                     ' ');
    const auto res =
        std::to_chars(text.data(), text.data() + text.size(), rounded == 0 ? 0.0 : rounded,
                      std::chars_format::fixed, decimals);
    text.resize(static_cast<std::size_t>(res.ptr - text.data()));
    return text;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string csvRecord(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i)
        out += (i > 0 ? "," : "") + csvField(fields[i]);
    return out + "\r\n";
}

std::string modelConditionsCsv(const ModelInfo& model, const ConditionValues& at,
                               UnitSystem units) {
    const ModelInfo m = displayed(model);
    const UnitLabels labels = unitLabels(units);
    const ConditionValues shown = fromEngineUnits(at, units);
    std::vector<std::string> values{m.name, m.refrigerant, m.voltage};
    for (double v : {shown.te, shown.tc, shown.sc, shown.sh1, shown.sh2})
        values.push_back(numberText(v, NumberFormat::english()));
    const auto unit = [](const char* name, std::string_view label) {
        return std::string(name) + " (" + std::string(label) + ")";
    };
    std::vector<std::string> header{"Model",
                                    "Refrigerant",
                                    "Voltage",
                                    unit("Te", labels.te),
                                    unit("Tc", labels.tc),
                                    unit("Sc", labels.sc),
                                    unit("Sh1", labels.sh1),
                                    unit("Sh2", labels.sh2)};
    // A variable-speed model rated at a chosen speed says which.
    if (at.speed) {
        header.emplace_back("Speed (rev/s)");
        values.push_back(numberText(*at.speed, NumberFormat::english()));
    }
    return csvRecord(header) + csvRecord(values) + "\r\n";
}

std::string tableCsv(const PerfTable& t) {
    const UnitLabels labels = unitLabels(t.units);
    std::vector<std::string> header{"Te (" + std::string(labels.te) + ")",
                                    "Tc (" + std::string(labels.tc) + ")", "Code"};
    for (int q = 0; q < kQuantities; ++q)
        header.push_back(quantityHeading(static_cast<Quantity>(q), t.units));
    if (t.extra)
        header.push_back(t.extra->heading);
    header.emplace_back("Remark");

    std::string out = modelConditionsCsv(t.model, t.at, t.units) + csvRecord(header);
    for (std::size_t i = 0; i < t.te.size(); ++i)
        for (std::size_t j = 0; j < t.tc.size(); ++j) {
            const TableCell& c = t.cell(i, j);
            std::vector<std::string> fields{numberText(t.te[i], NumberFormat::english()),
                                            numberText(t.tc[j], NumberFormat::english()),
                                            std::to_string(c.code)};
            for (int q = 0; q < kQuantities; ++q)
                fields.push_back(c.rated() ? plainNumber(c.values[static_cast<std::size_t>(q)],
                                                         quantityDecimals(static_cast<Quantity>(q)))
                                           : std::string());
            std::string remark = c.code != KPX_CLEAN ? ratingReason(c.code) : std::string();
            if (t.extra) {
                const std::size_t k = i * t.tc.size() + j;
                const std::optional<double>& v = t.extra->values[k];
                fields.push_back(v ? plainNumber(*v, t.extra->decimals) : std::string());
                if (const std::string& w = t.extra->warnings[k]; !w.empty())
                    remark += (remark.empty() ? "" : "; ") + w;
            }
            fields.push_back(remark);
            out += csvRecord(fields);
        }
    return out;
}

} // namespace kv

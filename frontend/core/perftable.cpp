#include "perftable.h"

#include "calcrun.h"
#include "codelists.h"

#include <kpx_text_buffer.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kv {

namespace {

std::string modelField(const EngineApi& api, int32_t model, const char* column) {
    kpx::TextBuffer buffer;
    api.KPX_GetModelData(model, column, buffer.address());
    return buffer.text();
}

// Walks the models matching the codes until `match` accepts one.
template <typename Match>
std::optional<ModelInfo> findModel(const EngineApi& api, int32_t refrigerant, int32_t family,
                                   int32_t power, Match match) {
    if (api.KPX_GetModel == nullptr || api.KPX_GetModelData == nullptr)
        return std::nullopt;
    int32_t start = 0;
    for (;;) {
        kpx::TextBuffer showName;
        int32_t next = 0;
        api.KPX_GetModel(start, refrigerant, family, power, &next, showName.address());
        if (next <= start)
            return std::nullopt;
        start = next;
        ModelInfo info = modelInfo(api, next);
        if (match(info))
            return info;
    }
}

// `count` values from `from` to `to` by `step`; the last may fall short of `to` by less
// than a step (a hundredth of a step counts as reaching it).
std::size_t stepCount(double from, double to, double step) {
    return static_cast<std::size_t>(std::floor((to - from) / step + 1e-2)) + 1;
}

} // namespace

ModelInfo modelInfo(const EngineApi& api, int32_t number) {
    ModelInfo m;
    m.number = number;
    m.name = modelField(api, number, "Name");
    m.showName = modelField(api, number, "ShowName");
    m.refrigerant = modelField(api, number, "Refrigerant");
    const std::string dllf = modelField(api, number, "DLLF");
    const std::string dllp = modelField(api, number, "DLLP");
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
        return m.name == name && m.refrigerant == refrigerantText && m.voltage == voltage;
    });
}

std::optional<ModelInfo> findModelByName(const EngineApi& api, const std::string& name) {
    return findModel(api, 0, 0, 0,
                     [&](const ModelInfo& m) { return m.name == name || m.showName == name; });
}

TableRange defaultTableRange(const ConditionValues& p, UnitSystem units) {
    const double step = units == UnitSystem::Imperial ? 10 : 5;
    return {p.te - 2 * step, p.te + 2 * step, step, p.tc - 2 * step, p.tc + 2 * step, step};
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
    t.units = units;
    const std::size_t rows = stepCount(range.teFrom, range.teTo, range.teStep);
    const std::size_t columns = stepCount(range.tcFrom, range.tcTo, range.tcStep);
    for (std::size_t i = 0; i < rows; ++i)
        t.te.push_back(range.teFrom + static_cast<double>(i) * range.teStep);
    for (std::size_t j = 0; j < columns; ++j)
        t.tc.push_back(range.tcFrom + static_cast<double>(j) * range.tcStep);

    const ConditionValues shown = fromEngineUnits(at, units);
    auto nearly = [](double a, double b) { return std::abs(a - b) < 1e-6; };
    for (std::size_t i = 0; i < rows; ++i)
        if (nearly(t.te[i], shown.te))
            t.pointRow = static_cast<int>(i);
    for (std::size_t j = 0; j < columns; ++j)
        if (nearly(t.tc[j], shown.tc))
            t.pointColumn = static_cast<int>(j);

    t.cells.reserve(rows * columns);
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
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, rounded == 0 ? 0.0 : rounded,
                                   std::chars_format::fixed, decimals);
    return std::string(buf, res.ptr);
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string tableCsv(const PerfTable& t) {
    const UnitLabels labels = unitLabels(t.units);
    std::vector<std::string> header{"Te (" + std::string(labels.te) + ")",
                                    "Tc (" + std::string(labels.tc) + ")", "Code"};
    for (int q = 0; q < kQuantities; ++q)
        header.push_back(quantityHeading(static_cast<Quantity>(q), t.units));
    header.emplace_back("Remark");

    std::string out;
    auto record = [&out](const std::vector<std::string>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            out += (i > 0 ? "," : "") + csvField(fields[i]);
        out += "\r\n";
    };
    record(header);
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
            fields.push_back(c.code != KPX_CLEAN ? ratingReason(c.code) : std::string());
            record(fields);
        }
    return out;
}

} // namespace kv

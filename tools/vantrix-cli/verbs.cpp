#include "verbs.h"

#include "diagram.h"
#include "envelope.h"
#include "perftable.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ostream>

namespace kvcli {
namespace {

using Json = nlohmann::ordered_json;

std::string tableCellText(const kv::TableCell& c, kv::Quantity q, const kv::NumberFormat& fmt) {
    if (!c.rated())
        return "-";
    std::string text =
        kv::plainNumber(c.values[static_cast<std::size_t>(q)], kv::quantityDecimals(q));
    if (fmt.decimal != ".")
        if (const auto dot = text.find('.'); dot != std::string::npos)
            text.replace(dot, 1, fmt.decimal);
    return c.code > 0 ? text + "*" : text;
}

void writeTableText(std::ostream& out, const kv::PerfTable& t, const kv::ModelInfo& m,
                    const kv::ConditionValues& at, const kv::NumberFormat& fmt) {
    const std::string unit(kv::unitLabels(t.units).te);
    out << m.name << " (" << m.refrigerant << ", " << m.voltage << ") at "
        << kv::pointText(at, t.units) << "\n";
    for (int qi = 0; qi < kv::kQuantities; ++qi) {
        const auto q = static_cast<kv::Quantity>(qi);
        out << "\n" << kv::quantityHeading(q, t.units) << "\n";
        std::vector<std::vector<std::string>> lines{{"Te \\ Tc (" + unit + ")"}};
        for (double tc : t.tc)
            lines[0].push_back(kv::numberText(tc, fmt));
        for (std::size_t i = 0; i < t.te.size(); ++i) {
            lines.push_back({kv::numberText(t.te[i], fmt)});
            for (std::size_t j = 0; j < t.tc.size(); ++j)
                lines.back().push_back(tableCellText(t.cell(i, j), q, fmt));
        }
        std::vector<std::size_t> widths(lines[0].size(), 0);
        for (const auto& l : lines)
            for (std::size_t c = 0; c < l.size(); ++c)
                widths[c] = std::max(widths[c], displayWidth(l[c]));
        for (const auto& l : lines) {
            std::string text;
            for (std::size_t c = 0; c < l.size(); ++c)
                text +=
                    (c > 0 ? "  " : "") + std::string(widths[c] - displayWidth(l[c]), ' ') + l[c];
            out << text << "\n";
        }
    }
    std::vector<int32_t> codes;
    for (const kv::TableCell& c : t.cells)
        if (c.code != 0 && std::find(codes.begin(), codes.end(), c.code) == codes.end())
            codes.push_back(c.code);
    std::sort(codes.begin(), codes.end());
    out << "\n* rated with a warning; - refused\n";
    for (int32_t code : codes)
        out << "  code " << code << ": " << kv::ratingReason(code) << "\n";
}

Json tableJson(const kv::PerfTable& t, const kv::ModelInfo& m, const kv::ConditionValues& at) {
    static const char* keys[] = {"capacity", "powerInput", "efficiency", "current", "massFlow"};
    Json cells = Json::array();
    for (std::size_t i = 0; i < t.te.size(); ++i)
        for (std::size_t j = 0; j < t.tc.size(); ++j) {
            const kv::TableCell& c = t.cell(i, j);
            Json cell{{"te", t.te[i]}, {"tc", t.tc[j]}, {"code", c.code}};
            for (int q = 0; q < kv::kQuantities; ++q)
                cell[keys[q]] =
                    c.rated() ? Json(c.values[static_cast<std::size_t>(q)]) : Json(nullptr);
            if (c.code != 0)
                cell["reason"] = kv::ratingReason(c.code);
            cells.push_back(cell);
        }
    std::vector<std::string> headings;
    for (int q = 0; q < kv::kQuantities; ++q)
        headings.push_back(kv::quantityHeading(static_cast<kv::Quantity>(q), t.units));
    return {{"model", m.name},
            {"refrigerant", m.refrigerant},
            {"units", t.units == kv::UnitSystem::SI ? "si" : "imperial"},
            {"conditions",
             {{"te", at.te}, {"tc", at.tc}, {"sc", at.sc}, {"sh1", at.sh1}, {"sh2", at.sh2}}},
            {"headings", headings},
            {"te", t.te},
            {"tc", t.tc},
            {"pointRow", t.pointRow},
            {"pointColumn", t.pointColumn},
            {"cells", cells}};
}

std::optional<UsageError> readRange(const CliOptions& o, const kv::NumberFormat& fmt,
                                    kv::TableRange& range) {
    const std::pair<const std::optional<std::string>*, double*> fields[] = {
        {&o.teFrom, &range.teFrom}, {&o.teTo, &range.teTo}, {&o.teStep, &range.teStep},
        {&o.tcFrom, &range.tcFrom}, {&o.tcTo, &range.tcTo}, {&o.tcStep, &range.tcStep}};
    const char* names[] = {"--te-from", "--te-to", "--te-step",
                           "--tc-from", "--tc-to", "--tc-step"};
    for (std::size_t i = 0; i < 6; ++i) {
        const auto& [given, value] = fields[i];
        if (!given->has_value())
            continue;
        const auto v = kv::readDoubleField(**given, fmt);
        if (!v)
            return UsageError{"invalid number \"" + **given + "\" for " + names[i]};
        *value = *v;
    }
    if (auto problem = kv::checkTableRange(range))
        return UsageError{*problem};
    return std::nullopt;
}

} // namespace

int runVerb(const CliOptions& o, const kv::EngineApi& api, const kv::ConditionTexts& texts,
            const kv::NumberFormat& fmt, std::ostream& out, std::ostream& err) {
    const auto model = kv::findModelByName(api, o.model);
    if (!model) {
        err << "vantrix-cli: no model named \"" << o.model
            << "\" in the catalogue (names as the Model column of rate shows them)\n";
        return kExitUsage;
    }
    const kv::ConditionValues at = kv::toEngineUnits(kv::readConditions(texts, fmt), o.units);

    if (o.command == Command::Envelope) {
        const kv::Envelope env =
            kv::computeEnvelope(api, model->number, at, kv::envelopeWindow(api, model->number, at));
        if (!env.anyRated)
            err << "vantrix-cli: the engine refuses every point of " << model->name
                << ": its envelope data are missing\n";
        if (o.envelopeFormat == "svg") {
            out << kv::drawingSvg(kv::envelopeDrawing(env, at, o.units, 760, 480));
            return kExitOk;
        }
        out << "region,code,te,tc\r\n";
        for (const kv::EnvelopePolygon& p : env.polygons)
            for (const kv::EnvelopePoint& e : p.points) {
                const kv::ConditionValues s = kv::fromEngineUnits({e.te, e.tc, 0, 0, 0}, o.units);
                out << p.region << "," << p.code << "," << kv::plainNumber(s.te, 3) << ","
                    << kv::plainNumber(s.tc, 3) << "\r\n";
            }
        return kExitOk;
    }

    kv::TableRange range = kv::defaultTableRange(kv::fromEngineUnits(at, o.units), o.units);
    if (auto e = readRange(o, fmt, range))
        return usage(err, *e);
    const kv::PerfTable t = kv::computeTable(api, model->number, at, o.units, range);
    if (o.format == OutputFormat::Csv)
        out << kv::tableCsv(t);
    else if (o.format == OutputFormat::Json)
        out << tableJson(t, *model, at).dump(2) << '\n';
    else
        writeTableText(out, t, *model, at, fmt);
    return kExitOk;
}

void writeLeftOutSummary(std::ostream& err, const kv::CalcResult& r, kv::Frequency frequency) {
    err << kv::leftOutSummary(r, frequency);
}

} // namespace kvcli

#include "kvcli/verbs.h"

#include "kv/diagram.h"
#include "kv/displaytext.h"
#include "kv/envelope.h"
#include "kv/figures.h"
#include "kv/gascooler.h"
#include "kv/perftable.h"
#include "kvcli/energyplus.h"
#include "kvcli/speed.h"

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

// The key below a table: the marks and the reason of every code that occurs.
void writeCodeKey(std::ostream& out, std::vector<int32_t> codes, const char* marks) {
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    out << "\n" << marks << "\n";
    for (int32_t code : codes)
        out << "  code " << code << ": " << kv::ratingReason(code) << "\n";
}

std::string heading(const kv::ModelInfo& m, const kv::ConditionValues& at, kv::UnitSystem units) {
    return m.name + " (" + m.refrigerant + ", " + m.voltage + ") at " +
           kv::allConditionsText(at, units) + "\n";
}

void writeTableText(std::ostream& out, const kv::PerfTable& t, const kv::ModelInfo& m,
                    const kv::NumberFormat& fmt) {
    const std::string unit(kv::unitLabels(t.units).te);
    out << heading(m, t.at, t.units);
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
        writeTable(out, lines, std::vector<bool>(lines[0].size(), true));
    }
    bool warned = false;
    if (t.extra) {
        // The figure asked for with --show; "!" marks a cell with a warning of its own.
        out << "\n" << t.extra->heading << "\n";
        std::vector<std::vector<std::string>> lines{{"Te \\ Tc (" + unit + ")"}};
        for (double tc : t.tc)
            lines[0].push_back(kv::numberText(tc, fmt));
        for (std::size_t i = 0; i < t.te.size(); ++i) {
            lines.push_back({kv::numberText(t.te[i], fmt)});
            for (std::size_t j = 0; j < t.tc.size(); ++j) {
                const std::size_t k = i * t.tc.size() + j;
                const std::optional<double>& v = t.extra->values[k];
                std::string text = v ? kv::plainNumber(*v, t.extra->decimals) : "-";
                if (fmt.decimal != ".")
                    if (const auto dot = text.find('.'); dot != std::string::npos)
                        text.replace(dot, 1, fmt.decimal);
                if (!t.extra->warnings[k].empty()) {
                    text += "!";
                    warned = true;
                }
                lines.back().push_back(text);
            }
        }
        writeTable(out, lines, std::vector<bool>(lines[0].size(), true));
    }
    std::vector<int32_t> codes;
    for (const kv::TableCell& c : t.cells)
        if (c.code != KPX_CLEAN)
            codes.push_back(c.code);
    writeCodeKey(out, codes, "* rated with a warning; - refused");
    if (warned) {
        std::vector<std::string> seen;
        for (const std::string& w : t.extra->warnings)
            if (!w.empty() && std::find(seen.begin(), seen.end(), w) == seen.end())
                seen.push_back(w);
        out << "! " << (seen.size() == 1 ? seen.front() : "a warning of the figures:") << "\n";
        if (seen.size() > 1)
            for (const std::string& w : seen)
                out << "  " << w << "\n";
    }
}

// What every JSON document of a model starts with: the model and the conditions, in the
// units shown.
Json modelJson(const kv::ModelInfo& m, const kv::ConditionValues& at, kv::UnitSystem units) {
    return {{"model", m.name},
            {"refrigerant", m.refrigerant},
            {"voltage", m.voltage},
            {"units", unitsName(units)},
            {"conditions", conditionsJson(at, units)}};
}

Json tableJson(const kv::PerfTable& t, const kv::ModelInfo& m) {
    static const char* keys[] = {"capacity", "powerInput", "efficiency", "current", "massFlow"};
    Json cells = Json::array();
    for (std::size_t i = 0; i < t.te.size(); ++i)
        for (std::size_t j = 0; j < t.tc.size(); ++j) {
            const kv::TableCell& c = t.cell(i, j);
            Json cell{{"te", t.te[i]}, {"tc", t.tc[j]}, {"code", c.code}};
            for (int q = 0; q < kv::kQuantities; ++q)
                cell[keys[q]] =
                    c.rated() ? Json(c.values[static_cast<std::size_t>(q)]) : Json(nullptr);
            if (t.extra) {
                const std::size_t k = i * t.tc.size() + j;
                cell["figure"] = t.extra->values[k] ? Json(*t.extra->values[k]) : Json(nullptr);
                if (!t.extra->warnings[k].empty())
                    cell["figureWarning"] = t.extra->warnings[k];
            }
            if (c.code != KPX_CLEAN)
                cell["reason"] = kv::ratingReason(c.code);
            cells.push_back(cell);
        }
    std::vector<std::string> headings;
    for (int q = 0; q < kv::kQuantities; ++q)
        headings.push_back(kv::quantityHeading(static_cast<kv::Quantity>(q), t.units));
    Json doc = modelJson(m, t.at, t.units);
    doc["headings"] = headings;
    if (t.extra)
        doc["figureHeading"] = t.extra->heading;
    doc["te"] = t.te;
    doc["tc"] = t.tc;
    doc["pointRow"] = t.pointRow;
    doc["pointColumn"] = t.pointColumn;
    doc["cells"] = cells;
    return doc;
}

// The Te-gas-cooler pressure region of a model with transcritical curves, at outlet tgc
// (degC), in the units shown: after the polygons as JSON member, CSV records or a table.
struct GasCoolerRegion {
    double tgc = 0;
    std::vector<kv::GasCoolerEdge> edges;
};

void writeGasCoolerRegion(std::ostream& out, OutputFormat format, const GasCoolerRegion& region,
                          kv::UnitSystem units, Json* doc) {
    const bool imperial = units == kv::UnitSystem::Imperial;
    const double perUnit = imperial ? 6894.757293168 : 1e5;
    const auto t = [&](double c) { return imperial ? c * 1.8 + 32 : c; };
    if (format == OutputFormat::Json) {
        Json edges = Json::array();
        for (const kv::GasCoolerEdge& e : region.edges)
            edges.push_back({{"te", t(e.te)},
                             {"gasCoolerPressureLow", e.pLow / perUnit},
                             {"gasCoolerPressureHigh", e.pHig / perUnit}});
        (*doc)["gasCoolerRegion"] = {{"gasCoolerOutletTemperature", t(region.tgc)},
                                     {"edges", edges}};
        return;
    }
    const std::string p = imperial ? "psia" : "bar";
    if (format == OutputFormat::Csv) {
        out << "\r\nte,gasCoolerPressureLow,gasCoolerPressureHigh,gasCoolerOutletTemperature\r\n";
        for (const kv::GasCoolerEdge& e : region.edges)
            out << kv::csvRecord({kv::plainNumber(t(e.te), 3), kv::plainNumber(e.pLow / perUnit, 3),
                                  kv::plainNumber(e.pHig / perUnit, 3),
                                  kv::plainNumber(t(region.tgc), 3)});
        return;
    }
    const std::string unit = imperial ? "°F" : "°C";
    std::vector<std::vector<std::string>> lines{
        {"Te (" + unit + ")", "Lowest pgc (" + p + ")", "Highest pgc (" + p + ")"}};
    for (const kv::GasCoolerEdge& e : region.edges)
        lines.push_back({kv::plainNumber(t(e.te), 3), kv::plainNumber(e.pLow / perUnit, 3),
                         kv::plainNumber(e.pHig / perUnit, 3)});
    out << "\nTranscritical region at a gas-cooler outlet of " << kv::plainNumber(t(region.tgc), 3)
        << " " << unit << " (gas-cooler pressures at which the model rates):\n";
    if (region.edges.empty())
        out << "none: the model rates at no pressure of its curves there\n";
    else
        writeTable(out, lines, {true, true, true});
}

// The envelope's polygons in the units shown: CSV records, a table or JSON.
void writeEnvelope(std::ostream& out, OutputFormat format, const kv::Envelope& env,
                   const kv::ModelInfo& m, const kv::ConditionValues& at, kv::UnitSystem units,
                   const std::optional<GasCoolerRegion>& region) {
    const auto shown = [units](const kv::EnvelopePoint& e) {
        return kv::fromEngineUnits({e.te, e.tc, 0, 0, 0}, units);
    };
    if (format == OutputFormat::Json) {
        Json regions = Json::array();
        for (const kv::EnvelopePolygon& p : env.polygons) {
            Json points = Json::array();
            for (const kv::EnvelopePoint& e : p.points) {
                const kv::ConditionValues s = shown(e);
                points.push_back({{"te", s.te}, {"tc", s.tc}});
            }
            regions.push_back({{"region", p.region},
                               {"code", p.code},
                               {"reason", kv::ratingReason(p.code)},
                               {"points", points}});
        }
        Json doc = modelJson(m, at, units);
        doc["regions"] = regions;
        if (region)
            writeGasCoolerRegion(out, format, *region, units, &doc);
        writeJson(out, doc);
        return;
    }
    if (format == OutputFormat::Csv) {
        out << kv::modelConditionsCsv(m, at, units) << "region,code,te,tc\r\n";
        for (const kv::EnvelopePolygon& p : env.polygons)
            for (const kv::EnvelopePoint& e : p.points) {
                const kv::ConditionValues s = shown(e);
                out << kv::csvRecord({std::to_string(p.region), std::to_string(p.code),
                                      kv::plainNumber(s.te, 3), kv::plainNumber(s.tc, 3)});
            }
        if (region)
            writeGasCoolerRegion(out, format, *region, units, nullptr);
        return;
    }
    const std::string unit(kv::unitLabels(units).te);
    std::vector<std::vector<std::string>> lines{
        {"Region", "Code", "Te (" + unit + ")", "Tc (" + unit + ")"}};
    std::vector<int32_t> codes;
    for (const kv::EnvelopePolygon& p : env.polygons) {
        codes.push_back(p.code);
        for (const kv::EnvelopePoint& e : p.points) {
            const kv::ConditionValues s = shown(e);
            lines.push_back({std::to_string(p.region), std::to_string(p.code),
                             kv::plainNumber(s.te, 3), kv::plainNumber(s.tc, 3)});
        }
    }
    out << heading(m, at, units) << "\n";
    writeTable(out, lines, {true, true, true, true});
    writeCodeKey(out, codes, "Each region is a polygon of the points listed; its code:");
    if (region)
        writeGasCoolerRegion(out, format, *region, units, nullptr);
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
    const auto model = modelNamed(o, api, err);
    if (!model)
        return kExitUsage;
    const kv::ModelInfo shown = kv::displayed(*model); // every output shows these texts
    if (o.command == Command::Export) {
        const auto idf = energyPlusCompressor(api, *model);
        if (const auto* problem = std::get_if<ExportProblem>(&idf)) {
            err << "vantrix-cli: " << problem->message << "\n";
            return kExitData;
        }
        out << std::get<std::string>(idf);
        return kExitOk;
    }
    const kv::ConditionValues at = kv::toEngineUnits(kv::readConditions(texts, fmt), o.units);

    if (o.command == Command::Envelope) {
        const kv::Envelope env =
            kv::computeEnvelope(api, model->number, at, kv::envelopeWindow(api, model->number, at));
        if (!env.anyRated) {
            // The engine's own reasons: a superheat over its limit refuses every point too.
            err << "vantrix-cli: the engine refuses every point of " << shown.name << ":";
            for (int32_t code : env.codes)
                err << (code == env.codes.front() ? " " : "; ") << kv::ratingReason(code)
                    << " (code " << code << ")";
            err << "\n";
        }
        // With transcritical curves, the region in Te and gas-cooler pressure too.
        std::optional<GasCoolerRegion> region;
        if (const auto range = kv::gasCoolerRange(api, model->number)) {
            double tgc = 35;
            if (o.tgc) {
                const auto v = kv::readDoubleField(*o.tgc, fmt);
                if (!v)
                    return usage(err, UsageError{"invalid number \"" + *o.tgc + "\" for --tgc"});
                tgc = o.units == kv::UnitSystem::Imperial ? kv::fahrenheitToCelsius(*v) : *v;
            }
            region = GasCoolerRegion{
                tgc, kv::gasCoolerRegion(api, model->number, *range, tgc, at.sh1, at.sh2)};
        }
        if (o.format == OutputFormat::Svg)
            out << kv::drawingSvg(kv::envelopeDrawing(env, at, o.units, 760, 480));
        else
            writeEnvelope(out, o.format, env, shown, at, o.units, region);
        return kExitOk;
    }

    if (o.speeds)
        return writeSpeedTable(o, api, shown, at, fmt, out, err);
    kv::TableRange range = kv::defaultTableRange(kv::fromEngineUnits(at, o.units), o.units);
    if (auto e = readRange(o, fmt, range))
        return usage(err, *e);
    kv::PerfTable t = kv::computeTable(api, model->number, at, o.units, range);
    if (const auto figure = kv::figureNamed(o.show))
        t.extra = kv::tableFigure(api, model->number, t, *figure);
    if (o.format == OutputFormat::Csv)
        out << kv::tableCsv(t);
    else if (o.format == OutputFormat::Json)
        writeJson(out, tableJson(t, shown));
    else
        writeTableText(out, t, shown, fmt);
    return kExitOk;
}

std::optional<kv::ModelInfo> modelNamed(const CliOptions& o, const kv::EngineApi& api,
                                        std::ostream& err) {
    auto model = kv::findModelByName(api, o.model);
    if (!model)
        err << "vantrix-cli: no model named \"" << kv::displayText(o.model)
            << "\" in the catalogue (names as the Model column of rate shows them)\n";
    return model;
}

void writeLeftOutSummary(std::ostream& err, const kv::CalcResult& r, kv::Frequency frequency) {
    err << kv::leftOutSummary(r, frequency);
}

} // namespace kvcli

#include "kvcli/cli.h"

#include "kv/binding.h"
#include "kv/codelists.h"
#include "kv/conditions.h"
#include "kv/datacheck.h"
#include "kv/displaytext.h"
#include "kv/figures.h"
#include "kv/fluidcheck.h"
#include "kv/perftable.h"
#include "kvcli/speed.h"
#include "kvcli/transcritical.h"
#include "kvcli/verbs.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <ostream>
#include <tuple>

namespace kvcli {
namespace {

using Json = nlohmann::ordered_json;

} // namespace

// ---- output --------------------------------------------------------------------------

std::string csvField(const std::string& text) {
    return kv::csvField(text);
}

std::size_t displayWidth(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

void writeJson(std::ostream& out, const Json& doc) {
    out << doc.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

Json conditionsJson(const kv::ConditionValues& engineAt, kv::UnitSystem units) {
    const kv::ConditionValues at = kv::fromEngineUnits(engineAt, units);
    return {{"te", at.te}, {"tc", at.tc}, {"sc", at.sc}, {"sh1", at.sh1}, {"sh2", at.sh2}};
}

const char* unitsName(kv::UnitSystem units) {
    return units == kv::UnitSystem::SI ? "si" : "imperial";
}

void writeTable(std::ostream& out, const std::vector<std::vector<std::string>>& lines,
                const std::vector<bool>& right) {
    std::vector<std::size_t> widths;
    for (const auto& l : lines)
        for (std::size_t c = 0; c < l.size(); ++c) {
            if (widths.size() <= c)
                widths.push_back(0);
            widths[c] = std::max(widths[c], displayWidth(l[c]));
        }
    for (const auto& l : lines) {
        std::string text;
        for (std::size_t c = 0; c < l.size(); ++c) {
            const std::string pad(widths[c] - displayWidth(l[c]), ' ');
            if (c > 0)
                text += "  ";
            text += (c < right.size() && right[c]) ? pad + l[c] : l[c] + pad;
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out << text << '\n';
    }
}

namespace {

// A number for CSV: "." as decimal sign, no grouping, no leading zeros, whatever the
// regional format, so that any reader takes it as the number the window shows. A text
// that is no number stays as it is.
std::string plainNumber(double value) {
    return kv::numberText(value, kv::NumberFormat::english());
}
std::string plainNumber(const std::string& text, const kv::NumberFormat& fmt) {
    const auto v = kv::parseNumber(text, fmt);
    return v ? plainNumber(*v) : text;
}

void writeCsv(std::ostream& out, const std::vector<std::vector<std::string>>& lines) {
    for (const auto& l : lines)
        out << kv::csvRecord(l);
}

Json numberOrNull(const std::string& text, const kv::NumberFormat& fmt) {
    const auto v = kv::parseNumber(text, fmt);
    return v ? Json(*v) : Json(nullptr);
}

// Catalogue texts (engine bytes) as every output shows them: UTF-8.
std::vector<std::string> shown(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    for (const std::string& t : texts)
        out.push_back(kv::displayText(t));
    return out;
}

void writeList(std::ostream& out, OutputFormat format, const std::string& heading,
               const std::vector<std::string>& engineItems) {
    const std::vector<std::string> items = shown(engineItems);
    if (format == OutputFormat::Json) {
        writeJson(out, Json(items));
        return;
    }
    std::vector<std::vector<std::string>> lines;
    if (format == OutputFormat::Csv)
        lines.push_back({heading});
    for (const auto& i : items)
        lines.push_back({i});
    if (format == OutputFormat::Csv)
        writeCsv(out, lines);
    else
        writeTable(out, lines, {});
}

void writeConditions(std::ostream& out, OutputFormat format, kv::UnitSystem units,
                     const kv::NumberFormat& fmt) {
    const auto labels = kv::unitLabels(units);
    std::vector<std::vector<std::string>> lines{
        {"Conditions", "Te (" + std::string(labels.te) + ")", "Tc (" + std::string(labels.tc) + ")",
         "Sc (" + std::string(labels.sc) + ")", "Sh1 (" + std::string(labels.sh1) + ")",
         "Sh2 (" + std::string(labels.sh2) + ")"}};
    Json json = Json::array();
    for (const auto& p : kv::kStandardConditions) {
        const auto t = *kv::presetTexts(p.name, units, fmt);
        const auto v = kv::readConditions(t, fmt);
        if (format == OutputFormat::Csv)
            lines.push_back({std::string(p.name), plainNumber(v.te), plainNumber(v.tc),
                             plainNumber(v.sc), plainNumber(v.sh1), plainNumber(v.sh2)});
        else
            lines.push_back({std::string(p.name), t.te, t.tc, t.sc, t.sh1, t.sh2});
        json.push_back({{"name", p.name},
                        {"units", unitsName(units)},
                        {"te", v.te},
                        {"tc", v.tc},
                        {"sc", v.sc},
                        {"sh1", v.sh1},
                        {"sh2", v.sh2}});
    }
    if (format == OutputFormat::Json)
        writeJson(out, json);
    else if (format == OutputFormat::Csv)
        writeCsv(out, lines);
    else
        writeTable(out, lines, {false, true, true, true, true, true});
}

// The model number of each result row: the model of the row's name, refrigerant and
// voltage; nothing where none is.
std::vector<std::optional<int32_t>> rowModels(const kv::EngineApi& api, const kv::CalcResult& r) {
    std::map<std::array<std::string, 3>, int32_t> numbers;
    kv::forEachModel(api, r.refrigerantCode, r.familyCode, r.powerCode, [&](int32_t n) {
        numbers.emplace(std::array<std::string, 3>{kv::modelData(api, n, "Name"),
                                                   kv::modelData(api, n, "Refrigerant"),
                                                   kv::voltageText(kv::modelData(api, n, "DLLP"))},
                        n);
        return true;
    });
    std::vector<std::optional<int32_t>> models;
    for (const kv::GridRow& row : r.rows) {
        const auto it = numbers.find({row[2], row[3], row[4]});
        models.push_back(it == numbers.end() ? std::nullopt : std::optional<int32_t>(it->second));
    }
    return models;
}

// The figures of each result row before the grid rounded them, in the units shown.
std::vector<std::optional<std::array<double, kv::kQuantities>>>
unroundedFigures(const kv::EngineApi& api, const kv::CalcResult& r,
                 const std::vector<std::optional<int32_t>>& models, kv::UnitSystem units,
                 const kv::SpeedRequest& speed) {
    std::vector<std::optional<std::array<double, kv::kQuantities>>> figures;
    const auto& e = r.engineConditions;
    for (const std::optional<int32_t>& model : models)
        if (model)
            figures.emplace_back(
                kv::displayValues(speed.any() ? kv::rateAsRequested(api, *model, e, speed).rating
                                              : kv::ratePoint(api, *model, e.te, e.tc, e),
                                  units));
        else
            figures.emplace_back();
    return figures;
}

// The figures beyond the rating of each result row, in the units shown.
// A variable-speed model rated at another speed than its nominal one has none: they are
// figures of the nominal speed.
std::vector<kv::RatingFigures> rowFigures(const kv::EngineApi& api, const kv::CalcResult& r,
                                          const std::vector<std::optional<int32_t>>& models,
                                          kv::UnitSystem units, const kv::SpeedRequest& speed) {
    std::vector<kv::RatingFigures> figures;
    const auto& e = r.engineConditions;
    for (const std::optional<int32_t>& model : models)
        figures.push_back(model && !(speed.any() && kv::speedInfo(api, *model))
                              ? kv::rateFigures(api, *model, e.te, e.tc, e, units)
                              : kv::RatingFigures{});
    return figures;
}

// The speed of each result row's rating and the speeds allowed at the point, rev/s; nothing
// for a fixed-speed model.
struct RowSpeed {
    std::optional<double> speed;
    std::optional<kv::SpeedSpan> span;
};
std::vector<RowSpeed> rowSpeeds(const kv::EngineApi& api, const kv::CalcResult& r,
                                const std::vector<std::optional<int32_t>>& models,
                                const kv::SpeedRequest& request) {
    std::vector<RowSpeed> speeds;
    const auto& e = r.engineConditions;
    for (const std::optional<int32_t>& model : models) {
        RowSpeed s;
        if (model && kv::speedInfo(api, *model)) {
            s.speed = kv::rateAsRequested(api, *model, e, request).speed;
            s.span = kv::speedSpan(api, *model, e);
        }
        speeds.push_back(s);
    }
    return speeds;
}

void writeResults(std::ostream& out, OutputFormat format, const kv::CalcResult& r,
                  const CliOptions& o, const kv::EngineApi& api, const kv::NumberFormat& fmt,
                  const std::vector<std::optional<int32_t>>& models,
                  const std::vector<kv::RatingFigures>& extra, const kv::SpeedRequest& request) {
    const std::vector<RowSpeed> speeds = rowSpeeds(api, r, models, request);
    std::vector<std::vector<std::string>> cells; // the result rows' texts, as shown
    for (const auto& row : r.rows)
        cells.push_back(shown({row.begin(), row.end()}));
    std::vector<std::string> header;
    for (int c = 1; c < kv::kGridColumns; ++c)
        header.emplace_back(r.header.texts[static_cast<std::size_t>(c)]);

    if (format == OutputFormat::Json) {
        static const char* keys[] = {"capacity", "powerInput", "efficiency", "current", "massFlow"};
        const auto figures = unroundedFigures(api, r, models, o.units, request);
        Json rows = Json::array();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const auto& row = cells[i];
            Json j{{"technology", row[1]},
                   {"model", row[2]},
                   {"refrigerant", row[3]},
                   {"voltage", row[4]}};
            for (std::size_t q = 0; q < kv::kQuantities; ++q)
                j[keys[q]] = figures[i] ? Json((*figures[i])[q])
                                        : numberOrNull(row[kv::kCapacityColumn + q], fmt);
            const kv::RatingFigures& x = extra[i];
            for (std::size_t k = 0; k < kv::kFigureCount; ++k)
                j[std::string(kv::kFigureNames[k])] =
                    x.values[k] ? Json(*x.values[k]) : Json(nullptr);
            j[std::string(kv::kDischargeEstimatedName)] =
                x[kv::Figure::DischargeTemperature] ? Json(x.dischargeEstimated()) : Json(nullptr);
            j["figureWarnings"] = kv::figureWarnings(x);
            j["texts"] = std::vector<std::string>(row.begin() + 1, row.end());
            // A variable-speed model's speed (rev/s) and the speeds allowed at the point.
            if (speeds[i].speed) {
                j["speed"] = *speeds[i].speed;
                j["minSpeed"] = speeds[i].span ? Json(speeds[i].span->low) : Json(nullptr);
                j["maxSpeed"] = speeds[i].span ? Json(speeds[i].span->high) : Json(nullptr);
            }
            rows.push_back(j);
        }
        Json doc{{"units", unitsName(o.units)},
                 {"frequency", o.frequency == kv::Frequency::Hz50 ? 50 : 60},
                 {"conditions", conditionsJson(r.engineConditions, o.units)},
                 {"order", r.order == kv::OrderBy::ModelName ? "name" : "capacity"},
                 {"header", header},
                 {"resultCount", r.resultCount},
                 {"selectedRow", r.selectedRow},
                 {"warning", r.warning},
                 {"rows", rows}};
        writeJson(out, doc);
        return;
    }
    std::vector<std::vector<std::string>> lines{header};
    for (const auto& row : cells)
        lines.emplace_back(row.begin() + 1, row.end());
    // Asked for a speed: the speed of each row's rating, after the grid's columns.
    const std::size_t speedColumn = lines[0].size();
    if (request.any()) {
        lines[0].emplace_back("Speed (rev/s)");
        for (std::size_t i = 1; i < lines.size(); ++i)
            lines[i].push_back(speeds[i - 1].speed ? kv::plainNumber(*speeds[i - 1].speed, 3)
                                                   : std::string());
    }
    if (format == OutputFormat::Csv) {
        // Capacity, power, COP or EER, current and mass flow as plain numbers; then the
        // figures beyond the rating, rounded as a table shows them (their last digits
        // would be only the noise of the property calculation), and their warnings.
        for (std::size_t i = 1; i < lines.size(); ++i)
            for (std::size_t c = kv::kCapacityColumn - 1; c < speedColumn; ++c)
                lines[i][c] = plainNumber(lines[i][c], fmt);
        for (std::size_t k = 0; k < kv::kFigureCount; ++k)
            lines[0].push_back(kv::figureHeading(static_cast<kv::Figure>(k), o.units));
        lines[0].emplace_back("Discharge temperature estimated");
        lines[0].emplace_back("Figure warnings");
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const kv::RatingFigures& x = extra[i - 1];
            for (std::size_t k = 0; k < kv::kFigureCount; ++k) {
                const std::optional<double>& v = x.values[k];
                const int decimals = kv::figureDecimals(static_cast<kv::Figure>(k), o.units);
                lines[i].push_back(v ? kv::plainNumber(*v, decimals) : std::string());
            }
            lines[i].emplace_back(!x[kv::Figure::DischargeTemperature] ? ""
                                  : x.dischargeEstimated()             ? "true"
                                                                       : "false");
            std::string warnings;
            for (const std::string& w : kv::figureWarnings(x))
                warnings += (warnings.empty() ? "" : "; ") + w;
            lines[i].push_back(warnings);
        }
        writeCsv(out, lines);
        return;
    }
    // The table marks the row nearest the target, as the window selects it.
    const bool mark = !o.target.empty() && r.resultCount > 0;
    if (mark)
        for (std::size_t i = 0; i < lines.size(); ++i)
            lines[i].insert(lines[i].begin(), static_cast<int>(i) == r.selectedRow ? ">" : "");
    std::vector<bool> right{false, false, false, false, true, true, true, true, true};
    if (request.any()) {
        right.push_back(true);
        if (fmt.decimal != ".")
            for (std::size_t i = 1; i < lines.size(); ++i)
                if (const auto dot = lines[i].back().find('.'); dot != std::string::npos)
                    lines[i].back().replace(dot, 1, fmt.decimal);
    }
    if (mark)
        right.insert(right.begin(), false);
    writeTable(out, lines, right);
    out << kv::resultsLabel(r.resultCount) << '\n';
}

// A selection text must name an item of its list, as the list shows it (or by the
// catalogue's exact bytes); the item's bytes go to the engine.
std::variant<std::string, UsageError> listItem(const std::string& option, const std::string& value,
                                               const std::vector<std::string>& items) {
    if (std::optional<std::string> item = kv::itemNamed(items, value))
        return *item;
    return UsageError{"unknown value \"" + kv::displayText(value) + "\" for " + option +
                      "; accepted: " + joined(shown(items))};
}

// The list text of a power supply for --voltage: the list's own text ("400/3/50Hz"), or
// the grid's text ("400/3/50"), which stands for the list entry of the same code.
std::string supplyListText(const kv::EngineApi& api, const std::string& value) {
    const std::vector<kv::CodeEntry> supplies = kv::enumerateCodeList(api, kv::CodeList::Power);
    for (const kv::CodeEntry& e : supplies)
        if (e.text == value)
            return value;
    for (const kv::CodeEntry& e : supplies)
        if (kv::voltageText(std::to_string(e.code)) == value)
            return e.text;
    return value;
}

// --voltage must name a supply of the chosen frequency, by the list's or the grid's text;
// one of the other frequency is named as such, with the option that selects it.
std::variant<std::string, UsageError>
voltageItem(const kv::EngineApi& api, const std::string& given, kv::Frequency frequency) {
    const std::string supply = supplyListText(api, given);
    auto item = listItem("--voltage", supply, kv::voltageItems(api, frequency));
    auto* e = std::get_if<UsageError>(&item);
    if (!e)
        return item;
    const kv::Frequency other =
        frequency == kv::Frequency::Hz50 ? kv::Frequency::Hz60 : kv::Frequency::Hz50;
    const std::vector<std::string> otherItems = kv::voltageItems(api, other);
    if (std::find(otherItems.begin() + 1, otherItems.end(), supply) != otherItems.end())
        e->message = "\"" + given + "\" for --voltage is a " +
                     std::string(kv::frequencyCaption(other)) + " supply: add --frequency " +
                     (other == kv::Frequency::Hz60 ? "60" : "50");
    return item;
}

} // namespace

int usage(std::ostream& err, const UsageError& e) {
    err << "vantrix-cli: " << e.message << "\nTry 'vantrix-cli --help' for more information.\n";
    return kExitUsage;
}

int runCommandLine(const std::vector<std::string>& args, const std::string& defaultProgramDir,
                   const kv::NumberFormat& format, std::ostream& out, std::ostream& err) {
    const auto parsed = parseArguments(args);
    if (const auto* e = std::get_if<UsageError>(&parsed))
        return usage(err, *e);
    return runCli(std::get<CliOptions>(parsed), defaultProgramDir, format, out, err);
}

std::variant<kv::ConditionTexts, UsageError> conditionTexts(const CliOptions& o,
                                                            const kv::NumberFormat& fmt) {
    kv::ConditionTexts texts = *kv::presetTexts(o.conditions, o.units, fmt);
    const std::pair<const std::optional<std::string>*, std::string*> overrides[] = {
        {&o.te, &texts.te},
        {&o.tc, &texts.tc},
        {&o.sc, &texts.sc},
        {&o.sh1, &texts.sh1},
        {&o.sh2, &texts.sh2}};
    const char* names[] = {"--te", "--tc", "--sc", "--sh1", "--sh2"};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto& [given, field] = overrides[i];
        if (!given->has_value())
            continue;
        if (!kv::readDoubleField(**given, fmt))
            return UsageError{"invalid number \"" + **given + "\" for " + names[i]};
        *field = **given;
    }
    if (!o.target.empty() && !kv::parseNumber(o.target, fmt))
        return UsageError{"invalid number \"" + o.target + "\" for --target (decimal sign \"" +
                          fmt.decimal + "\")"};

    return texts;
}

int runCli(const CliOptions& o, const std::string& defaultProgramDir, const kv::NumberFormat& fmt,
           std::ostream& out, std::ostream& err) {
    if (o.command == Command::Help) {
        out << usageText(o.helpFor);
        return kExitOk;
    }
    if (o.command == Command::List && o.listWhat == "conditions") {
        writeConditions(out, o.format, o.units, fmt);
        return kExitOk;
    }

    // The values that don't need the catalogue are checked first.
    const auto read = conditionTexts(o, fmt);
    if (const auto* e = std::get_if<UsageError>(&read))
        return usage(err, *e);
    const kv::ConditionTexts& texts = std::get<kv::ConditionTexts>(read);
    if (const auto problem = transcriticalUsage(o, fmt))
        return usage(err, *problem);

    // The libraries are loaded by absolute path, never through a search path.
    std::error_code ec;
    const std::filesystem::path given =
        kv::nativePath(o.programDir.empty() ? defaultProgramDir : o.programDir);
    const std::filesystem::path absolute = std::filesystem::absolute(given, ec);
    const std::string dir = kv::nativeText(ec ? given : absolute.lexically_normal());
    const kv::DataCheck check = kv::checkDataFiles(kv::nativePath(dir));
    if (!check.ok) {
        err << "vantrix-cli: " << kv::kDataProblemMessage << "\n" << check.message << "\n";
        return kExitData;
    }
    const kv::BindResult bound = kv::bindLibraries(dir);
    if (!bound.ok) {
        err << "vantrix-cli: " << bound.message << "\n";
        return kExitData;
    }
    kv::initializeEngine(bound.api, dir);
    return runBound(o, bound.api, dir, texts, fmt, out, err);
}

int runBound(const CliOptions& o, const kv::EngineApi& api, const std::string& dir,
             const kv::ConditionTexts& texts, const kv::NumberFormat& fmt, std::ostream& out,
             std::ostream& err) {
    if (o.command == Command::Table && wantsTranscritical(o))
        return runTranscritical(o, api, texts, fmt, out, err);
    if (o.command == Command::Envelope || o.command == Command::Table ||
        o.command == Command::Export)
        return runVerb(o, api, texts, fmt, out, err);

    if (o.command == Command::List) {
        if (o.listWhat == "refrigerants")
            writeList(out, o.format, "Refrigerant",
                      kv::selectionItems(api, kv::CodeList::Refrigerant));
        else if (o.listWhat == "families")
            writeList(out, o.format, "Product type", kv::selectionItems(api, kv::CodeList::Family));
        else
            writeList(out, o.format, "Voltage / Freq", kv::voltageItems(api, o.frequency));
        return kExitOk;
    }

    kv::CalcRequest req;
    const std::tuple<const char*, const std::string&, std::vector<std::string>, std::string&>
        selections[] = {
            {"--refrigerant", o.refrigerant, kv::selectionItems(api, kv::CodeList::Refrigerant),
             req.refrigerant},
            {"--family", o.family, kv::selectionItems(api, kv::CodeList::Family), req.family}};
    for (const auto& [option, value, items, target] : selections) {
        auto item = listItem(option, value, items);
        if (const auto* e = std::get_if<UsageError>(&item))
            return usage(err, *e);
        target = std::get<std::string>(std::move(item));
    }
    auto supply = voltageItem(api, o.voltage, o.frequency);
    if (const auto* e = std::get_if<UsageError>(&supply))
        return usage(err, *e);
    req.voltage = std::get<std::string>(std::move(supply));
    if (wantsTranscritical(o)) {
        CliOptions selected = o;
        selected.refrigerant = req.refrigerant;
        selected.family = req.family;
        selected.voltage = req.voltage;
        return runTranscritical(selected, api, texts, fmt, out, err);
    }

    req.frequency = o.frequency;
    req.conditions = texts;
    req.units = o.units;
    req.modelFilter = o.filter;
    req.targetCapacity = o.target;
    req.order = o.order;
    req.format = fmt;
    const auto speed = speedRequest(o, fmt);
    if (const auto* e = std::get_if<UsageError>(&speed))
        return usage(err, *e);
    req.speed = std::get<kv::SpeedRequest>(speed);
    const kv::CalcResult r = kv::runCalculation(api, req);
    if (!r.warning.empty())
        err << r.warning << "\n";
    if (r.resultCount == 0)
        writeLeftOutSummary(err, r, o.frequency);
    else if (req.speed.any())
        writeSpeedSummary(err, r, req.speed);
    const auto models = rowModels(api, r);
    const auto extra = rowFigures(api, r, models, o.units, req.speed);
    // A point above a model's discharge limit (or with implausible data): a warning with
    // its own reason, as the low superheat's.
    for (std::size_t i = 0; i < extra.size(); ++i)
        for (const std::string& w : kv::figureWarnings(extra[i]))
            err << "vantrix-cli: " << kv::displayText(r.rows[i][2]) << " ("
                << kv::displayText(r.rows[i][3]) << ", " << kv::displayText(r.rows[i][4])
                << "): " << w << "\n";
    writeResults(out, o.format, r, o, api, fmt, models, extra, req.speed);
    // Models that vanished because a fluid file can't be used: a data problem.
    const auto problems = kv::fluidProblems(api, dir, r.propertyFailures);
    for (const kv::FluidProblem& p : problems)
        err << "vantrix-cli: " << p.message << "\n";
    return problems.empty() ? kExitOk : kExitData;
}

} // namespace kvcli

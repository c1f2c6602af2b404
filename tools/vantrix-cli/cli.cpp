#include "cli.h"

#include "binding.h"
#include "codelists.h"
#include "conditions.h"
#include "datacheck.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>

namespace kvcli {
namespace {

using Json = nlohmann::ordered_json;

std::string joined(const std::vector<std::string>& items, const std::string& sep = ", ") {
    std::string out;
    for (const auto& i : items)
        out += (out.empty() ? "" : sep) + "\"" + i + "\"";
    return out;
}

std::vector<std::string> presetNames() {
    std::vector<std::string> out;
    for (const auto& p : kv::kStandardConditions)
        out.emplace_back(p.name);
    return out;
}

// Picks one of several words, or explains which ones are accepted.
template <typename T>
std::optional<UsageError> choose(const std::string& option, const std::string& value,
                                 const std::vector<std::pair<std::string, T>>& choices, T& target) {
    std::vector<std::string> words;
    for (const auto& [word, v] : choices) {
        if (word == value) {
            target = v;
            return std::nullopt;
        }
        words.push_back(word);
    }
    return UsageError{"invalid value \"" + value + "\" for " + option +
                      "; accepted: " + joined(words)};
}

} // namespace

std::string usageText() {
    return R"(Usage: vantrix-cli [--program-dir DIR] [--format table|csv|json] COMMAND [OPTIONS]

Rates the compressors of the catalogue at a set of conditions, as the window does.

Commands:
  rate                       rate every matching model and show the results
  list refrigerants|families|voltages|conditions
                             show the texts that rate's options accept

Options of rate (texts as the window's lists show them):
  --refrigerant TEXT         refrigerant (default "All")
  --family TEXT              product type (default "All")
  --voltage TEXT             power supply (default "All"; see list voltages), as the
                             list or the grid writes it ("400/3/50Hz" or "400/3/50")
  --frequency 50|60          supply frequency (default 50)
  --conditions NAME          standard rating condition (default "Asercom, AC / HBP";
                             see list conditions)
  --te, --tc, --sc, --sh1, --sh2 NUMBER
                             override the condition's evaporating and condensing
                             temperature, subcooling, evaporator and total superheat,
                             in the units of --units ("." or "," as decimal sign)
  --units si|imperial        °C - W (default) or °F - Btu/h
  --filter TEXT              show only models whose name holds TEXT (upper-cased)
  --target NUMBER            target capacity in W or Btu/h: orders by capacity and
                             keeps at most 5 models either side of the nearest
  --order name|capacity      order of the results (default name)

General options:
  --program-dir DIR          program directory with the libraries, data.bin and data/
                             (default: the folder of this program)
  --format table|csv|json    output format (default table)
  -h, --help                 show this help

Exit status: 0 success, 1 the output could not be written, 2 usage error, 3 data
problem (catalogue files that don't belong together, a missing file, a library that
can't be loaded).
)";
}

std::variant<CliOptions, UsageError> parseArguments(const std::vector<std::string>& args) {
    CliOptions o;
    std::vector<std::string> positional;
    // Options that take a value, with what each does with it.
    const std::map<std::string, std::function<std::optional<UsageError>(const std::string&)>>
        valued{
            {"--program-dir",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.programDir = v;
                 return std::nullopt;
             }},
            {"--format",
             [&](const std::string& v) {
                 return choose<OutputFormat>("--format", v,
                                             {{"table", OutputFormat::Table},
                                              {"csv", OutputFormat::Csv},
                                              {"json", OutputFormat::Json}},
                                             o.format);
             }},
            {"--refrigerant",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.refrigerant = v;
                 return std::nullopt;
             }},
            {"--family",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.family = v;
                 return std::nullopt;
             }},
            {"--voltage",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.voltage = v;
                 return std::nullopt;
             }},
            {"--frequency",
             [&](const std::string& v) {
                 return choose<kv::Frequency>(
                     "--frequency", v, {{"50", kv::Frequency::Hz50}, {"60", kv::Frequency::Hz60}},
                     o.frequency);
             }},
            {"--conditions",
             [&](const std::string& v) -> std::optional<UsageError> {
                 if (kv::findPreset(v) == nullptr)
                     return UsageError{"unknown condition \"" + v +
                                       "\" for --conditions; accepted: " + joined(presetNames())};
                 o.conditions = v;
                 return std::nullopt;
             }},
            {"--te",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.te = v;
                 return std::nullopt;
             }},
            {"--tc",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.tc = v;
                 return std::nullopt;
             }},
            {"--sc",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.sc = v;
                 return std::nullopt;
             }},
            {"--sh1",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.sh1 = v;
                 return std::nullopt;
             }},
            {"--sh2",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.sh2 = v;
                 return std::nullopt;
             }},
            {"--units",
             [&](const std::string& v) {
                 return choose<kv::UnitSystem>(
                     "--units", v,
                     {{"si", kv::UnitSystem::SI}, {"imperial", kv::UnitSystem::Imperial}}, o.units);
             }},
            {"--filter",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.filter = v;
                 return std::nullopt;
             }},
            {"--target",
             [&](const std::string& v) -> std::optional<UsageError> {
                 o.target = v;
                 return std::nullopt;
             }},
            {"--order",
             [&](const std::string& v) {
                 return choose<kv::OrderBy>(
                     "--order", v,
                     {{"name", kv::OrderBy::ModelName}, {"capacity", kv::OrderBy::Capacity}},
                     o.order);
             }},
        };
    // Options that only rate uses.
    static const std::vector<std::string> rateOnly{
        "--refrigerant", "--family", "--voltage", "--conditions", "--te",     "--tc",
        "--sc",          "--sh1",    "--sh2",     "--filter",     "--target", "--order"};
    std::vector<std::string> seen;
    bool help = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            help = true;
            continue;
        }
        // An option starts with "-" and a letter or a second "-".
        const bool isOption = a.size() > 1 && a[0] == '-' &&
                              std::isdigit(static_cast<unsigned char>(a[1])) == 0 && a[1] != '.';
        if (isOption) {
            std::string name = a, value;
            bool hasValue = false;
            if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
                hasValue = true;
            }
            const auto it = valued.find(name);
            if (it == valued.end()) {
                std::vector<std::string> names{"--help"};
                for (const auto& [n, f] : valued)
                    names.push_back(n);
                return UsageError{"unknown option " + name + "; accepted: " + joined(names)};
            }
            if (!hasValue) {
                if (i + 1 >= args.size())
                    return UsageError{"option " + name + " needs a value"};
                value = args[++i];
            }
            if (auto e = it->second(value))
                return *e;
            seen.push_back(name);
            continue;
        }
        positional.push_back(a);
    }
    if (help) {
        o.command = Command::Help;
        return o;
    }
    if (positional.empty())
        return UsageError{"no command given; accepted: \"rate\", \"list\""};
    if (positional[0] == "rate") {
        if (positional.size() > 1)
            return UsageError{"unexpected argument \"" + positional[1] + "\" after rate"};
        o.command = Command::Rate;
    } else if (positional[0] == "list") {
        static const std::vector<std::string> lists{"refrigerants", "families", "voltages",
                                                    "conditions"};
        if (positional.size() < 2)
            return UsageError{"list needs what to list; accepted: " + joined(lists)};
        if (std::find(lists.begin(), lists.end(), positional[1]) == lists.end())
            return UsageError{"cannot list \"" + positional[1] + "\"; accepted: " + joined(lists)};
        if (positional.size() > 2)
            return UsageError{"unexpected argument \"" + positional[2] + "\" after list"};
        for (const auto& s : seen)
            if (std::find(rateOnly.begin(), rateOnly.end(), s) != rateOnly.end())
                return UsageError{"option " + s + " belongs to rate, not to list"};
        o.command = Command::List;
        o.listWhat = positional[1];
    } else {
        return UsageError{"unknown command \"" + positional[0] +
                          "\"; accepted: \"rate\", \"list\""};
    }
    return o;
}

// ---- output --------------------------------------------------------------------------

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::size_t displayWidth(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

namespace {

// A table of texts: aligned columns, right-aligned where `right` says so.
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
    for (const auto& l : lines) {
        for (std::size_t c = 0; c < l.size(); ++c)
            out << (c > 0 ? "," : "") << csvField(l[c]);
        out << "\r\n";
    }
}

Json numberOrNull(const std::string& text, const kv::NumberFormat& fmt) {
    const auto v = kv::parseNumber(text, fmt);
    return v ? Json(*v) : Json(nullptr);
}

void writeList(std::ostream& out, OutputFormat format, const std::string& heading,
               const std::vector<std::string>& items) {
    if (format == OutputFormat::Json) {
        out << Json(items).dump(2) << '\n';
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
                        {"units", units == kv::UnitSystem::SI ? "si" : "imperial"},
                        {"te", v.te},
                        {"tc", v.tc},
                        {"sc", v.sc},
                        {"sh1", v.sh1},
                        {"sh2", v.sh2}});
    }
    if (format == OutputFormat::Json)
        out << json.dump(2) << '\n';
    else if (format == OutputFormat::Csv)
        writeCsv(out, lines);
    else
        writeTable(out, lines, {false, true, true, true, true, true});
}

void writeResults(std::ostream& out, OutputFormat format, const kv::CalcResult& r,
                  const CliOptions& o, const kv::NumberFormat& fmt) {
    std::vector<std::string> header;
    for (int c = 1; c < kv::kGridColumns; ++c)
        header.emplace_back(r.header.texts[static_cast<std::size_t>(c)]);

    if (format == OutputFormat::Json) {
        static const char* keys[] = {"capacity", "powerInput", "efficiency", "current", "massFlow"};
        Json rows = Json::array();
        for (const auto& row : r.rows) {
            Json j{{"technology", row[1]},
                   {"model", row[2]},
                   {"refrigerant", row[3]},
                   {"voltage", row[4]}};
            for (int c = 5; c < kv::kGridColumns; ++c)
                j[keys[c - 5]] = numberOrNull(row[static_cast<std::size_t>(c)], fmt);
            j["texts"] = std::vector<std::string>(row.begin() + 1, row.end());
            rows.push_back(j);
        }
        const auto& e = r.engineConditions;
        Json doc{{"units", o.units == kv::UnitSystem::SI ? "si" : "imperial"},
                 {"frequency", o.frequency == kv::Frequency::Hz50 ? 50 : 60},
                 {"conditions",
                  {{"te", e.te}, {"tc", e.tc}, {"sc", e.sc}, {"sh1", e.sh1}, {"sh2", e.sh2}}},
                 {"order", r.order == kv::OrderBy::ModelName ? "name" : "capacity"},
                 {"header", header},
                 {"resultCount", r.resultCount},
                 {"selectedRow", r.selectedRow},
                 {"warning", r.warning},
                 {"rows", rows}};
        out << doc.dump(2) << '\n';
        return;
    }
    std::vector<std::vector<std::string>> lines{header};
    for (const auto& row : r.rows)
        lines.emplace_back(row.begin() + 1, row.end());
    if (format == OutputFormat::Csv) {
        // Capacity, power, COP or EER, current and mass flow as plain numbers.
        for (std::size_t i = 1; i < lines.size(); ++i)
            for (std::size_t c = kv::kCapacityColumn - 1; c < lines[i].size(); ++c)
                lines[i][c] = plainNumber(lines[i][c], fmt);
        writeCsv(out, lines);
        return;
    }
    // The table marks the row nearest the target, as the window selects it.
    const bool mark = !o.target.empty() && r.resultCount > 0;
    if (mark)
        for (std::size_t i = 0; i < lines.size(); ++i)
            lines[i].insert(lines[i].begin(), static_cast<int>(i) == r.selectedRow ? ">" : "");
    std::vector<bool> right{false, false, false, false, true, true, true, true, true};
    if (mark)
        right.insert(right.begin(), false);
    writeTable(out, lines, right);
    out << kv::resultsLabel(r.resultCount) << '\n';
}

// A selection text must name an item of its list.
std::optional<UsageError> checkItem(const std::string& option, const std::string& value,
                                    const std::vector<std::string>& items) {
    if (std::find(items.begin(), items.end(), value) != items.end())
        return std::nullopt;
    return UsageError{"unknown value \"" + value + "\" for " + option +
                      "; accepted: " + joined(items)};
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

// --voltage must name a supply of the chosen frequency; one of the other frequency is
// named as such, with the option that selects it.
std::optional<UsageError> checkVoltage(const kv::EngineApi& api, const std::string& given,
                                       const std::string& supply, kv::Frequency frequency) {
    auto e = checkItem("--voltage", supply, kv::voltageItems(api, frequency));
    if (!e)
        return e;
    const kv::Frequency other =
        frequency == kv::Frequency::Hz50 ? kv::Frequency::Hz60 : kv::Frequency::Hz50;
    const std::vector<std::string> otherItems = kv::voltageItems(api, other);
    if (std::find(otherItems.begin() + 1, otherItems.end(), supply) != otherItems.end())
        e->message = "\"" + given + "\" for --voltage is a " +
                     std::string(kv::frequencyCaption(other)) + " supply: add --frequency " +
                     (other == kv::Frequency::Hz60 ? "60" : "50");
    return e;
}

int usage(std::ostream& err, const UsageError& e) {
    err << "vantrix-cli: " << e.message << "\nTry 'vantrix-cli --help' for more information.\n";
    return kExitUsage;
}

} // namespace

int runCli(const CliOptions& o, const std::string& defaultProgramDir, const kv::NumberFormat& fmt,
           std::ostream& out, std::ostream& err) {
    if (o.command == Command::Help) {
        out << usageText();
        return kExitOk;
    }
    if (o.command == Command::List && o.listWhat == "conditions") {
        writeConditions(out, o.format, o.units, fmt);
        return kExitOk;
    }

    // The values that don't need the catalogue are checked first.
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
            return usage(err, {"invalid number \"" + **given + "\" for " + names[i]});
        *field = **given;
    }
    if (!o.target.empty() && !kv::parseNumber(o.target, fmt))
        return usage(err, {"invalid number \"" + o.target + "\" for --target (decimal sign \"" +
                           fmt.decimal + "\")"});

    // The libraries are loaded by absolute path, never through a search path.
    std::error_code ec;
    const std::filesystem::path given = o.programDir.empty() ? defaultProgramDir : o.programDir;
    const std::filesystem::path absolute = std::filesystem::absolute(given, ec);
    const std::string dir = ec ? given.string() : absolute.lexically_normal().string();
    const kv::DataCheck check = kv::checkDataFiles(std::filesystem::path(dir));
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
    const kv::EngineApi& api = bound.api;

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

    if (auto e = checkItem("--refrigerant", o.refrigerant,
                           kv::selectionItems(api, kv::CodeList::Refrigerant)))
        return usage(err, *e);
    if (auto e = checkItem("--family", o.family, kv::selectionItems(api, kv::CodeList::Family)))
        return usage(err, *e);
    const std::string supply = supplyListText(api, o.voltage);
    if (auto e = checkVoltage(api, o.voltage, supply, o.frequency))
        return usage(err, *e);

    kv::CalcRequest req;
    req.refrigerant = o.refrigerant;
    req.family = o.family;
    req.voltage = supply;
    req.frequency = o.frequency;
    req.conditions = texts;
    req.units = o.units;
    req.modelFilter = o.filter;
    req.targetCapacity = o.target;
    req.order = o.order;
    req.format = fmt;
    const kv::CalcResult r = kv::runCalculation(api, req);
    if (!r.warning.empty())
        err << r.warning << "\n";
    writeResults(out, o.format, r, o, fmt);
    return kExitOk;
}

} // namespace kvcli

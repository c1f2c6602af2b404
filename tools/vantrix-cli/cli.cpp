#include "cli.h"

#include "binding.h"
#include "codelists.h"
#include "conditions.h"
#include "datacheck.h"
#include "displaytext.h"
#include "figures.h"
#include "fluidcheck.h"
#include "perftable.h"
#include "verbs.h"

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

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& i : items)
        out += (out.empty() ? "" : ", ") + ("\"" + i + "\"");
    return out;
}

std::vector<std::string> presetNames() {
    std::vector<std::string> out;
    for (const auto& p : kv::kStandardConditions)
        out.emplace_back(p.name);
    return out;
}

} // namespace

namespace {

// The parts of the help: each verb's help is its own part and the shared ones.
constexpr const char* kUsageLine =
    "Usage: vantrix-cli [--program-dir DIR] [--format table|csv|json|svg|energyplus] COMMAND "
    "[OPTIONS]\n";

constexpr const char* kCommandsPart = R"(Commands:
  rate                       rate every matching model and show the results
  list refrigerants|families|voltages|conditions
                             show the texts that rate's options accept
  envelope --model NAME      the model's operating envelope at the conditions: its
                             polygons (region, code, te, tc) or, as svg, the diagram
  table --model NAME         the model's performance table at the conditions
  export --model NAME --format energyplus
                             the model's Refrigeration:Compressor object with its
                             Curve:Bicubic capacity and power curves (EnergyPlus IDF)
  COMMAND --help             show the help of a command
)";

constexpr const char* kRatePart = R"(Options of rate (texts as the window's lists show them):
  --refrigerant TEXT         refrigerant (default "All")
  --family TEXT              product type (default "All")
  --voltage TEXT             power supply (default "All"; see list voltages), as the
                             list or the grid writes it ("400/3/50Hz" or "400/3/50")
  --frequency 50|60          supply frequency (default 50)
  --filter TEXT              show only models whose name holds TEXT (upper-cased)
  --target NUMBER            target capacity in W or Btu/h: orders by capacity and
                             keeps at most 5 models either side of the nearest
  --order name|capacity      order of the results (default name)
)";

constexpr const char* kModelPart = R"(Options of envelope and table:
  --model NAME               the model, as the Model column of rate shows it
)";

constexpr const char* kTablePart = R"(Options of table:
  --te-from, --te-to, --te-step, --tc-from, --tc-to, --tc-step NUMBER
                             the table's range (default: the multiples of 5 K, or
                             10 °F, within two steps either side of the conditions,
                             with the operating point's own row and column)
  --show NAME                a figure beyond the rating to show too: suctionPressure,
                             dischargePressure, pressureRatio, suctionGasTemperature,
                             dischargeTemperature, heatRejection, isentropicEfficiency,
                             volumetricEfficiency or heatingCop
)";

constexpr const char* kListPart = R"(Options of list:
  --frequency 50|60          the supplies list voltages shows (default 50)
)";

constexpr const char* kConditionsPart =
    R"(Conditions (rate, envelope and table):
  --conditions NAME          standard rating condition (default "Asercom, AC / HBP";
                             see list conditions)
  --te, --tc, --sc, --sh1, --sh2 NUMBER
                             override the condition's evaporating and condensing
                             temperature, subcooling, evaporator and total superheat,
                             in the units of --units ("." or "," as decimal sign)
)";

constexpr const char* kGeneralPart = R"(General options:
  --program-dir DIR          program directory with the libraries, data.bin and data/
                             (default: the folder of this program)
  --format table|csv|json|svg|energyplus
                             output format (default table; svg is envelope's diagram,
                             energyplus export's only format)
  --units si|imperial        °C - W (default) or °F - Btu/h
  -h, --help                 show this help
)";

constexpr const char* kExitPart =
    R"(Exit status: 0 success, 1 the output could not be written, 2 usage error, 3 data
problem (catalogue files that don't belong together, a missing file, a library that
can't be loaded, a fluid file that can't be used: the results then lack that
refrigerant's models).
)";

} // namespace

std::string usageText() {
    return std::string(kUsageLine) +
           "\nRates the compressors of the catalogue at a set of conditions, as the window "
           "does.\n\n" +
           kCommandsPart + "\n" + kRatePart + "\n" + kModelPart + "\n" + kTablePart + "\n" +
           kConditionsPart + "\n" + kGeneralPart + "\n" + kExitPart;
}

std::string usageText(Command command) {
    struct VerbHelp {
        Command command;
        const char* usage;
        const char* what;
        std::vector<const char*> parts;
    };
    static const VerbHelp verbs[] = {
        {Command::Rate,
         "rate [OPTIONS]",
         "Rates every matching model and shows the results.",
         {kRatePart, kConditionsPart}},
        {Command::List,
         "list refrigerants|families|voltages|conditions [OPTIONS]",
         "Shows the texts that rate's options accept.",
         {kListPart}},
        {Command::Envelope,
         "envelope --model NAME [OPTIONS]",
         "Shows the model's operating envelope at the conditions, as the engine classifies "
         "it:\none polygon per region of one rating code (table, csv, json) or the diagram "
         "(svg).",
         {kModelPart, kConditionsPart}},
        {Command::Export,
         "export --model NAME [--format energyplus]",
         "Writes the model as EnergyPlus input: its Refrigeration:Compressor object with\n"
         "its Curve:Bicubic capacity and power curves, in the catalogue's rating basis.",
         {kModelPart}},
        {Command::Table,
         "table --model NAME [OPTIONS]",
         "Shows the model's performance table at the conditions.",
         {kModelPart, kTablePart, kConditionsPart}},
    };
    for (const VerbHelp& v : verbs) {
        if (v.command != command)
            continue;
        std::string text = "Usage: vantrix-cli [--program-dir DIR] " + std::string(v.usage) +
                           "\n\n" + v.what + "\n\n";
        for (const char* part : v.parts)
            text += std::string(part) + "\n";
        return text + kGeneralPart + "\n" + kExitPart;
    }
    return usageText();
}

namespace {

struct CommandOptions {
    std::string name;
    Command command;
    std::vector<std::string> options; // besides --program-dir, --format, --units and --help
};

// The commands as the help names them, with the options each of them takes.
const std::vector<CommandOptions>& commands() {
    static const std::vector<std::string> conditions{"--conditions", "--te",  "--tc",
                                                     "--sc",         "--sh1", "--sh2"};
    static const auto with = [](std::vector<std::string> own) {
        own.insert(own.end(), conditions.begin(), conditions.end());
        return own;
    };
    static const std::vector<CommandOptions> all{
        {"rate", Command::Rate,
         with({"--refrigerant", "--family", "--voltage", "--frequency", "--filter", "--target",
               "--order"})},
        {"list", Command::List, {"--frequency"}},
        {"envelope", Command::Envelope, with({"--model"})},
        {"export", Command::Export, {"--model"}},
        {"table", Command::Table,
         with({"--model", "--te-from", "--te-to", "--te-step", "--tc-from", "--tc-to", "--tc-step",
               "--show"})},
    };
    return all;
}

bool takes(const CommandOptions& c, const std::string& option) {
    return std::find(c.options.begin(), c.options.end(), option) != c.options.end() ||
           option == "--program-dir" || option == "--format" || option == "--units" ||
           option == "--help";
}

// The place of `value` among the words an option accepts; a usage error names them.
int choose(const std::string& option, const std::string& value,
           const std::vector<std::string>& words) {
    const auto it = std::find(words.begin(), words.end(), value);
    if (it == words.end())
        throw UsageError{"invalid value \"" + value + "\" for " + option +
                         "; accepted: " + joined(words)};
    return static_cast<int>(it - words.begin());
}

// Reads the command line with CLI11: options may come before and after the command, as
// "--name value" or "--name=value"; a usage error is thrown.
CliOptions parse(const std::vector<std::string>& args) {
    CliOptions o;
    CLI::App app{"", "vantrix-cli"};
    app.set_help_flag(); // the help is usageText(), shown by runCli
    app.allow_extras();  // unknown options are named below, with the accepted ones
    app.allow_windows_style_options(false); // "/x" is a word on Windows too, as on Linux
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    bool help = false;
    std::vector<std::string> words; // the command and what it lists
    std::string format = "table", frequency = "50", units = "si", order = "name";
    app.add_flag("-h,--help", help);
    app.add_option("words", words);
    // Texts are kept as given; runCli reads the numbers in the user's number format.
    const std::pair<const char* const, std::string* const> texts[] = {
        {"--program-dir", &o.programDir},
        {"--format", &format},
        {"--refrigerant", &o.refrigerant},
        {"--family", &o.family},
        {"--voltage", &o.voltage},
        {"--frequency", &frequency},
        {"--conditions", &o.conditions},
        {"--units", &units},
        {"--filter", &o.filter},
        {"--target", &o.target},
        {"--order", &order},
        {"--model", &o.model},
        {"--show", &o.show}};
    const std::pair<const char* const, std::optional<std::string>* const> numbers[] = {
        {"--te", &o.te},      {"--tc", &o.tc},          {"--sc", &o.sc},
        {"--sh1", &o.sh1},    {"--sh2", &o.sh2},        {"--te-from", &o.teFrom},
        {"--te-to", &o.teTo}, {"--te-step", &o.teStep}, {"--tc-from", &o.tcFrom},
        {"--tc-to", &o.tcTo}, {"--tc-step", &o.tcStep}};
    for (const auto& [name, field] : texts)
        app.add_option(name, *field);
    for (const auto& [name, field] : numbers)
        app.add_option(name, *field);

    // CLI11 reads the arguments from the back. "--name=" gives an empty value.
    std::vector<std::string> reversed;
    for (auto a = args.rbegin(); a != args.rend(); ++a) {
        const bool empty = a->size() > 3 && a->rfind("--", 0) == 0 && a->back() == '=';
        if (empty)
            reversed.emplace_back();
        reversed.push_back(empty ? a->substr(0, a->size() - 1) : *a);
    }
    try {
        app.parse(reversed);
    } catch (const CLI::ArgumentMismatch&) { // the last option has no value left to take
        throw UsageError{"option " + args.back() + " needs a value"};
    } catch (const CLI::ConversionError&) { // a value given to the one flag
        throw UsageError{"option --help takes no value"};
    } catch (const CLI::ParseError& e) {
        throw UsageError{e.what()};
    }
    if (!app.remaining().empty()) {
        std::vector<std::string> names;
        for (const CLI::Option* option : app.get_options())
            if (option->nonpositional())
                names.push_back(option->get_name());
        const std::string given = app.remaining().front();
        throw UsageError{"unknown option " + given.substr(0, given.find('=')) +
                         "; accepted: " + joined(names)};
    }
    std::vector<std::string> names;
    for (const CommandOptions& c : commands())
        names.push_back(c.name);
    if (help) {
        // "COMMAND --help" shows the command's help, anything else the general one.
        o.command = Command::Help;
        const auto verb = std::find_if(commands().begin(), commands().end(), [&](const auto& c) {
            return !words.empty() && c.name == words[0];
        });
        if (verb != commands().end())
            o.helpFor = verb->command;
        return o;
    }
    if (words.empty())
        throw UsageError{"no command given; accepted: " + joined(names)};
    const std::string& verb = words[0];
    const auto command = std::find_if(commands().begin(), commands().end(),
                                      [&](const CommandOptions& c) { return c.name == verb; });
    if (command == commands().end())
        throw UsageError{"unknown command \"" + verb + "\"; accepted: " + joined(names)};
    o.command = command->command;
    const std::size_t wordCount = o.command == Command::List ? 2 : 1;
    if (o.command == Command::List) {
        static const std::vector<std::string> lists{"refrigerants", "families", "voltages",
                                                    "conditions"};
        if (words.size() < 2)
            throw UsageError{"list needs what to list; accepted: " + joined(lists)};
        if (std::find(lists.begin(), lists.end(), words[1]) == lists.end())
            throw UsageError{"cannot list \"" + words[1] + "\"; accepted: " + joined(lists)};
        o.listWhat = words[1];
    }
    if (words.size() > wordCount)
        throw UsageError{"unexpected argument \"" + words[wordCount] + "\" after " + verb};
    for (const CLI::Option* option : app.get_options()) {
        const std::string name = option->get_name();
        if (!option->nonpositional() || option->count() == 0 || takes(*command, name))
            continue;
        std::string owners;
        for (const CommandOptions& c : commands())
            if (takes(c, name))
                owners += (owners.empty() ? "" : ", ") + c.name;
        if (const auto last = owners.rfind(", "); last != std::string::npos)
            owners.replace(last, 2, " and ");
        throw UsageError{"option " + name + " belongs to " + owners + ", not to " + verb};
    }

    // Every command writes a table, CSV and JSON; envelope also its diagram as SVG; export
    // writes EnergyPlus input only, its default.
    std::vector<std::string> formats{"table", "csv", "json"};
    if (o.command == Command::Export) {
        if (app.get_option("--format")->count() == 0)
            format = "energyplus";
        if (format != "energyplus")
            throw UsageError{"export writes --format energyplus; \"" + format + "\" is not one"};
        o.format = OutputFormat::EnergyPlus;
    } else {
        if (o.command == Command::Envelope)
            formats.emplace_back("svg");
        else if (format == "svg")
            throw UsageError{"--format svg is the diagram of envelope; " + verb +
                             " accepts: " + joined(formats)};
        o.format = static_cast<OutputFormat>(choose("--format", format, formats));
    }
    o.frequency = static_cast<kv::Frequency>(choose("--frequency", frequency, {"50", "60"}));
    o.units = static_cast<kv::UnitSystem>(choose("--units", units, {"si", "imperial"}));
    o.order = static_cast<kv::OrderBy>(choose("--order", order, {"name", "capacity"}));
    if (kv::findPreset(o.conditions) == nullptr)
        throw UsageError{"unknown condition \"" + o.conditions +
                         "\" for --conditions; accepted: " + joined(presetNames())};
    if (!o.show.empty() && !kv::figureNamed(o.show)) {
        std::vector<std::string> figures(kv::kFigureNames.begin(), kv::kFigureNames.end());
        throw UsageError{"unknown figure \"" + o.show +
                         "\" for --show; accepted: " + joined(figures)};
    }
    if ((o.command == Command::Envelope || o.command == Command::Table ||
         o.command == Command::Export) &&
        o.model.empty())
        throw UsageError{verb + " needs --model NAME (a name of the Model column of rate)"};
    return o;
}

} // namespace

std::variant<CliOptions, UsageError> parseArguments(const std::vector<std::string>& args) {
    try {
        return parse(args);
    } catch (const UsageError& e) {
        return e;
    }
}

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
                 const std::vector<std::optional<int32_t>>& models, kv::UnitSystem units) {
    std::vector<std::optional<std::array<double, kv::kQuantities>>> figures;
    const auto& e = r.engineConditions;
    for (const std::optional<int32_t>& model : models)
        if (model)
            figures.emplace_back(
                kv::displayValues(kv::ratePoint(api, *model, e.te, e.tc, e), units));
        else
            figures.emplace_back();
    return figures;
}

// The figures beyond the rating of each result row, in the units shown.
std::vector<kv::RatingFigures> rowFigures(const kv::EngineApi& api, const kv::CalcResult& r,
                                          const std::vector<std::optional<int32_t>>& models,
                                          kv::UnitSystem units) {
    std::vector<kv::RatingFigures> figures;
    const auto& e = r.engineConditions;
    for (const std::optional<int32_t>& model : models)
        figures.push_back(model ? kv::rateFigures(api, *model, e.te, e.tc, e, units)
                                : kv::RatingFigures{});
    return figures;
}

void writeResults(std::ostream& out, OutputFormat format, const kv::CalcResult& r,
                  const CliOptions& o, const kv::EngineApi& api, const kv::NumberFormat& fmt,
                  const std::vector<std::optional<int32_t>>& models,
                  const std::vector<kv::RatingFigures>& extra) {
    std::vector<std::vector<std::string>> cells; // the result rows' texts, as shown
    for (const auto& row : r.rows)
        cells.push_back(shown({row.begin(), row.end()}));
    std::vector<std::string> header;
    for (int c = 1; c < kv::kGridColumns; ++c)
        header.emplace_back(r.header.texts[static_cast<std::size_t>(c)]);

    if (format == OutputFormat::Json) {
        static const char* keys[] = {"capacity", "powerInput", "efficiency", "current", "massFlow"};
        const auto figures = unroundedFigures(api, r, models, o.units);
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
    if (format == OutputFormat::Csv) {
        // Capacity, power, COP or EER, current and mass flow as plain numbers; then the
        // figures beyond the rating, unrounded, and their warnings.
        for (std::size_t i = 1; i < lines.size(); ++i)
            for (std::size_t c = kv::kCapacityColumn - 1; c < lines[i].size(); ++c)
                lines[i][c] = plainNumber(lines[i][c], fmt);
        for (std::size_t k = 0; k < kv::kFigureCount; ++k)
            lines[0].push_back(kv::figureHeading(static_cast<kv::Figure>(k), o.units));
        lines[0].emplace_back("Discharge temperature estimated");
        lines[0].emplace_back("Figure warnings");
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const kv::RatingFigures& x = extra[i - 1];
            for (const std::optional<double>& v : x.values)
                lines[i].push_back(v ? plainNumber(*v) : std::string());
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
    if (r.resultCount == 0)
        writeLeftOutSummary(err, r, o.frequency);
    const auto models = rowModels(api, r);
    const auto extra = rowFigures(api, r, models, o.units);
    // A point above a model's discharge limit (or with implausible data): a warning with
    // its own reason, as the low superheat's.
    for (std::size_t i = 0; i < extra.size(); ++i)
        for (const std::string& w : kv::figureWarnings(extra[i]))
            err << "vantrix-cli: " << kv::displayText(r.rows[i][2]) << " ("
                << kv::displayText(r.rows[i][3]) << ", " << kv::displayText(r.rows[i][4])
                << "): " << w << "\n";
    writeResults(out, o.format, r, o, api, fmt, models, extra);
    // Models that vanished because a fluid file can't be used: a data problem.
    const auto problems = kv::fluidProblems(api, dir, r.propertyFailures);
    for (const kv::FluidProblem& p : problems)
        err << "vantrix-cli: " << p.message << "\n";
    return problems.empty() ? kExitOk : kExitData;
}

} // namespace kvcli

// The command line's words: the help of each verb and the reading of the options.
#include "kvcli/cli.h"

#include "kv/conditions.h"
#include "kv/figures.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <map>
#include <tuple>

namespace kvcli {

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& i : items)
        out += (out.empty() ? "" : ", ") + ("\"" + i + "\"");
    return out;
}

namespace {

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
                             polygons (region, code, te, tc) or, as svg, the diagram;
                             with transcritical curves also the Te-gas-cooler pressure
                             region at --tgc (default 35 °C or 95 °F)
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
  --pgc NUMBER, --tgc NUMBER rate the models with transcritical curves at this
                             gas-cooler pressure (bar, or psia with --units imperial)
                             and outlet temperature, with each model's pressure of the
                             highest COP (optimumGasCoolerPressure)
  --speed NUMBER             rate variable-speed models at NUMBER rev/s (fixed-speed
                             models as always); default: each at its nominal speed
  --match-capacity NUMBER    rate each variable-speed model at the speed that meets
                             this capacity in W or Btu/h; leaves out, and counts,
                             those that can't and every fixed-speed model
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
  --tgc NUMBER               a transcritical table at this gas-cooler outlet
                             temperature: the figures over gas-cooler pressure, and
                             the pressure of the highest COP
  --pgc-from, --pgc-to, --pgc-step NUMBER
                             its pressures (bar or psia; default the model's range in
                             steps of 5 bar or 50 psi)
  --speeds                   a variable-speed model's figures against speed at the
                             operating point, over the speeds allowed there
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
               "--order", "--pgc", "--tgc", "--speed", "--match-capacity"})},
        {"list", Command::List, {"--frequency"}},
        {"envelope", Command::Envelope, with({"--model", "--tgc"})},
        {"export", Command::Export, {"--model"}},
        {"table", Command::Table,
         with({"--model", "--te-from", "--te-to", "--te-step", "--tc-from", "--tc-to", "--tc-step",
               "--show", "--tgc", "--pgc-from", "--pgc-to", "--pgc-step", "--speeds"})},
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
    app.add_flag("--speeds", o.speeds);
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
        {"--te", &o.te},          {"--tc", &o.tc},
        {"--sc", &o.sc},          {"--sh1", &o.sh1},
        {"--sh2", &o.sh2},        {"--te-from", &o.teFrom},
        {"--te-to", &o.teTo},     {"--te-step", &o.teStep},
        {"--tc-from", &o.tcFrom}, {"--tc-to", &o.tcTo},
        {"--tc-step", &o.tcStep}, {"--pgc", &o.pgc},
        {"--tgc", &o.tgc},        {"--pgc-from", &o.pgcFrom},
        {"--pgc-to", &o.pgcTo},   {"--pgc-step", &o.pgcStep},
        {"--speed", &o.speed},    {"--match-capacity", &o.matchCapacity}};
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
    } catch (const CLI::ConversionError&) { // a value given to a flag
        throw UsageError{"options --help and --speeds take no value"};
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
    if (o.speed && o.matchCapacity)
        throw UsageError{"--speed and --match-capacity exclude each other: give one"};
    if (o.speeds &&
        (!o.show.empty() || o.teFrom || o.teTo || o.teStep || o.tcFrom || o.tcTo || o.tcStep))
        throw UsageError{"--speeds gives figures against speed at the operating point; "
                         "--show and the table's range options don't apply to it"};
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

} // namespace kvcli

// vantrix-cli: the selection of the window in a terminal and in scripts.
//
// The command line is read into `CliOptions`; `runCli` does the work and returns the exit
// status: 0 on success, 2 for a usage error, 3 for a data problem (catalogue files that
// don't belong together, a missing file, a library that can't be bound, a fluid file that
// can't be used); `main` gives 1 when standard output can't be written.
#pragma once

#include "kv/calcrun.h"

#include <nlohmann/json_fwd.hpp>

#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kvcli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitWrite = 1; // standard output could not be written
inline constexpr int kExitUsage = 2;
inline constexpr int kExitData = 3;

enum class Command { None, Rate, List, Help, Envelope, Table, Export };
enum class OutputFormat {
    Table,
    Csv,
    Json,
    Svg,
    EnergyPlus
}; // Svg: envelope only; EnergyPlus: export only

struct CliOptions {
    Command command = Command::None;
    std::string listWhat; // refrigerants, families, voltages, conditions
    std::string programDir;
    OutputFormat format = OutputFormat::Table;
    std::string refrigerant = "All", family = "All", voltage = "All";
    kv::Frequency frequency = kv::Frequency::Hz50;
    std::string conditions = "Asercom, AC / HBP";
    std::optional<std::string> te, tc, sc, sh1, sh2;
    kv::UnitSystem units = kv::UnitSystem::SI;
    std::string filter, target;
    kv::OrderBy order = kv::OrderBy::ModelName;
    Command helpFor = Command::None; // Help: the command whose help is asked for, if any
    // envelope and table: the model and the table's range as given (units of --units).
    std::string model;
    std::optional<std::string> teFrom, teTo, teStep, tcFrom, tcTo, tcStep;
    // table: a figure beyond the rating to show too (a name of kv::kFigureNames), or empty.
    std::string show;
    // rate and table above the critical point: the gas-cooler pressure (rate) or the
    // table's range of it, and the gas-cooler outlet temperature, as given (units of --units).
    std::optional<std::string> pgc, tgc, pgcFrom, pgcTo, pgcStep;
    // rate: variable-speed models at a speed (rev/s) or at the speed that meets a capacity
    // (W or Btu/h, as --units), as given; table: figures against speed.
    std::optional<std::string> speed, matchCapacity;
    bool speeds = false;
};

// A usage error: the message names what was wrong and what is accepted.
struct UsageError {
    std::string message;
};

// Reads the arguments (without the program name). Gives the options or a usage error.
std::variant<CliOptions, UsageError> parseArguments(const std::vector<std::string>& args);
// The texts as a usage message lists them: quoted, separated by commas.
std::string joined(const std::vector<std::string>& items);

// The general help, and the help of one command (the general one for Command::None).
std::string usageText();
std::string usageText(Command command);

// Runs the command; output to `out`, messages and warnings to `err`.
int runCli(const CliOptions& options, const std::string& defaultProgramDir,
           const kv::NumberFormat& format, std::ostream& out, std::ostream& err);

// The conditions' field texts of the options: the preset's, with --te ... --sh2 over them;
// a number that doesn't read (or a --target that doesn't) is a usage error.
std::variant<kv::ConditionTexts, UsageError> conditionTexts(const CliOptions& options,
                                                            const kv::NumberFormat& format);

// Runs a command that needs the catalogue on libraries already bound and initialised from
// the program directory `programDir`, with the conditions' texts of conditionTexts(). The
// Python module runs its selection, envelope and table through here, so they are the
// command line's.
int runBound(const CliOptions& options, const kv::EngineApi& api, const std::string& programDir,
             const kv::ConditionTexts& texts, const kv::NumberFormat& format, std::ostream& out,
             std::ostream& err);

// Reads the arguments and runs the command, as `main` does but for the write check.
int runCommandLine(const std::vector<std::string>& args, const std::string& defaultProgramDir,
                   const kv::NumberFormat& format, std::ostream& out, std::ostream& err);

// Writes the usage error to `err` and gives kExitUsage.
int usage(std::ostream& err, const UsageError& e);

// ---- output --------------------------------------------------------------------------

// One CSV field as RFC 4180 writes it: quoted when it holds a comma, quote, CR or LF.
std::string csvField(const std::string& text);

// Display width of a UTF-8 text (its code points).
std::size_t displayWidth(const std::string& text);

// A table of texts: aligned columns, right-aligned where `right` says so.
void writeTable(std::ostream& out, const std::vector<std::vector<std::string>>& lines,
                const std::vector<bool>& right);

// A JSON document, indented, and a line end. Texts are display texts (valid UTF-8); a
// byte that is not would be written as U+FFFD, never end the program.
void writeJson(std::ostream& out, const nlohmann::ordered_json& doc);

// The five conditions of `engineAt` (engine units) in the units shown, as JSON numbers.
nlohmann::ordered_json conditionsJson(const kv::ConditionValues& engineAt, kv::UnitSystem units);

// "si" or "imperial", as --units takes it.
const char* unitsName(kv::UnitSystem units);

} // namespace kvcli

// vantrix-cli run as a process on a program directory with a small catalogue: the same
// rows as the calculation run in-process, output that parses back, exit statuses.
#include "bound_catalogue.h"
#include "csv_records.h"
#include "kv/calcrun.h"
#include "kv/conditions.h"
#include "kv/figures.h"
#include "kvcli/cli.h"
#include "programdir.h"
#include "test_catalogue.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using kv::namedModel;
using kv::TestModel;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

#ifdef _WIN32
// One argument as the C runtime's command-line parser reads it back.
std::string quoted(const std::string& text) {
    std::string q = "\"";
    std::size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        q.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, '\\');
    return q + "\"";
}

// Runs vantrix-cli.exe with the user's number format and gives status and both streams.
Outcome runCli(const std::vector<std::string>& args, const fs::path& scratch) {
    const fs::path outFile = scratch / "stdout.txt", errFile = scratch / "stderr.txt";
    std::string command = quoted(KV_CLI_PATH);
    for (const auto& a : args)
        command += " " + quoted(a);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto create = [&](const fs::path& p) {
        return CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const HANDLE out = create(outFile), err = create(errFile);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = out;
    start.hStdError = err;
    PROCESS_INFORMATION process{};
    Outcome o;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        o.status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    o.out = slurp(outFile);
    o.err = slurp(errFile);
    return o;
}
#else
std::string shellQuoted(const std::string& text) {
    std::string q = "'";
    for (const char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a program (vantrix-cli by default) in an environment of only `env` and the C
// locale, and gives status and both streams; standard output goes to `out` when given.
Outcome runCli(const std::vector<std::string>& args, const fs::path& scratch,
               const std::string& env = {}, const std::string& program = KV_CLI_PATH,
               const fs::path& out = {}) {
    const fs::path outFile = scratch / "stdout.txt", errFile = scratch / "stderr.txt";
    std::string command = "env -i LC_ALL=C PATH=/usr/bin:/bin " + env + " " + shellQuoted(program);
    for (const auto& a : args)
        command += " " + shellQuoted(a);
    command += " >" + shellQuoted(out.empty() ? outFile : out) + " 2>" + shellQuoted(errFile);
    std::error_code ec;
    fs::remove(outFile, ec);
    const int ws = std::system(command.c_str());
    Outcome o;
    o.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
    o.out = slurp(outFile);
    o.err = slurp(errFile);
    return o;
}

#endif

// A number as CSV writes it: "." as decimal sign, no grouping, no leading zeros.
bool plainNumber(const std::string& text) {
    static const std::regex plain(R"(-?(0|[1-9][0-9]*)(\.[0-9]+)?)");
    return std::regex_match(text, plain);
}

// The CSV record of a grid row: the texts as the grid shows them, the five figures as the
// same numbers written plainly; then the figures beyond the rating, plain numbers or
// empty, whether the discharge temperature is estimated, and the figures' warnings.
void expectCsvRecord(const std::vector<std::string>& record, const kv::GridRow& row,
                     const kv::NumberFormat& gridFormat) {
    ASSERT_EQ(record.size(), row.size() - 1 + kv::kFigureCount + 2);
    for (std::size_t k = 0; k < kv::kFigureCount; ++k) {
        const std::string& field = record[row.size() - 1 + k];
        EXPECT_TRUE(field.empty() || plainNumber(field)) << field;
    }
    const std::string& estimated = record[row.size() - 1 + kv::kFigureCount];
    EXPECT_TRUE(estimated == "true" || estimated == "false") << estimated;
    for (std::size_t c = 1; c < row.size(); ++c) {
        const std::string& field = record[c - 1];
        if (c < static_cast<std::size_t>(kv::kCapacityColumn)) {
            EXPECT_EQ(field, row[c]);
            continue;
        }
        EXPECT_TRUE(plainNumber(field)) << field;
        const auto shown = kv::parseNumber(row[c], gridFormat);
        ASSERT_TRUE(shown.has_value()) << row[c];
        EXPECT_EQ(std::stod(field), *shown) << field << " for " << row[c];
    }
}

std::vector<TestModel> cliModels() {
    std::vector<TestModel> m;
    for (int i = 1; i <= 14; ++i)
        m.push_back(namedModel("ZX-" + std::to_string(i), 700.0 * i + 0.4));
    m.push_back(namedModel("lower-q", 45));
    m.push_back(namedModel("QUOTE", 3000));
    m.back().name = "Q\"1,x";
    m.push_back(namedModel("US-60", 1500));
    m.back().dllp = "1";
    return m;
}

class Cli : public kv::BoundCatalogue<cliModels> {
protected:
    Outcome cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-dir", dir_->path().string()});
        return runCli(args, dir_->path());
    }

    // The in-process run for the same inputs, with the C locale's number format.
    static kv::CalcResult coreRun(const std::function<void(kv::CalcRequest&)>& set) {
        kv::CalcRequest req;
        req.format = kv::NumberFormat{".", ","};
        req.conditions = *kv::presetTexts(kv::kDefaultCondition, kv::UnitSystem::SI, req.format);
        set(req);
        return kv::runCalculation(bound_.api, req);
    }
};

TEST_F(Cli, RowsMatchTheCalculationRun) {
    struct Case {
        std::vector<std::string> args;
        std::function<void(kv::CalcRequest&)> set;
    };
    const std::vector<Case> cases{
        {{"--filter="}, [](auto&) {}}, // an empty value, not the next argument
        {{"--units", "imperial"},
         [](auto& q) {
             q.units = kv::UnitSystem::Imperial;
             q.conditions = *kv::presetTexts(kv::kDefaultCondition, q.units, q.format);
         }},
        {{"--filter", "zx-1"}, [](auto& q) { q.modelFilter = "zx-1"; }},
        // A name with a quote and a comma, a capacity with a group separator.
        {{"--filter", "QUOTE"}, [](auto& q) { q.modelFilter = "QUOTE"; }},
        // The power supply as the grid writes it selects as the list's text does.
        {{"--voltage", "400/3/50"}, [](auto& q) { q.voltage = "400V 3ph 50Hz"; }},
        {{"--target", "5000"}, [](auto& q) { q.targetCapacity = "5000"; }},
        {{"--order", "capacity", "--frequency", "60"},
         [](auto& q) {
             q.order = kv::OrderBy::Capacity;
             q.frequency = kv::Frequency::Hz60;
         }},
        {{"--conditions", "ARI, MBP", "--te", "-5,5", "--sh2", "12"},
         [](auto& q) {
             q.conditions = *kv::presetTexts("ARI, MBP", kv::UnitSystem::SI, q.format);
             q.conditions.te = "-5,5";
             q.conditions.sh2 = "12";
         }},
    };
    for (const auto& c : cases) {
        auto args = c.args;
        args.insert(args.begin(), {"rate", "--format", "csv"});
        const Outcome o = cli(args);
        ASSERT_EQ(o.status, 0) << o.err;
        const auto expected = coreRun(c.set);
        const auto records = kv::csvRecords(o.out);
        ASSERT_EQ(records.size(), expected.rows.size() + 1) << o.out;
        EXPECT_EQ(records[0][0], "Technology");
        for (std::size_t i = 0; i < expected.rows.size(); ++i)
            expectCsvRecord(records[i + 1], expected.rows[i], kv::NumberFormat{".", ","});
    }
    // The catalogue's models rate cleanly only with a working property library.
    EXPECT_EQ(coreRun([](auto&) {}).resultCount, 16)
        << "the models need clean ratings of R134a at Te 5 °C, Tc 50 °C";
}

TEST_F(Cli, JsonGivesNumbersAndTheGridTexts) {
    const Outcome o = cli({"rate", "--format", "json", "--target", "5000"});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto doc = nlohmann::json::parse(o.out);
    const auto expected = coreRun([](auto& q) { q.targetCapacity = "5000"; });
    EXPECT_EQ(doc.at("resultCount"), expected.resultCount);
    EXPECT_EQ(doc.at("selectedRow"), expected.selectedRow);
    EXPECT_EQ(doc.at("order"), "capacity");
    EXPECT_EQ(doc.at("header").at(4), "Cooling capacity (W)");
    ASSERT_EQ(doc.at("rows").size(), expected.rows.size());
    for (std::size_t i = 0; i < expected.rows.size(); ++i) {
        const auto& row = doc.at("rows").at(i);
        const auto& want = expected.rows[i];
        EXPECT_EQ(row.at("model"), want[2]);
        EXPECT_EQ(row.at("texts"), std::vector<std::string>(want.begin() + 1, want.end()));
        // The figures before the grid rounded them: ZX-n rates 700 n + 0.4 W.
        const double capacity = row.at("capacity").get<double>();
        EXPECT_EQ(kv::roundHalfEven(capacity, 0),
                  *kv::parseNumber(want[5], kv::NumberFormat{".", ","}));
        if (want[2].rfind("ZX-", 0) == 0) {
            EXPECT_NEAR(capacity - std::floor(capacity), 0.4, 1e-9) << capacity;
        }
        EXPECT_EQ(kv::roundHalfEven(row.at("efficiency").get<double>(), 2),
                  *kv::parseNumber(want[7], kv::NumberFormat{".", ","}));
    }
    EXPECT_DOUBLE_EQ(doc.at("conditions").at("te").get<double>(), 5.0);
}

TEST_F(Cli, TableListsAndWarnings) {
    Outcome o = cli({"rate", "--sh2", "4"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.err.find("Low superheat. Risk on liquid return !"), std::string::npos);
    EXPECT_EQ(o.out.find("Low superheat"), std::string::npos);
    EXPECT_EQ(o.out.rfind("Technology", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("Results : "), std::string::npos);

    o = cli({"list", "refrigerants", "--format", "json"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(nlohmann::json::parse(o.out), nlohmann::json({"All", "R134a", "R404A"}));
    o = cli({"--frequency", "60", "list", "voltages"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("All\n", 0), 0u);
    EXPECT_NE(o.out.find("460V 3ph 60Hz"), std::string::npos);
    EXPECT_EQ(o.out.find("400V 3ph 50Hz"), std::string::npos);
    o = cli({"list", "conditions", "--format", "csv"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("\"ARI, AC / HBP\",7.22,54.44,8.33,11.11,11.11\r\n"), std::string::npos)
        << o.out;
    o = cli({"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("Usage: vantrix-cli", 0), 0u);
}

TEST_F(Cli, UsageErrorsExitTwoAndSayWhatIsAccepted) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{}, "no command given"},
        {{"calculate"}, "unknown command \"calculate\""},
        {{"rate", "--colour", "red"}, "unknown option --colour"},
        {{"rate", "--units"}, "--units needs a value"},
        {{"rate", "--order=size"}, "accepted: \"name\", \"capacity\""},
        {{"rate", "--format", "xml"}, "accepted: \"table\", \"csv\", \"json\""},
        {{"rate", "--conditions", "ARI"}, "\"Asercom, AC / HBP\""},
        {{"rate", "--te", "warm"}, "invalid number \"warm\" for --te"},
        {{"rate", "--target", "big"}, "invalid number \"big\" for --target"},
        {{"rate", "--refrigerant", "R999"}, "accepted: \"All\", \"R134a\", \"R404A\""},
        {{"rate", "--voltage", "400V 3ph 50Hz", "--frequency", "60"},
         "\"400V 3ph 50Hz\" for --voltage is a 50 Hz supply: add --frequency 50"},
        {{"rate", "--voltage", "460V 3ph 60Hz"},
         "\"460V 3ph 60Hz\" for --voltage is a 60 Hz supply: add --frequency 60"},
        {{"rate", "--voltage", "460/3/60"},
         "\"460/3/60\" for --voltage is a 60 Hz supply: add --frequency 60"},
        {{"rate", "--voltage", "400 V"}, "accepted: \"All\", \"400V 3ph 50Hz\""},
        {{"list"}, "list needs what to list"},
        {{"list", "models"}, "cannot list \"models\""},
        {{"list", "refrigerants", "--te", "5"}, "--te belongs to rate"},
    };
    for (const auto& c : cases) {
        const Outcome o = cli(c.args);
        EXPECT_EQ(o.status, 2) << c.message;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_TRUE(o.out.empty()) << o.out;
    }
}

// The man page and the shell completion are read from the help: it names every option the
// parser takes, and no other.
TEST(CliHelp, NamesTheOptionsTheParserTakes) {
    const std::regex option("--[a-z0-9-]*[a-z0-9]"); // as the completion reads them
    const auto options = [&](const std::string& text) {
        return std::set<std::string>(std::sregex_token_iterator(text.begin(), text.end(), option),
                                     std::sregex_token_iterator());
    };
    const auto parsed = kvcli::parseArguments({"--no-such-option"});
    const std::string refusal = std::get<kvcli::UsageError>(parsed).message;
    EXPECT_EQ(options(kvcli::usageText()), options(refusal.substr(refusal.find("accepted:"))));
}

// Under a regional format with "," as decimal sign, CSV still writes plain numbers;
// the table keeps the grid's texts.
TEST_F(Cli, CsvNumbersArePlainInEveryLocale) {
    const kv::NumberFormat german = kv::NumberFormat::german();
    kvcli::CliOptions options;
    options.command = kvcli::Command::Rate;
    options.programDir = dir_->path().string();
    kv::CalcRequest req;
    req.format = german;
    req.conditions = *kv::presetTexts(kv::kDefaultCondition, kv::UnitSystem::SI, german);
    const kv::CalcResult expected = kv::runCalculation(bound_.api, req);
    ASSERT_EQ(expected.resultCount, 16);

    for (const auto format : {kvcli::OutputFormat::Csv, kvcli::OutputFormat::Table}) {
        options.format = format;
        std::ostringstream out, err;
        ASSERT_EQ(kvcli::runCli(options, {}, german, out, err), 0) << err.str();
        if (format == kvcli::OutputFormat::Table) {
            for (const kv::GridRow& row : expected.rows)
                EXPECT_NE(out.str().find(row[kv::kCapacityColumn]), std::string::npos) << row[2];
            continue;
        }
        const auto records = kv::csvRecords(out.str());
        ASSERT_EQ(records.size(), expected.rows.size() + 1);
        EXPECT_EQ(records[0][4], "Cooling capacity (W)");
        EXPECT_EQ(records[0][8], "Mass flow (kg/h)");
        for (std::size_t i = 0; i < expected.rows.size(); ++i)
            expectCsvRecord(records[i + 1], expected.rows[i], german);
    }
}

#ifndef _WIN32
// Process and display behaviour of a POSIX system.
// Output that can't be written fails with a message; a closed pipe ends the program with
// SIGPIPE as usual.
TEST_F(Cli, WriteErrorsAreFailures) {
    const Outcome full = runCli({"--program-dir", dir_->path().string(), "rate"}, dir_->path(), {},
                                KV_CLI_PATH, "/dev/full");
    EXPECT_EQ(full.status, kvcli::kExitWrite);
    EXPECT_NE(full.err.find("vantrix-cli: cannot write the output: No space left on device"),
              std::string::npos)
        << full.err;

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &pipeSignal);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    std::string dir = dir_->path().string();
    char cliPath[] = KV_CLI_PATH;
    char programDir[] = "--program-dir";
    char rate[] = "rate";
    char* argv[] = {cliPath, programDir, dir.data(), rate, nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, KV_CLI_PATH, &actions, &attr, argv, environ), 0);
    close(fds[1]);
    int ws = 0;
    ASSERT_EQ(waitpid(child, &ws, 0), child);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    EXPECT_TRUE(WIFSIGNALED(ws) && WTERMSIG(ws) == SIGPIPE) << ws;
}

// `make run` without a display that answers shows the selection in the terminal.
TEST(RunWindow, FallsBackToTheTerminalWithoutADisplay) {
    const fs::path scratch = fs::temp_directory_path() / ("kv-run-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    int unused = 99;
    while (fs::exists("/tmp/.X11-unix/X" + std::to_string(unused)))
        ++unused;
    const std::string display = ":" + std::to_string(unused);
    const std::vector<std::string> args{fs::path(KV_CLI_PATH).parent_path().string(),
                                        KV_DISPLAY_CHECK};
    struct Case {
        std::string env, reason;
    };
    for (const Case& c : {Case{"", "DISPLAY and WAYLAND_DISPLAY are unset"},
                          Case{"DISPLAY=" + display, "DISPLAY=" + display + " can't be reached"}}) {
        const Outcome o = runCli(args, scratch, c.env, KV_RUN_WINDOW);
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.out.rfind("No display found (" + c.reason +
                                  "): showing the default selection in the terminal instead.\n",
                              0),
                  0u)
            << o.out;
        EXPECT_NE(o.out.find("Results : "), std::string::npos) << o.out;
        EXPECT_EQ(o.err.find("platform plugin"), std::string::npos) << o.err;
    }
    // Where the toolkit can start, the check says so.
    EXPECT_EQ(runCli({}, scratch, "QT_QPA_PLATFORM=offscreen", KV_DISPLAY_CHECK).status, 0);
    fs::remove_all(scratch);
}

#endif

TEST(CliData, DataProblemsExitThreeAndNameTheFile) {
    kv::ProgramDir dir(kv::codesFile(kv::defaultCodes()), kv::modelsFile({namedModel("A", 1000)}));
    dir.write("data.bin", "12345\n");
    Outcome o = runCli({"--program-dir", dir.path().string(), "rate"}, dir.path());
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("Data Problem ! Quit the application"), std::string::npos);
    EXPECT_NE(o.err.find("data.bin"), std::string::npos);

    dir.remove("data.bin");
    o = runCli({"--program-dir", dir.path().string(), "list", "refrigerants"}, dir.path());
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("data.bin"), std::string::npos);

    // A first line with no end, 16 MB long: a few bytes are read, and quoted shortly.
    dir.write("data.bin", "12345\x01");
    fs::resize_file(dir.path() / "data.bin", 16 << 20);
    o = runCli({"--program-dir", dir.path().string(), "rate"}, dir.path());
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("\"12345\\x01\\x00"), std::string::npos) << o.err.substr(0, 300);
    EXPECT_LT(o.err.size(), 400u);

    dir.write("data.bin", "\n"); // an empty first line skips the check
    dir.remove(kv::kEngineLibraryFile);
    o = runCli({"--program-dir", dir.path().string(), "rate"}, dir.path());
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find(kv::kEngineLibraryFile), std::string::npos);
}

#ifndef _WIN32
// A fluid file that is missing, damaged or no file: its refrigerant's models can't be
// rated, and the command names the file and exits 3.
TEST(CliData, FluidFileThatCantBeUsed) {
    struct Case {
        std::string refrigerant, file, content, message;
    };
    const std::vector<Case> cases{
        {"R134a", "R134a.json", "{ \"INFO\": ", "/data/fluids/R134a.json can't be used"},
        {"R134a", "R134a.json", "<none>", "/data/fluids/R134a.json is missing"},
        {"R134a", "R134a.json", "<folder>", "/data/fluids/R134a.json is no regular file"},
        // Found by its alias; damaged, it still says which name it was meant for.
        {"R290", "n-Propane.json", "{\"INFO\": {\"NAME\": \"n-Propane\", \"ALIASES\": [\"R290\"",
         "/data/fluids/n-Propane.json can't be used"},
    };
    for (const Case& c : cases) {
        TestModel m = namedModel("A-1", 1000);
        m.refrigerant = c.refrigerant;
        kv::ProgramDir dir(kv::codesFile(kv::defaultCodes()), kv::modelsFile({m}));
        dir.remove("data/fluids"); // the link to the built fluids: a folder of its own
        fs::create_directory(dir.path() / "data" / "fluids");
        if (c.content == "<folder>")
            fs::create_directory(dir.path() / "data" / "fluids" / c.file);
        else if (c.content != "<none>")
            dir.write("data/fluids/" + c.file, c.content);
        const Outcome o = runCli({"--program-dir", dir.path().string(), "rate"}, dir.path());
        EXPECT_EQ(o.status, 3) << c.message;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_NE(o.out.find("Results : 0"), std::string::npos) << o.out;
    }
}
#endif

// Catalogue texts that are no UTF-8 (8-bit, Latin-1) come out as UTF-8 in every format,
// and a list item is named as the list shows it.
TEST(CliText, EightBitCatalogueTextsAreShownAsUtf8) {
    std::vector<kv::CodeLine> codes = kv::defaultCodes();
    for (auto& line : codes)
        if (line.list == "DLLR" && line.number == 1)
            line.text = "R134a\xE9";
    kv::ProgramDir dir(kv::codesFile(codes),
                       kv::modelsFile({namedModel("K\xC4-1", 1000), namedModel("B-2", 2000)}));
    const std::string p = dir.path().string();
    Outcome o =
        runCli({"--program-dir", p, "--format", "json", "list", "refrigerants"}, dir.path());
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(nlohmann::json::parse(o.out), nlohmann::json({"All", "R134a\xC3\xA9", "R404A"}));
    for (const char* format : {"json", "csv", "table"}) {
        o = runCli({"--program-dir", p, "--format", format, "rate", "--refrigerant",
                    "R134a\xC3\xA9", "--filter", "k\xC3\x84"},
                   dir.path());
        ASSERT_EQ(o.status, 0) << format << o.err;
        EXPECT_NE(o.out.find("K\xC3\x84-1"), std::string::npos) << format << o.out;
        EXPECT_EQ(o.out.find("B-2"), std::string::npos) << format;
    }
    o = runCli({"--program-dir", p, "--format", "json", "rate"}, dir.path());
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(nlohmann::json::parse(o.out).at("rows").at(1).at("model"), "K\xC3\x84-1");
}

} // namespace

// vantrix-cli run as a process on a program directory with a small catalogue: the same
// rows as the calculation run in-process, output that parses back, exit statuses.
#include "binding.h"
#include "calcrun.h"
#include "conditions.h"
#include "programdir.h"
#include "test_catalogue.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using kvtest::TestModel;

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

// Runs vantrix-cli with the C locale's number format and gives status and both streams.
Outcome runCli(const std::vector<std::string>& args, const fs::path& scratch) {
    const fs::path outFile = scratch / "stdout.txt", errFile = scratch / "stderr.txt";
    std::string command = "env -i LC_ALL=C PATH=/usr/bin:/bin " + shellQuoted(KV_CLI_PATH);
    for (const auto& a : args)
        command += " " + shellQuoted(a);
    command += " >" + shellQuoted(outFile) + " 2>" + shellQuoted(errFile);
    const int ws = std::system(command.c_str());
    Outcome o;
    o.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
    o.out = slurp(outFile);
    o.err = slurp(errFile);
    return o;
}
#endif

// RFC 4180 records: quoted fields with doubled quotes, CRLF line ends.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
        } else {
            field += c;
        }
    }
    return records;
}

TestModel model(std::string showName, double capacity) {
    TestModel m;
    m.showName = std::move(showName);
    m.capacity = capacity;
    return m;
}

std::vector<TestModel> cliModels() {
    std::vector<TestModel> m;
    for (int i = 1; i <= 14; ++i)
        m.push_back(model("ZX-" + std::to_string(i), 700.0 * i + 0.4));
    m.push_back(model("lower-q", 45));
    m.push_back(model("QUOTE", 3000));
    m.back().name = "Q\"1,x";
    m.push_back(model("US-60", 1500));
    m.back().dllp = "1";
    return m;
}

class Cli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<kvtest::ProgramDir>(kvtest::codesFile(kvtest::defaultCodes()),
                                                    kvtest::modelsFile(cliModels()));
        bound_ = kv::bindLibraries(dir_->path().string());
        if (bound_.ok)
            kv::initializeEngine(bound_.api, dir_->path().string());
    }
    static void TearDownTestSuite() { dir_.reset(); }
    void SetUp() override { ASSERT_TRUE(bound_.ok) << bound_.message; }

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

    static std::unique_ptr<kvtest::ProgramDir> dir_;
    static kv::BindResult bound_;
};

std::unique_ptr<kvtest::ProgramDir> Cli::dir_;
kv::BindResult Cli::bound_;

TEST_F(Cli, RowsMatchTheCalculationRun) {
    struct Case {
        std::vector<std::string> args;
        std::function<void(kv::CalcRequest&)> set;
    };
    const std::vector<Case> cases{
        {{}, [](auto&) {}},
        {{"--units", "imperial"},
         [](auto& q) {
             q.units = kv::UnitSystem::Imperial;
             q.conditions = *kv::presetTexts(kv::kDefaultCondition, q.units, q.format);
         }},
        {{"--filter", "zx-1"}, [](auto& q) { q.modelFilter = "zx-1"; }},
        // A name with a quote and a comma, a capacity with a group separator.
        {{"--filter", "QUOTE"}, [](auto& q) { q.modelFilter = "QUOTE"; }},
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
        const auto records = parseCsv(o.out);
        ASSERT_EQ(records.size(), expected.rows.size() + 1) << o.out;
        EXPECT_EQ(records[0][0], "Technology");
        for (std::size_t i = 0; i < expected.rows.size(); ++i)
            EXPECT_EQ(records[i + 1], std::vector<std::string>(expected.rows[i].begin() + 1,
                                                               expected.rows[i].end()));
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
        EXPECT_EQ(row.at("capacity").get<double>(),
                  *kv::parseNumber(want[5], kv::NumberFormat{".", ","}));
        EXPECT_EQ(row.at("efficiency").get<double>(),
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
    EXPECT_NE(o.out.find("\"ARI, AC / HBP\",\"7,22\",\"54,44\""), std::string::npos) << o.out;
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
        {{"rate", "--units", "kelvin"}, "accepted: \"si\", \"imperial\""},
        {{"rate", "--frequency", "55"}, "accepted: \"50\", \"60\""},
        {{"rate", "--order=size"}, "accepted: \"name\", \"capacity\""},
        {{"rate", "--format", "xml"}, "accepted: \"table\", \"csv\", \"json\""},
        {{"rate", "--conditions", "ARI"}, "\"Asercom, AC / HBP\""},
        {{"rate", "--te", "warm"}, "invalid number \"warm\" for --te"},
        {{"rate", "--target", "big"}, "invalid number \"big\" for --target"},
        {{"rate", "--refrigerant", "R999"}, "accepted: \"All\", \"R134a\", \"R404A\""},
        {{"rate", "--voltage", "400V 3ph 50Hz", "--frequency", "60"}, "--voltage"},
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

TEST(CliData, DataProblemsExitThreeAndNameTheFile) {
    kvtest::ProgramDir dir(kvtest::codesFile(kvtest::defaultCodes()),
                           kvtest::modelsFile({model("A", 1000)}));
    dir.write("data.bin", "12345\n");
    Outcome o = runCli({"--program-dir", dir.path().string(), "rate"}, dir.path());
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("Data Problem ! Quit the application"), std::string::npos);
    EXPECT_NE(o.err.find("data.bin"), std::string::npos);

    dir.remove("data.bin");
    o = runCli({"--program-dir", dir.path().string(), "list", "refrigerants"}, dir.path());
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("data.bin"), std::string::npos);

    dir.write("data.bin", "\n"); // an empty first line skips the check
    dir.remove(kv::kEngineLibraryFile);
    o = runCli({"--program-dir", dir.path().string(), "rate"}, dir.path());
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find(kv::kEngineLibraryFile), std::string::npos);
}

} // namespace

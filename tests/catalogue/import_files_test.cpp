// The import as a process writing a program directory's catalogue: damaged or dangerous
// targets are refused before anything is replaced, an import killed between its renames
// leaves a catalogue the program starts with, and concurrent imports lose no models.
#include "catalogue_text.h"
#include "engine_handle.h"
#include "kv/datacheck.h"
#include "kvcat/import.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace kvcat;
namespace fs = std::filesystem;

// One R404A row in EN 12900 order, degC, without current and mass flow.
std::string table(const std::vector<std::string>& models,
                  const std::string& refrigerant = "R404A") {
    std::string t = "model\trefrigerant\ttechnology\tapp_class\tte_min\tte_max\ttc_min\ttc_max"
                    "\trgt_base\tsc_base";
    for (const char set : std::string("QP"))
        for (int i = 0; i < 10; ++i)
            t += "\t" + std::string(1, set) + std::to_string(i);
    t += "\n";
    for (const std::string& m : models)
        t += m + "\t" + refrigerant +
             "\tscroll\tmedium\t-17.8\t4.4\t10\t48.9\t18.3\t0"
             "\t10580\t388\t-42.49\t5.235\t-1.694\t-0.4991\t0.02341\t-0.02471\t-0.01148\t"
             "0.0007874\t1394\t31.79\t26.75\t0.4449\t-0.0805\t-0.2488\t0.002278\t-0.00348\t"
             "0.0007375\t0.00437\n";
    return t;
}

struct Outcome {
    int status = -1; // exit code, or -signal
    std::string err;
};

class ImportFiles : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("kv_import_files_" + std::to_string(::getpid()));
    fs::path data = dir / "data";
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(data);
        ASSERT_EQ(importRun({"--new", write("a.tsv", table({"A"}))}).status, 0);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    }
    // Starts catalogue-builder import on this program directory; `stopAt` >= 0 sets the
    // stop point of the renames.
    pid_t start(const std::vector<std::string>& args, int stopAt = -1,
                const std::string& dataBin = {}) const {
        std::vector<std::string> all = {KV_CATALOGUE_BUILDER,
                                        "import",
                                        "--fluids",
                                        sourceData("fluids"),
                                        "--out",
                                        data.string(),
                                        "--data-bin",
                                        dataBin.empty() ? (dir / "data.bin").string() : dataBin,
                                        "--power-factor",
                                        "0.8"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e)
            env.emplace_back(*e);
        if (stopAt >= 0)
            env.push_back("KV_CATALOGUE_STOP_AT=" + std::to_string(stopAt));
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string errFile = (dir / ("err" + std::to_string(counter_++))).string();
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        EXPECT_EQ(
            posix_spawn(&pid, KV_CATALOGUE_BUILDER, &actions, nullptr, argv.data(), envp.data()),
            0);
        posix_spawn_file_actions_destroy(&actions);
        errFiles_[pid] = errFile;
        return pid;
    }
    Outcome finish(pid_t pid) {
        int ws = 0;
        EXPECT_EQ(::waitpid(pid, &ws, 0), pid);
        Outcome r;
        r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : -WTERMSIG(ws);
        r.err = readFile(errFiles_.at(pid));
        return r;
    }
    Outcome importRun(const std::vector<std::string>& args, const std::string& dataBin = {}) {
        return finish(start(args, -1, dataBin));
    }
    std::string models() const { return readFile((data / "kpxcalc.bin").string()); }
    std::string codes() const { return readFile((data / "kpxcodes.bin").string()); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const Row& row : parseModels(models()))
            out.push_back(row.at("Name"));
        return out;
    }
    std::vector<std::string> leftovers() const {
        std::vector<std::string> out;
        for (const fs::path& d : {dir, data})
            for (const auto& e : fs::directory_iterator(d))
                if (e.path().extension() == ".tmp" || e.path().extension() == ".journal")
                    out.push_back(e.path().filename().string());
        return out;
    }

private:
    mutable int counter_ = 0;
    mutable std::map<pid_t, std::string> errFiles_;
};

// Every target checked before anything is replaced: the files stay as they were, no
// temporary file stays behind, and the program still starts.
TEST_F(ImportFiles, DamagedTargetsAreRefusedAndLeaveTheCatalogueAsItWas) {
    struct Case {
        const char* what;
        std::function<void()> damage;
        std::vector<std::string> args;
        const char* message;
        std::string dataBin = {};
    };
    const std::string b = write("b.tsv", table({"B"}));
    const auto cutShort = [&](bool matchingDataBin) {
        std::string m = models();
        m.resize(m.size() - 40);
        std::ofstream(data / "kpxcalc.bin", std::ios::binary) << m;
        if (matchingDataBin)
            std::ofstream(dir / "data.bin", std::ios::binary) << m.size() - codes().size() << "\n";
    };
    const std::vector<Case> cases = {
        {"data.bin a folder",
         [&] { fs::create_directories(dir / "folder"); },
         {b},
         "folder is a folder: not replaced",
         (dir / "folder").string()},
        {"kpxcodes.bin a named pipe",
         [&] {
             fs::remove(data / "kpxcodes.bin");
             ASSERT_EQ(::mkfifo((data / "kpxcodes.bin").c_str(), 0600), 0);
         },
         {b},
         "kpxcodes.bin is not a regular file"},
        {"kpxcalc.bin a folder",
         [&] {
             fs::rename(data / "kpxcalc.bin", dir / "moved");
             fs::create_directories(data / "kpxcalc.bin");
         },
         {b},
         "kpxcalc.bin is a folder"},
        {"data.bin is kpxcalc.bin", [] {}, {b}, "named for two", (data / "kpxcalc.bin").string()},
        {"nothing to import",
         [] {},
         {"--new", write("h.tsv", table({}))},
         "no models to import (0 left out): nothing written"},
        {"every row left out",
         [] {},
         {"--new", "--skip-unknown-refrigerants", write("u.tsv", table({"U"}, "R9999"))},
         "no models to import (1 left out)"},
        {"a row cut short", [&] { cutShort(false); }, {b}, "the program refuses this catalogue"},
        {"a row cut short, data.bin matching",
         [&] { cutShort(true); },
         {b},
         ": the catalogue is damaged; nothing is merged into it"},
        {"data.bin missing",
         [&] { fs::remove(dir / "data.bin"); },
         {b},
         "the program refuses this catalogue"},
    };
    const std::string goodModels = models(), goodCodes = codes();
    const std::string goodDataBin = readFile((dir / "data.bin").string());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.damage();
        const std::string before = fs::is_regular_file(data / "kpxcalc.bin") ? models() : "";
        const Outcome r = importRun(c.args, c.dataBin);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        if (!before.empty()) {
            EXPECT_EQ(models(), before);
        }
        EXPECT_EQ(leftovers(), std::vector<std::string>{});
        // Repaired for the next case.
        fs::remove_all(data / "kpxcalc.bin");
        fs::remove(data / "kpxcodes.bin");
        std::ofstream(data / "kpxcalc.bin", std::ios::binary) << goodModels;
        std::ofstream(data / "kpxcodes.bin", std::ios::binary) << goodCodes;
        std::ofstream(dir / "data.bin", std::ios::binary) << goodDataBin;
        fs::remove_all(dir / "folder");
        fs::remove(dir / "moved");
    }
    EXPECT_TRUE(kv::checkDataFiles(dir).ok);
}

// Temporaries are created afresh, never written through a link an attacker left there.
TEST_F(ImportFiles, ALinkWhereATemporaryGoesIsNotFollowed) {
    std::ofstream(dir / "victim", std::ios::binary) << "precious";
    for (const fs::path& link : {data / "kpxcalc.bin.tmp", dir / "data.bin.tmp"})
        fs::create_symlink(dir / "victim", link);
    const Outcome r = importRun({write("b.tsv", table({"B"}))});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile((dir / "victim").string()), "precious");
    EXPECT_FALSE(fs::is_symlink(data / "kpxcalc.bin"));
    EXPECT_FALSE(fs::is_symlink(dir / "data.bin"));
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(kv::checkDataFiles(dir).ok);
}

// Killed (SIGKILL) after each rename: the program's start completes the replacement, so
// it starts with the new catalogue, and so does the next import.
TEST_F(ImportFiles, KilledBetweenItsRenamesTheNextStartCompletesTheCatalogue) {
    const std::string b = write("b.tsv", table({"B"}));
    const std::string goodModels = models(), goodCodes = codes();
    const std::string goodDataBin = readFile((dir / "data.bin").string());
    // Four renames: the code lists, the model table, data.bin and the speed file.
    for (int stopAt = 0; stopAt <= 4; ++stopAt) {
        SCOPED_TRACE("stopped after rename " + std::to_string(stopAt));
        const pid_t pid = start({b}, stopAt);
        int ws = 0;
        ASSERT_EQ(::waitpid(pid, &ws, WUNTRACED), pid);
        ASSERT_TRUE(WIFSTOPPED(ws)) << ws;
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        EXPECT_EQ(finish(pid).status, -SIGKILL);
        EXPECT_NE(leftovers(), std::vector<std::string>{}); // the journal at least
        const kv::DataCheck check = kv::checkDataFiles(dir);
        EXPECT_TRUE(check.ok) << check.message;
        EXPECT_EQ(leftovers(), std::vector<std::string>{});
        EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
        EXPECT_EQ(readFile((data / "kpxspeed.bin").string()), speedsHeader());
        const Engine engine(codes(), models());
        EXPECT_EQ(engine.models(0, 0, 0).size(), 2u);
        std::ofstream(data / "kpxcalc.bin", std::ios::binary) << goodModels;
        std::ofstream(data / "kpxcodes.bin", std::ios::binary) << goodCodes;
        std::ofstream(dir / "data.bin", std::ios::binary) << goodDataBin;
    }
    // The next import completes the replacement itself before it merges.
    const pid_t pid = start({b}, 1);
    int ws = 0;
    ASSERT_EQ(::waitpid(pid, &ws, WUNTRACED), pid);
    ::kill(pid, SIGKILL);
    finish(pid);
    const Outcome r = importRun({write("c.tsv", table({"C"}))});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("an interrupted catalogue update was completed"), std::string::npos);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_TRUE(kv::checkDataFiles(dir).ok);
}

// One import at a time: an import waits for the folder's lock, and two started together
// both keep their models.
TEST_F(ImportFiles, ConcurrentImportsAreSerialised) {
    {
        const int fd = ::open(data.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        const pid_t waiting = start({write("b.tsv", table({"B"}))});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(names(), std::vector<std::string>{"A"}); // still waiting
        ::close(fd);
        EXPECT_EQ(finish(waiting).status, 0);
    }
    std::vector<pid_t> pids;
    for (const char* m : {"C", "D", "E"})
        pids.push_back(start({write(std::string(m) + ".tsv", table({m}))}));
    for (const pid_t p : pids)
        EXPECT_EQ(finish(p).status, 0);
    std::vector<std::string> got = names();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"A", "B", "C", "D", "E"}));
    EXPECT_TRUE(kv::checkDataFiles(dir).ok);
}

TEST(CatalogueBuilderHelp, CoversTheImportAndItsDefaults) {
    const std::string out =
        (fs::temp_directory_path() / ("kv_help_" + std::to_string(::getpid()))).string();
    const std::string command = std::string(KV_CATALOGUE_BUILDER) + " --help > " + out;
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = readFile(out);
    fs::remove(out);
    for (const char* s : {"catalogue-builder import", "--order en12900|bicubic",
                          "(default en12900)", "(default si)", "(default dew)",
                          "(default 400/3/50 and 460/3/60)", "--narrow-to-positive"})
        EXPECT_NE(text.find(s), std::string::npos) << s;
}

} // namespace

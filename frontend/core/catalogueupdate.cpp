#include "kv/catalogueupdate.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr const char* kJournalName = "kpxcatalogue.journal";
constexpr const char* kJournalHeader = "kpxcatalogue journal 1";

[[noreturn]] void fail(const std::string& what) {
    throw CatalogueUpdateError(what);
}

std::string why() {
    return std::strerror(errno);
}

fs::path temporaryOf(const fs::path& file) {
    return file.string() + ".tmp";
}

// The file as the journal names it: absolute, through no link and without "." and "..",
// so that the program finds its own files however it was started.
std::string journalName(const fs::path& file) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(file, ec);
    if (!ec)
        return canonical.string();
    const fs::path absolute = fs::absolute(file, ec);
    return (ec ? file : absolute).lexically_normal().string();
}

// What is at `path`, without following a link.
fs::file_type kindAt(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return fs::file_type::none;
    return ec ? fs::file_type::unknown : status.type();
}

bool removed(const fs::path& path) {
    std::error_code ec;
    return fs::remove(path, ec) && !ec;
}

bool renamed(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    return !ec;
}

// Puts the folder's new entries (renames) on disk.
void syncFolder(const fs::path& folder) {
#ifndef _WIN32
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    (void)folder;
#endif
}

// Creates `path` exclusively (no file, no link there may be followed) and writes `text`
// to disk.
void writeExclusive(const fs::path& path, const std::string& text) {
#ifdef _WIN32
    const int fd =
        ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    const auto write = [](int f, const char* data, std::size_t n) {
        return ::_write(f, data, static_cast<unsigned>(n));
    };
    const auto fsync = ::_commit;
    const auto close = ::_close;
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    const auto write = ::write;
    const auto fsync = ::fsync;
    const auto close = ::close;
#endif
    if (fd < 0)
        fail("can't create " + path.string() + ": " + why());
    std::size_t done = 0;
    while (done < text.size()) {
        const auto n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const std::string reason = why();
            close(fd);
            fail("can't write " + path.string() + ": " + reason);
        }
        done += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0 || close(fd) != 0)
        fail("can't write " + path.string() + ": " + why());
}

// Removes a temporary left by an earlier, killed run: the link or file itself, never
// what a link points to.
void removeStale(const fs::path& path) {
    const fs::file_type kind = kindAt(path);
    if (kind == fs::file_type::none)
        return;
    if (kind == fs::file_type::directory || !removed(path))
        fail(path.string() + " is in the way of the catalogue's temporary file and can't be "
                             "removed");
}

// Test hook: KV_CATALOGUE_STOP_AT=n stops the process (SIGSTOP) after the n-th rename of
// a replacement (0: with the journal in place, before the first), so that a test can
// kill it there.
void stopPointForTests(int renames) {
#ifndef _WIN32
    if (const char* at = std::getenv("KV_CATALOGUE_STOP_AT");
        at != nullptr && *at != '\0' && std::atoi(at) == renames)
        std::raise(SIGSTOP);
#else
    (void)renames;
#endif
}

// The files of an update: the three, and the speed file when it is written.
std::vector<fs::path> targetsOf(const CatalogueFiles& files, bool speeds) {
    std::vector<fs::path> targets{files.codes, files.models, files.dataBin};
    if (speeds)
        targets.push_back(files.speeds());
    return targets;
}

} // namespace

fs::path CatalogueFiles::speeds() const {
    return models.parent_path() / "kpxspeed.bin";
}

CatalogueFiles CatalogueFiles::ofProgram(const fs::path& programDir) {
    return {programDir / "data.bin", programDir / "data" / "kpxcalc.bin",
            programDir / "data" / "kpxcodes.bin"};
}

#ifndef _WIN32
CatalogueLock::CatalogueLock(const fs::path& folder, std::chrono::milliseconds wait) {
    fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        fail("can't open the catalogue folder " + folder.string() + ": " + why());
    const auto until = std::chrono::steady_clock::now() + wait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= until) {
            ::close(fd_);
            fail("another process is updating the catalogue in " + folder.string() +
                 "; try again when it has finished");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

CatalogueLock::~CatalogueLock() {
    ::close(fd_); // releases the lock
}
#else
// The Windows build has no import: nothing else updates the catalogue while it starts.
CatalogueLock::CatalogueLock(const fs::path&, std::chrono::milliseconds) {}
CatalogueLock::~CatalogueLock() = default;
#endif

std::string completeInterruptedUpdate(const CatalogueFiles& files) {
    const fs::path journal = files.folder() / kJournalName;
    const fs::file_type kind = kindAt(journal);
    if (kind == fs::file_type::none)
        return {};
    if (kind != fs::file_type::regular)
        fail(journal.string() + " is not a regular file");
    std::ifstream in(journal, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; lines.size() < 8 && std::getline(in, line);)
        lines.push_back(line);
    // Three files, or four with the speed file.
    const std::vector<fs::path> targets = targetsOf(files, lines.size() == 6);
    bool ours = (lines.size() == 5 || lines.size() == 6) && lines[0] == kJournalHeader &&
                lines.back() == "end";
    for (std::size_t i = 0; ours && i < targets.size(); ++i)
        ours = lines[i + 1] == journalName(targets[i]);
    if (!ours)
        fail(journal.string() + ": an interrupted catalogue update of other files; complete it "
                                "with the import that was interrupted, or remove the journal");
    // Every temporary was whole before the journal was written: rename those still there.
    int done = 0;
    for (const fs::path& target : targets) {
        const fs::path temporary = temporaryOf(target);
        const fs::file_type k = kindAt(temporary);
        if (k == fs::file_type::none)
            continue;
        if (k != fs::file_type::regular)
            fail(temporary.string() + " is not a regular file");
        if (!renamed(temporary, target))
            fail("can't rename " + temporary.string());
        ++done;
    }
    for (const fs::path& target : targets)
        syncFolder(target.parent_path());
    if (!removed(journal))
        fail("can't remove " + journal.string());
    syncFolder(files.folder());
    return "an interrupted catalogue update was completed (" + std::to_string(done) + " of " +
           std::to_string(targets.size()) + " files renamed)";
}

void checkTargets(const CatalogueFiles& files) {
    const std::vector<fs::path> targets = targetsOf(files, true);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const fs::path& target = targets[i];
        if (target.filename().empty() || target.filename() == "." || target.filename() == "..")
            fail(target.string() + ": a file name is needed");
        for (std::size_t j = 0; j < i; ++j)
            if (journalName(targets[j]) == journalName(target))
                fail(target.string() + " is named for two of the catalogue's files");
        const fs::path folder = target.parent_path().empty() ? "." : target.parent_path();
        std::error_code ec;
        if (!fs::is_directory(folder, ec))
            fail(target.string() + ": the folder " + folder.string() + " doesn't exist");
#ifndef _WIN32
        if (::access(folder.c_str(), W_OK) != 0)
            fail(target.string() + ": the folder " + folder.string() + " can't be written");
#endif
        const fs::file_type kind = kindAt(target);
        if (kind != fs::file_type::none && kind != fs::file_type::regular)
            fail(target.string() +
                 (kind == fs::file_type::directory ? " is a folder"
                  : kind == fs::file_type::symlink ? " is a symbolic link"
                                                   : " is not a regular file") +
                 ": not replaced");
    }
}

void replaceCatalogue(const CatalogueFiles& files, const std::string& dataBin,
                      const std::string& models, const std::string& codes,
                      const std::string* speeds) {
    const std::vector<fs::path> targets = targetsOf(files, speeds != nullptr);
    const std::array<const std::string*, 4> texts = {&codes, &models, &dataBin, speeds};
    const fs::path journal = files.folder() / kJournalName;
    const fs::path journalTemporary = temporaryOf(journal);
    std::vector<fs::path> written;
    try {
        removeStale(journalTemporary);
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const fs::path temporary = temporaryOf(targets[i]);
            removeStale(temporary);
            written.push_back(temporary);
            writeExclusive(temporary, *texts[i]);
        }
        std::string text = std::string(kJournalHeader) + "\n";
        for (const fs::path& target : targets)
            text += journalName(target) + "\n";
        written.push_back(journalTemporary);
        writeExclusive(journalTemporary, text + "end\n");
        if (!renamed(journalTemporary, journal))
            fail("can't rename " + journalTemporary.string());
        syncFolder(files.folder());
    } catch (...) {
        for (const fs::path& p : written)
            removed(p);
        throw;
    }
    stopPointForTests(0);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!renamed(temporaryOf(targets[i]), targets[i]))
            fail("can't rename " + temporaryOf(targets[i]).string() +
                 "; the next start completes the update");
        stopPointForTests(static_cast<int>(i) + 1);
    }
    for (const fs::path& target : targets)
        syncFolder(target.parent_path());
    if (!removed(journal))
        fail("can't remove " + journal.string());
    syncFolder(files.folder());
}

} // namespace kv

// Replacing the three catalogue files (data.bin, data/kpxcalc.bin, data/kpxcodes.bin) as
// one unit, and completing a replacement that a killed process left half done.
//
// The new texts are written to "<file>.tmp" beside each file, created exclusively (never
// through a link left there) and flushed to disk. Then a journal naming the three files
// is put beside the catalogue ("kpxcatalogue.journal", written to its own temporary and
// renamed, so it is whole or absent), the three temporaries are renamed over the files,
// and the journal is removed. A process killed before the journal leaves the old files
// as they were; one killed after it leaves a journal whose temporaries are all whole, and
// the next start of the program or of an import renames the ones still there: the files
// seen are always the old set or the new one. One update at a time: the catalogue folder
// is locked (flock on the folder itself, released by the system when the process ends,
// so a killed import leaves no lock behind and the program directory no lock file).
#pragma once

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace kv {

class CatalogueUpdateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CatalogueFiles {
    std::filesystem::path dataBin, models, codes;
    // The speed sets of variable-speed models beside the model table ("kpxspeed.bin"):
    // a fourth file of the unit when an update writes it.
    std::filesystem::path speeds() const;
    // data.bin, data/kpxcalc.bin and data/kpxcodes.bin of a program directory.
    static CatalogueFiles ofProgram(const std::filesystem::path& programDir);
    // The folder of the catalogue files: its lock and the journal.
    std::filesystem::path folder() const { return models.parent_path(); }
};

// The lock of a catalogue folder, held for its lifetime.
class CatalogueLock {
public:
    // Waits up to `wait` while another process holds it, then throws
    // CatalogueUpdateError; so does a folder that can't be opened.
    CatalogueLock(const std::filesystem::path& folder, std::chrono::milliseconds wait);
    ~CatalogueLock();
    CatalogueLock(const CatalogueLock&) = delete;
    CatalogueLock& operator=(const CatalogueLock&) = delete;

private:
    int fd_ = -1;
};

// With the folder's lock held: completes a replacement of these files that was
// interrupted between its renames. Returns what it did (empty when there was nothing to
// do). Throws CatalogueUpdateError when a journal names other files or a temporary that
// is not a regular file.
std::string completeInterruptedUpdate(const CatalogueFiles& files);

// Checks that each of the files can be replaced: a regular file or nothing (no folder, no
// link, no device) in a folder that exists and can be written, and three different files;
// the speed file too.
// Throws CatalogueUpdateError naming the file.
void checkTargets(const CatalogueFiles& files);

// With the folder's lock held and checkTargets passed: replaces the three files by these
// texts as one unit (see above), and the speed file too when `speeds` is given. Throws
// CatalogueUpdateError; before the journal is written the old files are untouched and the
// temporaries removed.
void replaceCatalogue(const CatalogueFiles& files, const std::string& dataBin,
                      const std::string& models, const std::string& codes,
                      const std::string* speeds = nullptr);

} // namespace kv

// The start-up check that the two catalogue files belong together.
//
// The first line of "data.bin" in the program directory holds the size of
// data/kpxcalc.bin minus the size of data/kpxcodes.bin, as plain decimal text. An empty
// first line skips the check.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace kv {

inline constexpr std::string_view kDataProblemMessage = "Data Problem ! Quit the application";

struct DataCheck {
    enum class Outcome {
        Ok,       // the files belong together, or the first line is empty
        Missing,  // data.bin or a catalogue file is missing, no regular file, or unreadable
        Mismatch, // the first line differs from the size difference
    };
    Outcome outcome = Outcome::Missing;
    bool ok = false;
    std::string file;    // the file that is missing or doesn't match (absolute path)
    std::string message; // says which file, and why
};

struct CatalogueFiles;

// Runs the check for a program directory, after completing a catalogue update that was
// interrupted between its renames (see catalogueupdate.h). A missing or unreadable "data.bin" and a
// missing or unreadable catalogue file fail it and name the file; so does a first line
// that differs from the size difference, compared exactly as text. Only the first few
// dozen bytes of "data.bin" are read. Only a regular file counts as "data.bin" or a
// catalogue file: a folder would read like an empty file and a named pipe would block.
DataCheck checkDataFiles(const std::filesystem::path& programDir);
// The same check for three files given by name.
DataCheck checkCatalogueFiles(const CatalogueFiles& files);

// A file's text as a message quotes it: printable ASCII as it is, every other byte as
// \xHH, at most `limit` bytes and "..." when there were more.
std::string quotedText(std::string_view text, std::size_t limit = 32);

// The size difference as the first line of "data.bin" must hold it.
std::string sizeDifferenceText(long long calcSize, long long codesSize);

} // namespace kv

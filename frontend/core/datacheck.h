// The start-up check that the two catalogue files belong together.
//
// The first line of "data.bin" in the program directory holds the size of
// data/kpxcalc.bin minus the size of data/kpxcodes.bin, as plain decimal text. An empty
// first line skips the check.
#pragma once

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

// Runs the check for a program directory. A missing or unreadable "data.bin" and a
// missing catalogue file fail it and name the file; so does a first line that differs
// from the size difference, compared exactly as text. Only a regular file counts as
// "data.bin": a folder would read like an empty file and a named pipe would block.
DataCheck checkDataFiles(const std::filesystem::path& programDir);

// The size difference as the first line of "data.bin" must hold it.
std::string sizeDifferenceText(long long calcSize, long long codesSize);

} // namespace kv

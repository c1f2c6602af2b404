// A temporary program directory for tests: the built libraries, the fluid files, a
// catalogue written by the test and a matching data.bin, laid out as the program
// expects them. Removed again when the object goes out of scope.
#pragma once

#include <filesystem>
#include <string>

namespace kv {

class ProgramDir {
public:
    // Copies libKPX_Calc.so and libASEREP32.so from the build's program directory,
    // links data/fluids, and writes data/kpxcodes.bin, data/kpxcalc.bin and a data.bin
    // holding the size difference of the two (unless writeDataBin is false).
    ProgramDir(const std::string& codes, const std::string& models, bool writeDataBin = true);
    ~ProgramDir();
    ProgramDir(const ProgramDir&) = delete;
    ProgramDir& operator=(const ProgramDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path dataDir() const { return path_ / "data"; }
    // Overwrites a file below the program directory (relative path) with `content`.
    void write(const std::string& relative, const std::string& content) const;
    void remove(const std::string& relative) const;

    // The build's program directory (build/bin), where the real libraries are.
    static std::filesystem::path builtProgramDir();

private:
    std::filesystem::path path_;
};

// Takes the read permission from a file (mode 000) for the guard's life. Root reads such a
// file anyway, so a root process also runs without the capabilities that allow it
// (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH) meanwhile, in the calling thread.
class UnreadableFile {
public:
    explicit UnreadableFile(std::filesystem::path file);
    ~UnreadableFile();
    UnreadableFile(const UnreadableFile&) = delete;
    UnreadableFile& operator=(const UnreadableFile&) = delete;

private:
    std::filesystem::path file_;
    std::filesystem::perms mode_;
    bool dropped_ = false;
};

} // namespace kv

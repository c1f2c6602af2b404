#include "programdir.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#ifdef _WIN32
#include <windows.h>
#else
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace kv {

fs::path ProgramDir::builtProgramDir() {
    return fs::path(KV_TEST_BIN_DIR);
}

ProgramDir::ProgramDir(const std::string& codes, const std::string& models, bool writeDataBin) {
#ifdef _WIN32
    // No mkdtemp: a folder named after the process and a count, made if it is new.
    static int made = 0;
    const std::string base = (fs::temp_directory_path() / "kv-progdir-").string() +
                             std::to_string(GetCurrentProcessId()) + "-";
    do
        path_ = base + std::to_string(++made);
    while (!fs::create_directory(path_));
    const char* libraries[] = {"KPX_Calc.dll", "ASEREP32.dll"};
#else
    std::string pattern = (fs::temp_directory_path() / "kv-progdir-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("can't create a temporary program directory");
    path_ = pattern;
    const char* libraries[] = {"libKPX_Calc.so", "libASEREP32.so"};
#endif
    const fs::path bin = builtProgramDir();
    for (const char* lib : libraries)
        fs::copy_file(bin / lib, path_ / lib);
    fs::create_directories(path_ / "data");
#ifdef _WIN32
    if (fs::exists(bin / "data" / "fluids"))
        fs::copy(bin / "data" / "fluids", path_ / "data" / "fluids");
#else
    if (fs::exists(bin / "data" / "fluids"))
        fs::create_directory_symlink(fs::absolute(bin / "data" / "fluids"),
                                     path_ / "data" / "fluids");
#endif
    write("data/kpxcodes.bin", codes);
    write("data/kpxcalc.bin", models);
    if (writeDataBin)
        write("data.bin", std::to_string(static_cast<long long>(models.size()) -
                                         static_cast<long long>(codes.size())) +
                              "\r\n");
}

ProgramDir::~ProgramDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void ProgramDir::write(const std::string& relative, const std::string& content) const {
    const fs::path file = path_ / relative;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("can't write " + file.string());
}

void ProgramDir::remove(const std::string& relative) const {
    fs::remove(path_ / relative);
}

#ifndef _WIN32
namespace {

// The calling thread's effective capabilities with or without the two that let root read
// any file.
bool setFileOverride(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    if (on)
        data[0].effective |= mask & data[0].permitted;
    else
        data[0].effective &= ~mask;
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace

UnreadableFile::UnreadableFile(fs::path file)
    : file_(std::move(file)), mode_(fs::status(file_).permissions()) {
    fs::permissions(file_, fs::perms::none);
    if (geteuid() == 0)
        dropped_ = setFileOverride(false);
}

UnreadableFile::~UnreadableFile() {
    if (dropped_)
        setFileOverride(true);
    std::error_code ec;
    fs::permissions(file_, mode_, ec);
}
#endif

} // namespace kv

// vantrix-cli: rates the catalogue's compressors from the command line.
#include "kvcli/cli.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

int main(int argc, char** argv) {
    // Number texts follow the user's regional format, as in the window.
    std::setlocale(LC_NUMERIC, "");
    const kv::NumberFormat format = kv::NumberFormat::fromCLocale();

#ifdef _WIN32
    // The same bytes as on Linux: no CR added before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::string programDir(32768, '\0');
    const DWORD n =
        GetModuleFileNameA(nullptr, programDir.data(), static_cast<DWORD>(programDir.size()));
    programDir.resize(n < programDir.size() ? n : 0);
    const std::size_t separator = programDir.find_last_of("\\/");
    programDir.resize(separator == std::string::npos ? 0 : separator);
#else
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        exe = std::filesystem::absolute(argv[0], ec);
    const std::string programDir = exe.parent_path().string();
#endif

    const int status =
        kvcli::runCommandLine({argv + 1, argv + argc}, programDir, format, std::cout, std::cerr);
    // Output that could not be written (a full disk, a closed file) is a failure, never a
    // success. A closed pipe ends the program with SIGPIPE before it gets here.
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::cerr << "vantrix-cli: cannot write the output: " << std::strerror(errno) << "\n";
        return kvcli::kExitWrite;
    }
    return status;
}

// vantrix-cli: rates the catalogue's compressors from the command line.
#include "cli.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

int main(int argc, char** argv) {
    // Number texts follow the user's regional format, as in the window.
    std::setlocale(LC_NUMERIC, "");
    const kv::NumberFormat format = kv::NumberFormat::fromCLocale();

    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        exe = std::filesystem::absolute(argv[0], ec);
    const std::string programDir = exe.parent_path().string();

    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = kvcli::parseArguments(args);
    if (const auto* e = std::get_if<kvcli::UsageError>(&parsed)) {
        std::cerr << "vantrix-cli: " << e->message
                  << "\nTry 'vantrix-cli --help' for more information.\n";
        return kvcli::kExitUsage;
    }
    const int status = kvcli::runCli(std::get<kvcli::CliOptions>(parsed), programDir, format,
                                     std::cout, std::cerr);
    // Output that could not be written (a full disk, a closed file) is a failure, never a
    // success. A closed pipe ends the program with SIGPIPE before it gets here.
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::cerr << "vantrix-cli: cannot write the output: " << std::strerror(errno) << "\n";
        return kvcli::kExitWrite;
    }
    return status;
}

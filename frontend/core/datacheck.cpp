#include "datacheck.h"

#include "binding.h"

#include <fstream>
#include <system_error>

namespace kv {

namespace fs = std::filesystem;

std::string sizeDifferenceText(long long calcSize, long long codesSize) {
    return std::to_string(calcSize - codesSize);
}

DataCheck checkDataFiles(const fs::path& programDir) {
    DataCheck r;
    const fs::path dataBin = programDir / "data.bin";
    std::error_code kindError;
    std::ifstream in;
    if (fs::is_regular_file(dataBin, kindError))
        in.open(dataBin, std::ios::binary);
    if (!in.is_open() || !in) {
        r.file = nativeText(dataBin);
        r.message = "The file " + r.file + " is missing or can't be read";
        return r;
    }
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty()) {
        r.outcome = DataCheck::Outcome::Ok;
        r.ok = true;
        return r;
    }
    long long sizes[2] = {0, 0};
    const fs::path files[2] = {programDir / "data" / "kpxcalc.bin",
                               programDir / "data" / "kpxcodes.bin"};
    for (int i = 0; i < 2; ++i) {
        std::error_code ec;
        const auto size = fs::file_size(files[i], ec);
        if (ec) {
            r.file = nativeText(files[i]);
            r.message = "The catalogue file " + r.file + " is missing or can't be read";
            return r;
        }
        sizes[i] = static_cast<long long>(size);
    }
    const std::string expected = sizeDifferenceText(sizes[0], sizes[1]);
    if (line != expected) {
        r.file = nativeText(dataBin);
        r.outcome = DataCheck::Outcome::Mismatch;
        r.message = "The catalogue files don't match " + r.file + ": its first line is \"" + line +
                    "\", the files' size difference is " + expected;
        return r;
    }
    r.outcome = DataCheck::Outcome::Ok;
    r.ok = true;
    return r;
}

} // namespace kv

#include "kv/datacheck.h"

#include "kv/binding.h"
#include "kv/catalogueupdate.h"

#include <fstream>
#include <string_view>
#include <system_error>

namespace kv {

namespace fs = std::filesystem;

namespace {

// Bytes read of the first line of "data.bin".
constexpr std::size_t kFirstLineLimit = 64;

bool readable(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return false;
    std::ifstream in(file, std::ios::binary);
    char byte = 0;
    in.read(&byte, 1);
    return in.is_open() && !in.bad();
}

} // namespace

std::string quotedText(std::string_view text, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += text[i];
        } else {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
        }
    }
    if (text.size() > limit)
        out += "...";
    return out;
}

std::string sizeDifferenceText(long long calcSize, long long codesSize) {
    return std::to_string(calcSize - codesSize);
}

DataCheck checkDataFiles(const fs::path& programDir) {
    const CatalogueFiles files = CatalogueFiles::ofProgram(programDir);
    // An import killed between its renames: its new files are completed first. Without
    // the right to do so (or while an import holds the lock), the check sees what is there.
    try {
        const CatalogueLock lock(files.folder(), std::chrono::seconds(2));
        completeInterruptedUpdate(files);
    } catch (const CatalogueUpdateError&) {
    }
    return checkCatalogueFiles(files);
}

DataCheck checkCatalogueFiles(const CatalogueFiles& catalogue) {
    DataCheck r;
    const fs::path& dataBin = catalogue.dataBin;
    std::error_code kindError;
    std::ifstream in;
    if (fs::is_regular_file(dataBin, kindError))
        in.open(dataBin, std::ios::binary);
    if (!in.is_open() || !in) {
        r.file = nativeText(dataBin);
        r.message = "The file " + r.file + " is missing or can't be read";
        return r;
    }
    // The line holds one integer: a few dozen bytes are all that is read of it, however
    // long the file is and whether or not it has a line end.
    char head[kFirstLineLimit];
    in.read(head, sizeof head);
    std::string line(head, static_cast<std::size_t>(in.gcount()));
    if (const auto end = line.find('\n'); end != std::string::npos)
        line.erase(end);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty()) {
        r.outcome = DataCheck::Outcome::Ok;
        r.ok = true;
        return r;
    }
    long long sizes[2] = {0, 0};
    const fs::path files[2] = {catalogue.models, catalogue.codes};
    for (int i = 0; i < 2; ++i) {
        // A file that is there but can't be read (no permission, not a regular file)
        // counts as missing: its size alone would pass the check and load nothing.
        std::error_code ec;
        const auto size = fs::file_size(files[i], ec);
        if (ec || !readable(files[i])) {
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
        r.message = "The catalogue files don't match " + r.file + ": its first line is \"" +
                    quotedText(line) + "\", the files' size difference is " + expected;
        return r;
    }
    r.outcome = DataCheck::Outcome::Ok;
    r.ok = true;
    return r;
}

} // namespace kv

// catalogue-builder: builds the catalogue files from a range description.
//
//   catalogue-builder --range range.json --fluids DIR --out DATADIR --data-bin FILE
//                     [--large N] [--report] [--quiet]
//
// Writes DATADIR/kpxcodes.bin, DATADIR/kpxcalc.bin and FILE (data.bin). --large N
// spreads the sizes more densely until the range gives N models and writes exactly N.
// --report prints the largest fit errors per family, refrigerant and frequency.
#include "catalogue.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& file, const std::string& content) {
    if (file.has_parent_path())
        fs::create_directories(file.parent_path());
    const fs::path temp = file.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << content;
        out.close();
        if (!out)
            throw std::runtime_error("can't write " + temp.string());
    }
    fs::rename(temp, file);
}

// Largest fit errors per family, refrigerant and frequency.
void printReport(const kvcat::Catalogue& cat) {
    std::map<std::string, kvcat::FitErrors> rows;
    for (const kvcat::Model& m : cat.models) {
        kvcat::FitErrors& r = rows[m.spec.family->prefix + " " + m.spec.refrigerant->name + " " +
                                   std::to_string(m.spec.supply->hertz) + " Hz"];
        r.capacity = std::max(r.capacity, m.errors.capacity);
        r.power = std::max(r.power, m.errors.power);
        r.current = std::max(r.current, m.errors.current);
        r.massFlow = std::max(r.massFlow, m.errors.massFlow);
    }
    std::printf("%-24s %9s %9s %9s %9s\n", "family/refrigerant", "Q %", "P %", "A %", "M %");
    for (const auto& [key, r] : rows)
        std::printf("%-24s %9.3f %9.3f %9.3f %9.3f\n", key.c_str(), 100 * r.capacity, 100 * r.power,
                    100 * r.current, 100 * r.massFlow);
}

int usage() {
    std::cerr << "usage: catalogue-builder --range FILE --fluids DIR --out DATADIR "
                 "--data-bin FILE [--large N] [--report] [--quiet]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    fs::path rangeFile, fluidsDir, outDir, dataBin;
    int large = 0;
    bool quiet = false, report = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(arg + " needs a value");
            return argv[++i];
        };
        try {
            if (arg == "--range")
                rangeFile = value();
            else if (arg == "--fluids")
                fluidsDir = value();
            else if (arg == "--out")
                outDir = value();
            else if (arg == "--data-bin")
                dataBin = value();
            else if (arg == "--large") {
                const std::string v = value();
                char* end = nullptr;
                const long n = std::strtol(v.c_str(), &end, 10);
                if (*end != '\0' || n < 1 || n > 1000000)
                    throw std::runtime_error("--large needs a count from 1 to 1000000");
                large = static_cast<int>(n);
            } else if (arg == "--quiet")
                quiet = true;
            else if (arg == "--report")
                report = true;
            else
                return usage();
        } catch (const std::exception& e) {
            std::cerr << "catalogue-builder: " << e.what() << '\n';
            return usage();
        }
    }
    if (rangeFile.empty() || fluidsDir.empty() || outDir.empty() || dataBin.empty())
        return usage();
    try {
        kvcat::Range range = kvcat::loadRange(rangeFile);
        if (large > 0)
            range = kvcat::enlargeRange(range, large, &kvcat::countModels);
        const asere::FluidLibrary fluids(fluidsDir);
        const kvcat::Catalogue cat = kvcat::buildCatalogue(range, fluids, large, large > 0);
        const std::string codes = kvcat::codesText(range);
        const std::string models = kvcat::modelsText(cat.models);
        writeFile(outDir / "kpxcodes.bin", codes);
        writeFile(outDir / "kpxcalc.bin", models);
        writeFile(dataBin, kvcat::dataBinText(models.size(), codes.size()));
        if (report)
            printReport(cat);
        if (!quiet)
            std::printf("%zu models; largest fit error: capacity %.3f %%, power %.3f %%, "
                        "current %.3f %%, mass flow %.3f %%\n",
                        cat.models.size(), 100 * cat.worst.capacity, 100 * cat.worst.power,
                        100 * cat.worst.current, 100 * cat.worst.massFlow);
    } catch (const std::exception& e) {
        std::cerr << "catalogue-builder: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

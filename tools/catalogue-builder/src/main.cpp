// catalogue-builder: builds the catalogue files from a range description.
//
//   catalogue-builder --range range.json --fluids DIR --out DATADIR --data-bin FILE
//                     [--large N] [--report] [--quiet]
//
// Writes DATADIR/kpxcodes.bin, DATADIR/kpxcalc.bin and FILE (data.bin). --large N
// spreads the sizes more densely until the range gives N models and writes exactly N.
// --report prints the largest fit errors per family, refrigerant and frequency.
//
//   catalogue-builder import --fluids DIR --out DATADIR --data-bin FILE [--new]
//                     [file options] FILE... [[file options] FILE...]
//
// Imports published coefficient files into the catalogue of DATADIR (merging into the
// one there unless --new); the README describes the files and the options.
#include "catalogue.h"
#include "compare.h"
#include "import.h"

#include <catalogue_file.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {

// Writes every file to a temporary beside it first, and renames them only when all are
// written, so that a failure leaves the old files as they were.
void writeFiles(const std::vector<std::pair<fs::path, std::string>>& files) {
    std::vector<fs::path> temps;
    try {
        for (const auto& [file, content] : files) {
            if (file.has_parent_path())
                fs::create_directories(file.parent_path());
            temps.push_back(file.string() + ".tmp");
            std::ofstream out(temps.back(), std::ios::binary | std::ios::trunc);
            out << content;
            out.close();
            if (!out)
                throw std::runtime_error("can't write " + temps.back().string());
        }
    } catch (...) {
        std::error_code ignored;
        for (const fs::path& t : temps)
            fs::remove(t, ignored);
        throw;
    }
    for (std::size_t i = 0; i < files.size(); ++i)
        fs::rename(temps[i], files[i].first);
}

std::string existingFile(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec)))
        return {};
    const std::optional<std::string> text = kpx::readWholeFile(file.string());
    if (!text)
        throw std::runtime_error(file.string() + ": not a readable regular file");
    return *text;
}

int importUsage() {
    std::cerr << "usage: catalogue-builder import --fluids DIR --out DATADIR --data-bin FILE "
                 "[--new] [--skip-unknown-refrigerants]\n"
                 "         [--order en12900|bicubic] [--units si|ip] [--capacity-unit W|kW|Btu/h]\n"
                 "         [--mass-flow-unit kg/s|kg/h|lb/h] [--temperatures dew|mean]\n"
                 "         [--supply VOLTS/PHASES/HZ] [--power-factor PF] FILE...\n"
                 "File options apply to the files named after them.\n";
    return 2;
}

int importMain(int argc, char** argv) {
    fs::path fluidsDir, outDir, dataBin;
    bool fresh = false;
    kvcat::ImportOptions options;
    std::vector<kvcat::ImportFile> files;
    try {
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc)
                    throw std::runtime_error(arg + " needs a value");
                return argv[++i];
            };
            auto choice = [&](std::initializer_list<const char*> allowed) {
                const std::string v = value();
                for (const char* a : allowed)
                    if (v == a)
                        return v;
                throw std::runtime_error(arg + ": unknown value \"" + v + "\"");
            };
            if (arg == "--fluids")
                fluidsDir = value();
            else if (arg == "--out")
                outDir = value();
            else if (arg == "--data-bin")
                dataBin = value();
            else if (arg == "--new")
                fresh = true;
            else if (arg == "--skip-unknown-refrigerants")
                options.skipUnknownRefrigerants = true;
            else if (arg == "--order")
                options.order = choice({"en12900", "bicubic"}) == "bicubic"
                                    ? kvcat::CoefficientOrder::Bicubic
                                    : kvcat::CoefficientOrder::En12900;
            else if (arg == "--units")
                options.units =
                    choice({"si", "ip"}) == "ip" ? kvcat::UnitSystem::IP : kvcat::UnitSystem::SI;
            else if (arg == "--capacity-unit")
                options.capacityUnit = choice({"W", "kW", "Btu/h"});
            else if (arg == "--mass-flow-unit")
                options.massFlowUnit = choice({"kg/s", "kg/h", "lb/h"});
            else if (arg == "--temperatures")
                options.temperatures = choice({"dew", "mean"}) == "mean"
                                           ? kvcat::TemperatureKind::Mean
                                           : kvcat::TemperatureKind::Dew;
            else if (arg == "--supply")
                options.supply = value();
            else if (arg == "--power-factor") {
                const std::string v = value();
                char* end = nullptr;
                const double pf = std::strtod(v.c_str(), &end);
                if (*end != '\0' || !(pf > 0 && pf <= 1))
                    throw std::runtime_error("--power-factor needs a number in (0, 1]");
                options.powerFactor = pf;
            } else if (arg.rfind("--", 0) == 0)
                return importUsage();
            else
                files.push_back({arg, options});
        }
    } catch (const std::exception& e) {
        std::cerr << "catalogue-builder: " << e.what() << '\n';
        return importUsage();
    }
    if (fluidsDir.empty() || outDir.empty() || dataBin.empty() || files.empty())
        return importUsage();
    try {
        const asere::FluidLibrary fluids(fluidsDir);
        const kvcat::ImportResult imported = kvcat::importFiles(files, fluids);
        for (const std::string& s : imported.skipped)
            std::cerr << "catalogue-builder: " << s << '\n';
        kvcat::CatalogueTexts existing;
        if (!fresh)
            existing = {existingFile(outDir / kpx::kCodesFileName),
                        existingFile(outDir / kpx::kModelsFileName)};
        const kvcat::CatalogueTexts merged = kvcat::mergeCatalogue(existing, imported.models);
        writeFiles({{outDir / kpx::kCodesFileName, merged.codes},
                    {outDir / kpx::kModelsFileName, merged.models},
                    {dataBin, kvcat::dataBinText(merged.models.size(), merged.codes.size())}});
        std::printf("%zu models imported, %zu left out\n", imported.models.size(),
                    imported.skipped.size());
    } catch (const std::exception& e) {
        std::cerr << "catalogue-builder: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

// Largest fit errors per family, refrigerant and frequency.
void printReport(const kvcat::Catalogue& cat) {
    std::map<std::string, kvcat::FitErrors> rows;
    for (const kvcat::Model& m : cat.models) {
        kvcat::FitErrors& r = rows[m.entry.family->prefix + " " + m.entry.refrigerant->name + " " +
                                   std::to_string(m.entry.supply->hertz) + " Hz"];
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

// catalogue-builder compare --range FILE --fluids DIR --reference FILE: the table of the
// demo range against real compressors that the README shows.
int compareMain(int argc, char** argv) {
    std::map<std::string, std::string> args;
    for (int i = 2; i + 1 < argc; i += 2)
        args[argv[i]] = argv[i + 1];
    if (argc % 2 != 0 || !args.count("--range") || !args.count("--fluids") ||
        !args.count("--reference") || args.size() != 3) {
        std::cerr
            << "usage: catalogue-builder compare --range FILE --fluids DIR --reference FILE\n";
        return 2;
    }
    try {
        const asere::FluidLibrary fluids(args["--fluids"]);
        std::fputs(
            kvcat::comparisonTable(kvcat::compareWithReference(kvcat::loadRange(args["--range"]),
                                                               fluids, args["--reference"]))
                .c_str(),
            stdout);
    } catch (const std::exception& e) {
        std::cerr << "catalogue-builder: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "import")
        return importMain(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "compare")
        return compareMain(argc, argv);
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
        writeFiles({{outDir / kpx::kCodesFileName, codes},
                    {outDir / kpx::kModelsFileName, models},
                    {dataBin, kvcat::dataBinText(models.size(), codes.size())}});
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

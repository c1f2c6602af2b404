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
#include "kvcat/catalogue.h"
#include "kvcat/compare.h"
#include "kvcat/idf.h"
#include "kvcat/import.h"
#include "kvcat/inverter.h"

#include <kpx/catalogue_file.h>
#include <kv/catalogueupdate.h>
#include <kv/datacheck.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

// Replaces the three catalogue files as one unit by the texts `make` gives, called under
// the catalogue folder's lock, after every file was checked and an interrupted update
// completed.
template <typename Make> void writeCatalogue(const kv::CatalogueFiles& files, Make&& make) {
    for (const fs::path& f : {files.models, files.codes, files.dataBin})
        if (f.has_parent_path())
            fs::create_directories(f.parent_path());
    kv::checkTargets(files);
    const kv::CatalogueLock lock(files.folder(), std::chrono::seconds(10));
    if (const std::string done = kv::completeInterruptedUpdate(files); !done.empty())
        std::cerr << "catalogue-builder: " << done << '\n';
    const kvcat::CatalogueTexts texts = make();
    kv::replaceCatalogue(files, kvcat::dataBinText(texts.models.size(), texts.codes.size()),
                         texts.models, texts.codes, texts.speeds.empty() ? nullptr : &texts.speeds);
}

std::string existingFile(const fs::path& file) {
    const std::optional<std::string> text = kpx::readWholeFile(file.string());
    if (!text)
        throw std::runtime_error(file.string() + ": not a readable regular file");
    return *text;
}

const char* const kImportUsage =
    "usage: catalogue-builder import --fluids DIR --out DATADIR --data-bin FILE [--new]\n"
    "         [file options] FILE... [[file options] FILE...]\n"
    "Imports published coefficient files into the catalogue of DATADIR (kpxcodes.bin,\n"
    "kpxcalc.bin) and FILE (data.bin): merged into the catalogue there, or a new one with\n"
    "--new or when there is none. File options apply to the files named after them:\n"
    "  --order en12900|bicubic        coefficient order (default en12900)\n"
    "  --units si|ip                  degC, W, A, kg/s or degF, Btu/h, W, A, lb/h (default si)\n"
    "  --capacity-unit W|kW|Btu/h     (default W, with --units ip Btu/h)\n"
    "  --mass-flow-unit kg/s|kg/h|lb/h (default kg/s, with --units ip lb/h)\n"
    "  --temperatures dew|mean        saturation temperatures of a blend (default dew)\n"
    "  --supply VOLTS/PHASES/HZ       for rows without a voltage, one per frequency\n"
    "                                 (default 400/3/50 and 460/3/60)\n"
    "  --power-factor PF              for rows without power_factor (derived current)\n"
    "  --skip-unknown-refrigerants    leave out rows of unknown refrigerants\n"
    "  --narrow-to-positive           narrow an envelope to where all four curves are\n"
    "                                 positive instead of refusing the row\n"
    "  --format table|energyplus|transcritical  a coefficient table (default), an\n"
    "                                 EnergyPlus IDF, whose Refrigeration:Compressor objects\n"
    "                                 are imported, or transcritical curves of models of\n"
    "                                 the same import (subcritical_id or model names them)\n"
    "  --refrigerant NAME, --family TEXT  of every compressor of an IDF (default: the\n"
    "                                 refrigerant its names give, family \"EnergyPlus import\")\n"
    "  --family TEXT                  of a table's rows that give no family, technology or\n"
    "                                 app_class\n"
    "tools/catalogue-builder/README.md describes the columns.\n";

int importUsage() {
    std::cerr << kImportUsage;
    return 2;
}

int importMain(int argc, char** argv) {
    fs::path fluidsDir, outDir, dataBin;
    bool fresh = false;
    kvcat::ImportOptions options;
    std::vector<kvcat::ImportFile> files;
    std::optional<kvcat::IdfOptions> idf;                // --format energyplus
    std::vector<std::optional<kvcat::IdfOptions>> idfOf; // per file
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
            if (arg == "--help") {
                std::cout << kImportUsage;
                return 0;
            } else if (arg == "--fluids")
                fluidsDir = value();
            else if (arg == "--out")
                outDir = value();
            else if (arg == "--data-bin")
                dataBin = value();
            else if (arg == "--new")
                fresh = true;
            else if (arg == "--skip-unknown-refrigerants")
                options.skipUnknownRefrigerants = true;
            else if (arg == "--narrow-to-positive")
                options.narrowToPositive = true;
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
                options.supplies.push_back(value());
            else if (arg == "--power-factor") {
                const std::string v = value();
                char* end = nullptr;
                const double pf = std::strtod(v.c_str(), &end);
                if (*end != '\0' || !(pf > 0 && pf <= 1))
                    throw std::runtime_error("--power-factor needs a number in (0, 1]");
                options.powerFactor = pf;
            } else if (arg == "--format") {
                const std::string format = choice({"table", "energyplus", "transcritical"});
                idf = format == "energyplus" ? std::optional(idf.value_or(kvcat::IdfOptions{}))
                                             : std::nullopt;
                options.gasCoolerCurves = format == "transcritical";
            } else if ((arg == "--refrigerant" || arg == "--family") && idf)
                (arg == "--family" ? idf->family : idf->refrigerant) = value();
            else if (arg == "--family")
                options.family = value();
            else if (arg.rfind("--", 0) == 0)
                return importUsage();
            else {
                files.push_back({arg, options});
                idfOf.push_back(idf);
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "catalogue-builder: " << e.what() << '\n';
        return importUsage();
    }
    if (fluidsDir.empty() || outDir.empty() || dataBin.empty() || files.empty())
        return importUsage();
    try {
        const asere::FluidLibrary fluids(fluidsDir);
        // An IDF is read into a table of the import's columns, removed after the import.
        std::vector<kvcat::ImportFile> tables;
        struct Remove {
            std::vector<kvcat::ImportFile>& tables;
            ~Remove() {
                for (const kvcat::ImportFile& t : tables)
                    kvcat::removeIdfTable(t);
            }
        } remove{tables};
        for (std::size_t i = 0; i < files.size(); ++i)
            if (idfOf[i]) {
                std::vector<std::string> messages;
                idfOf[i]->knownRefrigerant = [&fluids](const std::string& name) {
                    return static_cast<bool>(fluids.find(name));
                };
                tables.push_back(
                    kvcat::idfImportFile(files[i].path, files[i].options, *idfOf[i], messages));
                files[i] = tables.back();
                for (const std::string& m : messages)
                    std::cerr << "catalogue-builder: " << m << '\n';
            }
        const kvcat::ImportResult imported = kvcat::importFiles(files, fluids);
        for (const std::string& s : imported.skipped)
            std::cerr << "catalogue-builder: " << s << '\n';
        for (const std::string& s : imported.narrowed)
            std::cerr << "catalogue-builder: " << s << '\n';
        if (imported.models.empty()) {
            std::cerr << "catalogue-builder: no models to import (" << imported.skipped.size()
                      << " left out): nothing written\n";
            return 1;
        }
        const kv::CatalogueFiles targets{dataBin, outDir / kpx::kModelsFileName,
                                         outDir / kpx::kCodesFileName};
        writeCatalogue(targets, [&] {
            // Merged into only when the program would start with it.
            kvcat::CatalogueTexts existing;
            std::error_code ec;
            const bool any = fs::exists(fs::symlink_status(targets.models, ec)) ||
                             fs::exists(fs::symlink_status(targets.codes, ec)) ||
                             fs::exists(fs::symlink_status(targets.dataBin, ec));
            if (!fresh && any) {
                if (const kv::DataCheck check = kv::checkCatalogueFiles(targets); !check.ok)
                    throw std::runtime_error(check.message +
                                             ": the program refuses this catalogue, so nothing "
                                             "is merged into it (--new starts a new one)");
                existing = {existingFile(targets.codes), existingFile(targets.models), {}};
                // The speed file is optional: a catalogue without one has no
                // variable-speed models.
                std::error_code absent;
                if (fs::exists(fs::symlink_status(targets.speeds(), absent)))
                    existing.speeds = existingFile(targets.speeds());
            }
            return kvcat::mergeCatalogue(existing, imported.models);
        });
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

const char* const kUsage =
    "usage: catalogue-builder --range FILE --fluids DIR --out DATADIR --data-bin FILE\n"
    "                         [--large N] [--report] [--quiet]\n"
    "       catalogue-builder import --help   (importing published coefficient sets)\n"
    "       catalogue-builder compare --range FILE --fluids DIR --reference FILE\n";

int usage() {
    std::cerr << kUsage;
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
            else if (arg == "--help") {
                std::cout << kUsage << '\n' << kImportUsage;
                return 0;
            } else
                return usage();
        } catch (const std::exception& e) {
            std::cerr << "catalogue-builder: " << e.what() << '\n';
            return usage();
        }
    }
    if (rangeFile.empty() || fluidsDir.empty() || outDir.empty() || dataBin.empty())
        return usage();
    try {
        // Read once: the description may come through a pipe.
        const std::string rangeText = kvcat::readRangeText(rangeFile);
        kvcat::Range range = kvcat::parseRange(rangeText);
        if (large > 0)
            range = kvcat::enlargeRange(range, large, &kvcat::countModels);
        const asere::FluidLibrary fluids(fluidsDir);
        const kvcat::Catalogue cat = kvcat::buildCatalogue(range, fluids, large, large > 0);
        const std::string codes = kvcat::codesText(range);
        std::string models = kvcat::modelsText(cat.models);
        // The inverter series follow the fixed-speed models (not in the large catalogue).
        const std::vector<kvcat::InverterSeries> series =
            large > 0 ? std::vector<kvcat::InverterSeries>{} : kvcat::parseInverters(rangeText);
        const std::vector<kvcat::InverterModel> inverters = kvcat::buildInverters(series, fluids);
        models += kvcat::inverterModelLines(inverters);
        const std::string speeds = kvcat::inverterSpeedsText(inverters);
        writeCatalogue({dataBin, outDir / kpx::kModelsFileName, outDir / kpx::kCodesFileName}, [&] {
            return kvcat::CatalogueTexts{codes, models, speeds};
        });
        if (report)
            printReport(cat);
        if (!quiet)
            std::printf("%zu models; largest fit error: capacity %.3f %%, power %.3f %%, "
                        "current %.3f %%, mass flow %.3f %%\n",
                        cat.models.size() + inverters.size(), 100 * cat.worst.capacity,
                        100 * cat.worst.power, 100 * cat.worst.current, 100 * cat.worst.massFlow);
    } catch (const std::exception& e) {
        std::cerr << "catalogue-builder: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

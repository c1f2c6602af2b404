// Importing published compressor coefficient sets (EN 12900 / AHRI 540 ten-coefficient
// polynomials) into a catalogue: reading CSV or TSV files, converting units, coefficient
// order, rating basis and mean temperatures, filling in missing mass-flow and current
// polynomials and a default envelope, and merging into an existing catalogue.
#pragma once

#include "kvcat/poly.h"

#include <array>
#include <asere/fluid.h>
#include <filesystem>
#include <kpx/rating.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvcat {

// A fault in an input file: the message names the file, line and column.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class CoefficientOrder { En12900, Bicubic };
enum class UnitSystem { SI, IP };
enum class TemperatureKind { Dew, Mean };

// Conversion factors to SI, exact by definition of the units.
namespace units {
inline constexpr double kWattsPerBtuPerHour = 1055.05585262 / 3600.0; // IT Btu
inline constexpr double kKilogramsPerPound = 0.45359237;
inline constexpr double kKelvinPerRankine = 5.0 / 9.0;
inline constexpr double kFahrenheitZero = -160.0 / 9.0; // 0 degF in degC
} // namespace units

// How one file is read: given on the command line before the file names it applies to.
struct ImportOptions {
    CoefficientOrder order = CoefficientOrder::En12900;
    UnitSystem units = UnitSystem::SI;
    std::string capacityUnit; // "W" or "Btu/h"; empty: by the unit system
    std::string massFlowUnit; // "kg/s", "kg/h" or "lb/h"; empty: by the unit system
    TemperatureKind temperatures = TemperatureKind::Dew;
    // Supplies (volts/phases/frequency) for rows without a voltage, in the order given: a
    // row takes the last one of its frequency (else 400/3/50 or 460/3/60); a row without
    // a frequency the last one given (else 400/3/50).
    std::vector<std::string> supplies;
    std::optional<double> powerFactor; // for a current derived from power
    bool skipUnknownRefrigerants = false;
    // A curve not positive somewhere in the range: narrow the envelope to where all four
    // are, instead of refusing the row.
    bool narrowToPositive = false;
    // The file holds transcritical curves of models of the same import (--format
    // transcritical): capacity in Te and gas-cooler outlet enthalpy, power in Te and
    // gas-cooler pressure.
    bool gasCoolerCurves = false;
    // The family of rows that give none (no family, technology or app_class).
    std::string family;
};

struct ImportFile {
    std::filesystem::path path;
    ImportOptions options;
};

// The optional columns of an imported row after the schema's, in this order: the highest
// discharge temperature, the transcritical columns, and the discharge-temperature and
// heat-rejection polynomials. Each is a column of the catalogue only once a model gives it.
inline constexpr std::size_t kOptionalImportColumnCount =
    1 + kpx::kGasCoolerCapacityColumns.size() + kpx::kGasCoolerPowerColumns.size() +
    kpx::kGasCoolerLimitColumns.size() + kpx::kDischargeColumns.size() +
    kpx::kHeatRejectionColumns.size();
constexpr std::array<std::string_view, kOptionalImportColumnCount> optionalImportColumns() {
    std::array<std::string_view, kOptionalImportColumnCount> a{};
    std::size_t k = 0;
    a[k++] = kpx::kMaxDischargeColumn;
    for (const auto* list :
         {kpx::kGasCoolerCapacityColumns.data(), kpx::kGasCoolerPowerColumns.data()})
        for (std::size_t i = 0; i < 10; ++i)
            a[k++] = list[i];
    for (const std::string_view c : kpx::kGasCoolerLimitColumns)
        a[k++] = c;
    for (const auto* list : {kpx::kDischargeColumns.data(), kpx::kHeatRejectionColumns.data()})
        for (std::size_t i = 0; i < 10; ++i)
            a[k++] = list[i];
    return a;
}

// One imported model as the catalogue writes it.
struct ImportedModel {
    std::string name, refrigerant, familyText, supplyText;
    int familyCode = 0, supplyCode = 0; // wished numbers; 0: a new one
    // The fields of the schema's model columns in their order, then those of
    // optionalImportColumns() (empty where not given), each ending with a tab; the
    // code-list columns ("DLLR", "DLLF", "DLLP") empty, the merge numbers them.
    std::string row;
    // A variable-speed model: its lines of the speed file (kpx::kSpeedsFileName), one per
    // set, each ending with a line feed; empty for a fixed-speed model, whose row is all.
    // The row then holds the set at the nominal speed.
    std::string speedLines;
};
// The fields of an imported model's row.
inline constexpr std::size_t kImportFieldCount =
    kpx::kModelColumns.size() + kOptionalImportColumnCount;

// The model as the engine reads it (its refrigerant text points into the model).
kpx::RatingRecord ratingRecord(const ImportedModel& model);

struct ImportResult {
    std::vector<ImportedModel> models;
    std::vector<std::string> skipped;  // messages for rows left out on request
    std::vector<std::string> narrowed; // messages for envelopes narrowed on request
};

// Reads the files and converts every row. Throws ImportError naming file, line and column.
ImportResult importFiles(const std::vector<ImportFile>& files, const asere::FluidLibrary& fluids);

// The catalogue texts after merging the models into the existing ones (empty texts for
// a new catalogue): a model whose Name is there already is replaced in its place, code
// list entries are added as needed. The speed file keeps the sets of the models not
// imported and gets those of the imported variable-speed models.
struct CatalogueTexts {
    std::string codes, models;
    std::string speeds = {}; // the speed file; empty: none (a new one has its header)
};
// The speed file's header line.
std::string speedsHeader();
CatalogueTexts mergeCatalogue(const CatalogueTexts& existing,
                              const std::vector<ImportedModel>& models);

} // namespace kvcat

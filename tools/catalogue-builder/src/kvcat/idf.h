// Reading EnergyPlus input files (IDF): every `Refrigeration:Compressor` whose
// `Curve:Bicubic` capacity and power curves are in the file becomes one row of the table
// import's columns, so that the import converts and checks it by the same rules as a
// coefficient table (coefficients in the bicubic order, `--order bicubic`).
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kvcat {

struct IdfOptions {
    // The refrigerant of every compressor (the object carries none). Empty: a word of the
    // compressor's name, else of the comment lines just above it or its capacity curve,
    // that `knownRefrigerant` accepts; the notes say where it came from.
    std::string refrigerant;
    std::function<bool(const std::string&)> knownRefrigerant;
    // The product family of every compressor (the form gives none).
    std::string family = "EnergyPlus import";
};

struct IdfRow {
    std::size_t line = 0;            // the line of the compressor's object type
    std::vector<std::string> fields; // in the order of IdfCompressors::header
};

struct IdfCompressors {
    // model, refrigerant, family, te_min, te_max, tc_min, tc_max, sh_base, rgt_base, sc_base,
    // liq_temp, Q0..Q9 (capacity curve C1..C10), P0..P9 (power curve).
    std::vector<std::string> header;
    std::vector<IdfRow> rows;
    // Compressors left out, each by name and line: a curve missing or misspelt, a name
    // given twice, a transcritical compressor, a field that is no number, no refrigerant.
    std::vector<std::string> problems;
    // Where a refrigerant was read from the file's names or comments.
    std::vector<std::string> notes;
};

// Reads the file. Throws ImportError for a file that can't be read as a whole (no regular
// file, larger than 64 MB, a zero byte); a fault of one object leaves that compressor out.
IdfCompressors readIdf(const std::filesystem::path& file, const IdfOptions& options);

// The rows as the table import reads them: tab-separated, header first.
std::string idfTableText(const IdfCompressors& compressors);

struct ImportFile;
struct ImportOptions;
// `import --format energyplus FILE.idf`: reads the IDF and writes its compressors as a
// table named after it ("FILE.idf.tsv") in a folder of its own, created exclusively in
// the temporary directory, and gives the import's file of that table, read in the bicubic
// order with `options`. The compressors left out and the refrigerants read from names go
// to `messages`. removeIdfTable() removes the table and its folder.
ImportFile idfImportFile(const std::filesystem::path& idf, const ImportOptions& options,
                         const IdfOptions& idfOptions, std::vector<std::string>& messages);
void removeIdfTable(const ImportFile& table);

} // namespace kvcat

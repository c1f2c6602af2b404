// The rows the import tests write and read: coefficients of a real machine, the header of
// a table of them, and the public sets' rows by id.
#pragma once

#include "catalogue_text.h"
#include "engine_handle.h"
#include "kvcat/catalogue.h"
#include "kvcat/import.h"

#include <filesystem>
#include <map>
#include <string>

namespace kvcat::test {

namespace fs = std::filesystem;
using kvcat::formatValue;

// Capacity (W), power (W), mass flow (kg/s) of a real R404A machine, EN 12900 order, degC.
inline const Coefficients kQ = {10580,   388,     -42.49,   5.235,    -1.694,
                                -0.4991, 0.02341, -0.02471, -0.01148, 0.0007874};
inline const Coefficients kP = {1394,    31.79,    26.75,    0.4449,    -0.0805,
                                -0.2488, 0.002278, -0.00348, 0.0007375, 0.00437};
inline const Coefficients kM = {0.07, 0.0025, -0.0002, 3e-5, -1e-5, 1e-6, 0, 0, 0, 0};

inline std::string joined(const Coefficients& c) {
    std::string s;
    for (double v : c)
        s += "\t" + formatValue(v);
    return s;
}

inline std::string header(bool withMassFlow, const std::string& unit = "C") {
    std::string h = "model\trefrigerant\ttechnology\tapp_class\tte_min_" + unit + "\tte_max_" +
                    unit + "\ttc_min_" + unit + "\ttc_max_" + unit + "\trgt_base_" + unit +
                    "\tsc_base_" + (unit == "C" ? "K" : "R");
    for (const char set : std::string(withMassFlow ? "QPM" : "QP"))
        for (int i = 0; i < 10; ++i)
            h += "\t" + std::string(1, set) + std::to_string(i);
    return h + "\n";
}

// Bicubic order of the EN 12900 coefficients: 1, x, x², y, y², x·y, x³, y³, x²·y, x·y².
inline Coefficients toBicubic(const Coefficients& c) {
    return {c[0], c[1], c[3], c[2], c[5], c[4], c[6], c[9], c[7], c[8]};
}

// The public set's rows by id, as rows of named fields.
inline std::map<std::string, Row> publicRows(const fs::path& file) {
    // Its fields are tab-separated, the model table's tab-terminated.
    std::string text = readFile(file.string());
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
        text.insert(at, "\t");
    std::map<std::string, Row> rows;
    for (Row& row : parseModels(text))
        rows[row.at("id")] = std::move(row);
    return rows;
}

inline Coefficients coefficients(const Row& row, const std::string& set) {
    Coefficients c{};
    for (int i = 0; i < 10; ++i)
        c[i] = std::stod(row.at(set + std::to_string(i)));
    return c;
}

inline const fs::path kPublicSet =
    fs::path(KV_SOURCE_DIR) / "tests/catalogue/reference/compressor_curves.tsv";

inline const fs::path kTranscriticalSet =
    fs::path(KV_SOURCE_DIR) / "tests/catalogue/reference/transcritical_curves.tsv";

} // namespace kvcat::test

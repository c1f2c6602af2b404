// The public map of one variable-speed compressor (R410A at 25, 60 and 100 rev/s), as the
// tests and benchmarks of variable-speed models import it.
#pragma once

#include "kvcat/import.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kvcat {

inline const std::filesystem::path& speedMapFile() {
    static const std::filesystem::path file =
        std::filesystem::path(KV_SOURCE_DIR) / "tests/catalogue/reference/variable_speed.tsv";
    return file;
}

inline std::string speedMapText() {
    std::ifstream in(speedMapFile(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The import's options the map needs: its rows give no family and no current.
inline ImportOptions speedMapOptions() {
    ImportOptions o;
    o.powerFactor = 0.8;
    o.family = "Scroll - air conditioning";
    return o;
}

// A table of the map's 60 rev/s row alone, its speed columns renamed so that the import
// reads a fixed-speed model, named `name`.
inline std::string fixedFromMap(const std::string& map, const std::string& name) {
    const std::size_t headerEnd = map.find('\n') + 1;
    const std::size_t row60 = map.find('\n', headerEnd) + 1;
    std::string fixed =
        map.substr(0, headerEnd) + map.substr(row60, map.find('\n', row60) + 1 - row60);
    for (const std::string column : {"speed_rev_min", "speed_rev_s"})
        fixed.replace(fixed.find(column + "\t"), column.size(), "x" + column);
    const std::size_t id = fixed.find('\n') + 1;
    fixed.replace(id, fixed.find('\t', id) - id, name);
    return fixed;
}

// The catalogue of the map (model 1, "V0001") and "FIX", a fixed-speed model of its 60 rev/s
// set (model 2); `scratch` is a folder for the fixed model's table.
inline CatalogueTexts speedMapCatalogue(const std::filesystem::path& scratch) {
    const std::filesystem::path fixedFile = scratch / "kv_speed_map_fixed.tsv";
    std::ofstream(fixedFile, std::ios::binary) << fixedFromMap(speedMapText(), "FIX");
    const asere::FluidLibrary fluids(std::string(KV_SOURCE_DIR) + "/data/fluids");
    CatalogueTexts cat = mergeCatalogue(
        {},
        importFiles({{speedMapFile(), speedMapOptions()}, {fixedFile, speedMapOptions()}}, fluids)
            .models);
    std::filesystem::remove(fixedFile);
    return cat;
}

} // namespace kvcat

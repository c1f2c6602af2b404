// Reading the catalogue files back in the tests: the model table as rows of named
// fields, and the committed and built file locations.
#pragma once

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kvcat {

using Row = std::map<std::string, std::string>;

// Header and data lines of a model table; every line ends with a tab.
inline std::vector<Row> parseModels(const std::string& text) {
    std::vector<Row> rows;
    std::istringstream in(text);
    std::string line;
    std::vector<std::string> columns;
    bool header = true;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        if (header) {
            columns = fields;
            header = false;
            continue;
        }
        Row row;
        for (std::size_t i = 0; i < fields.size() && i < columns.size(); ++i)
            row[columns[i]] = fields[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

inline double num(const Row& row, const std::string& column) {
    const auto it = row.find(column);
    if (it == row.end() || it->second.empty() || it->second == "-")
        return -999999.0;
    return std::strtod(it->second.c_str(), nullptr);
}

inline std::string sourceData(const std::string& name) {
    return std::string(KV_SOURCE_DIR) + "/data/" + name;
}

} // namespace kvcat

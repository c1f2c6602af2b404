#include "import.h"

#include <algorithm>
#include <catalogue_file.h>
#include <catalogue_schema.h>
#include <field_number.h>
#include <map>
#include <set>
#include <utility>

namespace kvcat {

namespace {

std::vector<std::string> headerColumns(std::string_view line) {
    std::vector<std::string> names;
    std::size_t pos = 0;
    for (std::size_t tab; (tab = line.find('\t', pos)) != std::string_view::npos && tab != pos;
         pos = tab + 1)
        names.emplace_back(line.substr(pos, tab - pos));
    return names;
}

} // namespace

CatalogueTexts mergeCatalogue(const CatalogueTexts& existing,
                              const std::vector<ImportedModel>& models) {
    // Code lists: every existing line kept as it is; new entries appended.
    std::string codes = existing.codes.empty() ? "List\tNumber\tText\n" : existing.codes;
    if (codes.back() != '\n')
        codes += '\n';
    std::map<std::string, std::map<std::string, int>> byText; // list -> text -> number
    std::map<std::string, std::set<int>> used;
    bool header = true;
    kpx::forEachLine(existing.codes, [&](std::string_view line) {
        if (std::exchange(header, false))
            return;
        const std::size_t a = line.find('\t'), b = line.find('\t', a + 1);
        if (a == std::string_view::npos || b == std::string_view::npos)
            return;
        const std::string list(line.substr(0, a));
        const int number = kpx::leadingInteger(line.substr(a + 1, b - a - 1));
        byText[list].emplace(std::string(line.substr(b + 1)), number);
        used[list].insert(number);
    });
    const auto reserved = [](std::string_view list) {
        int top = 0;
        if (list == kpx::CodeListPrefix::kFamilies)
            for (const kpx::FamilyEntry& e : kpx::kFamilies)
                top = std::max(top, e.code);
        if (list == kpx::CodeListPrefix::kPowerSupplies)
            for (const kpx::SupplyEntry& e : kpx::kSupplies)
                top = std::max(top, e.code);
        return top;
    };
    const auto codeFor = [&](const char* list, const std::string& text, int wished) {
        const auto it = byText[list].find(text);
        if (it != byText[list].end())
            return it->second;
        int number = wished;
        // A new entry without a number of the window's tables takes one beyond them.
        if (number <= 0 || used[list].count(number) != 0)
            number = std::max(used[list].empty() ? 0 : *used[list].rbegin(), reserved(list)) + 1;
        byText[list].emplace(text, number);
        used[list].insert(number);
        codes += std::string(list) + '\t' + std::to_string(number) + '\t' + text + '\n';
        return number;
    };

    // Model table: the existing columns first, then the schema's columns it lacks.
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    header = true;
    kpx::forEachLine(existing.models, [&](std::string_view line) {
        if (std::exchange(header, false)) {
            columns = headerColumns(line);
            return;
        }
        std::vector<std::string> fields;
        std::size_t pos = 0;
        for (std::size_t tab; fields.size() < columns.size() &&
                              (tab = line.find('\t', pos)) != std::string_view::npos;
             pos = tab + 1)
            fields.emplace_back(line.substr(pos, tab - pos));
        rows.push_back(std::move(fields));
    });
    for (const std::string_view c : kpx::kModelColumns)
        if (std::find(columns.begin(), columns.end(), c) == columns.end())
            columns.emplace_back(c);
    const auto position = [&](std::string_view c) {
        return static_cast<std::size_t>(std::find(columns.begin(), columns.end(), c) -
                                        columns.begin());
    };
    const std::size_t nameAt = position("Name");
    std::map<std::string, std::size_t> rowOf;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (nameAt < rows[i].size())
            rowOf.emplace(rows[i][nameAt], i);

    for (const ImportedModel& m : models) {
        std::vector<std::string> fields(columns.size());
        for (const auto& [column, text] : m.fields)
            fields[position(column)] = text;
        fields[position(kpx::CodeListPrefix::kRefrigerants)] =
            std::to_string(codeFor(kpx::CodeListPrefix::kRefrigerants, m.refrigerant, 0));
        fields[position(kpx::CodeListPrefix::kFamilies)] =
            std::to_string(codeFor(kpx::CodeListPrefix::kFamilies, m.familyText, m.familyCode));
        fields[position(kpx::CodeListPrefix::kPowerSupplies)] = std::to_string(
            codeFor(kpx::CodeListPrefix::kPowerSupplies, m.supplyText, m.supplyCode));
        if (const auto it = rowOf.find(m.name); it != rowOf.end()) {
            // Fields of columns the import doesn't write stay as they were.
            std::vector<std::string>& old = rows[it->second];
            old.resize(columns.size());
            for (std::size_t i = 0; i < columns.size(); ++i)
                if (!fields[i].empty())
                    old[i] = fields[i];
        } else {
            rowOf.emplace(m.name, rows.size());
            rows.push_back(std::move(fields));
        }
    }

    std::string out;
    for (const std::string& c : columns)
        out += c + '\t';
    out += '\n';
    for (const std::vector<std::string>& row : rows) {
        if (!row.empty())
            for (std::size_t i = 0; i < columns.size(); ++i) {
                if (i < row.size())
                    out += row[i];
                out += '\t';
            }
        out += '\n';
    }
    return {codes, out};
}

} // namespace kvcat

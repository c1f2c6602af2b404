#include "kvcat/import.h"

#include <algorithm>
#include <array>
#include <kpx/catalogue_file.h>
#include <kpx/catalogue_schema.h>
#include <kpx/field_number.h>
#include <kpx/speed.h>
#include <limits>
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

// The speed file: the existing lines of models not imported, then the sets of the imported
// variable-speed models.
std::string mergeSpeeds(const std::string& existing, const std::vector<ImportedModel>& models) {
    std::string out = speedsHeader();
    std::set<std::string_view> imported;
    for (const ImportedModel& m : models)
        imported.insert(m.name);
    std::size_t lineNumber = 0;
    kpx::forEachLine(existing, [&](std::string_view line) {
        if (++lineNumber == 1) {
            if (std::string(line) + '\n' != out)
                throw ImportError(std::string(kpx::kSpeedsFileName) +
                                  ":1: not the header of a speed file of this program; nothing "
                                  "is merged into it");
            return;
        }
        if (imported.count(line.substr(0, line.find('\t'))) == 0) {
            out += line;
            out += '\n';
        }
    });
    for (const ImportedModel& m : models)
        out += m.speedLines;
    return out;
}

} // namespace

std::string speedsHeader() {
    std::string header;
    for (const std::string_view c : kpx::kSpeedColumns)
        header += std::string(c) + '\t';
    for (const std::string_view c : kpx::kRatingColumns)
        header += std::string(c) + '\t';
    return header + '\n';
}

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

    // Model table: the existing columns first, then the schema's columns it lacks. The
    // existing lines stay as they are (padded for added columns), replaced ones are
    // written anew, new ones appended.
    std::vector<std::string> columns;
    std::vector<std::string_view> lines;
    std::size_t lineNumber = 0;
    kpx::forEachLine(existing.models, [&](std::string_view line) {
        ++lineNumber;
        if (lineNumber == 1) {
            columns = headerColumns(line);
            return;
        }
        // A line may end before optional columns that its model lacks (they read as
        // absent), never before a column of the schema.
        const auto fields = static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t'));
        if (fields < std::min(columns.size(), kpx::kModelColumns.size()))
            throw ImportError(std::string(kpx::kModelsFileName) + ":" + std::to_string(lineNumber) +
                              ": " + std::to_string(fields) + " fields of the header's " +
                              std::to_string(columns.size()) +
                              ": the catalogue is damaged; nothing is merged into it");
        lines.push_back(line);
    });
    const std::size_t existingColumns = columns.size();
    // The imported fields' columns: the schema's, then the optional ones, each a column of
    // the catalogue only once a model gives it.
    std::vector<std::string_view> imported(kpx::kModelColumns.begin(), kpx::kModelColumns.end());
    for (const std::string_view c : optionalImportColumns())
        imported.push_back(c);
    const auto fieldsOf = [](std::string_view line, std::size_t count) {
        std::vector<std::string_view> fields;
        std::size_t pos = 0;
        for (std::size_t tab; fields.size() < count && (tab = line.find('\t', pos)) != line.npos;
             pos = tab + 1)
            fields.push_back(line.substr(pos, tab - pos));
        fields.resize(count);
        return fields;
    };
    std::vector<bool> given(imported.size(), false);
    std::fill_n(given.begin(), kpx::kModelColumns.size(), true);
    for (const ImportedModel& m : models) {
        const std::vector<std::string_view> fields = fieldsOf(m.row, kImportFieldCount);
        for (std::size_t k = kpx::kModelColumns.size(); k < imported.size(); ++k)
            given[k] = given[k] || !fields[k].empty();
    }
    for (std::size_t k = 0; k < imported.size(); ++k)
        if (given[k] && std::find(columns.begin(), columns.end(), imported[k]) == columns.end())
            columns.emplace_back(imported[k]);
    // Where each catalogue column takes its text from: an imported field, or none.
    std::vector<std::size_t> schemaColumn(columns.size(), kImportFieldCount);
    for (std::size_t i = 0; i < columns.size(); ++i)
        for (std::size_t k = 0; k < imported.size(); ++k)
            if (columns[i] == imported[k])
                schemaColumn[i] = k;
    const std::size_t nameAt = static_cast<std::size_t>(
        std::find(columns.begin(), columns.end(), "Name") - columns.begin());
    std::map<std::string_view, std::size_t> lineOf; // by Name
    if (nameAt < existingColumns)
        for (std::size_t i = 0; i < lines.size(); ++i)
            lineOf.emplace(fieldsOf(lines[i], nameAt + 1)[nameAt], i);

    // First the code numbers (in the models' order) and where each model goes: over an
    // existing line of its name, or to a new line; a name given twice, the last one.
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::vector<std::array<int, 3>> numbers(models.size());
    std::vector<std::size_t> modelAt(lines.size(), kNone); // by existing line
    std::vector<std::size_t> added;                        // models of new lines
    std::map<std::string_view, std::size_t> addedAt;       // by Name: index into added
    for (std::size_t k = 0; k < models.size(); ++k) {
        const ImportedModel& m = models[k];
        numbers[k] = {codeFor(kpx::CodeListPrefix::kRefrigerants, m.refrigerant, 0),
                      codeFor(kpx::CodeListPrefix::kFamilies, m.familyText, m.familyCode),
                      codeFor(kpx::CodeListPrefix::kPowerSupplies, m.supplyText, m.supplyCode)};
        if (const auto old = lineOf.find(m.name); old != lineOf.end())
            modelAt[old->second] = k;
        else if (const auto [it, fresh] = addedAt.emplace(m.name, added.size()); fresh)
            added.push_back(k);
        else
            added[it->second] = k;
    }
    // A model's line in the catalogue's columns; fields of columns the import doesn't
    // write stay as they were.
    const auto appendModel = [&](std::string& out, std::size_t k, std::string_view oldLine) {
        std::vector<std::string_view> schema = fieldsOf(models[k].row, kImportFieldCount);
        const std::string codeTexts[3] = {std::to_string(numbers[k][0]),
                                          std::to_string(numbers[k][1]),
                                          std::to_string(numbers[k][2])};
        schema[kpx::columnIndex(kpx::CodeListPrefix::kRefrigerants)] = codeTexts[0];
        schema[kpx::columnIndex(kpx::CodeListPrefix::kFamilies)] = codeTexts[1];
        schema[kpx::columnIndex(kpx::CodeListPrefix::kPowerSupplies)] = codeTexts[2];
        const std::vector<std::string_view> before = fieldsOf(oldLine, columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const std::size_t c = schemaColumn[i];
            out += c < schema.size() && !schema[c].empty() ? schema[c] : before[i];
            out += '\t';
        }
        out += '\n';
    };

    std::string out;
    std::size_t size = existing.models.size();
    for (const ImportedModel& m : models)
        size += m.row.size() + 16;
    out.reserve(size);
    for (const std::string& c : columns)
        out += c + '\t';
    out += '\n';
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (modelAt[i] != kNone)
            appendModel(out, modelAt[i], lines[i]);
        else {
            const auto fields =
                static_cast<std::size_t>(std::count(lines[i].begin(), lines[i].end(), '\t'));
            out += lines[i];
            out.append(columns.size() - std::min(fields, columns.size()), '\t');
            out += '\n';
        }
    }
    for (const std::size_t k : added)
        appendModel(out, k, {});
    return {codes, out, mergeSpeeds(existing.speeds, models)};
}

} // namespace kvcat

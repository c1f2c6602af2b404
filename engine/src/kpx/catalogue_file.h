// Reading catalogue files: whole, safely, and line by line as the catalogue's grammar
// splits them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kpx {

// Calls `visit(line)` for every line of a catalogue file: a line ends at a line feed, a
// carriage return directly before it belongs to the line end, and the last line needs no
// line end. An empty content has no lines.
template <typename Visitor> void forEachLine(std::string_view content, Visitor&& visit) {
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t lf = content.find('\n', start);
        if (lf == std::string_view::npos) {
            visit(content.substr(start));
            return;
        }
        std::size_t end = lf;
        if (end > start && content[end - 1] == '\r')
            --end;
        visit(content.substr(start, end - start));
        start = lf + 1;
    }
}

// The tab-terminated fields of a line (a last field without a tab counts too).
inline std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t tab = line.find('\t', pos);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(pos));
            break;
        }
        fields.push_back(line.substr(pos, tab - pos));
        pos = tab + 1;
    }
    return fields;
}

// Reads a whole file. Returns nothing when it can't be opened as a regular file or
// reading fails before its end.
std::optional<std::string> readWholeFile(const std::string& path);

} // namespace kpx

// Reading a coefficient table (CSV or TSV) row by row: the header line, then one row of
// fields at a time, so that a large file costs the memory of one line, not of its text.
#pragma once

#include "kvcat/import.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kvcat {

// Throws ImportError naming the file, the line (0: the file as a whole) and the column
// (empty: the line as a whole).
[[noreturn]] void failAt(const std::filesystem::path& file, std::size_t line,
                         std::string_view column, const std::string& what);

struct TableRow {
    std::size_t line = 0;
    std::vector<std::string> fields;
};

// A table file: tab-separated when its header line holds a tab, else comma-separated with
// RFC 4180 quotes. Empty lines and lines starting with '#' are skipped. Refused (throwing
// ImportError): not a regular file, larger than 64 MB, a line longer than 64 KiB, a zero
// byte, no header line, a quoted field that is not closed.
class TableReader {
public:
    explicit TableReader(std::filesystem::path file);
    ~TableReader();
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    const std::filesystem::path& file() const { return file_; }
    const std::vector<std::string>& header() const { return header_; }
    // The next row; false at the end of the file.
    bool next(TableRow& row);

private:
    // The next line that is not skipped, without its line end; false at the end.
    bool nextLine(std::string_view& line);
    bool fill();

    std::filesystem::path file_;
    int fd_ = -1;
    std::vector<std::string> header_;
    char separator_ = '\t';
    std::size_t lineNumber_ = 0;
    std::string buffer_;
    std::size_t start_ = 0; // first unread byte of buffer_
    bool atEnd_ = false;
};

// The text without leading and trailing blanks and tabs.
std::string trimmed(std::string_view s);

} // namespace kvcat

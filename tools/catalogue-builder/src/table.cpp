#include "kvcat/table.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvcat {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxFileBytes = 64u << 20;
constexpr std::size_t kMaxLineBytes = 1u << 16;
constexpr std::size_t kReadBytes = 1u << 16;

// Splits a line at the separator; in CSV a field may be quoted, a doubled quote inside
// standing for one.
void splitLine(std::string_view line, char separator, const fs::path& file, std::size_t lineNumber,
               std::vector<std::string>& fields) {
    fields.clear();
    std::string field;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (quoted) {
            if (ch == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"')
                quoted = false;
            else
                field += ch;
        } else if (ch == '"' && separator == ',' && trimmed(field).empty() && !wasQuoted) {
            quoted = wasQuoted = true;
            field.clear();
        } else if (ch == separator) {
            fields.push_back(wasQuoted ? field : trimmed(field));
            field.clear();
            wasQuoted = false;
        } else
            field += ch;
    }
    if (quoted)
        failAt(file, lineNumber, "", "a quoted field is not closed");
    fields.push_back(wasQuoted ? field : trimmed(field));
}

} // namespace

void failAt(const fs::path& file, std::size_t line, std::string_view column,
            const std::string& what) {
    std::string message = file.string();
    if (line > 0)
        message += ":" + std::to_string(line);
    if (!column.empty())
        message += ": column " + std::string(column);
    throw ImportError(message + ": " + what);
}

std::string trimmed(std::string_view s) {
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string_view::npos)
        return {};
    const std::size_t b = s.find_last_not_of(" \t");
    return std::string(s.substr(a, b - a + 1));
}

TableReader::TableReader(fs::path file) : file_(std::move(file)) {
    // Not blocking: a named pipe must be refused, not waited on.
    fd_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd_ >= 0)
            ::close(fd_);
        failAt(file_, 0, "", "not a readable regular file");
    }
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxFileBytes) {
        ::close(fd_);
        failAt(file_, 0, "", "larger than 64 MB");
    }
    try {
        std::string_view line;
        if (!nextLine(line))
            failAt(file_, 1, "", "no header line");
        separator_ = line.find('\t') != std::string_view::npos ? '\t' : ',';
        splitLine(line, separator_, file_, lineNumber_, header_);
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

TableReader::~TableReader() {
    ::close(fd_);
}

bool TableReader::fill() {
    if (start_ > 0) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    const std::size_t used = buffer_.size();
    buffer_.resize(used + kReadBytes);
    ssize_t n = 0;
    do
        n = ::read(fd_, buffer_.data() + used, kReadBytes);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        failAt(file_, 0, "", "can't be read");
    buffer_.resize(used + static_cast<std::size_t>(n));
    return n > 0;
}

bool TableReader::nextLine(std::string_view& line) {
    for (;;) {
        std::size_t lf = buffer_.find('\n', start_);
        while (lf == std::string::npos && !atEnd_) {
            if (buffer_.size() - start_ > kMaxLineBytes + 1)
                failAt(file_, lineNumber_ + 1, "",
                       "line longer than 65,536 bytes: not a coefficient table");
            const std::size_t searched = buffer_.size() - start_;
            atEnd_ = !fill();
            lf = buffer_.find('\n', start_ + searched);
        }
        if (lf == std::string::npos && start_ == buffer_.size())
            return false;
        const std::size_t end = lf == std::string::npos ? buffer_.size() : lf;
        line = std::string_view(buffer_).substr(start_, end - start_);
        if (lf != std::string::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start_ = lf == std::string::npos ? buffer_.size() : lf + 1;
        ++lineNumber_;
        if (line.size() > kMaxLineBytes)
            failAt(file_, lineNumber_, "",
                   "line longer than 65,536 bytes: not a coefficient table");
        if (line.find('\0') != std::string_view::npos)
            failAt(file_, lineNumber_, "", "binary data (a zero byte): not a coefficient table");
        if (lineNumber_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF")
            line.remove_prefix(3);
        if (!trimmed(line).empty() && line.front() != '#')
            return true;
    }
}

bool TableReader::next(TableRow& row) {
    std::string_view line;
    if (!nextLine(line))
        return false;
    row.line = lineNumber_;
    splitLine(line, separator_, file_, lineNumber_, row.fields);
    return true;
}

} // namespace kvcat

#include "kv/settingsfile.h"

#include "kv/displaytext.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

std::array<std::string*, 14> StoredChoices::values() {
    return {&refrigerant, &family,     &voltage,        &te,          &tc,   &sc,    &sh1,
            &sh2,         &conditions, &targetCapacity, &modelFilter, &freq, &order, &unit};
}

std::array<const std::string*, 14> StoredChoices::values() const {
    return {&refrigerant, &family,     &voltage,        &te,          &tc,   &sc,    &sh1,
            &sh2,         &conditions, &targetCapacity, &modelFilter, &freq, &order, &unit};
}

namespace {

constexpr std::size_t kNpos = std::string_view::npos;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

int keyIndex(std::string_view key) {
    for (std::size_t i = 0; i < kSettingsKeys.size(); ++i)
        if (key == kSettingsKeys[i])
            return static_cast<int>(i);
    return -1;
}

// Where the format's reader ends a line and finds its "=": a ";" outside quotes starts a
// comment; a backslash escapes the next character. `joins` when the reader would run on
// into the next line: a quote left open, or a backslash at the end.
struct LineScan {
    bool joins = false;
    std::size_t end = kNpos;    // start of a trailing comment, or the line's length
    std::size_t equals = kNpos; // the first "=" outside quotes
};

LineScan scanLine(std::string_view s) {
    LineScan r;
    r.end = s.size();
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\') {
            if (i + 1 >= s.size()) {
                r.joins = true;
                return r;
            }
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '=' && !quoted && r.equals == kNpos) {
            r.equals = i;
        } else if (c == ';' && !quoted) {
            r.end = i;
            return r;
        }
    }
    r.joins = quoted;
    return r;
}

// Appends a UTF-16 code unit from an escape as UTF-8; a surrogate can't stand alone.
bool appendCodeUnit(std::string& out, unsigned unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF)
        return false;
    if (unit < 0x80) {
        out += static_cast<char>(unit);
    } else if (unit < 0x800) {
        out += static_cast<char>(0xC0 | (unit >> 6));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (unit >> 12));
        out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    }
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void chopTrailingSpaces(std::string& s, std::size_t limit) {
    while (s.size() > limit && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
}

// The format's value syntax: blanks around a value dropped, "..." quotes, backslash
// escapes (\n, \", \\, \xHHHH, octal \ooo), and commas outside quotes separating the
// items of a list. Gives the items; none when an escape names no character.
std::optional<std::vector<std::string>> unescapedItems(std::string_view s) {
    std::vector<std::string> items;
    std::string current;
    bool quoted = false, currentQuoted = false;
    std::size_t i = 0, chopLimit = 0;
    auto skipSpaces = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        chopLimit = current.size();
    };
    skipSpaces();
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\\') {
            if (++i >= s.size())
                break;
            const char e = s[i++];
            static constexpr std::string_view from = "abfnrtv\"?'\\", to = "\a\b\f\n\r\t\v\"?'\\";
            if (const auto k = from.find(e); k != kNpos) {
                current += to[k];
            } else if (e == 'x' || (e >= '0' && e <= '7')) {
                // Hex digits after \x, octal digits after \0..\7, as many as follow; the
                // value keeps 16 bits.
                const bool hex = e == 'x';
                if (hex && (i >= s.size() || hexDigit(s[i]) < 0)) {
                    chopLimit = current.size();
                    continue;
                }
                unsigned unit = hex ? 0 : static_cast<unsigned>(e - '0');
                while (i < s.size()) {
                    const int d =
                        hex ? hexDigit(s[i]) : (s[i] >= '0' && s[i] <= '7' ? s[i] - '0' : -1);
                    if (d < 0)
                        break;
                    unit = ((unit << (hex ? 4 : 3)) + static_cast<unsigned>(d)) & 0xFFFF;
                    ++i;
                }
                if (!appendCodeUnit(current, unit))
                    return std::nullopt;
            }
            chopLimit = current.size();
        } else if (c == '"') {
            ++i;
            currentQuoted = true;
            quoted = !quoted;
            if (!quoted)
                skipSpaces();
        } else if (c == ',' && !quoted) {
            if (!currentQuoted)
                chopTrailingSpaces(current, chopLimit);
            items.push_back(std::move(current));
            current.clear();
            currentQuoted = false;
            ++i;
            skipSpaces();
        } else {
            std::size_t j = i + 1;
            while (j < s.size() && s[j] != '\\' && s[j] != '"' && (quoted || s[j] != ','))
                ++j;
            current.append(s.substr(i, j - i));
            i = j;
        }
    }
    if (!currentQuoted)
        chopTrailingSpaces(current, chopLimit);
    items.push_back(std::move(current));
    return items;
}

bool startsWith(std::string_view s, std::string_view p) {
    return s.substr(0, p.size()) == p;
}

// One item as the store's reader types it: "@String(x)" and "@ByteArray(x)" are the text
// x, "@@x" is "@x", other "@Type(...)" values are no text; anything else is the text.
std::optional<std::string> itemText(const std::string& s) {
    if (startsWith(s, "@")) {
        if (!s.empty() && s.back() == ')') {
            if (startsWith(s, "@ByteArray("))
                return s.substr(11, s.size() - 12);
            if (startsWith(s, "@String("))
                return s.substr(8, s.size() - 9);
            for (const char* type : {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("})
                if (startsWith(s, type))
                    return std::nullopt;
            if (s == "@Invalid()")
                return std::nullopt;
        }
        if (startsWith(s, "@@"))
            return s.substr(1);
    }
    return s;
}

// Valid UTF-8 without control characters (C0, DEL, and C1, which UTF-8 writes as
// 0xC2 0x80 to 0xC2 0x9F).
bool isCleanText(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F ||
            (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0))
            return false;
    }
    return isValidUtf8(s);
}

// A value of one of the fourteen keys: a text, or the items of a list joined with ", ".
std::optional<std::string> valueText(std::string_view raw) {
    const auto items = unescapedItems(raw);
    if (!items)
        return std::nullopt;
    std::string out;
    for (std::size_t k = 0; k < items->size(); ++k) {
        const auto text = itemText((*items)[k]);
        if (!text)
            return std::nullopt;
        out += (k > 0 ? ", " : "") + *text;
    }
    if (!isCleanText(out))
        return std::nullopt;
    return out;
}

} // namespace

SettingsText::SettingsText(std::string_view bytes) {
    // A UTF-8 byte-order mark, as some editors write it, is no part of the first line.
    if (startsWith(bytes, kByteOrderMark)) {
        bytes.remove_prefix(kByteOrderMark.size());
        byteOrderMark_ = true;
    }
    std::string section;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t stop = bytes.find_first_of("\r\n", start);
        if (stop == kNpos)
            stop = bytes.size();
        Line line;
        line.text.assign(bytes.substr(start, stop - start));
        start = stop + 1;
        if (stop + 1 < bytes.size() && bytes[stop] == '\r' && bytes[stop + 1] == '\n')
            ++start;

        std::string_view t = line.text;
        while (!t.empty() && isSpace(t.front()))
            t.remove_prefix(1);
        line.section = section;
        if (t.empty() || t.front() == ';') {
            lines_.push_back(std::move(line));
            continue;
        }
        const LineScan scan = scanLine(t);
        if (scan.joins) {
            line.kind = Kind::Malformed;
        } else if (t.front() == '[') {
            const std::string_view head = t.substr(0, scan.end);
            const std::size_t close = head.find(']');
            const std::string_view name =
                trimmed(head.substr(1, close == kNpos ? kNpos : close - 1));
            section = sameIgnoringCase(name, "general") ? std::string() : std::string(name);
            line.kind = Kind::Header;
            line.section = section;
        } else if (scan.equals != kNpos && scan.equals <= scan.end) {
            line.kind = Kind::Key;
            line.key = trimmed(t.substr(0, scan.equals));
            if (section == kSettingsGroup && keyIndex(line.key) >= 0)
                line.value = valueText(t.substr(scan.equals + 1, scan.end - scan.equals - 1));
        }
        lines_.push_back(std::move(line));
    }
}

StoredChoices SettingsText::choices() const {
    StoredChoices c;
    const auto targets = c.values();
    for (const Line& line : lines_) {
        if (line.kind != Kind::Key || !line.value || line.section != kSettingsGroup)
            continue;
        if (const int k = keyIndex(line.key); k >= 0)
            *targets[static_cast<std::size_t>(k)] = *line.value;
    }
    return c;
}

std::string SettingsText::withChoices(const StoredChoices& choices) const {
    std::string keys;
    const auto values = choices.values();
    for (std::size_t k = 0; k < kSettingsKeys.size(); ++k)
        keys += std::string(kSettingsKeys[k]) + "=" + storeValueText(*values[k]) + "\n";

    std::string out(byteOrderMark_ ? kByteOrderMark : std::string_view());
    bool written = false;
    for (const Line& line : lines_) {
        if (line.kind == Kind::Malformed) {
            out += ";" + line.text + "\n";
            continue;
        }
        if (line.kind == Kind::Key && line.section == kSettingsGroup && keyIndex(line.key) >= 0)
            continue; // written anew below the group's first header
        out += line.text + "\n";
        if (line.kind == Kind::Header && line.section == kSettingsGroup && !written) {
            out += keys;
            written = true;
        }
    }
    if (!written)
        out += (lines_.empty() ? "" : "\n") + std::string("[") + kSettingsGroup + "]\n" + keys;
    return out;
}

std::string storeValueText(std::string_view text) {
    // A leading "@" would read as a type tag: it is doubled. Control characters and the
    // quote and backslash are escaped; a hex digit right after a numeric escape is escaped
    // too, so that it can't become part of it. ";", "," and "=" and blanks at either end
    // need quotes.
    std::string out = startsWith(text, "@") ? "@" : "";
    bool quotes = false, escapeHexDigit = false;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        static constexpr char hexDigits[] = "0123456789abcdef";
        if (ch == ';' || ch == ',' || ch == '=')
            quotes = true;
        if (escapeHexDigit && hexDigit(ch) >= 0) {
            out += std::string("\\x") + hexDigits[c >> 4] + hexDigits[c & 15];
            continue;
        }
        escapeHexDigit = false;
        static constexpr std::string_view named = "\a\b\f\n\r\t\v", letters = "abfnrtv";
        if (ch == '\0') {
            out += "\\0";
            escapeHexDigit = true;
        } else if (const auto k = named.find(ch); k != kNpos) {
            out += std::string("\\") + letters[k];
        } else if (ch == '"' || ch == '\\') {
            out += std::string("\\") + ch;
        } else if (c < 0x20 || c == 0x7F) {
            out += std::string("\\x") + hexDigits[c >> 4] + hexDigits[c & 15];
            escapeHexDigit = true;
        } else {
            out += ch;
        }
    }
    if (quotes || (!out.empty() && (out.front() == ' ' || out.back() == ' ')))
        out = "\"" + out + "\"";
    return out;
}

namespace {

// The bytes of the store at `path`: nothing when there is none; no value when it is
// there but must not or can't be read. Whatever is not a regular file is refused before
// it is opened, and the opened file is checked again, so that a named pipe swapped in
// between can't block the read.
std::optional<std::string> readStore(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? std::optional<std::string>(std::string())
                                                   : std::nullopt;
    if (!S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > kMaxStoreBytes)
        return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0 && bytes.size() + static_cast<std::size_t>(n) <= kMaxStoreBytes) {
                bytes.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n != 0) {
                ::close(fd);
                return std::nullopt;
            }
            break;
        }
        ::close(fd);
        return bytes;
    }
    ::close(fd);
    return std::nullopt;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces the store with `text`, only where the store is missing or a regular file of
// this user that the user has left writable: never through a symbolic link, never a
// device or a pipe, never over a file the user made read-only. The text goes into
// a new file in the same folder, which is then renamed over the store.
bool replaceStore(const std::string& path, const std::string& text) {
    struct stat st {};
    mode_t mode = 0600;
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & S_IWUSR) == 0)
            return false;
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    } else {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, text) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

StoredChoices loadStoredChoices(const std::string& path) {
    const std::optional<std::string> bytes = readStore(path);
    return bytes ? SettingsText(*bytes).choices() : StoredChoices{};
}

bool saveStoredChoices(const std::string& path, const StoredChoices& choices) {
    const std::optional<std::string> bytes = readStore(path);
    if (!bytes)
        return false;
    return replaceStore(path, SettingsText(*bytes).withChoices(choices));
}

} // namespace kv

#include "kvcat/idf.h"

#include "kvcat/import.h"
#include "kvcat/names.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace kvcat {
namespace {

constexpr std::uintmax_t kMaxFileSize = 64u << 20;
constexpr std::size_t kMaxFields = 24; // Curve:Bicubic has 20, Refrigeration:Compressor 11

struct IdfField {
    std::string text; // trimmed
    std::size_t line = 0;
};

struct IdfObject {
    std::string type; // upper case
    std::size_t line = 0;
    std::vector<IdfField> fields; // after the type
    std::string comment;          // the comment lines right before the object
};

std::string trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

// Splits the text into objects: "!" starts a comment to the end of the line, "," ends a
// field, ";" an object. Comment lines between objects are kept for the refrigerant.
std::vector<IdfObject> parseObjects(const std::string& text) {
    std::vector<IdfObject> objects;
    IdfObject current;
    std::string field, comments;
    std::size_t line = 1, fieldLine = 0;
    bool first = true; // the next field is the object's type
    const auto endField = [&] {
        std::string t = trim(field);
        if (first) {
            current.type = upper(t);
            current.line = fieldLine;
            current.comment = comments;
            comments.clear();
            first = false;
        } else {
            // Only the two types' fields are kept, no more than they have: a file of
            // commas costs no memory beyond its text.
            if ((current.type == "CURVE:BICUBIC" || current.type == "REFRIGERATION:COMPRESSOR") &&
                current.fields.size() < kMaxFields)
                current.fields.push_back({std::move(t), fieldLine});
        }
        field.clear();
        fieldLine = 0;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '!') {
            const std::size_t end = text.find('\n', i);
            const std::size_t stop = end == std::string::npos ? text.size() : end;
            if (first && trim(field).empty())
                comments += text.substr(i + 1, stop - i - 1) + "\n";
            i = stop - 1;
            continue;
        }
        if (c == '\n') {
            ++line;
            if (first && trim(field).empty() && !comments.empty() && comments.back() != '\n')
                comments += "\n";
        }
        if (c == ',' || c == ';') {
            if (fieldLine == 0)
                fieldLine = line;
            endField();
            if (c == ';') {
                if (!current.type.empty())
                    objects.push_back(std::move(current));
                current = IdfObject{};
                first = true;
            }
            continue;
        }
        if (fieldLine == 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n')
            fieldLine = line;
        field += c;
    }
    return objects;
}

const std::string& fieldText(const IdfObject& o, std::size_t number) { // 1-based
    static const std::string none;
    return number <= o.fields.size() ? o.fields[number - 1].text : none;
}

bool isNumber(const std::string& t) {
    if (t.empty())
        return false;
    std::string_view v = t;
    if (v.front() == '+')
        v.remove_prefix(1);
    double x = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), x);
    return r.ec == std::errc{} && r.ptr == v.data() + v.size() && std::isfinite(x);
}

double numberOf(const std::string& t) {
    std::string_view v = t;
    if (!v.empty() && v.front() == '+')
        v.remove_prefix(1);
    double x = 0;
    std::from_chars(v.data(), v.data() + v.size(), x);
    return x;
}

// The first word of the texts that names a refrigerant.
std::optional<std::string> refrigerantIn(const std::string& text,
                                         const std::function<bool(const std::string&)>& known) {
    if (!known)
        return std::nullopt;
    std::string word;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        if (c == '_' || c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r' || c == ';' ||
            c == ':') {
            if (!word.empty() && known(word))
                return word;
            word.clear();
        } else {
            word += c;
        }
    }
    return std::nullopt;
}

std::string at(const std::filesystem::path& file, std::size_t line) {
    return file.string() + ":" + std::to_string(line);
}

} // namespace

IdfCompressors readIdf(const std::filesystem::path& file, const IdfOptions& options) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        throw ImportError(file.string() + ": not a regular file");
    if (std::filesystem::file_size(file, ec) > kMaxFileSize || ec)
        throw ImportError(file.string() + ": larger than 64 MB or unreadable");
    std::ifstream in(file, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (!in && !in.eof())
        throw ImportError(file.string() + ": can't be read");
    const std::string text = buffer.str();
    if (text.find('\0') != std::string::npos)
        throw ImportError(file.string() + ": holds a zero byte; not an IDF text");

    IdfCompressors out;
    out.header = {"model",  "refrigerant", "family",   "te_min",  "te_max",  "tc_min",
                  "tc_max", "sh_base",     "rgt_base", "sc_base", "liq_temp"};
    for (const char p : {'Q', 'P'})
        for (int i = 0; i < 10; ++i)
            out.header.push_back(std::string(1, p) + std::to_string(i));

    const std::vector<IdfObject> objects = parseObjects(text);
    // Curves and compressors by name, compared without case; a name given twice is left out.
    std::map<std::string, std::vector<const IdfObject*>> curves, compressors;
    std::vector<std::string> order;
    for (const IdfObject& o : objects) {
        const std::string key = upper(fieldText(o, 1));
        if (o.type == "CURVE:BICUBIC")
            curves[key].push_back(&o);
        else if (o.type == "REFRIGERATION:COMPRESSOR") {
            if (compressors[key].empty())
                order.push_back(key);
            compressors[key].push_back(&o);
        }
    }
    for (const std::string& key : order) {
        const auto& same = compressors[key];
        const IdfObject& c = *same.front();
        const std::string name = fieldText(c, 1);
        const auto leaveOut = [&](const std::string& why) {
            out.problems.push_back(at(file, c.line) + ": compressor \"" + name +
                                   "\" left out: " + why);
        };
        if (name.empty()) {
            leaveOut("it has no name");
            continue;
        }
        if (same.size() > 1) {
            std::string lines;
            for (const IdfObject* o : same)
                lines += (lines.empty() ? "" : ", ") + std::to_string(o->line);
            leaveOut("the name is given " + std::to_string(same.size()) + " times (lines " + lines +
                     ")");
            continue;
        }
        if (!fieldText(c, 9).empty() && upper(fieldText(c, 9)) != "SUBCRITICAL") {
            leaveOut("mode of operation \"" + fieldText(c, 9) +
                     "\": only subcritical curves "
                     "are imported");
            continue;
        }
        // The two curves, each found once, with ten numbers and a range each.
        const IdfObject* found[2] = {nullptr, nullptr}; // capacity, power
        std::string why;
        const std::size_t fieldOf[2] = {3, 2};
        const char* role[2] = {"capacity", "power"};
        for (int k = 0; k < 2 && why.empty(); ++k) {
            const std::string& curveName = fieldText(c, fieldOf[k]);
            const auto it = curves.find(upper(curveName));
            if (curveName.empty())
                why = "no " + std::string(role[k]) + " curve named";
            else if (it == curves.end())
                why = std::string(role[k]) + " curve \"" + curveName +
                      "\" is no Curve:Bicubic of the file";
            else if (it->second.size() > 1)
                why = std::string(role[k]) + " curve \"" + curveName + "\" is given " +
                      std::to_string(it->second.size()) + " times";
            else {
                found[k] = it->second.front();
                for (std::size_t f = 2; f <= 15 && why.empty(); ++f)
                    if (!isNumber(fieldText(*found[k], f)))
                        why = std::string(role[k]) + " curve \"" + curveName + "\" (line " +
                              std::to_string(found[k]->line) + "): field " + std::to_string(f) +
                              " \"" + fieldText(*found[k], f).substr(0, 40) + "\" is no number";
            }
        }
        // The rating basis: one of superheat and return gas, one of liquid and subcooling.
        const std::string& sh = fieldText(c, 4);
        const std::string& rgt = fieldText(c, 5);
        const std::string& liq = fieldText(c, 6);
        const std::string& sc = fieldText(c, 7);
        for (const std::string* t : {&sh, &rgt, &liq, &sc})
            if (why.empty() && !t->empty() && !isNumber(*t))
                why = "rated condition \"" + t->substr(0, 40) + "\" is no number";
        if (why.empty() && sh.empty() == rgt.empty())
            why = "give one of Rated Superheat and Rated Return Gas Temperature";
        if (why.empty() && liq.empty() == sc.empty())
            why = "give one of Rated Liquid Temperature and Rated Subcooling";
        if (!why.empty()) {
            leaveOut(why);
            continue;
        }
        std::string refrigerant = options.refrigerant;
        if (refrigerant.empty()) {
            const std::pair<const std::string*, const char*> sources[] = {
                {&name, "its name"},
                {&c.comment, "the comment above it"},
                {&found[0]->comment, "the comment above its capacity curve"}};
            for (const auto& [source, where] : sources)
                if (const auto r = refrigerantIn(*source, options.knownRefrigerant)) {
                    refrigerant = *r;
                    out.notes.push_back(at(file, c.line) + ": compressor \"" + name +
                                        "\": refrigerant " + *r + " taken from " + where);
                    break;
                }
        }
        if (refrigerant.empty()) {
            leaveOut("no refrigerant: the file names none (give one with --refrigerant)");
            continue;
        }
        // The range where both curves hold.
        const auto bound = [&](std::size_t f, bool lower) {
            const double a = numberOf(fieldText(*found[0], f));
            const double b = numberOf(fieldText(*found[1], f));
            return lower ? std::max(a, b) : std::min(a, b);
        };
        const auto plain = [](double v) {
            char buffer[64];
            const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
            return std::string(buffer, r.ptr);
        };
        IdfRow row;
        row.line = c.line;
        row.fields = {name,
                      refrigerant,
                      options.family,
                      plain(bound(12, true)),
                      plain(bound(13, false)),
                      plain(bound(14, true)),
                      plain(bound(15, false)),
                      sh,
                      rgt,
                      sc,
                      liq};
        for (const IdfObject* curve : found)
            for (std::size_t f = 2; f <= 11; ++f)
                row.fields.push_back(fieldText(*curve, f));
        out.rows.push_back(std::move(row));
    }
    return out;
}

std::string idfTableText(const IdfCompressors& compressors) {
    std::string out;
    const auto record = [&out](const std::vector<std::string>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            out += (i ? "\t" : "") + fields[i];
        out += "\n";
    };
    record(compressors.header);
    for (const IdfRow& row : compressors.rows)
        record(row.fields);
    return out;
}

ImportFile idfImportFile(const std::filesystem::path& idf, const ImportOptions& options,
                         const IdfOptions& idfOptions, std::vector<std::string>& messages) {
    const IdfCompressors read = readIdf(idf, idfOptions);
    messages.insert(messages.end(), read.problems.begin(), read.problems.end());
    messages.insert(messages.end(), read.notes.begin(), read.notes.end());
    // A folder only this process can have made: nothing another user put in the temporary
    // directory is written through.
    std::string folder = (std::filesystem::temp_directory_path() / "kv-idf-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
        throw ImportError(idf.string() + ": no temporary folder for its table");
    ImportFile file{std::filesystem::path(folder) / (idf.filename().string() + ".tsv"), options};
    file.options.order = CoefficientOrder::Bicubic;
    std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
    out << idfTableText(read);
    out.close();
    if (!out) {
        removeIdfTable(file);
        throw ImportError(file.path.string() + ": can't be written");
    }
    return file;
}

void removeIdfTable(const ImportFile& table) {
    std::error_code ec;
    std::filesystem::remove(table.path, ec);
    std::filesystem::remove(table.path.parent_path(), ec);
}

} // namespace kvcat

#include "kvcat/names.h"

#include "kpx/text_out.h"

namespace kvcat {

namespace {

bool isDesignation(std::string_view s) {
    return s.size() > 1 && s[0] == 'R' && s[1] >= '0' && s[1] <= '9';
}

} // namespace

std::string lower(std::string s) {
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

std::string upper(std::string s) {
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
    return s;
}

std::string nameProblem(std::string_view s) {
    if (s.empty() || s.size() > kpx::kMaxTextLength)
        return "1 to 255 characters are needed";
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::string at = " at byte " + std::to_string(i + 1);
        if (c < 0x20 || c == 0x7F)
            return "a control character" + at + ": refused";
        std::size_t n = c < 0x80           ? 1
                        : (c >> 5) == 0x6  ? 2
                        : (c >> 4) == 0xE  ? 3
                        : (c >> 3) == 0x1E ? 4
                                           : 0;
        if (n == 0 || i + n > s.size())
            return "not UTF-8 text" + at;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return "not UTF-8 text" + at;
        if (c == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0)
            return "a control character" + at + ": refused";
        i += n;
    }
    return {};
}

std::string compactName(std::string_view s) {
    std::string out;
    for (const char ch : s)
        if (ch != ' ' && ch != '-' && ch != '_' && ch != '\t')
            out += ch;
    return out;
}

std::string refrigerantText(const asere::Fluid& fluid, std::string_view written) {
    if (isDesignation(fluid.name()))
        return fluid.name();
    const std::string key = upper(compactName(written));
    const std::string* first = nullptr;
    const std::string* alike = nullptr;
    for (const std::string& alias : fluid.aliases())
        if (isDesignation(alias)) {
            if (alias == written)
                return alias;
            if (alike == nullptr && upper(alias) == key)
                alike = &alias;
            if (first == nullptr)
                first = &alias;
        }
    return alike != nullptr ? *alike : first != nullptr ? *first : fluid.name();
}

} // namespace kvcat

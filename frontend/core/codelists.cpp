#include "kv/codelists.h"

#include <kpx_text_buffer.h>

#include <set>

namespace kv {
namespace {

EngineApi::Enumerate enumerator(const EngineApi& api, CodeList list) {
    switch (list) {
    case CodeList::Refrigerant:
        return api.KPX_GetRefrigerant;
    case CodeList::Family:
        return api.KPX_GetFamily;
    case CodeList::Power:
        return api.KPX_GetPower;
    }
    return nullptr;
}

// Walks a list with the given buffer; `freshBuffer` refills it with "a" before each call.
template <typename Visit>
void walk(const EngineApi& api, CodeList list, bool freshBuffer, Visit visit) {
    const EngineApi::Enumerate fn = enumerator(api, list);
    if (fn == nullptr)
        return;
    kpx::TextBuffer buffer;
    std::set<int32_t> seen;
    int32_t index = 0;
    for (;;) {
        if (freshBuffer)
            buffer.reset('a');
        int32_t next = 0;
        fn(index, &next, buffer.address());
        if (next == 0 || !seen.insert(next).second)
            return;
        visit(next, buffer.text());
        index = next;
    }
}

} // namespace

std::vector<CodeEntry> enumerateCodeList(const EngineApi& api, CodeList list) {
    std::vector<CodeEntry> out;
    walk(api, list, false, [&](int32_t code, std::string text) {
        out.push_back({code, std::move(text)});
    });
    return out;
}

std::vector<std::string> codeListTexts(const EngineApi& api, CodeList list) {
    std::vector<std::string> out;
    for (auto& e : enumerateCodeList(api, list))
        out.push_back(std::move(e.text));
    return out;
}

std::vector<std::string> selectionItems(const EngineApi& api, CodeList list) {
    std::vector<std::string> out{std::string(kAllItem)};
    for (auto& t : codeListTexts(api, list))
        out.push_back(std::move(t));
    return out;
}

int32_t findCode(const EngineApi& api, CodeList list, std::string_view text) {
    int32_t code = 0;
    walk(api, list, true, [&](int32_t next, const std::string& entry) {
        if (entry == text)
            code = next;
    });
    return code;
}

std::string_view frequencyTag(Frequency frequency) {
    return frequency == Frequency::Hz60 ? "60Hz" : "50Hz";
}

std::string_view frequencyCaption(Frequency frequency) {
    return frequency == Frequency::Hz60 ? "60 Hz" : "50 Hz";
}

std::vector<std::string> filterVoltages(const std::vector<std::string>& powerTexts,
                                        Frequency frequency) {
    const std::string_view tag = frequencyTag(frequency);
    std::vector<std::string> out{std::string(kAllItem)};
    for (const auto& t : powerTexts)
        if (t.find(tag) != std::string::npos)
            out.push_back(t);
    return out;
}

std::vector<std::string> voltageItems(const EngineApi& api, Frequency frequency) {
    return filterVoltages(codeListTexts(api, CodeList::Power), frequency);
}

} // namespace kv

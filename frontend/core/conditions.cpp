#include "kv/conditions.h"

namespace kv {

std::vector<std::string> conditionItems() {
    std::vector<std::string> out;
    for (const auto& p : kStandardConditions)
        out.emplace_back(p.name);
    out.emplace_back(kUserMode);
    return out;
}

const ConditionPreset* findPreset(std::string_view name) {
    for (const auto& p : kStandardConditions)
        if (p.name == name)
            return &p;
    return nullptr;
}

std::optional<ConditionTexts> presetTexts(std::string_view name, UnitSystem shown,
                                          const NumberFormat& format) {
    const ConditionPreset* p = findPreset(name);
    if (p == nullptr)
        return std::nullopt;
    const auto& s = p->siTexts;
    ConditionTexts texts{std::string(s[0]), std::string(s[1]), std::string(s[2]), std::string(s[3]),
                         std::string(s[4])};
    if (shown == UnitSystem::SI)
        return texts;
    const ConditionValues f = fromEngineUnits(readConditions(texts, format), UnitSystem::Imperial);
    auto whole = [&](double x) { return numberText(roundHalfEven(x, 0), format); };
    return ConditionTexts{whole(f.te), whole(f.tc), whole(f.sc), whole(f.sh1), whole(f.sh2)};
}

} // namespace kv

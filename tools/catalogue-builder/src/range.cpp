#include "kvcat/range.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <kpx/catalogue_schema.h>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace kvcat {

using json = nlohmann::ordered_json;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw RangeError(where + ": " + what);
}

const json& member(const json& object, const char* key, const std::string& where) {
    if (!object.is_object() || !object.contains(key))
        fail(where, std::string("missing \"") + key + "\"");
    return object.at(key);
}

double number(const json& object, const char* key, const std::string& where) {
    const json& v = member(object, key, where);
    if (!v.is_number())
        fail(where, std::string("\"") + key + "\" must be a number");
    const double d = v.get<double>();
    if (!std::isfinite(d))
        fail(where, std::string("\"") + key + "\" must be finite");
    return d;
}

double numberOr(const json& object, const char* key, double fallback, const std::string& where) {
    return object.contains(key) ? number(object, key, where) : fallback;
}

std::optional<double> optionalNumber(const json& object, const char* key,
                                     const std::string& where) {
    if (!object.contains(key))
        return std::nullopt;
    return number(object, key, where);
}

int positiveCode(const json& object, const std::string& where) {
    const json& v = member(object, "code", where);
    if (!v.is_number_integer() || v.get<long long>() <= 0 || v.get<long long>() > 1000000)
        fail(where, "\"code\" must be a positive whole number");
    return v.get<int>();
}

std::string text(const json& object, const char* key, const std::string& where) {
    const json& v = member(object, key, where);
    if (!v.is_string())
        fail(where, std::string("\"") + key + "\" must be a text");
    std::string s = v.get<std::string>();
    if (s.empty() || s.size() > 255)
        fail(where, std::string("\"") + key + "\" must hold 1 to 255 characters");
    if (s.find_first_of("\t\r\n") != std::string::npos)
        fail(where, std::string("\"") + key + "\" must not hold tabs or line ends");
    return s;
}

Physics parsePhysics(const json& j, const std::string& where) {
    Physics p;
    const std::string tech = text(j, "technology", where);
    if (tech == "scroll")
        p.technology = Technology::Scroll;
    else if (tech == "reciprocating")
        p.technology = Technology::Reciprocating;
    else
        fail(where, "\"technology\" must be scroll or reciprocating");
    p.lambda0 = number(j, "lambda0", where);
    p.clearance = numberOr(j, "clearance", p.clearance, where);
    p.polytropic = numberOr(j, "polytropic", p.polytropic, where);
    p.leakage = numberOr(j, "leakage", p.leakage, where);
    p.refDisplacement = numberOr(j, "refDisplacement", p.refDisplacement, where);
    p.etaMax = number(j, "etaMax", where);
    p.piBuiltIn = number(j, "piBuiltIn", where);
    p.curvature = number(j, "curvature", where);
    p.friction = numberOr(j, "friction", p.friction, where);
    p.motorEtaSmall = number(j, "motorEtaSmall", where);
    p.motorEtaLarge = number(j, "motorEtaLarge", where);
    p.motorPartLoad = numberOr(j, "motorPartLoad", p.motorPartLoad, where);
    p.powerFactor = number(j, "powerFactor", where);
    p.powerFactorSmall = numberOr(j, "powerFactorSmall", p.powerFactor, where);
    p.dischargeMax = number(j, "dischargeMax", where);
    auto within = [&](double v, double lo, double hi, const char* name) {
        if (!(v >= lo && v <= hi))
            fail(where, std::string("\"") + name + "\" out of its plausible range");
    };
    within(p.lambda0, 0.5, 1.0, "lambda0");
    within(p.clearance, 0.0, 0.2, "clearance");
    within(p.polytropic, 1.0, 1.6, "polytropic");
    within(p.leakage, 0.0, 0.1, "leakage");
    within(p.refDisplacement, 1, 10000, "refDisplacement");
    within(p.etaMax, 0.3, 0.95, "etaMax");
    within(p.piBuiltIn, 1.2, 20, "piBuiltIn");
    within(p.curvature, 0.0, 1.0, "curvature");
    within(p.friction, 0.0, 0.3, "friction");
    within(p.motorEtaSmall, 0.5, 0.99, "motorEtaSmall");
    within(p.motorEtaLarge, 0.5, 0.99, "motorEtaLarge");
    within(p.motorPartLoad, 0.0, 0.5, "motorPartLoad");
    within(p.powerFactor, 0.5, 1.0, "powerFactor");
    within(p.powerFactorSmall, 0.5, 1.0, "powerFactorSmall");
    within(p.dischargeMax, 60, 200, "dischargeMax");
    return p;
}

EnvelopeRules parseRules(const json& j, const std::string& where) {
    EnvelopeRules r;
    r.innerTe = number(j, "innerTe", where);
    r.innerTc = number(j, "innerTc", where);
    r.shF = number(j, "ShF", where);
    r.shH = optionalNumber(j, "ShH", where);
    r.rgtH = optionalNumber(j, "RgtH", where);
    if (r.shH.has_value() == r.rgtH.has_value())
        fail(where, "give exactly one of \"ShH\" and \"RgtH\"");
    if (r.shH && *r.shH == r.shF)
        fail(where, "\"ShH\" must differ from \"ShF\"");
    r.shMax = number(j, "ShMax", where);
    r.rgtMax = number(j, "RgtMax", where);
    r.shTol = number(j, "ShTol", where);
    r.scMax = number(j, "ScMax", where);
    r.tcTol = number(j, "TcTol", where);
    r.kPressureRatio = number(j, "kPressureRatio", where);
    r.maxPressureRatio = number(j, "maxPressureRatio", where);
    if (r.innerTe < 0 || r.innerTc < 0 || r.shTol < 0 || r.tcTol < 0 || r.scMax < 0 ||
        r.shMax <= 0 || r.shF < 0)
        fail(where, "envelope margins, tolerances and superheats must not be negative");
    if (r.kPressureRatio <= 1 || r.maxPressureRatio <= r.kPressureRatio)
        fail(where, "\"kPressureRatio\" must be above 1 and below \"maxPressureRatio\"");
    return r;
}

BaseConditions parseBase(const json& j, const std::string& where) {
    BaseConditions b;
    b.sc = number(j, "Sc", where);
    b.sh = optionalNumber(j, "Sh", where);
    b.rgt = optionalNumber(j, "Rgt", where);
    if (b.sh.has_value() == b.rgt.has_value())
        fail(where, "give exactly one of \"Sh\" and \"Rgt\"");
    if (b.sc < 0 || (b.sh && *b.sh < 0))
        fail(where, "base subcooling and superheat must not be negative");
    return b;
}

GasCoolerRules parseGasCooler(const json& j, const std::string& where) {
    GasCoolerRules g;
    const std::pair<const char*, double GasCoolerRules::*> fields[] = {
        {"teLow", &GasCoolerRules::teLow},       {"teHig", &GasCoolerRules::teHig},
        {"pLow", &GasCoolerRules::pLow},         {"pHig", &GasCoolerRules::pHig},
        {"pdMax", &GasCoolerRules::pdMax},       {"ratedTe", &GasCoolerRules::ratedTe},
        {"ratedTgc", &GasCoolerRules::ratedTgc}, {"ratedP", &GasCoolerRules::ratedP}};
    for (const auto& [key, member] : fields)
        g.*member = number(j, key, where);
    for (const json& point : member(j, "control", where)) {
        if (!point.is_array() || point.size() != 2 || !point[0].is_number() ||
            !point[1].is_number())
            fail(where, "\"control\" points are [outlet temperature, pressure]");
        g.control.emplace_back(point[0].get<double>(), point[1].get<double>());
    }
    const auto rising = [](const auto& a, const auto& b) {
        return !(a.first < b.first) || a.second > b.second;
    };
    if (g.control.size() < 2 ||
        std::adjacent_find(g.control.begin(), g.control.end(), rising) != g.control.end())
        fail(where, "\"control\" needs two or more points, temperatures rising, pressures "
                    "not falling");
    if (!(g.teLow + 6 < g.teHig) || !(g.pLow >= 10 && g.pLow < g.pHig && g.pHig <= 200) ||
        !(g.pdMax >= g.pHig && g.pdMax <= 200) || g.control.front().second > g.pLow ||
        g.control.back().second < g.pHig || !(g.ratedP >= g.pLow && g.ratedP <= g.pHig) ||
        !(g.ratedTe >= g.teLow && g.ratedTe <= g.teHig))
        fail(where, "ranges must rise within 10 to 200 bar, the control line span the "
                    "pressure range and the rated point lie inside");
    return g;
}

} // namespace

double GasCoolerRules::pressureAt(double tgc) const {
    if (tgc <= control.front().first)
        return control.front().second;
    for (std::size_t i = 1; i < control.size(); ++i)
        if (tgc <= control[i].first) {
            const auto [t0, p0] = control[i - 1];
            const auto [t1, p1] = control[i];
            return p0 + (p1 - p0) * (tgc - t0) / (t1 - t0);
        }
    return control.back().second;
}

const Refrigerant& Range::refrigerant(const std::string& name) const {
    for (const Refrigerant& r : refrigerants)
        if (r.name == name)
            return r;
    throw RangeError("unknown refrigerant " + name);
}

Range parseRange(const std::string& jsonText) {
    json root;
    try {
        root = json::parse(jsonText);
    } catch (const json::exception& e) {
        throw RangeError(std::string("range description is not valid JSON: ") + e.what());
    }
    Range range;
    std::set<int> codes;
    for (const json& j : member(root, "refrigerants", "range")) {
        Refrigerant r;
        r.code = positiveCode(j, "refrigerant");
        r.name = text(j, "name", "refrigerant");
        r.tag = text(j, "tag", "refrigerant " + r.name);
        if (!codes.insert(r.code).second)
            fail("refrigerant " + r.name, "code used twice");
        range.refrigerants.push_back(r);
    }
    codes.clear();
    for (const json& j : member(root, "supplies", "range")) {
        Supply s;
        s.code = positiveCode(j, "supply");
        const std::string where = "supply " + std::to_string(s.code);
        s.text = text(j, "text", where);
        s.volts = number(j, "volts", where);
        s.phases = static_cast<int>(number(j, "phases", where));
        s.hertz = static_cast<int>(number(j, "hertz", where));
        s.motor = text(j, "motor", where);
        if (s.phases != 1 && s.phases != 3)
            fail(where, "\"phases\" must be 1 or 3");
        if (s.hertz != 50 && s.hertz != 60)
            fail(where, "\"hertz\" must be 50 or 60");
        if (s.volts < 50 || s.volts > 1000)
            fail(where, "\"volts\" out of range");
        const std::string tag = s.hertz == 50 ? "50Hz" : "60Hz";
        const std::string other = s.hertz == 50 ? "60Hz" : "50Hz";
        if (s.text.find(tag) == std::string::npos || s.text.find(other) != std::string::npos)
            fail(where, "the text must carry \"" + tag + "\" and not \"" + other + "\"");
        // The window shows the voltage by the supply's number: the table must agree.
        const kpx::SupplyEntry* shown = kpx::entryFor(kpx::kSupplies, std::to_string(s.code));
        if (shown == nullptr || s.text != std::string(shown->voltage) + "Hz" ||
            s.volts != shown->volts || s.phases != shown->phases || s.hertz != shown->hertz)
            fail(where, "not the window's power supply " + std::to_string(s.code));
        if (!codes.insert(s.code).second)
            fail(where, "code used twice");
        range.supplies.push_back(s);
    }
    codes.clear();
    for (const json& j : member(root, "families", "range")) {
        Family f;
        f.code = positiveCode(j, "family");
        const std::string where = "family " + std::to_string(f.code);
        f.text = text(j, "text", where);
        f.prefix = text(j, "prefix", where);
        f.physics = parsePhysics(member(j, "physics", where), where + " physics");
        // The window shows the technology by the family's number: the table must agree.
        const kpx::FamilyEntry* shown = kpx::entryFor(kpx::kFamilies, std::to_string(f.code));
        if (shown == nullptr ||
            shown->technology !=
                (f.physics.technology == Technology::Scroll ? "Scroll" : "Reciprocating"))
            fail(where, "not the window's family " + std::to_string(f.code) + " of its technology");
        f.rules = parseRules(member(j, "envelope", where), where + " envelope");
        const json& base = member(j, "base", where);
        for (const char* hz : {"50", "60"})
            f.base[std::stoi(hz)] =
                parseBase(member(base, hz, where + " base"), where + " base " + hz);
        for (const auto& [name, limits] : member(j, "refrigerants", where).items()) {
            range.refrigerant(name); // must be listed
            const std::string w = where + " " + name;
            if (!limits.is_array() || limits.size() != 4)
                fail(w, "limits are [TeLow, TeHig, TcLow, TcHig]");
            EnvelopeLimits l{limits[0].get<double>(), limits[1].get<double>(),
                             limits[2].get<double>(), limits[3].get<double>()};
            if (!(l.teLow + std::max(2 * f.rules.innerTe, 6.0) < l.teHig) ||
                !(l.tcLow + 2 * f.rules.innerTc < l.tcHig) || !(l.teHig + 5 <= l.tcLow))
                fail(w, "limits must be rising, leave room for the inner limits (and at "
                        "least 6 K of Te for distinct curve breakpoints) and keep condensing "
                        "5 K above evaporating");
            if (f.rules.rgtH && !(*f.rules.rgtH - l.teHig > f.rules.shF + 5))
                fail(w, "\"RgtH\" must lie more than ShF + 5 K above TeHig");
            f.refrigerants.emplace_back(name, l);
        }
        for (const json& d : member(j, "displacements", where)) {
            if (!d.is_number() || !(d.get<double>() > 0 && d.get<double>() < 100000))
                fail(where, "displacements must be positive numbers of cm3");
            f.displacements.push_back(d.get<double>());
        }
        if (f.displacements.empty() ||
            !std::is_sorted(f.displacements.begin(), f.displacements.end()))
            fail(where, "displacements must be given in rising order");
        f.singlePhaseUpTo = number(j, "singlePhaseUpTo", where);
        f.threePhaseFrom = number(j, "threePhaseFrom", where);
        f.typicalTe = number(j, "typicalTe", where);
        f.typicalTc = number(j, "typicalTc", where);
        if (j.contains("gasCooler"))
            f.gasCooler = parseGasCooler(j.at("gasCooler"), where + " gasCooler");
        // A number names one family: a second block of it (another refrigerant's physics)
        // carries the same text.
        if (!codes.insert(f.code).second)
            for (const Family& other : range.families)
                if (other.code == f.code && other.text != f.text)
                    fail(where, "code used twice with another text");
        range.families.push_back(std::move(f));
    }
    if (range.refrigerants.empty() || range.supplies.empty() || range.families.empty())
        throw RangeError("range: refrigerants, supplies and families must not be empty");
    return range;
}

std::string readRangeText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw RangeError("can't read the range description " + file.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Range loadRange(const std::filesystem::path& file) {
    return parseRange(readRangeText(file));
}

Range enlargeRange(const Range& range, int models, int (*count)(const Range&)) {
    Range big = range;
    if (models <= 0)
        return big;
    // Spread each family's sizes geometrically over its span, more of them each round,
    // until the range holds enough models.
    for (int perFamily = 2; perFamily < 100000; perFamily += 1 + perFamily / 4) {
        for (std::size_t k = 0; k < big.families.size(); ++k) {
            const std::vector<double>& original = range.families[k].displacements;
            const double lo = original.front(), hi = original.back();
            std::vector<double>& sizes = big.families[k].displacements;
            sizes.clear();
            for (int i = 0; i < perFamily; ++i)
                sizes.push_back(
                    perFamily == 1 ? lo : lo * std::pow(hi / lo, double(i) / (perFamily - 1)));
        }
        if (count(big) >= models)
            return big;
    }
    throw RangeError("can't enlarge the range to " + std::to_string(models) + " models");
}

} // namespace kvcat

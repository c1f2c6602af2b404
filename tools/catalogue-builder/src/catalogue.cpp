#include "catalogue.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace kvcat {

namespace {

std::string upper(std::string s) {
    for (char& ch : s)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

std::string sizeCode(double displacement, int index, bool sequential) {
    char buf[32];
    if (sequential)
        std::snprintf(buf, sizeof buf, "%04d", index + 1);
    else
        std::snprintf(buf, sizeof buf, "%03ld", std::lround(displacement));
    return buf;
}

bool offered(const Family& family, const Supply& supply, double displacement) {
    return supply.phases == 1 ? displacement <= family.singlePhaseUpTo
                              : displacement >= family.threePhaseFrom;
}

// Parses a number back as the engine reads it, "." as point whatever the locale.
double parseBack(const std::string& text) {
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

Coefficients asWritten(const Coefficients& c) {
    Coefficients w{};
    for (int i = 0; i < 10; ++i)
        w[i] = parseBack(formatCoefficient(c[i]));
    return w;
}

// The cycle points of one family, refrigerant and base condition: the fit grid and the
// family's typical point, shared by every size and supply.
struct CycleSet {
    std::vector<CyclePoint> grid;
    CyclePoint rated;
};

} // namespace

std::vector<ModelSpec> modelSpecs(const Range& range, bool sequentialNames) {
    std::vector<ModelSpec> specs;
    std::set<std::string> names;
    for (const Family& family : range.families)
        for (const auto& [refName, limits] : family.refrigerants) {
            const Refrigerant& refrigerant = range.refrigerant(refName);
            for (std::size_t k = 0; k < family.displacements.size(); ++k)
                for (const Supply& supply : range.supplies) {
                    const double d = family.displacements[k];
                    if (!offered(family, supply, d))
                        continue;
                    ModelSpec s;
                    s.family = &family;
                    s.refrigerant = &refrigerant;
                    s.limits = &limits;
                    s.supply = &supply;
                    s.displacement = d;
                    s.sizeIndex = static_cast<int>(k);
                    s.name = family.prefix + sizeCode(d, s.sizeIndex, sequentialNames) +
                             refrigerant.tag + "-" + supply.motor;
                    if (s.name.size() > 255)
                        throw RangeError("model name longer than 255 characters: " + s.name);
                    if (!names.insert(s.name).second)
                        throw RangeError("two models share the name " + s.name);
                    specs.push_back(std::move(s));
                }
        }
    return specs;
}

int countModels(const Range& range) {
    int n = 0;
    for (const Family& family : range.families)
        for (std::size_t r = 0; r < family.refrigerants.size(); ++r)
            for (double d : family.displacements)
                for (const Supply& supply : range.supplies)
                    n += offered(family, supply, d) ? 1 : 0;
    return n;
}

std::string formatCoefficient(double value) {
    if (value == 0)
        return "0";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 7);
    return std::string(buf, r.ptr);
}

std::string formatValue(double value) {
    if (value == 0)
        return "0"; // also for -0
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string dataBinText(std::size_t modelsBytes, std::size_t codesBytes) {
    const long long diff = static_cast<long long>(modelsBytes) - static_cast<long long>(codesBytes);
    return std::to_string(diff) + "\n";
}

Performance physicalPerformance(const Model& model, const Range& range, const Thermo& thermo,
                                double te, double tc) {
    (void)range;
    const Family& family = *model.spec.family;
    const BaseConditions& base = model.base;
    const CyclePoint rated = thermo.cycle(family.typicalTe, family.typicalTc,
                                          base.suctionTemperature(family.typicalTe), base.sc);
    const double eta =
        motorEfficiencyForSize(family.physics, model.spec.displacement,
                               family.displacements.front(), family.displacements.back());
    const Compressor compressor(family.physics, model.spec.displacement, *model.spec.supply, eta,
                                rated);
    return compressor.at(thermo.cycle(te, tc, base.suctionTemperature(te), base.sc));
}

Catalogue buildCatalogue(const Range& range, const asere::FluidLibrary& fluids, int limit,
                         bool sequentialNames) {
    std::vector<ModelSpec> specs = modelSpecs(range, sequentialNames);
    if (limit > 0 && specs.size() > static_cast<std::size_t>(limit))
        specs.resize(static_cast<std::size_t>(limit));

    // Envelopes, grids and cycle points per family and refrigerant (and base condition).
    struct Shared {
        Envelope envelope;
        std::vector<std::pair<double, double>> grid;
        std::map<int, CycleSet> cycles; // by frequency
    };
    std::map<std::pair<const Family*, const Refrigerant*>, Shared> shared;
    auto sharedFor = [&](const ModelSpec& s) -> Shared& {
        const auto key = std::make_pair(s.family, s.refrigerant);
        auto it = shared.find(key);
        if (it != shared.end())
            return it->second;
        const Thermo thermo(fluids.get(s.refrigerant->name));
        Shared sh;
        sh.envelope = makeEnvelope(*s.family, *s.limits, thermo);
        sh.grid = fitGrid(sh.envelope, *s.family);
        for (const auto& [hz, base] : s.family->base) {
            CycleSet set;
            for (const auto& [te, tc] : sh.grid) {
                if (base.superheat(te) < 0)
                    throw RangeError(s.family->text + ": return gas below Te " + formatValue(te));
                set.grid.push_back(thermo.cycle(te, tc, base.suctionTemperature(te), base.sc));
            }
            set.rated = thermo.cycle(s.family->typicalTe, s.family->typicalTc,
                                     base.suctionTemperature(s.family->typicalTe), base.sc);
            sh.cycles.emplace(hz, std::move(set));
        }
        return shared.emplace(key, std::move(sh)).first->second;
    };

    Catalogue cat;
    cat.models.reserve(specs.size());
    for (const ModelSpec& spec : specs) {
        const Family& family = *spec.family;
        Shared& sh = sharedFor(spec);
        const CycleSet& cycles = sh.cycles.at(spec.supply->hertz);
        Model model;
        model.spec = spec;
        model.base = family.base.at(spec.supply->hertz);
        model.envelope = sh.envelope;
        const double eta =
            motorEfficiencyForSize(family.physics, spec.displacement, family.displacements.front(),
                                   family.displacements.back());
        const Compressor compressor(family.physics, spec.displacement, *spec.supply, eta,
                                    cycles.rated);
        std::vector<Sample> q, p, a, m;
        for (std::size_t i = 0; i < sh.grid.size(); ++i) {
            const auto [te, tc] = sh.grid[i];
            const Performance perf = compressor.at(cycles.grid[i]);
            q.push_back({te, tc, perf.capacity});
            p.push_back({te, tc, perf.power});
            a.push_back({te, tc, perf.current});
            m.push_back({te, tc, perf.massFlow});
        }
        model.q = fitRelative(q);
        model.p = fitRelative(p);
        model.a = fitRelative(a);
        model.m = fitRelative(m);
        model.errors = {
            maxRelativeError(asWritten(model.q), q), maxRelativeError(asWritten(model.p), p),
            maxRelativeError(asWritten(model.a), a), maxRelativeError(asWritten(model.m), m)};
        cat.worst.capacity = std::max(cat.worst.capacity, model.errors.capacity);
        cat.worst.power = std::max(cat.worst.power, model.errors.power);
        cat.worst.current = std::max(cat.worst.current, model.errors.current);
        cat.worst.massFlow = std::max(cat.worst.massFlow, model.errors.massFlow);
        cat.models.push_back(std::move(model));
    }
    return cat;
}

std::string codesText(const Range& range) {
    std::ostringstream out;
    out << "List\tNumber\tText\n";
    for (const Refrigerant& r : range.refrigerants)
        out << "DLLR\t" << r.code << '\t' << r.name << '\n';
    for (const Family& f : range.families)
        out << "DLLF\t" << f.code << '\t' << f.text << '\n';
    for (const Supply& s : range.supplies)
        out << "DLLP\t" << s.code << '\t' << s.text << '\n';
    return out.str();
}

std::string modelsText(const std::vector<Model>& models) {
    std::vector<std::string> columns = {"Name",  "ShowName", "Refrigerant", "Frequency",
                                        "DLLR",  "DLLF",     "DLLP",        "Displacement",
                                        "Speed", "ScBase",   "ShBase",      "RgtBase"};
    // Column names such as "Q7" or "F3e"; built by appending, since concatenating
    // temporaries here trips a false -Wrestrict of GCC 12 at -O3.
    auto column = [](char set, int n, const char* end) {
        std::string name(1, set);
        name += std::to_string(n);
        name += end;
        return name;
    };
    for (char set : {'Q', 'P', 'A', 'M'})
        for (int i = 0; i < 10; ++i)
            columns.push_back(column(set, i, ""));
    for (const char* c :
         {"TeLow", "TeHig", "TcLow", "TcHig", "TeMin", "TeMax", "TcMin", "TcMax", "ShMax", "RgtMax",
          "ShTol", "ScMax", "TcTol", "ShF",   "ShH",   "RgtH",  "K1e",   "K1c",   "K2e",   "K2c"})
        columns.push_back(c);
    for (int n = 0; n < 7; ++n) {
        columns.push_back(column('F', n, "e"));
        columns.push_back(column('F', n, "c"));
    }
    for (int n = 0; n < 5; ++n) {
        columns.push_back(column('H', n, "e"));
        columns.push_back(column('H', n, "c"));
    }

    std::string out;
    for (const std::string& c : columns)
        out += c + '\t';
    out += '\n';
    auto opt = [](const std::optional<double>& v) { return v ? formatValue(*v) : "-"; };
    for (const Model& model : models) {
        const ModelSpec& s = model.spec;
        const Envelope& e = model.envelope;
        std::vector<std::string> f = {s.name,
                                      upper(s.name),
                                      s.refrigerant->name,
                                      std::to_string(s.supply->hertz),
                                      std::to_string(s.refrigerant->code),
                                      std::to_string(s.family->code),
                                      std::to_string(s.supply->code),
                                      formatValue(std::round(s.displacement * 10) / 10),
                                      formatValue(Range::speed(s.supply->hertz)),
                                      formatValue(model.base.sc),
                                      opt(model.base.sh),
                                      model.base.sh ? "-" : opt(model.base.rgt)};
        for (const Coefficients* c : {&model.q, &model.p, &model.a, &model.m})
            for (double v : *c)
                f.push_back(formatCoefficient(v));
        for (double v : {e.teLow, e.teHig, e.tcLow, e.tcHig, e.teMin, e.teMax, e.tcMin, e.tcMax,
                         e.shMax, e.rgtMax, e.shTol, e.scMax, e.tcTol, e.shF})
            f.push_back(formatValue(v));
        f.push_back(opt(e.shH));
        f.push_back(e.shH ? "-" : opt(e.rgtH));
        for (double v : {e.k1e, e.k1c, e.k2e, e.k2c})
            f.push_back(formatValue(v));
        for (const Breakpoint& b : e.f) {
            f.push_back(formatValue(b.e));
            f.push_back(formatValue(b.c));
        }
        for (const Breakpoint& b : e.h) {
            f.push_back(formatValue(b.e));
            f.push_back(formatValue(b.c));
        }
        for (const std::string& field : f)
            out += field + '\t';
        out += '\n';
    }
    return out;
}

} // namespace kvcat

#include "kvcat/catalogue.h"

#include "kvcat/names.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace kvcat {

namespace {

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

// The cycle points of one family, refrigerant and base condition: the fit grid and the
// family's typical point, shared by every size and supply.
struct CycleSet {
    std::vector<CyclePoint> grid;
    CyclePoint rated;
};

} // namespace

Coefficients asWritten(const Coefficients& c) {
    Coefficients w{};
    for (int i = 0; i < 10; ++i)
        w[i] = parseBack(formatCoefficient(c[i]));
    return w;
}

std::vector<ModelEntry> modelEntries(const Range& range, bool sequentialNames) {
    std::vector<ModelEntry> entries;
    std::set<std::string> names;
    for (const Family& family : range.families)
        for (const auto& [refName, limits] : family.refrigerants) {
            const Refrigerant& refrigerant = range.refrigerant(refName);
            for (std::size_t k = 0; k < family.displacements.size(); ++k)
                for (const Supply& supply : range.supplies) {
                    const double d = family.displacements[k];
                    if (!offered(family, supply, d))
                        continue;
                    ModelEntry s;
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
                    entries.push_back(std::move(s));
                }
        }
    return entries;
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

CyclePoint ratedCycle(const Family& family, const BaseConditions& base, const Thermo& thermo) {
    if (const std::optional<GasCoolerRules>& gc = family.gasCooler) {
        const double pgc = gc->ratedP * 1e5;
        return thermo.gasCoolerCycle(gc->ratedTe, pgc, thermo.enthalpy(gc->ratedTgc, pgc),
                                     base.suctionTemperature(gc->ratedTe));
    }
    return thermo.cycle(family.typicalTe, family.typicalTc,
                        base.suctionTemperature(family.typicalTe), base.sc);
}

Catalogue buildCatalogue(const Range& range, const asere::FluidLibrary& fluids, int limit,
                         bool sequentialNames) {
    std::vector<ModelEntry> entries = modelEntries(range, sequentialNames);
    if (limit > 0 && entries.size() > static_cast<std::size_t>(limit))
        entries.resize(static_cast<std::size_t>(limit));

    // Envelopes, grids and cycle points per family and refrigerant (and base condition).
    struct Shared {
        Envelope envelope;
        std::vector<std::pair<double, double>> grid;
        std::map<int, CycleSet> cycles;        // by frequency
        std::map<int, Coefficients> discharge; // by frequency: the discharge temperatures
    };
    std::map<std::pair<const Family*, const Refrigerant*>, Shared> shared;
    auto sharedFor = [&](const ModelEntry& s) -> Shared& {
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
            set.rated = ratedCycle(*s.family, base, thermo);
            std::vector<Sample> td;
            for (std::size_t i = 0; i < sh.grid.size(); ++i) {
                const CyclePoint& point = set.grid[i];
                td.push_back({sh.grid[i].first, sh.grid[i].second,
                              thermo.dischargeTemperature(
                                  point, isentropicEfficiency(s.family->physics, point.ratio()))});
            }
            sh.discharge.emplace(hz, fitRelative(td));
            sh.cycles.emplace(hz, std::move(set));
        }
        return shared.emplace(key, std::move(sh)).first->second;
    };

    Catalogue cat;
    cat.models.reserve(entries.size());
    for (const ModelEntry& entry : entries) {
        const Family& family = *entry.family;
        Shared& sh = sharedFor(entry);
        const CycleSet& cycles = sh.cycles.at(entry.supply->hertz);
        Model model;
        model.entry = entry;
        model.base = family.base.at(entry.supply->hertz);
        model.envelope = sh.envelope;
        model.td = sh.discharge.at(entry.supply->hertz);
        model.dischargeMax = family.physics.dischargeMax;
        const Compressor compressor(family.physics, entry.displacement, *entry.supply,
                                    motorForSize(family.physics, entry.displacement,
                                                 family.displacements.front(),
                                                 family.displacements.back()),
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
        if (family.gasCooler)
            model.gasCooler =
                gasCoolerCurves(*family.gasCooler, model.base,
                                Thermo(fluids.get(entry.refrigerant->name)), compressor);
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
        out << kpx::CodeListPrefix::kRefrigerants << '\t' << r.code << '\t' << r.name << '\n';
    std::set<int> families;
    for (const Family& f : range.families)
        if (families.insert(f.code).second)
            out << kpx::CodeListPrefix::kFamilies << '\t' << f.code << '\t' << f.text << '\n';
    for (const Supply& s : range.supplies)
        out << kpx::CodeListPrefix::kPowerSupplies << '\t' << s.code << '\t' << s.text << '\n';
    return out.str();
}

kpx::RatingRecord ratingRecord(const Model& model) {
    kpx::RatingRecord r;
    r.q = model.q;
    r.p = model.p;
    r.a = model.a;
    r.m = model.m;
    r.scBase = model.base.sc;
    r.shBase = model.base.sh.value_or(kpx::NoValue);
    r.rgtBase = model.base.sh ? kpx::NoValue : model.base.rgt.value_or(kpx::NoValue);
    r.envelope = model.envelope;
    r.refrigerant = model.entry.refrigerant->name.c_str();
    return r;
}

std::string modelsText(const std::vector<Model>& models) {
    std::string out;
    for (const std::string_view column : kpx::kModelColumns) {
        out += column;
        out += '\t';
    }
    // The optional columns of the figures: the maximum and the discharge temperatures.
    out += kpx::kMaxDischargeColumn;
    out += '\t';
    for (const std::string_view column : kpx::kDischargeColumns) {
        out += column;
        out += '\t';
    }
    // The transcritical columns, once a model has them; the lines of the others end
    // before them, which reads as absent.
    if (std::any_of(models.begin(), models.end(), [](const Model& m) { return m.gasCooler; }))
        for (const std::string_view column : gasCoolerColumnNames()) {
            out += column;
            out += '\t';
        }
    out += '\n';
    std::array<std::string, kpx::kModelColumns.size()> fields;
    const auto set = [&fields](std::string_view column, std::string text) {
        fields[kpx::columnIndex(column)] = std::move(text);
    };
    for (const Model& model : models) {
        const ModelEntry& s = model.entry;
        set("Name", s.name);
        set("ShowName", upper(s.name));
        set("Refrigerant", s.refrigerant->name);
        set("Frequency", std::to_string(s.supply->hertz));
        set(kpx::CodeListPrefix::kRefrigerants, std::to_string(s.refrigerant->code));
        set(kpx::CodeListPrefix::kFamilies, std::to_string(s.family->code));
        set(kpx::CodeListPrefix::kPowerSupplies, std::to_string(s.supply->code));
        set("Displacement", formatValue(std::round(s.displacement * 10) / 10));
        set("Speed", formatValue(Range::speed(s.supply->hertz)));
        kpx::RatingRecord record = ratingRecord(model);
        std::size_t column = kpx::kFirstRatingColumn;
        kpx::forEachRatingColumn(record, [&](std::string_view, double& value) {
            const bool coefficient =
                column >= kpx::kFirstCoefficientColumn &&
                column < kpx::kFirstCoefficientColumn + kpx::kCoefficientColumnCount;
            fields[column++] = value == kpx::NoValue ? "-"
                               : coefficient         ? formatCoefficient(value)
                                                     : formatValue(value);
        });
        for (const std::string& field : fields) {
            out += field;
            out += '\t';
        }
        out += formatValue(model.dischargeMax);
        out += '\t';
        for (const double k : model.td) {
            out += formatCoefficient(k);
            out += '\t';
        }
        if (model.gasCooler)
            for (const std::string& field : gasCoolerFields(*model.gasCooler)) {
                out += field;
                out += '\t';
            }
        out += '\n';
    }
    return out;
}

} // namespace kvcat

#include "kvcat/compare.h"

#include "kvcat/catalogue.h"
#include "kvcat/import.h"

#include <kpx/catalogue_schema.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kvcat {

namespace {

// The property library as the rating asks it, on the builder's fluids.
class FluidProperties final : public kpx::PropertyProvider {
public:
    explicit FluidProperties(const asere::FluidLibrary& fluids) : fluids_(fluids) {}
    void revision(char**) override {}
    void setDataDirectory(const char*) override {}
    std::int32_t saturationPressure(const char* r, double t, double* p) override {
        return put(fluid(r) ? fluid(r)->dewPressure(t) : failed(), p);
    }
    std::int32_t bubbleTemperature(const char* r, double p, double* t) override {
        return put(fluid(r) ? fluid(r)->bubbleTemperature(p) : failed(), t);
    }
    std::int32_t liquidEnthalpy(const char* r, double t, double* h) override {
        return put(fluid(r) ? fluid(r)->liquidEnthalpy(t) : failed(), h);
    }
    std::int32_t vapourEnthalpy(const char* r, double t, double p, double* h) override {
        return state(r, t, p, h, &asere::State::h);
    }
    std::int32_t vapourVolume(const char* r, double t, double p, double* v) override {
        return state(r, t, p, v, &asere::State::v);
    }

private:
    static asere::Result<double> failed() { return {NAN, asere::Status::BadArgument}; }
    static std::int32_t put(const asere::Result<double>& r, double* out) {
        *out = r.value;
        return static_cast<std::int32_t>(r.status);
    }
    std::int32_t state(const char* r, double t, double p, double* out, double asere::State::*m) {
        if (!fluid(r))
            return put(failed(), out);
        const auto s = fluid(r)->vapourState(t, p);
        *out = s.ok() ? s.value.*m : NAN;
        return static_cast<std::int32_t>(s.status);
    }
    const asere::Fluid* fluid(const char* name) {
        auto it = cache_.find(name);
        if (it == cache_.end()) {
            const auto f = fluids_.find(name);
            it = cache_.emplace(name, f.ok() ? f.value : nullptr).first;
        }
        return it->second.get();
    }
    const asere::FluidLibrary& fluids_;
    std::map<std::string, std::shared_ptr<const asere::Fluid>, std::less<>> cache_;
};

struct Point {
    const char* name;
    double te, tc;
};
// The typical point of each application class.
const std::map<std::string, Point> kClassPoints = {
    {"low", {"low", -35, 40}}, {"medium", {"medium", -10, 45}}, {"high", {"high", 5, 45}}};

struct Spread {
    std::vector<double> cop, teMin, teMax, tcMin, tcMax;
};

double quantile(std::vector<double> v, double q) {
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const double pos = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(std::floor(pos));
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
}

ClassComparison::Side summary(const Spread& s) {
    return {s.cop.size(),           quantile(s.cop, 0.1),   quantile(s.cop, 0.5),
            quantile(s.cop, 0.9),   quantile(s.teMin, 0.5), quantile(s.teMax, 0.5),
            quantile(s.tcMin, 0.5), quantile(s.tcMax, 0.5)};
}

} // namespace

std::vector<ClassComparison> compareWithReference(const Range& range,
                                                  const asere::FluidLibrary& fluids,
                                                  const std::filesystem::path& reference) {
    FluidProperties properties(fluids);
    std::map<std::pair<std::string, std::string>, Spread> real, demo;
    const auto add = [&](Spread& s, const kpx::RatingRecord& r, const Point& p) {
        const kpx::RatingResult result = kpx::rate(r, {p.te, p.tc, 0, 10, 10}, properties, "");
        if (result.code >= 0)
            s.cop.push_back(result.cop);
        s.teMin.push_back(r.envelope.teLow);
        s.teMax.push_back(r.envelope.teHig);
        s.tcMin.push_back(r.envelope.tcLow);
        s.tcMax.push_back(r.envelope.tcHig);
    };

    // The real compressors: imported as they are published, defective rows left out.
    std::ifstream in(reference);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ImportOptions options;
    options.powerFactor = 0.8;
    options.skipUnknownRefrigerants = true;
    options.narrowToPositive = true; // the defective rows are left out below
    const ImportResult imported = importFiles({{reference, options}}, fluids);
    std::map<std::string, std::pair<std::string, bool>> classOf; // id -> class, usable
    {
        std::istringstream lines(text);
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line)) {
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string x; std::getline(fields, x, '\t');)
                f.push_back(x);
            bool usable = true;
            for (const char* bad :
                 {"capacity_not_positive", "power_not_positive", "cop_at_centre_out_of_range",
                  "nominal_mismatch", "source_marked_do_not_use", "repeated_entry"})
                usable = usable && line.find(bad) == std::string::npos;
            classOf[f.at(0)] = {f.at(2), usable};
        }
    }
    for (const ImportedModel& m : imported.models) {
        const auto& [cls, usable] = classOf.at(m.name);
        if (!usable)
            continue;
        add(real[{m.refrigerant, cls}], ratingRecord(m), kClassPoints.at(cls));
    }

    // The demo range, one model per family, refrigerant and size at 50 Hz.
    const Catalogue cat = buildCatalogue(range, fluids);
    std::set<std::tuple<const Family*, const Refrigerant*, double>> seen;
    for (const Model& m : cat.models) {
        if (m.entry.supply->hertz != 50 ||
            !seen.insert({m.entry.family, m.entry.refrigerant, m.entry.displacement}).second)
            continue;
        const kpx::FamilyEntry* entry =
            kpx::entryFor(kpx::kFamilies, std::to_string(m.entry.family->code));
        for (const auto& [cls, served] :
             {std::pair{"low", entry->low}, {"medium", entry->medium}, {"high", entry->high}})
            if (served)
                add(demo[{m.entry.refrigerant->name, cls}], ratingRecord(m), kClassPoints.at(cls));
    }

    std::vector<ClassComparison> rows;
    for (const auto& [key, r] : real) {
        // A class whose point neither side rates (R744 at a condensing temperature above
        // its critical point) has nothing to compare.
        const auto d = demo.find(key);
        if (d == demo.end() || r.cop.empty() || d->second.cop.empty())
            continue;
        const Point& p = kClassPoints.at(key.second);
        rows.push_back({key.first, key.second, p.te, p.tc, summary(r), summary(d->second)});
    }
    return rows;
}

std::string comparisonTable(const std::vector<ClassComparison>& rows) {
    std::ostringstream out;
    out << "| Refrigerant, class (point) | Models real / demo | COP median real / demo | "
           "COP 10–90 % real | COP 10–90 % demo | Te range (medians) real / demo | "
           "Tc range (medians) real / demo |\n|---|---|---|---|---|---|---|\n";
    char buf[512];
    for (const ClassComparison& c : rows) {
        const ClassComparison::Side &r = c.real, &s = c.demo;
        std::snprintf(buf, sizeof buf,
                      "| %s, %s (%g/%g °C) | %zu / %zu | %.2f / %.2f (%+.1f %%) | %.2f–%.2f | "
                      "%.2f–%.2f | %.1f…%.1f / %.1f…%.1f | %.1f…%.1f / %.1f…%.1f |\n",
                      c.refrigerant.c_str(), c.appClass.c_str(), c.te, c.tc, r.models, s.models,
                      r.cop50, s.cop50, 100 * (s.cop50 / r.cop50 - 1), r.cop10, r.cop90, s.cop10,
                      s.cop90, r.teLow, r.teHig, s.teLow, s.teHig, r.tcLow, r.tcHig, s.tcLow,
                      s.tcHig);
        out << buf;
    }
    return out.str();
}

} // namespace kvcat

// Reading a blend file: its components from the fluid files beside it, the pair data
// from "mixtures/" there; the mixture model completes the blend (completeBlend).
#include "asere/loader.h"
#include "asere/mixture.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <string>
#include <vector>

namespace asere {

namespace {

using nlohmann::json;

// Set while a blend's components are read: a blend made of blends is refused.
thread_local int readingBlend = 0;

// Reads values by their path in a JSON document ("/MIXTURE/components"), naming the file,
// the place (`where`) and the path in every complaint.
class BlendReader : public FileComplaints {
public:
    using FileComplaints::FileComplaints;
    const json& at(const json& doc, const std::string& path, const std::string& where = "") const {
        const json::json_pointer ptr(path);
        if (!doc.contains(ptr))
            fail(where + path + " is missing");
        return doc.at(ptr);
    }
    double number(const json& doc, const std::string& path, const std::string& where = "") const {
        const json& v = at(doc, path, where);
        const double d = v.is_number() ? v.get<double>() : kNaN;
        if (!std::isfinite(d))
            fail(where + path + " is not a finite number");
        return d;
    }
    std::vector<double> numbers(const json& doc, const std::string& path,
                                const std::string& where = "") const {
        if (!at(doc, path, where).is_array())
            fail(where + path + " is not a list");
        std::vector<double> out(doc.at(json::json_pointer(path)).size());
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = number(doc, path + "/" + std::to_string(i), where);
        return out;
    }
};

json readJson(const std::filesystem::path& file, const BlendReader& r) {
    try {
        return json::parse(readFile(file));
    } catch (const json::exception& e) {
        r.fail(file.string() + " is not a readable JSON file (" + e.what() + ")");
    }
}

// The departure function named `name` (or one of its aliases), as power terms.
FluidData departureFunction(const json& list, const std::string& name, const std::string& file,
                            const BlendReader& r) {
    for (const json& d : list) {
        if (!d.is_object())
            continue;
        bool match = d.value("Name", "") == name;
        if (auto it = d.find("aliases"); !match && it != d.end() && it->is_array())
            for (const json& a : *it)
                match = match || (a.is_string() && a.get<std::string>() == name);
        if (!match)
            continue;
        const std::string where = file + " \"" + name + "\" ";
        if (d.value("type", "") != "Exponential")
            r.fail(where + "has the type \"" + d.value("type", "") +
                   "\", which this library doesn't know");
        const auto n = r.numbers(d, "/n", where), t = r.numbers(d, "/t", where),
                   dd = r.numbers(d, "/d", where), l = r.numbers(d, "/l", where);
        if (t.size() != n.size() || dd.size() != n.size() || l.size() != n.size())
            r.fail(where + "has lists of different lengths");
        FluidData f;
        f.rhor = 1;
        for (std::size_t k = 0; k < n.size(); ++k) {
            if (l[k] < 0)
                r.fail(where + "/l must not be negative");
            f.power.push_back({n[k], dd[k], t[k], l[k], tableIndex(dd[k]), tableIndex(l[k])});
        }
        return f;
    }
    r.fail("the departure function \"" + name + "\" is not in " + file);
}

void readPairs(Mixture& m, const std::filesystem::path& dir, const BlendReader& r) {
    const std::string pairsName = "mixtures/mixture_binary_pairs.json";
    const std::string depName = "mixtures/mixture_departure_functions.json";
    const json pairs = readJson(dir / pairsName, r);
    const json deps = readJson(dir / depName, r);
    if (!pairs.is_array() || !deps.is_array())
        r.fail(pairsName + " and " + depName + " must be lists");
    const std::size_t n = m.n();
    m.pairs.assign(n * n, Mixture::Pair{});
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j) {
            const Mixture::Component &ci = m.comp[i], &cj = m.comp[j];
            const std::string names = ci.fluid->name() + "/" + cj.fluid->name();
            const json* entry = nullptr;
            bool reversed = false;
            for (const json& e : pairs) {
                if (!e.is_object())
                    continue;
                const std::string c1 = e.value("CAS1", ""), c2 = e.value("CAS2", "");
                if (c1 == ci.eos->cas && c2 == cj.eos->cas) {
                    entry = &e;
                } else if (c1 == cj.eos->cas && c2 == ci.eos->cas) {
                    entry = &e;
                    reversed = true;
                }
                if (entry)
                    break;
            }
            if (!entry)
                r.fail("no binary interaction parameters for the pair " + names + " in " +
                       pairsName);
            const std::string where = pairsName + " (" + names + ") ";
            const json& e = *entry;
            const double TcIJ = std::sqrt(ci.Tc * cj.Tc);
            const double cube = std::cbrt(ci.vc) + std::cbrt(cj.vc);
            const double vcIJ = cube * cube * cube / 8;
            double bT, gT, bV, gV;
            if (e.contains("xi")) {
                bT = bV = 1;
                gT = (ci.Tc + cj.Tc + r.number(e, "/xi", where)) / (2 * TcIJ);
                gV = (ci.vc + cj.vc + r.number(e, "/zeta", where)) / (2 * vcIJ);
            } else {
                bT = r.number(e, "/betaT", where);
                gT = r.number(e, "/gammaT", where);
                bV = r.number(e, "/betaV", where);
                gV = r.number(e, "/gammaV", where);
            }
            if (!(bT > 0 && gT > 0 && bV > 0 && gV > 0))
                r.fail(where + "beta and gamma must be positive");
            if (reversed) {
                bT = 1 / bT;
                bV = 1 / bV;
            }
            Mixture::Pair& p = m.pairs[i * n + j];
            p.betaT2 = bT * bT;
            p.betaV2 = bV * bV;
            p.cT = 2 * bT * gT * TcIJ;
            p.cV = 2 * bV * gV * vcIJ;
            p.F = e.contains("F") ? r.number(e, "/F", where) : 0;
            if (p.F != 0) {
                if (!e.contains("function") || !e["function"].is_string())
                    r.fail(where + "has a weight F but no departure \"function\"");
                p.departure = departureFunction(deps, e["function"].get<std::string>(), depName, r);
            }
        }
    m.factorOffset.assign(1, 0);
    for (std::size_t k = 0; k < n + n * n; ++k) {
        std::size_t terms = 0;
        if (k < n)
            terms = m.comp[k].eos->termCount();
        else if (m.pairs[k - n].F != 0)
            terms = m.pairs[k - n].departure.termCount();
        m.factorOffset.push_back(m.factorOffset.back() + terms);
    }
}

} // namespace

bool isMixtureText(std::string_view text) {
    if (text.find("\"MIXTURE\"") == std::string_view::npos)
        return false;
    try {
        const json doc = json::parse(text.begin(), text.end());
        return doc.is_object() && doc.contains("MIXTURE");
    } catch (const json::exception&) {
        return false;
    }
}

std::unique_ptr<FluidData> loadMixture(std::string_view text, const std::string& origin) {
    const BlendReader r(origin);
    if (readingBlend > 0)
        r.fail("a blend can't be a component of another blend");
    const json doc = r.parse(text);
    auto f = std::make_unique<FluidData>();
    auto m = std::make_shared<Mixture>();
    f->origin = origin;
    try {
        const json& name = r.at(doc, "/INFO/NAME");
        if (!name.is_string() || name.get<std::string>().empty())
            r.fail("INFO.NAME is not a name");
        const json& info = doc["INFO"];
        f->name = name.get<std::string>();
        if (auto it = info.find("ALIASES"); it != info.end() && it->is_array())
            for (const json& a : *it)
                if (a.is_string())
                    f->aliases.push_back(a.get<std::string>());
        const json& names = r.at(doc, "/MIXTURE/components");
        const std::vector<double> w = r.numbers(doc, "/MIXTURE/mass_fractions");
        if (!names.is_array() || names.size() < 2 || names.size() > kMaxComponents)
            r.fail("MIXTURE.components is not a list of 2 to " + std::to_string(kMaxComponents) +
                   " names");
        if (w.size() != names.size())
            r.fail("MIXTURE.mass_fractions has " + std::to_string(w.size()) + " entries, not " +
                   std::to_string(names.size()));
        double sum = 0;
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (!(w[i] > 0 && w[i] <= 1))
                r.fail("MIXTURE.mass_fractions[" + std::to_string(i) + "] is not between 0 and 1");
            sum += w[i];
        }
        if (!(std::abs(sum - 1) <= 1e-9))
            r.fail("MIXTURE.mass_fractions sum to " + std::to_string(sum) + ", not 1");

        // The blend file's folder, from the origin text path::string() wrote: UTF-8 where
        // the platform converts paths (Windows), so it is read back as UTF-8.
        std::filesystem::path dir =
            std::filesystem::path(std::u8string(origin.begin(), origin.end())).parent_path();
        if (dir.empty())
            dir = ".";
        ++readingBlend;
        struct Leave {
            ~Leave() { --readingBlend; }
        } leave;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string where = "MIXTURE.components[" + std::to_string(i) + "]";
            if (!names[i].is_string())
                r.fail(where + " is not a name");
            const std::string cname = names[i].get<std::string>();
            Mixture::Component c;
            try {
                c.fluid = Fluid::load(dir, cname);
            } catch (const FluidError& e) {
                r.fail(where + " \"" + cname + "\": " + e.what());
            }
            c.eos = &c.fluid->data();
            if (c.eos->blend)
                r.fail(where + " \"" + cname + "\" is a blend, not a pure fluid");
            // The mixture model combines power and Gaussian terms only.
            if (!c.eos->nonAnalytic.empty())
                r.fail(where + " \"" + cname +
                       "\": its equation has non-analytic terms, which the mixture model can't "
                       "combine");
            if (c.eos->cas.empty() || !(c.eos->Tcrit > 0) || !(c.eos->rhocritMolar > 0))
                r.fail(where + " \"" + cname +
                       "\": its file has no INFO.CAS or no STATES.critical");
            for (const Mixture::Component& o : m->comp)
                if (o.eos->cas == c.eos->cas)
                    r.fail(where + " \"" + cname + "\" is named twice");
            c.M = c.eos->molarMass;
            c.Tc = c.eos->Tr;
            c.vc = c.M / c.eos->rhor;
            c.Tcrit = c.eos->Tcrit;
            c.rhocrit = c.eos->rhocritMolar;
            c.Rratio = c.eos->R * c.M / kMixtureR;
            m->comp.push_back(std::move(c));
        }
        readPairs(*m, dir, r);
        double moles = 0;
        for (std::size_t i = 0; i < m->n(); ++i)
            moles += w[i] / m->comp[i].M;
        for (std::size_t i = 0; i < m->n(); ++i) {
            m->z[i] = w[i] / m->comp[i].M / moles;
            m->M += m->z[i] * m->comp[i].M;
        }
    } catch (const json::exception& e) {
        r.fail(std::string("unexpected content (") + e.what() + ")");
    }
    completeBlend(*f, m, r);
    return f;
}

} // namespace asere

// Reading a fluid file (JSON) into FluidData. Every problem becomes a FluidError that
// names the file and the field; nothing here can crash on a malformed file.
#include "loader.hpp"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cmath>
#include <fstream>
#include <sstream>

namespace asere::detail {

using nlohmann::json;

namespace {

std::atomic<std::uint64_t> nextFluidId{1};

class Reader {
public:
    explicit Reader(std::string origin) : origin_(std::move(origin)) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw FluidError(Status::BadFluidFile, origin_ + ": " + what);
    }

    const json& member(const json& obj, const char* key, const std::string& where) const {
        if (!obj.is_object())
            fail(where + " is not an object");
        auto it = obj.find(key);
        if (it == obj.end())
            fail(where + " has no \"" + key + "\"");
        return *it;
    }

    double number(const json& obj, const char* key, const std::string& where) const {
        const json& v = member(obj, key, where);
        if (!v.is_number())
            fail(where + "." + key + " is not a number");
        const double d = v.get<double>();
        if (!std::isfinite(d))
            fail(where + "." + key + " is not finite");
        return d;
    }

    double positive(const json& obj, const char* key, const std::string& where) const {
        const double d = number(obj, key, where);
        if (!(d > 0))
            fail(where + "." + key + " must be positive");
        return d;
    }

    std::vector<double> numbers(const json& obj, const char* key, const std::string& where,
                                std::size_t size = 0) const {
        const json& v = member(obj, key, where);
        if (!v.is_array())
            fail(where + "." + key + " is not a list");
        std::vector<double> out;
        out.reserve(v.size());
        for (const json& e : v) {
            if (!e.is_number())
                fail(where + "." + key + " holds something that is not a number");
            const double d = e.get<double>();
            if (!std::isfinite(d))
                fail(where + "." + key + " holds a number that is not finite");
            out.push_back(d);
        }
        if (size != 0 && out.size() != size)
            fail(where + "." + key + " has " + std::to_string(out.size()) + " entries, not " +
                 std::to_string(size));
        return out;
    }

    std::string text(const json& obj, const char* key, const std::string& where) const {
        const json& v = member(obj, key, where);
        if (!v.is_string())
            fail(where + "." + key + " is not a text");
        return v.get<std::string>();
    }

    bool flag(const json& obj, const char* key, const std::string& where) const {
        const json& v = member(obj, key, where);
        if (!v.is_boolean())
            fail(where + "." + key + " is not true or false");
        return v.get<bool>();
    }

private:
    std::string origin_;
};

void readIdealGas(const Reader& r, const json& terms, FluidData& f) {
    if (!terms.is_array() || terms.empty())
        r.fail("EOS.alpha0 is not a list of terms");
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const json& term = terms[i];
        const std::string where = "EOS.alpha0[" + std::to_string(i) + "]";
        const std::string type = r.text(term, "type", where);
        if (type == "IdealGasHelmholtzLead") {
            // a1 + a2 tau + ln(delta): only ln(delta) shapes the properties.
            r.number(term, "a1", where);
            r.number(term, "a2", where);
        } else if (type == "IdealGasHelmholtzEnthalpyEntropyOffset") {
            r.number(term, "a1", where);
            r.number(term, "a2", where);
        } else if (type == "IdealGasHelmholtzLogTau") {
            f.ideal.logTau += r.number(term, "a", where);
        } else if (type == "IdealGasHelmholtzPower") {
            auto n = r.numbers(term, "n", where);
            auto t = r.numbers(term, "t", where, n.size());
            f.ideal.powerN.insert(f.ideal.powerN.end(), n.begin(), n.end());
            f.ideal.powerT.insert(f.ideal.powerT.end(), t.begin(), t.end());
        } else if (type == "IdealGasHelmholtzPlanckEinstein") {
            auto n = r.numbers(term, "n", where);
            auto t = r.numbers(term, "t", where, n.size());
            for (double th : t)
                if (!(th > 0))
                    r.fail(where + ".t must be positive");
            f.ideal.einsteinN.insert(f.ideal.einsteinN.end(), n.begin(), n.end());
            f.ideal.einsteinTh.insert(f.ideal.einsteinTh.end(), t.begin(), t.end());
        } else if (type == "IdealGasHelmholtzCP0Constant") {
            // cp0/R = c: contributes c ln(tau) (plus terms linear in tau).
            const double c = r.number(term, "cp_over_R", where);
            r.positive(term, "Tc", where);
            r.positive(term, "T0", where);
            f.ideal.logTau += c;
        } else if (type == "IdealGasHelmholtzCP0PolyT") {
            auto c = r.numbers(term, "c", where);
            auto t = r.numbers(term, "t", where, c.size());
            const double Tc = r.positive(term, "Tc", where);
            r.positive(term, "T0", where);
            for (std::size_t k = 0; k < c.size(); ++k) {
                f.ideal.cpPolyC.push_back(c[k]);
                f.ideal.cpPolyT.push_back(t[k]);
                f.ideal.cpPolyTc.push_back(Tc);
            }
        } else {
            r.fail(where + " has the term type \"" + type + "\", which this library doesn't know");
        }
    }
}

void readResidual(const Reader& r, const json& terms, FluidData& f) {
    if (!terms.is_array() || terms.empty())
        r.fail("EOS.alphar is not a list of terms");
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const json& term = terms[i];
        const std::string where = "EOS.alphar[" + std::to_string(i) + "]";
        const std::string type = r.text(term, "type", where);
        if (type == "ResidualHelmholtzPower" || type == "ResidualHelmholtzLemmon2005") {
            // n delta^d tau^t exp(-delta^l), and for the second type exp(-tau^m) as well;
            // a zero l or m leaves its factor out.
            const bool lemmon = type == "ResidualHelmholtzLemmon2005";
            auto n = r.numbers(term, "n", where);
            auto d = r.numbers(term, "d", where, n.size());
            auto t = r.numbers(term, "t", where, n.size());
            auto l = r.numbers(term, "l", where, n.size());
            auto m = lemmon ? r.numbers(term, "m", where, n.size()) : std::vector<double>(n.size());
            for (std::size_t k = 0; k < n.size(); ++k) {
                if (l[k] < 0 || m[k] < 0)
                    r.fail(where + (lemmon ? ".l and .m" : ".l") + " must not be negative");
                const PowerTerm p{n[k], d[k], t[k], l[k], tableIndex(d[k]), tableIndex(l[k])};
                if (m[k] == 0)
                    f.power.push_back(p);
                else
                    f.powerExpTau.push_back({p, m[k]});
            }
        } else if (type == "ResidualHelmholtzGaussian") {
            auto n = r.numbers(term, "n", where);
            auto d = r.numbers(term, "d", where, n.size());
            auto t = r.numbers(term, "t", where, n.size());
            auto eta = r.numbers(term, "eta", where, n.size());
            auto eps = r.numbers(term, "epsilon", where, n.size());
            auto beta = r.numbers(term, "beta", where, n.size());
            auto gamma = r.numbers(term, "gamma", where, n.size());
            for (std::size_t k = 0; k < n.size(); ++k)
                f.gaussian.push_back(
                    {n[k], d[k], t[k], eta[k], eps[k], beta[k], gamma[k], tableIndex(d[k])});
        } else {
            r.fail(where + " has the term type \"" + type + "\", which this library doesn't know");
        }
    }
}

Chebyshev readExpansion(const Reader& r, const json& sa, const char* key, double scale) {
    const std::string where = std::string("EOS.SUPERANCILLARY.") + key;
    const json& list = r.member(sa, key, "EOS.SUPERANCILLARY");
    if (!list.is_array() || list.empty())
        r.fail(where + " is not a list of expansions");
    Chebyshev c;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string w = where + "[" + std::to_string(i) + "]";
        Chebyshev::Piece p;
        p.xmin = r.number(list[i], "xmin", w);
        p.xmax = r.number(list[i], "xmax", w);
        p.c = r.numbers(list[i], "coef", w);
        if (p.c.empty())
            r.fail(w + ".coef is empty");
        if (!(p.xmax > p.xmin))
            r.fail(w + " has xmax not above xmin");
        if (!c.pieces.empty() && std::abs(p.xmin - c.pieces.back().xmax) > 1e-9 * p.xmin)
            r.fail(w + " does not join the expansion before it");
        for (double& v : p.c)
            v *= scale;
        c.pieces.push_back(std::move(p));
    }
    return c;
}

Ancillary readAncillary(const Reader& r, const json& anc, const char* key) {
    Ancillary a;
    auto it = anc.find(key);
    if (it == anc.end())
        return a;
    const std::string where = std::string("ANCILLARIES.") + key;
    const json& e = *it;
    const std::string type = r.text(e, "type", where);
    if (type == "pL" || type == "pV" || type == "rhoV" || type == "rhoL")
        a.exponential = true;
    else if (type == "rhoLnoexp")
        a.exponential = false;
    else
        r.fail(where + " has the type \"" + type + "\", which this library doesn't know");
    a.n = r.numbers(e, "n", where);
    a.t = r.numbers(e, "t", where, a.n.size());
    a.reducing = r.positive(e, "reducing_value", where);
    a.Tr = r.positive(e, "T_r", where);
    a.Tmin = r.positive(e, "Tmin", where);
    a.Tmax = r.positive(e, "Tmax", where);
    a.usingTauR = r.flag(e, "using_tau_r", where);
    if (!(a.Tmax > a.Tmin))
        r.fail(where + " has Tmax not above Tmin");
    a.present = true;
    return a;
}

} // namespace

std::unique_ptr<FluidData> parseFluid(std::string_view text, const std::string& origin) {
    Reader r(origin);
    json doc;
    try {
        doc = json::parse(text.begin(), text.end());
    } catch (const json::exception& e) {
        r.fail(std::string("not a readable JSON file (") + e.what() + ")");
    }
    auto f = std::make_unique<FluidData>();
    f->origin = origin;
    try {
        const json& info = r.member(doc, "INFO", "the file");
        f->name = r.text(info, "NAME", "INFO");
        if (f->name.empty())
            r.fail("INFO.NAME is empty");
        if (auto it = info.find("ALIASES"); it != info.end() && it->is_array())
            for (const json& a : *it)
                if (a.is_string())
                    f->aliases.push_back(a.get<std::string>());

        const json& eosList = r.member(doc, "EOS", "the file");
        if (!eosList.is_array() || eosList.empty())
            r.fail("EOS is not a non-empty list");
        const json& eos = eosList[0];
        const std::string where = "EOS[0]";
        const double Rmolar = r.positive(eos, "gas_constant", where);
        f->molarMass = r.positive(eos, "molar_mass", where);
        f->R = Rmolar / f->molarMass;
        f->Ttriple = r.positive(eos, "Ttriple", where);
        f->Tmax = r.positive(eos, "T_max", where);
        f->pmax = r.positive(eos, "p_max", where);
        f->blend = r.flag(eos, "pseudo_pure", where);
        const json& states = r.member(eos, "STATES", where);
        const json& red = r.member(states, "reducing", "EOS[0].STATES");
        f->Tr = r.positive(red, "T", "STATES.reducing");
        f->rhor = r.positive(red, "rhomolar", "STATES.reducing") * f->molarMass;
        f->pc = r.positive(red, "p", "STATES.reducing");
        if (auto it = doc.find("STATES"); it != doc.end() && it->contains("critical")) {
            const json& crit = r.member(*it, "critical", "STATES");
            f->Tcrit = r.positive(crit, "T", "STATES.critical");
            f->rhocritMolar = r.positive(crit, "rhomolar", "STATES.critical");
        }
        if (auto it = info.find("CAS"); it != info.end() && it->is_string())
            f->cas = it->get<std::string>();
        if (!(f->Tmax > f->Ttriple))
            r.fail("T_max is not above Ttriple");

        readIdealGas(r, r.member(eos, "alpha0", where), *f);
        readResidual(r, r.member(eos, "alphar", where), *f);

        if (auto it = eos.find("SUPERANCILLARY"); it != eos.end() && !it->is_null() && !f->blend) {
            f->satP = readExpansion(r, *it, "jexpansions_p", 1.0);
            f->satRhoL = readExpansion(r, *it, "jexpansions_rhoL", f->molarMass);
            f->satRhoV = readExpansion(r, *it, "jexpansions_rhoV", f->molarMass);
            for (const Chebyshev* c : {&f->satRhoL, &f->satRhoV})
                if (std::abs(c->xmin() - f->satP.xmin()) > 1e-9 ||
                    std::abs(c->xmax() - f->satP.xmax()) > 1e-9)
                    r.fail("the density expansions do not span the pressure expansion");
            for (const auto& p : f->satP.pieces)
                f->satPEdges.push_back(p.c.empty() ? 0 : f->satP.eval(p.xmin));
            f->satPEdges.push_back(f->satP.eval(f->satP.xmax()));
            for (std::size_t i = 0; i < f->satPEdges.size(); ++i)
                if (!(f->satPEdges[i] > 0) || (i > 0 && !(f->satPEdges[i] > f->satPEdges[i - 1])))
                    r.fail("the saturation-pressure expansion does not rise with temperature");
        }

        const json& anc = r.member(doc, "ANCILLARIES", "the file");
        f->pL = readAncillary(r, anc, "pL");
        f->pV = readAncillary(r, anc, "pV");
        f->pS = readAncillary(r, anc, "pS");
        f->rhoL = readAncillary(r, anc, "rhoL");
        f->rhoV = readAncillary(r, anc, "rhoV");
        f->rhoL.reducing *= f->molarMass; // mol/m3 to kg/m3
        f->rhoV.reducing *= f->molarMass;
        if (f->blend) {
            if (!f->pL.present || !f->pV.present)
                r.fail("a blend needs the ancillaries \"pL\" and \"pV\"");
            f->TsatMax = std::min(f->pL.Tmax, f->pV.Tmax);
            // Nodes evenly spaced in 1/T, where ln p is nearly straight.
            constexpr int kNodes = 96;
            for (Ancillary* a : {&f->pL, &f->pV}) {
                for (int i = 0; i <= kNodes; ++i) {
                    const double x =
                        1 / f->Ttriple + (1 / f->TsatMax - 1 / f->Ttriple) * i / kNodes;
                    const double T = i == 0 ? f->Ttriple : i == kNodes ? f->TsatMax : 1 / x;
                    const double v = a->eval(T);
                    if (!(v > 0) || !std::isfinite(v) || (i > 0 && !(v > a->nodeValue.back())))
                        r.fail("the blend's pressure equations do not rise with temperature");
                    a->nodeT.push_back(T);
                    a->nodeValue.push_back(v);
                }
            }
        } else if (f->hasSuperancillary()) {
            f->TsatMax = f->satP.xmax();
            f->Ttriple = std::max(f->Ttriple, f->satP.xmin());
        } else {
            if (!f->pS.present)
                r.fail("a pure fluid needs either a superancillary or the ancillary \"pS\"");
            f->TsatMax = f->pS.Tmax;
        }
        if (!f->rhoL.present || !f->rhoV.present)
            r.fail("the ancillaries \"rhoL\" and \"rhoV\" are missing");
        if (!(f->TsatMax > f->Ttriple))
            r.fail("the saturation curve is empty");
    } catch (const json::exception& e) {
        r.fail(std::string("unexpected content (") + e.what() + ")");
    }
    f->id = nextFluidId.fetch_add(1);
    return f;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw FluidError(Status::BadFluidFile, file.string() + ": can't be opened");
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        throw FluidError(Status::BadFluidFile, file.string() + ": can't be read");
    return ss.str();
}

std::vector<std::string> fluidNames(const std::filesystem::path& file) {
    std::vector<std::string> names;
    try {
        json doc = json::parse(readFile(file));
        const json& info = doc.at("INFO");
        names.push_back(info.at("NAME").get<std::string>());
        if (auto it = info.find("ALIASES"); it != info.end() && it->is_array())
            for (const json& a : *it)
                if (a.is_string())
                    names.push_back(a.get<std::string>());
    } catch (const std::exception&) {
        // A file that can't be read answers to its file name only.
    }
    return names;
}

} // namespace asere::detail

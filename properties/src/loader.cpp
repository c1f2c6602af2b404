// Reading a fluid file (JSON) into FluidData. Every problem becomes a FluidError that
// names the file and the field; nothing here can crash on a malformed file.
#include "asere/loader.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace asere {

using nlohmann::json;

namespace {

std::atomic<std::uint64_t> nextFluidId{1};

// What a fluid file may hold. Published equations of state of refrigerants have up to
// about 40 residual terms (the largest reference equations some 60), a dozen ideal-gas
// terms, ancillary equations of fewer than ten terms and saturation expansions of some 70
// pieces of 13 coefficients; their files stay below 300 KB. The bounds leave room for
// every real fluid while keeping the time and memory of loading a damaged file small:
// every loop of the loading and of the property solvers is bounded by them.
constexpr std::size_t kMaxFileBytes = 4u << 20;
constexpr std::size_t kMaxResidualTerms = 64; // power and Gaussian terms together
constexpr std::size_t kMaxIdealTerms = 32;    // of each kind
constexpr std::size_t kMaxAncillaryTerms = 32;
constexpr std::size_t kMaxPieces = 256;      // per saturation expansion
constexpr std::size_t kMaxCoefficients = 64; // per piece
constexpr std::size_t kMaxAliases = 64;
constexpr std::size_t kMaxNameBytes = 255; // a refrigerant name of the catalogue
// No number of a fluid file is larger in magnitude than this (pressures are below 1e10 Pa,
// coefficients far below).
constexpr double kMaxMagnitude = 1e12;
// Temperatures of any fluid's equation, K. The saturation curve of a fluid spans at most
// kMaxSaturationSpan from the triple point to its top, so that the density fit of a blend
// (one piece per 2 K) stays below 500 pieces.
constexpr double kMinTemperature = 1, kMaxTemperature = 2500;
constexpr double kMaxSaturationSpan = 1000;

class Reader : public FileComplaints {
public:
    using FileComplaints::FileComplaints;

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
        if (!std::isfinite(d) || std::abs(d) > kMaxMagnitude)
            fail(where + "." + key + " is not a finite number of plausible size");
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
            if (!std::isfinite(d) || std::abs(d) > kMaxMagnitude)
                fail(where + "." + key + " holds a number that is not finite or too large");
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

// The parameter lists of one entry of a term list, by their keys: each as long as the
// first.
std::vector<std::vector<double>> termLists(const Reader& r, const json& term,
                                           const std::string& where,
                                           std::initializer_list<const char*> keys) {
    std::vector<std::vector<double>> lists;
    for (const char* key : keys)
        lists.push_back(lists.empty() ? r.numbers(term, key, where)
                                      : r.numbers(term, key, where, lists[0].size()));
    return lists;
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
            const auto v =
                termLists(r, term, where, {"n", "d", "t", "eta", "epsilon", "beta", "gamma"});
            for (std::size_t k = 0; k < v[0].size(); ++k) {
                const double d = v[1][k], eta = v[3][k], eps = v[4][k];
                f.gaussian.push_back({v[0][k], d, v[2][k], eta, eps, v[5][k], v[6][k],
                                      tableIndex(d), std::exp(-eta * eps * eps)});
            }
        } else if (type == "ResidualHelmholtzNonAnalytic") {
            const auto v = termLists(r, term, where, {"n", "a", "b", "beta", "A", "B", "C", "D"});
            for (std::size_t k = 0; k < v[0].size(); ++k)
                f.nonAnalytic.push_back(
                    {v[0][k], v[1][k], v[2][k], v[3][k], v[4][k], v[5][k], v[6][k], v[7][k]});
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
    c.index();
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

std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

// Refuses sizes and constants that no real fluid has, on the data as read and before
// anything is worked out from it, so that a damaged file can cost neither much time nor
// much memory and gives no finite but meaningless properties. Each range holds every
// refrigerant with room to spare: molar masses from hydrogen to the heaviest
// fluorocarbons, temperatures of 1 K to 2500 K, pressures up to 10 GPa, and exponents,
// widths and centres of terms as published equations use them.
void checkPlausible(const Reader& r, const FluidData& f, double Rmolar) {
    const auto within = [&r](const std::string& what, double v, double lo, double hi,
                             const char* unit) {
        if (!(v >= lo && v <= hi))
            r.fail(what + " is " + shortNumber(v) + ", outside the plausible range " +
                   shortNumber(lo) + " to " + shortNumber(hi) + unit);
    };
    const auto allWithin = [&](const std::string& what, const std::vector<double>& values,
                               double lo, double hi) {
        for (const double v : values)
            within(what, v, lo, hi, "");
    };
    const auto atMost = [&r](const std::string& what, std::size_t n, std::size_t max) {
        if (n > max)
            r.fail(what + " has " + std::to_string(n) + " entries, more than the " +
                   std::to_string(max) + " a fluid file may hold");
    };

    if (f.name.size() > kMaxNameBytes)
        r.fail("INFO.NAME is longer than " + std::to_string(kMaxNameBytes) + " bytes");
    atMost("INFO.ALIASES", f.aliases.size(), kMaxAliases);

    const std::string eos = "EOS[0].";
    within(eos + "gas_constant", Rmolar, 8.3, 8.33, " J/(mol K)");
    within(eos + "molar_mass", f.molarMass, 1e-3, 1, " kg/mol");
    within(eos + "Ttriple", f.Ttriple, kMinTemperature, kMaxTemperature, " K");
    within(eos + "T_max", f.Tmax, kMinTemperature, kMaxTemperature, " K");
    within(eos + "p_max", f.pmax, 1e4, 1e10, " Pa");
    within("STATES.reducing.T", f.Tr, f.Ttriple, f.Tmax, " K (Ttriple to T_max)");
    within("STATES.reducing.rhomolar", f.rhor / f.molarMass, 1, 1e6, " mol/m3");
    within("STATES.reducing.p", f.pc, 1e3, 1e9, " Pa");

    atMost(eos + "alphar", f.termCount() + f.nonAnalytic.size(), kMaxResidualTerms);
    for (const auto& t : f.power) {
        within(eos + "alphar power term n", t.n, -1e6, 1e6, "");
        within(eos + "alphar power term d", t.d, 0, 20, "");
        within(eos + "alphar power term t", t.t, -5, 100, "");
        within(eos + "alphar power term l", t.l, 0, 20, "");
    }
    for (const auto& t : f.gaussian) {
        within(eos + "alphar Gaussian term n", t.n, -1e6, 1e6, "");
        within(eos + "alphar Gaussian term d", t.d, 0, 20, "");
        within(eos + "alphar Gaussian term t", t.t, -5, 100, "");
        within(eos + "alphar Gaussian term eta", t.eta, 0, 1e5, "");
        within(eos + "alphar Gaussian term epsilon", t.epsilon, -10, 10, "");
        within(eos + "alphar Gaussian term beta", t.beta, 0, 1e5, "");
        within(eos + "alphar Gaussian term gamma", t.gamma, -10, 10, "");
    }

    // Non-analytic terms: exponents that keep every derivative up to the second finite
    // away from the critical point (q^(a-1) and q^(1/(2 beta)-1) at q = 0), a positive B so
    // that Delta vanishes only there, and decaying exponentials.
    for (const auto& t : f.nonAnalytic) {
        const std::string term = eos + "alphar non-analytic term ";
        within(term + "n", t.n, -1e6, 1e6, "");
        within(term + "a", t.a, 1, 20, "");
        within(term + "b", t.b, 0.1, 10, "");
        within(term + "beta", t.beta, 0.05, 0.5, "");
        within(term + "A", t.A, 0, 100, "");
        within(term + "B", t.B, 1e-6, 100, "");
        within(term + "C", t.C, 0, 1e5, "");
        within(term + "D", t.D, 0, 1e5, "");
    }

    const IdealGas& ideal = f.ideal;
    within(eos + "alpha0 logarithmic terms", ideal.logTau, -1e3, 1e3, "");
    atMost(eos + "alpha0 power terms", ideal.powerN.size(), kMaxIdealTerms);
    allWithin(eos + "alpha0 power term n", ideal.powerN, -1e6, 1e6);
    allWithin(eos + "alpha0 power term t", ideal.powerT, -10, 10);
    atMost(eos + "alpha0 Planck-Einstein terms", ideal.einsteinN.size(), kMaxIdealTerms);
    allWithin(eos + "alpha0 Planck-Einstein term n", ideal.einsteinN, -1e3, 1e3);
    allWithin(eos + "alpha0 Planck-Einstein term t", ideal.einsteinTh, 1e-6, 1e3);
    atMost(eos + "alpha0 cp0 terms", ideal.cpPolyC.size(), kMaxIdealTerms);
    allWithin(eos + "alpha0 cp0 term c", ideal.cpPolyC, -1e6, 1e6);
    allWithin(eos + "alpha0 cp0 term t", ideal.cpPolyT, -10, 10);
    allWithin(eos + "alpha0 cp0 term Tc", ideal.cpPolyTc, kMinTemperature, kMaxTemperature);

    const std::pair<const Chebyshev*, const char*> expansions[] = {
        {&f.satP, "jexpansions_p"},
        {&f.satRhoL, "jexpansions_rhoL"},
        {&f.satRhoV, "jexpansions_rhoV"}};
    for (const auto& [c, key] : expansions) {
        const std::string where = eos + "SUPERANCILLARY." + key;
        atMost(where, c->pieces.size(), kMaxPieces);
        for (const auto& piece : c->pieces) {
            atMost(where + " coef", piece.c.size(), kMaxCoefficients);
            // The saturation curve ends at the critical point.
            within(where + " xmin", piece.xmin, kMinTemperature, f.Tr * 1.01, " K");
            within(where + " xmax", piece.xmax, kMinTemperature, f.Tr * 1.01, " K");
        }
    }

    const std::pair<const Ancillary*, const char*> ancillaries[] = {
        {&f.pL, "pL"}, {&f.pV, "pV"}, {&f.pS, "pS"}, {&f.rhoL, "rhoL"}, {&f.rhoV, "rhoV"}};
    for (const auto& [a, key] : ancillaries) {
        if (!a->present)
            continue;
        const std::string where = std::string("ANCILLARIES.") + key + ".";
        const bool pressure = key[0] == 'p';
        atMost(where + "n", a->n.size(), kMaxAncillaryTerms);
        // theta = 1 - T/T_r is raised to the powers t: they must be positive, and the
        // equation ends at T_r.
        allWithin(where + "t", a->t, 1e-6, 100);
        within(where + "reducing_value", a->reducing, pressure ? 1e3 : 1, pressure ? 1e9 : 1e6,
               pressure ? " Pa" : " mol/m3");
        within(where + "T_r", a->Tr, f.Ttriple, f.Tmax, " K (Ttriple to T_max)");
        within(where + "Tmin", a->Tmin, kMinTemperature, a->Tr, " K");
        // Saturation ends at the critical point.
        within(where + "Tmax", a->Tmax, kMinTemperature, std::min(a->Tr, f.Tr * 1.01),
               " K (up to T_r and the critical point)");
    }
}

// What the loading works out from the data as read: densities per mass, the saturation
// pressures at the edges of the expansion's pieces, and the top of the saturation curve
// with, for a blend, the nodes for inverting its pressure equations.
void deriveSaturation(const Reader& r, FluidData& fluid) {
    FluidData* f = &fluid;
    if (f->hasSuperancillary()) {
        for (const Chebyshev* c : {&f->satRhoL, &f->satRhoV})
            if (std::abs(c->xmin() - f->satP.xmin()) > 1e-9 ||
                std::abs(c->xmax() - f->satP.xmax()) > 1e-9)
                r.fail("the density expansions do not span the pressure expansion");
        f->satPEdges = risingEdges(f->satP);
        if (f->satPEdges.empty() || !(f->satPEdges.front() > 0))
            r.fail("the saturation-pressure expansion does not rise with temperature");
    }
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
                const double x = 1 / f->Ttriple + (1 / f->TsatMax - 1 / f->Ttriple) * i / kNodes;
                const double T = i == 0 ? f->Ttriple : i == kNodes ? f->TsatMax : 1 / x;
                const double v = a->eval(T);
                if (!(v > 0) || !std::isfinite(v) || (i > 0 && !(v > a->nodeValue.back())))
                    r.fail("the blend's pressure equations do not rise with temperature");
                a->nodeT.push_back(T);
                a->nodeValue.push_back(v);
            }
        }
        // A blend boils at its bubble pressure and condenses at its dew pressure, which is
        // never above it.
        for (std::size_t i = 0; i < f->pL.nodeValue.size(); ++i)
            if (f->pV.nodeValue[i] > f->pL.nodeValue[i] * (1 + 1e-6))
                r.fail("the blend's dew pressure (pV) is above its bubble pressure (pL) at " +
                       shortNumber(f->pL.nodeT[i]) + " K");
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
    if (f->TsatMax - f->Ttriple > kMaxSaturationSpan)
        r.fail("the saturation curve spans more than " + shortNumber(kMaxSaturationSpan) +
               " K, which no fluid's does");
}

} // namespace

json FileComplaints::parse(std::string_view text) const {
    try {
        return json::parse(text.begin(), text.end());
    } catch (const json::exception& e) {
        fail(std::string("not a readable JSON file (") + e.what() + ")");
    }
}

std::unique_ptr<FluidData> parseFluid(std::string_view text, const std::string& origin) {
    Reader r(origin);
    if (text.size() > kMaxFileBytes)
        r.fail("larger than " + std::to_string(kMaxFileBytes >> 20) +
               " MB, which no fluid file is");
    const json doc = r.parse(text);
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
        }
        const json& anc = r.member(doc, "ANCILLARIES", "the file");
        f->pL = readAncillary(r, anc, "pL");
        f->pV = readAncillary(r, anc, "pV");
        f->pS = readAncillary(r, anc, "pS");
        f->rhoL = readAncillary(r, anc, "rhoL");
        f->rhoV = readAncillary(r, anc, "rhoV");

        checkPlausible(r, *f, Rmolar);
        deriveSaturation(r, *f);
    } catch (const json::exception& e) {
        r.fail(std::string("unexpected content (") + e.what() + ")");
    }
    f->id = nextFluidId.fetch_add(1);
    return f;
}

std::string readFile(const std::filesystem::path& file) {
    const auto fail = [&file](const std::string& what) {
        throw FluidError(Status::BadFluidFile, file.string() + ": " + what);
    };
    // One byte more than a fluid file may hold, so that parseFluid sees a larger one.
    const std::size_t limit = kMaxFileBytes + 1;
#ifdef _WIN32
    // Windows has no named pipes among the files of a folder; only a regular file is read.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        fail("is not a regular file");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        fail("can't be opened");
    std::string content(limit, '\0');
    in.read(content.data(), static_cast<std::streamsize>(limit));
    if (in.bad())
        fail("can't be read");
    const auto used = static_cast<std::size_t>(in.gcount());
#else
    // Not blocking, so that a named pipe in the fluids directory can't hang the caller;
    // only a regular file is read.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        fail("can't be opened");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        fail("is not a regular file");
    std::string content(std::min<std::size_t>(static_cast<std::size_t>(info.st_size), limit), '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == content.size()) {
            if (content.size() == limit)
                break;
            content.resize(std::min(limit, content.size() * 2 + 4096));
        }
        const ssize_t n = ::read(fd, content.data() + used, content.size() - used);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("can't be read");
        used += static_cast<std::size_t>(n);
    }
#endif
    content.resize(used);
    return content;
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

} // namespace asere

// The multi-fluid mixture equation: the reducing functions, the residual part along
// isotherms, fugacities, the combined equation of the blend's own composition with its
// temperature parts fitted as expansions, and the blend's single-phase states.
#include "asere/mixture_isotherm.h"
#include "asere/solvers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace asere {

Reducing reducing(const Mixture& m, const Composition& x) noexcept {
    Reducing r;
    const std::size_t n = m.n();
    for (std::size_t i = 0; i < n; ++i) {
        r.Tr += x[i] * x[i] * m.comp[i].Tc;
        r.vr += x[i] * x[i] * m.comp[i].vc;
        r.dTr[i] += 2 * x[i] * m.comp[i].Tc;
        r.dvr[i] += 2 * x[i] * m.comp[i].vc;
    }
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j) {
            const Mixture::Pair& p = m.pair(i, j);
            const double s = x[i] + x[j];
            for (int k = 0; k < 2; ++k) {
                const double b2 = k == 0 ? p.betaT2 : p.betaV2;
                const double c = k == 0 ? p.cT : p.cV;
                const double D = b2 * x[i] + x[j];
                if (!(D > 0))
                    continue;
                const double f = x[i] * x[j] * s / D;
                const double di = x[j] * s / D + x[i] * x[j] / D - f * b2 / D;
                const double dj = x[i] * s / D + x[i] * x[j] / D - f / D;
                double& Y = k == 0 ? r.Tr : r.vr;
                Composition& dY = k == 0 ? r.dTr : r.dvr;
                Y += c * f;
                dY[i] += c * di;
                dY[j] += c * dj;
            }
        }
    return r;
}

// The tau factors of Mixture::ownDensity at tau from the combined equation: f0 of each
// power group and Gaussian term, then f1 and f2 of each power group (see groupedResidual).
void ownFactors(const Mixture& m, double tau, double* out) noexcept {
    const FluidData& f = m.own;
    std::array<double, kMaxOwnTerms> factors;
    f.tauFactors(tau, factors.data());
    const std::size_t groups = m.ownDensity.power.size(), powers = m.groupOf.size();
    const std::size_t gauss = f.gaussian.size();
    double* f0 = out;
    double* f1 = out + groups + gauss;
    double* f2 = f1 + groups;
    std::fill_n(out, 3 * groups + gauss, 0.0);
    for (std::size_t k = 0; k < powers; ++k) {
        double v, g, extra = 0; // extra: m^2 tau^m of exp(-tau^m)
        if (k < f.power.size()) {
            v = factors[k];
            g = f.power[k].t;
        } else {
            const PowerExpTauTerm& e = f.powerExpTau[k - f.power.size()];
            v = factors[k + gauss];
            const double mtm = e.m * std::pow(tau, e.m);
            g = e.power.t - mtm; // tau d ln(tau^t exp(-tau^m)) / d tau
            extra = e.m * mtm;
        }
        const std::size_t i = m.groupOf[k];
        f0[i] += v;
        f1[i] += v * g;
        f2[i] += v * (g * g - g - extra);
    }
    std::copy_n(factors.begin() + f.power.size(), gauss, f0 + groups);
}

void lnPhi(const MixIsotherm& iso, const Mixture& m, double rho, const Composition& x,
           double* out) noexcept {
    const Reducing& r = iso.red();
    const double delta = iso.delta(rho);
    double X[kMaxComponents];
    const Helmholtz h = iso.full(delta, X);
    const std::size_t n = m.n();
    double sumX = 0, sumT = 0, sumV = 0;
    for (std::size_t k = 0; k < n; ++k) {
        sumX += x[k] * X[k];
        sumT += x[k] * r.dTr[k];
        sumV += x[k] * r.dvr[k];
    }
    const double lnZ = std::log1p(h.d);
    for (std::size_t i = 0; i < n; ++i) {
        const double ndvr = r.dvr[i] - sumV, ndTr = r.dTr[i] - sumT;
        const double nda = h.d * (1 + ndvr / r.vr) + h.t * ndTr / r.Tr + X[i] - sumX;
        out[i] = h.a + nda - lnZ;
    }
}

double mixturePressure(const Mixture& m, double T, double rho, const Composition& x) noexcept {
    const MixIsotherm iso(m, T, x);
    return iso.pressure(rho).first;
}

void lnFugacityCoefficients(const Mixture& m, double T, double rho, const Composition& x,
                            double* out) noexcept {
    const MixIsotherm iso(m, T, x);
    lnPhi(iso, m, rho, x, out);
}

FluidData ownEquation(const Mixture& m) {
    FluidData f;
    const Reducing red = reducing(m, m.z);
    f.Tr = red.Tr;
    f.rhor = 1 / red.vr;
    // Each term joins one with the same exponents, or is added.
    const auto add = [](auto& terms, auto term, double w, auto same, auto n) {
        n(term) *= w;
        for (auto& o : terms)
            if (same(o, term)) {
                n(o) += n(term);
                return;
            }
        terms.push_back(term);
    };
    const auto samePower = [](const PowerTerm& a, const PowerTerm& b) {
        return a.d == b.d && a.t == b.t && a.l == b.l;
    };
    const auto addAll = [&](const FluidData& e, double w) {
        for (const PowerTerm& k : e.power)
            add(f.power, k, w, samePower, [](PowerTerm& t) -> double& { return t.n; });
        for (const GaussianTerm& k : e.gaussian)
            add(
                f.gaussian, k, w,
                [](const GaussianTerm& a, const GaussianTerm& b) {
                    return a.d == b.d && a.t == b.t && a.eta == b.eta && a.epsilon == b.epsilon &&
                           a.beta == b.beta && a.gamma == b.gamma;
                },
                [](GaussianTerm& t) -> double& { return t.n; });
        for (const PowerExpTauTerm& k : e.powerExpTau)
            add(
                f.powerExpTau, k, w,
                [&](const PowerExpTauTerm& a, const PowerExpTauTerm& b) {
                    return samePower(a.power, b.power) && a.m == b.m;
                },
                [](PowerExpTauTerm& t) -> double& { return t.power.n; });
    };
    const std::size_t n = m.n();
    for (std::size_t i = 0; i < n; ++i)
        addAll(*m.comp[i].eos, m.z[i]);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (m.pair(i, j).F != 0)
                addAll(m.pair(i, j).departure, m.z[i] * m.z[j] * m.pair(i, j).F);
    // Ordered by the tau exponent, so that terms sharing it share its power.
    std::stable_sort(f.power.begin(), f.power.end(),
                     [](const PowerTerm& a, const PowerTerm& b) { return a.t < b.t; });
    return f;
}

namespace {

// The ideal-gas part of the blend at T, without its (sum of w_i) ln rho term: each
// component at its own critical point, weighted by w_i = z_i R_i / R.
Helmholtz idealGasAt(const Mixture& m, double T) noexcept {
    Helmholtz r;
    for (std::size_t i = 0; i < m.n(); ++i) {
        const Mixture::Component& c = m.comp[i];
        const Helmholtz o = c.eos->idealGas(c.Tcrit / T, 1);
        const double w = m.z[i] * c.Rratio;
        r.a += w * (o.a + std::log(m.z[i]) - std::log(c.rhocrit));
        r.t += w * o.t;
        r.tt += w * o.tt;
    }
    return r;
}

} // namespace

void fitTemperatureParts(Mixture& m, double Tlo, double Thi) {
    m.idealLnRho = 0;
    for (std::size_t i = 0; i < m.n(); ++i)
        m.idealLnRho += m.z[i] * m.comp[i].Rratio;
    fitShared(m.ideal, 3, Tlo, Thi, [&](double T, double* out) {
        const Helmholtz h = idealGasAt(m, T);
        out[0] = h.a;
        out[1] = h.t;
        out[2] = h.tt;
    });
    const FluidData& g = m.ownDensity;
    fitShared(m.factors, g.termCount() + 2 * g.power.size(), Tlo, Thi,
              [&](double T, double* out) { ownFactors(m, m.own.Tr / T, out); });
}

State blendState(const Mixture& m, double dh, double ds, const BlendIsotherm& iso, double T,
                 double rho) {
    const Helmholtz r = iso.full(iso.delta(rho));
    double a0, t0, tt0;
    if (m.ideal.covers(T)) {
        double v[3];
        m.ideal.eval(T, v);
        a0 = v[0];
        t0 = v[1];
        tt0 = v[2];
    } else {
        const Helmholtz o = idealGasAt(m, T);
        a0 = o.a;
        t0 = o.t;
        tt0 = o.tt;
    }
    a0 += m.idealLnRho * std::log(rho);
    const double R = kMixtureR / m.M;
    State s;
    s.T = T;
    s.rho = rho * m.M;
    s.v = 1 / s.rho;
    s.p = rho * kMixtureR * T * (1 + r.d);
    s.h = R * T * (1 + t0 + r.t + r.d) + dh;
    s.s = R * (t0 + r.t - a0 - r.a) + ds;
    const double tt = tt0 + r.tt;
    s.cv = -R * tt;
    const double num = 1 + r.d - r.dt, den = 1 + 2 * r.d + r.dd;
    s.cp = s.cv + R * num * num / den;
    const double w2 = R * T * (den - num * num / tt);
    s.w = w2 > 0 ? std::sqrt(w2) : kNaN;
    return s;
}

bool usableState(const State& s) {
    return std::isfinite(s.p) && s.p > 0 && std::isfinite(s.rho) && s.rho > 0 &&
           std::isfinite(s.h) && std::isfinite(s.s);
}

Result<State> mixtureVapourState(const FluidData& f, double T, double p) noexcept {
    const Mixture& m = *f.mixture;
    const BlendIsotherm iso(m, T);
    double rhoMax = 1 / iso.vr();
    if (T <= f.TsatMax) {
        const double dew = std::exp(m.lnPdew.eval(T));
        if (p > dew * (1 + 1e-9))
            return failure<State>(Status::NotVapour);
        rhoMax = m.rhoDew.eval(T) * (1 + 1e-9);
    }
    const auto rho = densityRoot(iso, T, p, 0, false, 0, rhoMax);
    if (!rho)
        return failure<State>(
            rho.status == Status::NoConvergence && T > f.TsatMax ? Status::OutOfRange : rho.status);
    State s = blendState(m, f.dh, f.ds, iso, T, rho.value);
    s.p = p;
    if (!usableState(s))
        return failure<State>(Status::OutOfRange);
    return {s, Status::Ok};
}

Result<State> mixtureDenseState(const FluidData& f, double T, double p, double start,
                                double rhoMin) noexcept {
    const Mixture& m = *f.mixture;
    const BlendIsotherm iso(m, T);
    const auto rho =
        risingRoot([&iso](double r) { return iso.pressure(r); }, p, start / m.M, rhoMin / m.M);
    if (!rho)
        return failure<State>(rho.status);
    State s = blendState(m, f.dh, f.ds, iso, T, rho.value);
    s.p = p;
    if (!usableState(s))
        return failure<State>(Status::OutOfRange);
    return {s, Status::Ok};
}

Result<State> mixtureStateAt(const FluidData& f, double T, double rho) noexcept {
    const BlendIsotherm iso(*f.mixture, T);
    const State s = blendState(*f.mixture, f.dh, f.ds, iso, T, rho / f.mixture->M);
    if (!usableState(s))
        return failure<State>(Status::OutOfRange);
    return {s, Status::Ok};
}

} // namespace asere

// The multi-fluid mixture model: reduced Helmholtz energy of a blend, fugacities, phase
// equilibrium, and the blend's saturation curves as Chebyshev expansions in temperature.
#include "mixture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace asere {

namespace {

constexpr int kMaxIterations = 100;

// Reducing temperature and molar volume of a composition, with their derivatives with
// respect to each mole fraction (the fractions taken as independent).
struct Reducing {
    double Tr = 0, vr = 0;
    Composition dTr{}, dvr{};
};

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

// The residual part of one composition at one temperature: the temperature-dependent
// factors of every component's and every departure function's terms are computed once.
class MixIsotherm {
public:
    MixIsotherm(const Mixture& m, double T, const Composition& x)
        : m_(m), x_(x), red_(reducing(m, x)), T_(T), tau_(red_.Tr / T),
          buffer_(m.factorOffset.back()) {
        const std::size_t n = m.n();
        for (std::size_t i = 0; i < n; ++i)
            m.comp[i].eos->tauFactors(tau_, factors(i));
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j)
                if (m.pair(i, j).F != 0)
                    m.pair(i, j).departure.tauFactors(tau_, factors(i * n + j + n));
    }
    MixIsotherm(const MixIsotherm&) = delete;
    MixIsotherm& operator=(const MixIsotherm&) = delete;

    double tau() const noexcept { return tau_; }
    const Reducing& red() const noexcept { return red_; }
    double vr() const noexcept { return red_.vr; }
    double delta(double rho) const noexcept { return rho * red_.vr; }

    DeltaDerivatives atDelta(double delta) const noexcept {
        DeltaDerivatives r;
        const std::size_t n = m_.n();
        for (std::size_t i = 0; i < n; ++i) {
            const DeltaDerivatives c = m_.comp[i].eos->residualDelta(factors(i), delta);
            r.d += x_[i] * c.d;
            r.dd += x_[i] * c.dd;
        }
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) {
                const Mixture::Pair& p = m_.pair(i, j);
                if (p.F == 0)
                    continue;
                const DeltaDerivatives c = p.departure.residualDelta(factors(i * n + j + n), delta);
                const double w = x_[i] * x_[j] * p.F;
                r.d += w * c.d;
                r.dd += w * c.dd;
            }
        return r;
    }

    // The second virial coefficient, m3/mol: Z = 1 + B rho + ...
    double secondVirial() const noexcept {
        const std::size_t n = m_.n();
        double sum = 0;
        for (std::size_t i = 0; i < n; ++i)
            sum += x_[i] * m_.comp[i].eos->secondVirial(factors(i)) * m_.comp[i].eos->rhor;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) {
                const Mixture::Pair& p = m_.pair(i, j);
                if (p.F != 0) // the departure functions' reducing density is 1
                    sum += x_[i] * x_[j] * p.F * p.departure.secondVirial(factors(i * n + j + n));
            }
        return sum * red_.vr;
    }

    // p and dp/drho at molar density rho.
    std::pair<double, double> pressure(double rho) const noexcept {
        const DeltaDerivatives r = atDelta(delta(rho));
        const double RT = kMixtureR * T_;
        return {rho * RT * (1 + r.d), RT * (1 + 2 * r.d + r.dd)};
    }

    // The whole residual part; with X, also d alpha_r / d x_i at constant tau and delta.
    Helmholtz full(double delta, double* X = nullptr) const noexcept {
        Helmholtz r;
        const std::size_t n = m_.n();
        double a[kMaxComponents * kMaxComponents + kMaxComponents];
        for (std::size_t i = 0; i < n; ++i) {
            const Helmholtz c = m_.comp[i].eos->residual(factors(i), tau_, delta);
            add(r, c, x_[i]);
            a[i] = c.a;
        }
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) {
                const Mixture::Pair& p = m_.pair(i, j);
                a[i * n + j + n] = 0;
                if (p.F == 0)
                    continue;
                const Helmholtz c = p.departure.residual(factors(i * n + j + n), tau_, delta);
                add(r, c, x_[i] * x_[j] * p.F);
                a[i * n + j + n] = p.F * c.a;
            }
        if (X != nullptr)
            for (std::size_t i = 0; i < n; ++i) {
                X[i] = a[i];
                for (std::size_t j = 0; j < n; ++j)
                    if (j != i)
                        X[i] += x_[j] * a[std::min(i, j) * n + std::max(i, j) + n];
            }
        return r;
    }

private:
    static void add(Helmholtz& r, const Helmholtz& c, double w) noexcept {
        r.a += w * c.a;
        r.d += w * c.d;
        r.dd += w * c.dd;
        r.t += w * c.t;
        r.tt += w * c.tt;
        r.dt += w * c.dt;
    }
    double* factors(std::size_t k) noexcept { return buffer_.data() + m_.factorOffset[k]; }
    const double* factors(std::size_t k) const noexcept {
        return buffer_.data() + m_.factorOffset[k];
    }

    const Mixture& m_;
    const Composition& x_;
    Reducing red_;
    double T_, tau_;
    std::vector<double> buffer_; // tau factors of the components, then of the pairs
};

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

// The same at the blend's own composition, from its combined equation grouped by density
// exponents: the factors live on the stack (the blend's reader refuses an equation with
// more terms than fit), from their expansions in T where these cover T.
class BlendIsotherm {
public:
    BlendIsotherm(const Mixture& m, double T) noexcept
        : g_(m.ownDensity), T_(T), tau_(m.own.Tr / T) {
        if (m.factors.covers(T))
            m.factors.eval(T, f_.data());
        else
            ownFactors(m, tau_, f_.data());
    }
    BlendIsotherm(const BlendIsotherm&) = delete;
    BlendIsotherm& operator=(const BlendIsotherm&) = delete;

    double vr() const noexcept { return 1 / g_.rhor; }
    double delta(double rho) const noexcept { return rho / g_.rhor; }
    // m3/mol: the combined equation's reducing density is molar.
    double secondVirial() const noexcept { return g_.secondVirial(f_.data()); }
    std::pair<double, double> pressure(double rho) const noexcept {
        const DeltaDerivatives r = g_.residualDelta(f_.data(), delta(rho));
        const double RT = kMixtureR * T_;
        return {rho * RT * (1 + r.d), RT * (1 + 2 * r.d + r.dd)};
    }
    // From the groups: their tau factors already carry the tau derivatives.
    Helmholtz full(double delta) const noexcept {
        const double* f1 = f_.data() + g_.termCount();
        return groupedResidual(g_, f_.data(), f1, f1 + g_.power.size(), tau_, delta);
    }

private:
    const FluidData& g_;
    double T_, tau_;
    std::array<double, 3 * kMaxOwnTerms> f_;
};

// The density root of p(rho) = p on the liquid or the vapour branch, by Newton's method
// inside a bracket, from `start` (or the ideal gas for the vapour). The liquid branch is
// convex and the vapour branch concave, so Newton's method settles onto the root; where a
// step leaves the bracket or the slope is not positive, bisection or a step towards the
// branch takes over.
template <class Iso>
Result<double> densityRoot(const Iso& iso, double T, double p, double start, bool liquid,
                           double rhoMin, double rhoMax) noexcept {
    double lo = rhoMin, hi = rhoMax;
    double rho = start;
    if (!(rho > 0)) {
        // The virial estimate Z = 1 + B rho, or the ideal gas when it has no root.
        const double c = p / (kMixtureR * T);
        const double disc = 1 + 4 * iso.secondVirial() * c;
        rho = disc > 0 ? 2 * c / (1 + std::sqrt(disc)) : c;
    }
    if (!(rho > lo && rho < hi))
        rho = std::isfinite(hi) ? 0.5 * (lo + hi) : 2 * lo;
    for (int i = 0; i < kMaxIterations; ++i) {
        const auto [pr, slope] = iso.pressure(rho);
        if (!std::isfinite(pr) || !std::isfinite(slope))
            return failure<double>(Status::NoConvergence);
        const double diff = pr - p;
        // Newton's method converges quadratically here: after a step below 1e-10 of the
        // density, the stepped value is exact to rounding.
        if (slope > 0 && std::abs(diff) <= 1e-10 * rho * slope)
            return {rho - diff / slope, Status::Ok};
        if (slope <= 0) {
            if (liquid)
                lo = rho;
            else
                hi = rho;
        } else if (diff > 0) {
            hi = rho;
        } else {
            lo = rho;
        }
        double next = slope > 0 ? rho - diff / slope : kNaN;
        if (!(next > lo && next < hi))
            next = std::isfinite(hi) ? 0.5 * (lo + hi) : 1.5 * rho;
        if (std::abs(next - rho) <= 1e-15 * rho)
            return failure<double>(Status::NoConvergence);
        rho = next;
    }
    return failure<double>(Status::NoConvergence);
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

} // namespace

double mixturePressure(const Mixture& m, double T, double rho, const Composition& x) noexcept {
    const MixIsotherm iso(m, T, x);
    return iso.pressure(rho).first;
}

void lnFugacityCoefficients(const Mixture& m, double T, double rho, const Composition& x,
                            double* out) noexcept {
    const MixIsotherm iso(m, T, x);
    lnPhi(iso, m, rho, x, out);
}

namespace {

// Phase densities at (T, p): liquid of composition x, vapour of composition y. The
// liquid lies above the reducing density of its composition, the vapour below it.
bool phaseDensities(const Mixture& m, double T, double p, Equilibrium& e, const MixIsotherm& li,
                    const MixIsotherm& vi) noexcept {
    const double rhoRL = 1 / li.vr(), rhoRV = 1 / vi.vr();
    const auto rl =
        densityRoot(li, T, p, e.rhoL, true, rhoRL, std::numeric_limits<double>::infinity());
    const auto rv = densityRoot(vi, T, p, e.rhoV, false, 0, rhoRV);
    (void)m;
    if (!rl || !rv || !(rl.value > 1.02 * rv.value))
        return false;
    e.rhoL = rl.value;
    e.rhoV = rv.value;
    return true;
}

} // namespace

Result<Equilibrium> saturationAtTemperature(const Mixture& m, double T, bool dew,
                                            const Equilibrium& start) noexcept {
    const std::size_t n = m.n();
    Equilibrium e = start;
    e.T = T;
    const bool fitted = !m.lnPdew.empty() && !m.lnPbub.empty() && T >= m.lnPdew.xmin() &&
                        T <= std::min(m.lnPdew.xmax(), m.lnPbub.xmax());
    if (!(e.p > 0) && fitted) {
        // From the blend's curves, the incipient phase at first of the blend's composition.
        e.p = std::exp((dew ? m.lnPdew : m.lnPbub).eval(T));
        e.rhoL = m.rhoBub.eval(T);
        e.rhoV = m.rhoDew.eval(T);
        e.x = e.y = m.z;
    } else if (!(e.p > 0)) {
        // Raoult's law from the components' vapour pressures, ideal mixing of the
        // liquids' volumes.
        double sum = 0, vL = 0;
        double ps[kMaxComponents];
        for (std::size_t i = 0; i < n; ++i) {
            const auto pi = m.comp[i].fluid->dewPressure(T);
            const auto li = m.comp[i].fluid->saturatedLiquid(T);
            if (!pi || !li)
                return failure<Equilibrium>(Status::OutOfRange);
            ps[i] = pi.value;
            sum += dew ? m.z[i] / ps[i] : m.z[i] * ps[i];
            vL += m.z[i] * m.comp[i].M / li.value.rho;
        }
        e.p = dew ? 1 / sum : sum;
        for (std::size_t i = 0; i < n; ++i) {
            e.x[i] = dew ? m.z[i] * e.p / ps[i] : m.z[i];
            e.y[i] = dew ? m.z[i] : m.z[i] * ps[i] / e.p;
        }
        e.rhoL = 1 / vL;
        e.rhoV = 0;
    }
    if (dew)
        e.y = m.z;
    else
        e.x = m.z;
    // Successive substitution: K_i = phi_L,i / phi_V,i sets the incipient phase, and the
    // pressure moves by the factor that makes its fractions sum to one.
    double lastStep[kMaxComponents] = {}, lastLnP = 0, lastLnS = 0;
    const MixIsotherm fixed(m, T, dew ? e.y : e.x); // the phase of the blend's composition
    for (int it = 0; it < 4 * kMaxIterations; ++it) {
        const MixIsotherm moving(m, T, dew ? e.x : e.y);
        const MixIsotherm& li = dew ? moving : fixed;
        const MixIsotherm& vi = dew ? fixed : moving;
        if (!phaseDensities(m, T, e.p, e, li, vi))
            return failure<Equilibrium>(Status::NoConvergence);
        double fl[kMaxComponents], fv[kMaxComponents], K[kMaxComponents];
        lnPhi(li, m, e.rhoL, e.x, fl);
        lnPhi(vi, m, e.rhoV, e.y, fv);
        double S = 0;
        for (std::size_t i = 0; i < n; ++i) {
            K[i] = std::exp(fl[i] - fv[i]);
            S += dew ? e.y[i] / K[i] : e.x[i] * K[i];
        }
        if (!std::isfinite(S) || !(S > 0))
            return failure<Equilibrium>(Status::NoConvergence);
        double change = std::abs(S - 1);
        Composition& c = dew ? e.x : e.y;
        double step[kMaxComponents], dot = 0, cross = 0;
        for (std::size_t i = 0; i < n; ++i) {
            step[i] = (dew ? e.y[i] / K[i] / S : e.x[i] * K[i] / S) - c[i];
            change = std::max(change, std::abs(step[i]));
            dot += step[i] * step[i];
            cross += step[i] * lastStep[i];
        }
        // Converged: the phases, their densities and the pressure as they were solved.
        if (change <= 1e-11)
            return {e, Status::Ok};
        for (std::size_t i = 0; i < n; ++i)
            c[i] += step[i];
        // The steps shrink by a nearly constant factor: every few steps, jump to the
        // limit of that geometric series (the dominant-eigenvalue method).
        const double ratio = dot / cross;
        if (it % 4 == 3 && ratio > 0 && ratio < 0.95) {
            double sum = 0;
            for (std::size_t i = 0; i < n; ++i) {
                c[i] = std::max(c[i] + step[i] * ratio / (1 - ratio), 1e-3 * c[i]);
                sum += c[i];
            }
            for (std::size_t i = 0; i < n; ++i)
                c[i] /= sum;
        }
        std::copy(step, step + n, lastStep);
        // The pressure: ln S falls (bubble) or rises (dew) with ln p at a slope near one
        // for ideal phases; the slope measured between steps serves once it is known.
        const double lnS = std::log(S), lnP = std::log(e.p);
        double slope = dew ? 1 : -1;
        if (it > 0 && std::abs(lnP - lastLnP) > 1e-12) {
            const double g = (lnS - lastLnS) / (lnP - lastLnP);
            if (dew ? (g > 0.2 && g < 5) : (g < -0.2 && g > -5))
                slope = g;
        }
        lastLnP = lnP;
        lastLnS = lnS;
        e.p = std::exp(lnP - lnS / slope);
    }
    return failure<Equilibrium>(Status::NoConvergence);
}

} // namespace asere

namespace asere {

namespace {

// The state at (T, molar density) of the blend's own composition, with the reference
// state's offsets dh and ds.
template <class Iso>
State blendState(const Mixture& m, double dh, double ds, const Iso& iso, double T, double rho);

constexpr double kLowestT = 200;   // K: the bottom of a blend's saturation curves
constexpr int kDegree = 12;        // of each Chebyshev piece
constexpr double kPieceWidth = 20; // K
constexpr double kMinPieceWidth = 0.3;
constexpr double kMinDensityRatio = 2.5; // liquid over vapour: nearer the critical point
                                         // than this the curves are not expanded
constexpr double kPi = 3.14159265358979323846;

// The piece through values at the Chebyshev-Lobatto nodes of [a, b], given in rising
// temperature.
Chebyshev::Piece lobattoPiece(double a, double b, const double* rising) {
    Chebyshev::Piece piece{a, b, std::vector<double>(kDegree + 1), true};
    for (int k = 0; k <= kDegree; ++k) {
        double sum = 0;
        for (int j = 0; j <= kDegree; ++j) // node j sits at u = cos(pi j / N)
            sum += (j == 0 || j == kDegree ? 0.5 : 1.0) * rising[kDegree - j] *
                   std::cos(kPi * j * k / kDegree);
        piece.c[k] = 2.0 / kDegree * sum * (k == 0 || k == kDegree ? 0.5 : 1.0);
    }
    return piece;
}

double lobattoNode(double a, double b, int j) {
    if (j == 0)
        return a;
    if (j == kDegree)
        return b;
    return 0.5 * (a + b) - 0.5 * (b - a) * std::cos(kPi * j / kDegree);
}

// A start for the solution at T from the two before it: ln p, the compositions and the
// densities extrapolated linearly.
Equilibrium extrapolate(const Equilibrium& before, const Equilibrium& last, double T,
                        std::size_t n) {
    Equilibrium e = last;
    if (!(before.p > 0) || before.T == last.T)
        return e;
    const double f = (T - last.T) / (last.T - before.T);
    const auto line = [f](double b, double l) { return l + (l - b) * f; };
    e.p = last.p * std::exp(std::log(last.p / before.p) * f);
    e.rhoL = line(before.rhoL, last.rhoL);
    e.rhoV = line(before.rhoV, last.rhoV);
    double sx = 0, sy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        e.x[i] = std::max(line(before.x[i], last.x[i]), 0.5 * last.x[i]);
        e.y[i] = std::max(line(before.y[i], last.y[i]), 0.5 * last.y[i]);
        sx += e.x[i];
        sy += e.y[i];
    }
    for (std::size_t i = 0; i < n; ++i) {
        e.x[i] /= sx;
        e.y[i] /= sy;
    }
    return e;
}

Result<Equilibrium> solveAt(const Mixture& m, double T, bool dew, const Equilibrium& start) {
    auto r = saturationAtTemperature(m, T, dew, start);
    if (r && !(r.value.rhoL > kMinDensityRatio * r.value.rhoV))
        return failure<Equilibrium>(Status::OutOfRange);
    return r;
}

// The bubble (dew = false) or dew curve from kLowestT upwards, piece by piece, each
// checked against the solver between its nodes; narrower pieces towards the critical
// region, where the curve stops. Returns the top temperature.
double fitCurve(const Mixture& m, bool dew, Chebyshev& lnp, Chebyshev& rho, Chebyshev& h) {
    // The enthalpy of the phase of the blend's composition (before the reference state).
    const auto enthalpy = [&m, dew](const Equilibrium& e) {
        const BlendIsotherm iso(m, e.T);
        return blendState(m, 0, 0, iso, e.T, dew ? e.rhoV : e.rhoL).h;
    };
    auto first = solveAt(m, kLowestT, dew, Equilibrium{});
    if (!first)
        return kLowestT;
    Equilibrium base = first.value, before = Equilibrium{};
    double a = kLowestT, width = kPieceWidth;
    while (width >= kMinPieceWidth) {
        const double b = a + width;
        Equilibrium nodes[kDegree + 1];
        nodes[0] = base;
        bool ok = true;
        Equilibrium prev = before;
        for (int j = 1; j <= kDegree && ok; ++j) {
            const double T = lobattoNode(a, b, j);
            const auto r = solveAt(m, T, dew, extrapolate(prev, nodes[j - 1], T, m.n()));
            ok = r.ok();
            if (ok) {
                prev = nodes[j - 1];
                nodes[j] = r.value;
            }
        }
        Chebyshev::Piece pl, pr, ph;
        if (ok) {
            double vl[kDegree + 1], vr[kDegree + 1], vh[kDegree + 1];
            for (int j = 0; j <= kDegree; ++j) {
                vl[j] = std::log(nodes[j].p);
                vr[j] = dew ? nodes[j].rhoV : nodes[j].rhoL;
                vh[j] = enthalpy(nodes[j]);
            }
            pl = lobattoPiece(a, b, vl);
            pr = lobattoPiece(a, b, vr);
            ph = lobattoPiece(a, b, vh);
            // Between nodes the expansions must stand for the solver.
            Chebyshev cl, cr, ch;
            cl.pieces.push_back(pl);
            cr.pieces.push_back(pr);
            ch.pieces.push_back(ph);
            for (int j : {1, kDegree / 2, kDegree - 1}) {
                const double T = 0.5 * (lobattoNode(a, b, j) + lobattoNode(a, b, j + 1));
                const auto r = solveAt(m, T, dew, extrapolate(nodes[j - 1], nodes[j], T, m.n()));
                const double rv = r ? (dew ? r.value.rhoV : r.value.rhoL) : kNaN;
                if (!r || !(std::abs(cl.eval(T) - std::log(r.value.p)) <= 1e-10) ||
                    !(std::abs(cr.eval(T) - rv) <= 1e-10 * rv) ||
                    !(std::abs(ch.eval(T) - enthalpy(r.value)) <= 1e-6)) {
                    ok = false;
                    break;
                }
            }
        }
        if (!ok) {
            width /= 2;
            continue;
        }
        lnp.pieces.push_back(std::move(pl));
        rho.pieces.push_back(std::move(pr));
        h.pieces.push_back(std::move(ph));
        before = nodes[kDegree - 1];
        base = nodes[kDegree];
        a = b;
    }
    return a;
}

} // namespace

} // namespace asere

// Reading a blend file, and the property calls of a blend.
#include "loader.h"

#include <atomic>
#include <nlohmann/json.hpp>

namespace asere {

namespace {

using nlohmann::json;

// Blends take ids from the top half, fluid files from the bottom: ids key the caches.
std::atomic<std::uint64_t> nextBlendId{std::uint64_t{1} << 62};
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

// The combined equation of the blend's own composition (Mixture::own).
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

// Mixture::ownDensity and Mixture::groupOf from Mixture::own.
void groupByDensity(Mixture& m) {
    FluidData& g = m.ownDensity;
    g = FluidData{};
    g.Tr = m.own.Tr;
    g.rhor = m.own.rhor;
    m.groupOf.clear();
    const auto join = [&](const PowerTerm& k) {
        std::size_t i = 0;
        while (i < g.power.size() && !(g.power[i].d == k.d && g.power[i].l == k.l))
            ++i;
        if (i == g.power.size())
            g.power.push_back({1, k.d, 0, k.l, k.di, k.li});
        m.groupOf.push_back(i);
    };
    for (const PowerTerm& k : m.own.power)
        join(k);
    for (const PowerExpTauTerm& k : m.own.powerExpTau)
        join(k.power);
    g.gaussian = m.own.gaussian;
}

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

// Expansions of `count` functions of T over [Tlo, Thi], values(T, out) giving their
// values: pieces of kN coefficients, halved until each expansion matches its function to
// 1e-12 of max(1, |value|) between the nodes. Left empty where that fails.
template <class Values>
void fitShared(SharedExpansion& e, std::size_t count, double Tlo, double Thi, Values values) {
    constexpr int kN = 12;                                  // coefficients per piece
    constexpr double kTolerance = 1e-12, kNarrowest = 0.25; // K
    static_assert(kN >= 2 && kN <= kMaxExpansionTerms);
    e = SharedExpansion{count, kN, {Tlo}, {}};
    std::vector<double> v(count), w(count);
    double a = Tlo, width = 20;
    while (a < Thi) {
        const double b = std::min(Thi, a + width);
        std::vector<double> c(kN * count, 0.0);
        for (int j = 0; j < kN; ++j) {
            const double theta = std::numbers::pi * (j + 0.5) / kN;
            values(0.5 * (a + b) + 0.5 * (b - a) * std::cos(theta), v.data());
            for (int k = 0; k < kN; ++k) {
                const double t = (k == 0 ? 1.0 : 2.0) / kN * std::cos(k * theta);
                for (std::size_t s = 0; s < count; ++s)
                    c[k * count + s] += t * v[s];
            }
        }
        e.edges.push_back(b);
        e.c.push_back(std::move(c));
        bool good = true;
        for (int j = 0; j <= 2 * kN && good; ++j) {
            const double T = a + (b - a) * (j + 0.5) / (2 * kN + 1);
            values(T, v.data());
            e.eval(T, w.data());
            for (std::size_t s = 0; s < count && good; ++s)
                good = std::abs(w[s] - v[s]) <= kTolerance * std::max(1.0, std::abs(v[s]));
        }
        if (!good) {
            e.edges.pop_back();
            e.c.pop_back();
            if (width <= kNarrowest) {
                e = SharedExpansion{};
                return;
            }
            width /= 2;
            continue;
        }
        a = b;
        width = std::min(2 * width, 20.0);
    }
}

// Mixture::ideal and Mixture::factors over [Tlo, Thi].
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

template <class Iso>
State blendState(const Mixture& m, double dh, double ds, const Iso& iso, double T, double rho) {
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
    m->own = ownEquation(*m);
    groupByDensity(*m);
    if (m->own.termCount() > kMaxOwnTerms)
        r.fail("the components' equations have more than " + std::to_string(kMaxOwnTerms) +
               " terms together");

    const double topDew = fitCurve(*m, true, m->lnPdew, m->rhoDew, m->hDew);
    const double topBub = fitCurve(*m, false, m->lnPbub, m->rhoBub, m->hBub);
    if (m->lnPdew.empty() || m->lnPbub.empty())
        r.fail("the blend's saturation curve can't be computed");
    for (auto [c, edges] : {std::pair{&m->lnPdew, &m->dewEdges}, {&m->lnPbub, &m->bubEdges}}) {
        for (const auto& p : c->pieces)
            edges->push_back(c->eval(p.xmin));
        edges->push_back(c->eval(c->xmax()));
        for (std::size_t i = 1; i < edges->size(); ++i)
            if (!((*edges)[i] > (*edges)[i - 1]))
                r.fail("the blend's saturation pressure does not rise with temperature");
    }

    const Reducing red = reducing(*m, m->z);
    f->id = nextBlendId.fetch_add(1);
    f->blend = true;
    f->molarMass = m->M;
    f->R = kMixtureR / m->M;
    f->Tr = red.Tr;
    f->rhor = m->M / red.vr;
    f->Ttriple = kLowestT;
    f->TsatMax = std::min(topDew, topBub);
    f->pc = std::exp(m->lnPbub.eval(f->TsatMax));
    // The range of the equations: their limits weighted by mole fraction.
    for (std::size_t i = 0; i < m->n(); ++i) {
        f->Tmax += m->z[i] * m->comp[i].eos->Tmax;
        f->pmax += m->z[i] * m->comp[i].eos->pmax;
    }
    fitTemperatureParts(*m, kLowestT, f->Tmax);
    f->mixture = m;
    // IIR reference state.
    const auto liquid = mixtureSaturatedState(*f, 273.15, false);
    if (!liquid)
        r.fail("the reference state (saturated liquid at 0 degC) can't be computed");
    f->dh = 200000.0 - liquid.value.h;
    f->ds = 1000.0 - liquid.value.s;
    return f;
}

Result<double> mixtureSaturationPressure(const FluidData& f, double T, bool dew) noexcept {
    const Mixture& m = *f.mixture;
    return {std::exp((dew ? m.lnPdew : m.lnPbub).eval(T)), Status::Ok};
}

Result<double> mixtureSaturationTemperature(const FluidData& f, double p, bool dew) noexcept {
    if (!std::isfinite(p) || !(p > 0))
        return failure<double>(Status::BadArgument);
    const Mixture& m = *f.mixture;
    const Chebyshev& c = dew ? m.lnPdew : m.lnPbub;
    const std::vector<double>& edges = dew ? m.dewEdges : m.bubEdges;
    const double target = std::log(p);
    if (target < edges.front() || target > edges.back())
        return failure<double>(Status::OutOfRange);
    const auto it = std::upper_bound(edges.begin(), edges.end() - 1, target);
    const std::size_t k = std::min<std::size_t>(
        std::max<std::ptrdiff_t>(0, (it - edges.begin()) - 1), c.pieces.size() - 1);
    double lo = c.pieces[k].xmin, hi = c.pieces[k].xmax;
    double flo = edges[k], fhi = edges[k + 1];
    double T = lo + (target - flo) / (fhi - flo) * (hi - lo);
    // Newton's method inside the piece's bracket; ln p rises with T.
    for (int i = 0; i < kMaxIterations; ++i) {
        double slope;
        const double diff = c.eval(T, &slope) - target;
        if (diff == 0)
            return {T, Status::Ok};
        if (diff > 0)
            hi = T;
        else
            lo = T;
        double next = slope > 0 ? T - diff / slope : kNaN;
        if (!(next >= lo && next <= hi))
            next = 0.5 * (lo + hi);
        if (std::abs(next - T) <= 1e-14 * T)
            return {next, Status::Ok};
        T = next;
    }
    return failure<double>(Status::NoConvergence);
}

Result<State> mixtureSaturatedState(const FluidData& f, double T, bool dew) noexcept {
    if (!std::isfinite(T))
        return failure<State>(Status::BadArgument);
    if (T < f.Ttriple || T > f.TsatMax)
        return failure<State>(Status::OutOfRange);
    const Mixture& m = *f.mixture;
    const double rho = (dew ? m.rhoDew : m.rhoBub).eval(T);
    const BlendIsotherm iso(m, T);
    State s = blendState(m, f.dh, f.ds, iso, T, rho);
    s.p = std::exp((dew ? m.lnPdew : m.lnPbub).eval(T));
    if (!usableState(s))
        return failure<State>(Status::OutOfRange);
    return {s, Status::Ok};
}

Result<double> mixtureLiquidEnthalpy(const FluidData& f, double T) noexcept {
    if (!std::isfinite(T))
        return failure<double>(Status::BadArgument);
    if (T < f.Ttriple || T > f.TsatMax)
        return failure<double>(Status::OutOfRange);
    return {f.mixture->hBub.eval(T) + f.dh, Status::Ok};
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

Result<State> mixtureStateAt(const FluidData& f, double T, double rho) noexcept {
    const BlendIsotherm iso(*f.mixture, T);
    const State s = blendState(*f.mixture, f.dh, f.ds, iso, T, rho / f.mixture->M);
    if (!usableState(s))
        return failure<State>(Status::OutOfRange);
    return {s, Status::Ok};
}

Result<Equilibrium> saturationAtPressure(const Mixture& m, const FluidData& f, double p,
                                         bool dew) noexcept {
    // Newton's method on ln p(T) of the rigorous solution, from the expansions' estimate.
    const auto T0 = mixtureSaturationTemperature(f, p, dew);
    if (!T0)
        return failure<Equilibrium>(T0.status);
    double T = T0.value;
    Equilibrium start;
    for (int i = 0; i < kMaxIterations; ++i) {
        const auto e = saturationAtTemperature(m, T, dew, start);
        if (!e)
            return e;
        double slope;
        (dew ? m.lnPdew : m.lnPbub).eval(std::clamp(T, f.Ttriple, f.TsatMax), &slope);
        const double next = T - (std::log(e.value.p) - std::log(p)) / slope;
        if (std::abs(next - T) <= 1e-12 * T)
            return e;
        start = e.value;
        T = next;
    }
    return failure<Equilibrium>(Status::NoConvergence);
}

} // namespace asere

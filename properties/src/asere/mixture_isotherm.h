// The mixture equation at one temperature, shared by the mixture model's sources: the
// reducing functions, the residual part along an isotherm of any composition
// (MixIsotherm) or of the blend's own (BlendIsotherm), the density roots on them, and
// the blend's states.
#pragma once

#include "asere/mixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace asere {

// Every solver of the mixture model gives up after this many steps (the phase
// equilibrium after four times as many).
constexpr int kMixtureIterations = 100;

// Reducing temperature and molar volume of a composition, with their derivatives with
// respect to each mole fraction (the fractions taken as independent).
struct Reducing {
    double Tr = 0, vr = 0;
    Composition dTr{}, dvr{};
};

Reducing reducing(const Mixture& m, const Composition& x) noexcept;

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
void ownFactors(const Mixture& m, double tau, double* out) noexcept;

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
    for (int i = 0; i < kMixtureIterations; ++i) {
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

// ln of the fugacity coefficients of a phase of composition x at molar density rho, on
// its isotherm.
void lnPhi(const MixIsotherm& iso, const Mixture& m, double rho, const Composition& x,
           double* out) noexcept;

// The state at (T, molar density) of the blend's own composition, with the reference
// state's offsets dh and ds.
State blendState(const Mixture& m, double dh, double ds, const BlendIsotherm& iso, double T,
                 double rho);
// Whether a state's pressure, density, enthalpy and entropy are finite and positive
// where they must be.
bool usableState(const State& s);

// The combined equation of the blend's own composition (Mixture::own).
FluidData ownEquation(const Mixture& m);
// Mixture::ideal and Mixture::factors over [Tlo, Thi].
void fitTemperatureParts(Mixture& m, double Tlo, double Thi);

} // namespace asere

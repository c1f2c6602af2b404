// Evaluation of the equation of state and of the ancillary equations.
#include "asere/fluid_data.h"
#include "asere/mixture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace asere {

int tableIndex(double exponent) noexcept {
    if (exponent >= 0 && exponent <= kMaxTableExponent && exponent == std::floor(exponent))
        return static_cast<int>(exponent);
    return -1;
}

namespace {

// v exp(x) for the small change x of an exponential's argument; false where x is too
// large for the series to degree 6: up to 1e-2 its first omitted term, x^7 / 5040, stays
// below the rounding of v.
bool carry(double& v, double x) noexcept {
    constexpr double kMaxChange = 1e-2;
    if (!(std::abs(x) <= kMaxChange))
        return false;
    const double series =
        1 + x * (0.5 + x * (1.0 / 6 + x * (1.0 / 24 + x * (1.0 / 120 + x * (1.0 / 720)))));
    v += v * (x * series);
    return true;
}

} // namespace

void DensityParts::moveTo(double delta, const std::vector<GaussianTerm>& gaussian) noexcept {
    const double old = pw_[1];
    if (delta == old)
        return;
    // exp(-delta^l) of the new delta: exp(-old^l) exp(old^l - delta^l).
    double oldPw[kMaxTableExponent + 1];
    for (std::uint32_t rest = haveEl_; rest != 0; rest &= rest - 1)
        oldPw[std::countr_zero(rest)] = pw_[std::countr_zero(rest)];
    powersOf(delta);
    for (std::uint32_t rest = haveEl_; rest != 0; rest &= rest - 1) {
        const int l = std::countr_zero(rest);
        if (!carry(el_[l], oldPw[l] - pw_[l]))
            haveEl_ &= ~(1u << l);
    }
    haveLn_ = false;
    // (delta - epsilon)^2 - (old - epsilon)^2 = (delta - old) (delta + old - 2 epsilon)
    const double h = delta - old;
    for (std::uint32_t rest = haveGauss_; rest != 0; rest &= rest - 1) {
        const int k = std::countr_zero(rest);
        const GaussianTerm& g = gaussian[static_cast<std::size_t>(k)];
        if (!carry(gauss_[k], -g.eta * h * (delta + old - 2 * g.epsilon)))
            haveGauss_ &= ~(std::uint32_t{1} << k);
    }
}

namespace {

// delta^d and, for l > 0, l delta^l and exp(-delta^l) of a power term.
struct PowerParts {
    double dpow, ldl, ex;
};

inline PowerParts powerParts(const PowerTerm& k, DensityParts& dp) noexcept {
    PowerParts r;
    r.dpow = dp.power(k.di, k.d);
    if (k.li == 0) {
        r.ldl = 0;
        r.ex = 1;
    } else if (k.li > 0) {
        r.ldl = k.l * dp.pw(k.li);
        r.ex = dp.expMinus(k.li);
    } else {
        const double pl = dp.power(-1, k.l);
        r.ldl = k.l * pl;
        r.ex = std::exp(-pl);
    }
    return r;
}

// Adds the Gaussian terms, with their tau factors tf, to r.
void addGaussian(const std::vector<GaussianTerm>& terms, const double* tf, double tau, double delta,
                 DensityParts& dp, Helmholtz& r) noexcept {
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const GaussianTerm& k = terms[i];
        const double dm = delta - k.epsilon;
        const double tm = tau - k.gamma;
        const double dpow = dp.power(k.di, k.d);
        const double a = *tf++ * dpow * dp.gaussianExp(i, k);
        const double gd = k.d - 2 * k.eta * delta * dm;
        const double gt = k.t - 2 * k.beta * tau * tm;
        r.a += a;
        r.d += a * gd;
        r.dd += a * (gd * gd - k.d - 2 * k.eta * delta * delta);
        r.t += a * gt;
        r.tt += a * (gt * gt - k.t - 2 * k.beta * tau * tau);
        r.dt += a * gd * gt;
    }
}

} // namespace

Helmholtz groupedResidual(const FluidData& g, const double* f0, const double* f1, const double* f2,
                          double tau, double delta) noexcept {
    Helmholtz r;
    DensityParts dp(delta);
    for (std::size_t i = 0; i < g.power.size(); ++i) {
        const PowerTerm& k = g.power[i];
        const PowerParts pp = powerParts(k, dp);
        const double D = pp.dpow * pp.ex;
        const double a = f0[i] * D, at = f1[i] * D;
        const double dd = k.d - pp.ldl;
        r.a += a;
        r.d += a * dd;
        r.dd += a * (dd * dd - k.d - (k.l - 1) * pp.ldl);
        r.t += at;
        r.tt += f2[i] * D;
        r.dt += at * dd;
    }
    addGaussian(g.gaussian, f0 + g.power.size(), tau, delta, dp, r);
    return r;
}

Helmholtz FluidData::residual(const double* tf, double tau, double delta) const noexcept {
    DensityParts dp(delta);
    return residual(tf, tau, dp);
}

Helmholtz FluidData::residual(const double* tf, double tau, DensityParts& dp) const noexcept {
    Helmholtz r;
    const double delta = dp.delta();
    for (const PowerTerm& k : power) {
        const PowerParts pp = powerParts(k, dp);
        const double a = *tf++ * pp.dpow * pp.ex;
        const double dd = k.d - pp.ldl;
        r.a += a;
        r.d += a * dd;
        r.dd += a * (dd * dd - k.d - (k.l - 1) * pp.ldl);
        r.t += a * k.t;
        r.tt += a * k.t * (k.t - 1);
        r.dt += a * k.t * dd;
    }
    addGaussian(gaussian, tf, tau, delta, dp, r);
    tf += gaussian.size();
    for (const PowerExpTauTerm& e : powerExpTau) {
        const PowerTerm& k = e.power;
        const PowerParts pp = powerParts(k, dp);
        const double a = *tf++ * pp.dpow * pp.ex;
        const double dd = k.d - pp.ldl;
        const double mtm = e.m * std::pow(tau, e.m);
        const double g = k.t - mtm; // tau d ln(tau^t exp(-tau^m)) / d tau
        r.a += a;
        r.d += a * dd;
        r.dd += a * (dd * dd - k.d - (k.l - 1) * pp.ldl);
        r.t += a * g;
        r.tt += a * (g * g - g - e.m * mtm);
        r.dt += a * g * dd;
    }
    if (!nonAnalytic.empty())
        addNonAnalytic(tau, delta, r);
    return r;
}

void FluidData::addNonAnalytic(double tau, double delta, Helmholtz& r) const noexcept {
    // At tau = delta = 1, Delta = 0 and Delta^(b - 1) is infinite: even the first
    // derivatives are 0 times infinity there. Ten machine epsilons away they are finite.
    constexpr double kNudge = 10 * std::numeric_limits<double>::epsilon();
    if (std::abs(tau - 1) < kNudge)
        tau = 1 + kNudge;
    if (std::abs(delta - 1) < kNudge)
        delta = 1 + kNudge;
    const double dm = delta - 1, tm = tau - 1;
    // Powers are taken of q = (delta - 1)^2, which is positive on both sides of the
    // critical density (and at least (10 epsilon)^2); delta - 1 itself is negative on the
    // vapour side.
    const double q = dm * dm, lnq = std::log(q);
    // Terms that differ only in n and b share everything but Delta^(b - 1).
    const NonAnalyticTerm* last = nullptr;
    double theta = 0, Delta = 0, lnDelta = 0, thD = 0, DeltaD = 0, DeltaDD = 0;
    double psi = 0, psiD = 0, psiT = 0, psiDD = 0, psiTT = 0, psiDT = 0;
    for (const NonAnalyticTerm& k : nonAnalytic) {
        if (!last || k.a != last->a || k.beta != last->beta || k.A != last->A || k.B != last->B ||
            k.C != last->C || k.D != last->D) {
            const double e = 1 / (2 * k.beta);
            const double qe1 = std::exp((e - 1) * lnq), qa1 = std::exp((k.a - 1) * lnq);
            theta = -tm + k.A * q * qe1;
            Delta = theta * theta + k.B * q * qa1;
            lnDelta = std::log(Delta);
            thD = k.A / k.beta * dm * qe1;
            const double thDD = k.A / k.beta * (1 / k.beta - 1) * qe1;
            DeltaD = 2 * theta * thD + 2 * k.a * k.B * dm * qa1;
            DeltaDD = 2 * (theta * thDD + thD * thD) + 2 * k.a * k.B * (2 * k.a - 1) * qa1;
            psi = std::exp(-k.C * q - k.D * tm * tm);
            psiD = -2 * k.C * dm * psi;
            psiT = -2 * k.D * tm * psi;
            psiDD = 2 * k.C * (2 * k.C * q - 1) * psi;
            psiTT = 2 * k.D * (2 * k.D * tm * tm - 1) * psi;
            psiDT = 4 * k.C * k.D * dm * tm * psi;
            last = &k;
        }
        const double b1 = std::exp((k.b - 1) * lnDelta), b2 = b1 / Delta; // Delta^(b-1), ^(b-2)
        const double F = b1 * Delta;
        const double FD = k.b * b1 * DeltaD;
        const double FT = -2 * theta * k.b * b1;
        const double FTT = 2 * k.b * b1 + 4 * theta * theta * k.b * (k.b - 1) * b2;
        const double FDD = k.b * (b1 * DeltaDD + (k.b - 1) * b2 * DeltaD * DeltaD);
        const double FDT = -2 * k.b * b1 * thD - 2 * theta * k.b * (k.b - 1) * b2 * DeltaD;
        const double n = k.n;
        r.a += n * delta * F * psi;
        r.d += delta * n * (F * (psi + delta * psiD) + delta * FD * psi);
        r.dd +=
            delta * delta * n *
            (F * (2 * psiD + delta * psiDD) + 2 * FD * (psi + delta * psiD) + delta * FDD * psi);
        r.t += tau * n * delta * (FT * psi + F * psiT);
        r.tt += tau * tau * n * delta * (FTT * psi + 2 * FT * psiT + F * psiTT);
        r.dt += delta * tau * n *
                (F * (psiT + delta * psiDT) + delta * FD * psiT + FT * (psi + delta * psiD) +
                 delta * FDT * psi);
    }
}

double FluidData::secondVirial(const double* tf) const noexcept {
    // delta a_d tends to delta * (sum over the terms with d = 1 of their factors).
    double sum = 0;
    for (const PowerTerm& k : power) {
        if (k.d == 1)
            sum += *tf;
        ++tf;
    }
    for (const GaussianTerm& k : gaussian) {
        if (k.d == 1)
            sum += *tf * k.atZero;
        ++tf;
    }
    for (const PowerExpTauTerm& e : powerExpTau) {
        if (e.power.d == 1)
            sum += *tf;
        ++tf;
    }
    return sum / rhor;
}

namespace {

// tau^t by multiplication from tau^(1/4) where 4t is a whole number (most equations'
// exponents are), else by exp and log.
class TauPowers {
public:
    explicit TauPowers(double tau) noexcept : tau_(tau), lnTau_(std::log(tau)) {}
    double lnTau() const noexcept { return lnTau_; }
    double operator()(double t) noexcept {
        const double quarters = 4 * t;
        if (quarters != std::floor(quarters) || std::abs(quarters) > kMaxQuarters)
            return std::exp(t * lnTau_);
        if (quarter_ == 0)
            quarter_ = std::sqrt(std::sqrt(tau_));
        double r = 1, b = quarter_;
        for (auto n = static_cast<unsigned>(std::abs(quarters)); n != 0; n >>= 1) {
            if (n & 1)
                r *= b;
            b *= b;
        }
        return quarters < 0 ? 1 / r : r;
    }

private:
    static constexpr double kMaxQuarters = 256;
    double tau_, lnTau_, quarter_ = 0;
};

} // namespace

void FluidData::tauFactors(double tau, double* out) const noexcept {
    TauPowers tp(tau);
    const double lnTau = tp.lnTau();
    // Terms often share their tau exponent with the term before them.
    double lastT = 0, lastPow = 1;
    for (const PowerTerm& k : power) {
        if (k.t != lastT) {
            lastT = k.t;
            lastPow = tp(k.t);
        }
        *out++ = k.n * lastPow;
    }
    for (const GaussianTerm& k : gaussian) {
        const double tm = tau - k.gamma;
        *out++ = k.n * std::exp(k.t * lnTau - k.beta * tm * tm);
    }
    for (const PowerExpTauTerm& e : powerExpTau)
        *out++ = e.power.n * std::exp(e.power.t * lnTau - tp(e.m));
}

DeltaDerivatives FluidData::residualDelta(const double* tf, double delta) const noexcept {
    DensityParts dp(delta);
    return residualDelta(tf, dp);
}

DeltaDerivatives FluidData::residualDelta(const double* tf, DensityParts& dp) const noexcept {
    DeltaDerivatives r;
    const double delta = dp.delta();
    for (const PowerTerm& k : power) {
        const PowerParts pp = powerParts(k, dp);
        const double a = *tf++ * pp.dpow * pp.ex;
        const double dd = k.d - pp.ldl;
        r.d += a * dd;
        r.dd += a * (dd * dd - k.d - (k.l - 1) * pp.ldl);
    }
    for (std::size_t i = 0; i < gaussian.size(); ++i) {
        const GaussianTerm& k = gaussian[i];
        const double dm = delta - k.epsilon;
        const double dpow = dp.power(k.di, k.d);
        const double a = *tf++ * dpow * dp.gaussianExp(i, k);
        const double gd = k.d - 2 * k.eta * delta * dm;
        r.d += a * gd;
        r.dd += a * (gd * gd - k.d - 2 * k.eta * delta * delta);
    }
    for (const PowerExpTauTerm& e : powerExpTau) {
        const PowerTerm& k = e.power;
        const PowerParts pp = powerParts(k, dp);
        const double a = *tf++ * pp.dpow * pp.ex;
        const double dd = k.d - pp.ldl;
        r.d += a * dd;
        r.dd += a * (dd * dd - k.d - (k.l - 1) * pp.ldl);
    }
    return r;
}

Helmholtz FluidData::idealGas(double tau, double delta) const noexcept {
    Helmholtz r;
    const double lnTau = std::log(tau);
    r.a = std::log(delta) + ideal.logTau * lnTau;
    r.d = 1;
    r.dd = -1;
    r.t = ideal.logTau;
    r.tt = -ideal.logTau;
    for (std::size_t i = 0; i < ideal.powerN.size(); ++i) {
        const double n = ideal.powerN[i], t = ideal.powerT[i];
        const double v = n * std::exp(t * lnTau);
        r.a += v;
        r.t += t * v;
        r.tt += t * (t - 1) * v;
    }
    for (std::size_t i = 0; i < ideal.einsteinN.size(); ++i) {
        const double n = ideal.einsteinN[i], th = ideal.einsteinTh[i];
        const double e = std::exp(-th * tau); // exp(-theta tau)
        const double em1 = (1 - e) / e;       // exp(theta tau) - 1
        r.a += n * std::log1p(-e);            // n ln(1 - exp(-theta tau))
        r.t += n * th * tau / em1;            // tau * n theta / (e^(theta tau) - 1)
        r.tt -= n * th * th * tau * tau * (1 + em1) / (em1 * em1);
    }
    for (std::size_t i = 0; i < ideal.cpPolyC.size(); ++i) {
        const double c = ideal.cpPolyC[i], t = ideal.cpPolyT[i], Tc = ideal.cpPolyTc[i];
        if (t == 0) {
            r.a += c * lnTau;
            r.t += c;
            r.tt -= c;
        } else if (t == -1) {
            const double k = c / Tc;
            r.a -= k * (tau * lnTau - tau);
            r.t -= k * tau * lnTau;
            r.tt -= k * tau;
        } else {
            const double k = -c * std::pow(Tc, t) / (t * (t + 1)) * std::exp(-t * lnTau);
            r.a += k;
            r.t += -t * k;
            r.tt += t * (t + 1) * k;
        }
    }
    return r;
}

void FluidData::tauFactorsAt(double T, double* out) const noexcept {
    if (factorFit.covers(T))
        factorFit.eval(T, out);
    else
        tauFactors(Tr / T, out);
}

Helmholtz FluidData::idealGasAt(double T, double delta) const noexcept {
    if (!idealFit.covers(T))
        return idealGas(Tr / T, delta);
    double v[3];
    idealFit.eval(T, v);
    Helmholtz r;
    r.a = v[0] + std::log(delta);
    r.d = 1;
    r.dd = -1;
    r.t = v[1];
    r.tt = v[2];
    return r;
}

void FluidData::fitTemperatureParts() {
    auto groups = std::make_shared<FluidData>();
    groupByDensity(*this, *groups, groupOf);
    if (groups->power.size() < power.size() + powerExpTau.size())
        byDensity = std::move(groups);
    else
        groupOf.clear();
    // From the triple point (the lowest saturation) up to the equation's limit, in pieces
    // of 8 coefficients: an evaluation costs functions x coefficients, and narrower pieces
    // need fewer.
    constexpr int kPureFitTerms = 8;
    const FitLimits limits{1e-12, false, kPureFitTerms};
    fitShared(
        factorFit, termCount(), Ttriple, Tmax,
        [this](double T, double* out) { tauFactors(Tr / T, out); }, limits);
    fitShared(
        idealFit, 3, Ttriple, Tmax,
        [this](double T, double* out) {
            const Helmholtz h = idealGas(Tr / T, 1);
            out[0] = h.a;
            out[1] = h.t;
            out[2] = h.tt;
        },
        limits);
}

void groupByDensity(const FluidData& f, FluidData& g, std::vector<std::size_t>& groupOf) {
    g = FluidData{};
    g.Tr = f.Tr;
    g.rhor = f.rhor;
    groupOf.clear();
    const auto join = [&](const PowerTerm& k) {
        std::size_t i = 0;
        while (i < g.power.size() && !(g.power[i].d == k.d && g.power[i].l == k.l))
            ++i;
        if (i == g.power.size())
            g.power.push_back({1, k.d, 0, k.l, k.di, k.li});
        groupOf.push_back(i);
    };
    for (const PowerTerm& k : f.power)
        join(k);
    for (const PowerExpTauTerm& k : f.powerExpTau)
        join(k.power);
    g.gaussian = f.gaussian;
}

double Ancillary::eval(double T) const noexcept {
    const double theta = 1 - T / Tr;
    double sum = 0;
    if (theta > 0) {
        const double lnTheta = std::log(theta);
        for (std::size_t i = 0; i < n.size(); ++i)
            sum += n[i] * std::exp(t[i] * lnTheta);
    }
    if (!exponential)
        return reducing * (1 + sum);
    return reducing * std::exp(usingTauR ? sum * Tr / T : sum);
}

double Ancillary::evalLog(double T, double* dlndT) const noexcept {
    const double theta = 1 - T / Tr;
    double sum = 0, dsum = 0; // dsum = d sum / d theta
    if (theta > 0) {
        const double lnTheta = std::log(theta);
        for (std::size_t i = 0; i < n.size(); ++i) {
            const double v = n[i] * std::exp(t[i] * lnTheta);
            sum += v;
            dsum += t[i] * v / theta;
        }
    }
    // d theta / dT = -1/Tr
    double lnv, dln;
    if (usingTauR) {
        lnv = sum * Tr / T;
        dln = -sum * Tr / (T * T) - dsum / T;
    } else {
        lnv = sum;
        dln = -dsum / Tr;
    }
    if (dlndT)
        *dlndT = dln;
    return reducing * std::exp(lnv);
}

} // namespace asere

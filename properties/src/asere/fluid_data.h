// The data of one fluid: its Helmholtz-energy equation of state, its saturation curve
// (Chebyshev expansions or ancillary equations) and its reference-state offsets.
#pragma once

#include "asere/expansion.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace asere {

// Exponents up to this are taken from tables of powers of delta; others by exp/log.
constexpr int kMaxTableExponent = 16;

// The table index of an exponent: the exponent itself when it is a whole number from 0
// to kMaxTableExponent, else -1.
int tableIndex(double exponent) noexcept;

// Residual term n * delta^d * tau^t * exp(-delta^l) (no exponential for l = 0).
struct PowerTerm {
    double n, d, t, l;
    int di = -1, li = -1; // table indices of d and l
};

// Residual term n * delta^d * tau^t * exp(-eta (delta - epsilon)^2 - beta (tau - gamma)^2).
struct GaussianTerm {
    double n, d, t, eta, epsilon, beta, gamma;
    int di = -1;
    double atZero = 0; // exp(-eta epsilon^2), the density part's value at delta = 0
};

// Residual term n * delta^d * tau^t * exp(-delta^l) * exp(-tau^m), m > 0 (terms with
// m = 0 are power terms).
struct PowerExpTauTerm {
    PowerTerm power;
    double m;
};

// Residual term n delta Delta^b psi, non-analytic at the critical point (tau = delta = 1):
//   Delta = theta^2 + B q^a, theta = (1 - tau) + A q^(1/(2 beta)),
//   psi = exp(-C q - D (tau - 1)^2), q = (delta - 1)^2.
// Its heat capacity grows without bound towards the critical point.
struct NonAnalyticTerm {
    double n, a, b, beta, A, B, C, D;
};

// The density derivatives of the residual part: delta a_d and delta^2 a_dd.
struct DeltaDerivatives {
    double d = 0, dd = 0;
};

// The parts of the residual terms that depend on delta alone, at one density: delta^i
// for whole i, and exp(-delta^l) for whole l and each Gaussian term's
// exp(-eta (delta - epsilon)^2), each computed when first asked for. A density solver
// carries them from each step to the next and to the state at its root (moveTo).
class DensityParts {
public:
    static constexpr std::size_t kMaxGaussians = 32; // Gaussian terms whose exponential is kept

    explicit DensityParts(double delta) noexcept { reset(delta); }
    // The parts at delta, none computed yet.
    void reset(double delta) noexcept {
        powersOf(delta);
        haveEl_ = haveGauss_ = 0;
        haveLn_ = false;
    }
    // The parts at delta, a step from the present ones (`gaussian` the terms whose
    // exponentials are kept): each exponential at hand whose argument changes by at most
    // 1e-2 is carried over by the series of exp(x) in that change, exact to rounding, in
    // place of a new exponential; the others are computed anew when asked for.
    void moveTo(double delta, const std::vector<GaussianTerm>& gaussian) noexcept;

    double delta() const noexcept { return pw_[1]; }
    // delta^i, 0 <= i <= kMaxTableExponent.
    double pw(int i) const noexcept { return pw_[i]; }
    // delta^x, i its table index or -1.
    double power(int i, double x) noexcept { return i >= 0 ? pw(i) : std::exp(x * ln()); }
    // exp(-delta^l), 0 < l <= kMaxTableExponent.
    double expMinus(int l) noexcept {
        if (!(haveEl_ >> l & 1)) {
            el_[l] = std::exp(-pw(l));
            haveEl_ |= 1u << l;
        }
        return el_[l];
    }
    // exp(-eta (delta - epsilon)^2) of Gaussian term k, `term`.
    double gaussianExp(std::size_t k, const GaussianTerm& term) noexcept {
        if (k < kMaxGaussians && (haveGauss_ >> k & 1))
            return gauss_[k];
        const double dm = pw_[1] - term.epsilon;
        const double e = std::exp(-term.eta * dm * dm);
        if (k < kMaxGaussians) {
            gauss_[k] = e;
            haveGauss_ |= std::uint32_t{1} << k;
        }
        return e;
    }
    double ln() noexcept {
        if (!haveLn_) {
            lnDelta_ = std::log(pw_[1]);
            haveLn_ = true;
        }
        return lnDelta_;
    }

private:
    void powersOf(double delta) noexcept {
        pw_[0] = 1;
        for (int i = 1; i <= kMaxTableExponent; ++i)
            pw_[i] = pw_[i - 1] * delta;
    }

    double pw_[kMaxTableExponent + 1]; // delta^i
    double el_[kMaxTableExponent + 1]; // where haveEl_ has bit l
    double gauss_[kMaxGaussians];      // where haveGauss_ has bit k
    double lnDelta_ = 0;
    std::uint32_t haveEl_ = 0, haveGauss_ = 0;
    bool haveLn_ = false;
};

// Reduced Helmholtz energy and its derivatives, each scaled by the matching powers of
// delta and tau: a, delta a_d, delta^2 a_dd, tau a_t, tau^2 a_tt, delta tau a_dt.
struct Helmholtz {
    double a = 0, d = 0, dd = 0, t = 0, tt = 0, dt = 0;
};

// The ideal-gas part, up to terms linear in tau (constant and linear terms only move
// the zero of enthalpy and entropy, which the reference state fixes).
struct IdealGas {
    double logTau = 0;              // a ln(tau)
    std::vector<double> powerN;     // n tau^t
    std::vector<double> powerT;     //
    std::vector<double> einsteinN;  // n ln(1 - exp(-theta tau))
    std::vector<double> einsteinTh; //
    std::vector<double> cpPolyC;    // cp0/R contribution c T^t, T = Tc / tau
    std::vector<double> cpPolyT;    //
    std::vector<double> cpPolyTc;   //
};

// An ancillary equation of a saturation property.
//   exponential: value = reducing * exp(f * sum n_i theta^t_i), f = Tr/T or 1
//   linear:      value = reducing * (1 + sum n_i theta^t_i)
// with theta = 1 - T/Tr.
struct Ancillary {
    bool present = false;
    bool exponential = true;
    bool usingTauR = false;
    double reducing = 0, Tr = 0, Tmin = 0, Tmax = 0;
    std::vector<double> n, t;

    // Temperatures and values at nodes along the range in use (rising), for inverting
    // the equation: a value between two nodes has its temperature between theirs.
    std::vector<double> nodeT, nodeValue;

    double eval(double T) const noexcept;
    // Value and d ln(value)/dT, for the exponential form.
    double evalLog(double T, double* dlndT) const noexcept;
};

struct Mixture;

struct FluidData {
    std::uint64_t id = 0; // unique per loaded fluid; keys the state cache
    std::string name;
    std::vector<std::string> aliases;
    std::string origin; // the file it came from
    bool blend = false;

    double molarMass = 0; // kg/mol
    double R = 0;         // J/(kg K)
    double Tr = 0;        // reducing temperature, K
    double rhor = 0;      // reducing density, kg/m3
    double pc = 0;        // critical pressure, Pa
    double Ttriple = 0;
    double Tmax = 0;
    double pmax = 0;
    double TsatMax = 0; // top of the saturation curve

    std::vector<PowerTerm> power;
    std::vector<GaussianTerm> gaussian;
    std::vector<PowerExpTauTerm> powerExpTau;
    // Not among the terms with tau factors (termCount): they are evaluated whole.
    std::vector<NonAnalyticTerm> nonAnalytic;
    IdealGas ideal;
    // For multi-component blends: the CAS number, the critical point of the file
    // (temperature, molar density; the ideal-gas part of a mixture is evaluated there),
    // and for a blend its mixture model.
    std::string cas;
    double Tcrit = 0, rhocritMolar = 0;
    std::shared_ptr<const Mixture> mixture;

    // Pure fluids: saturation from these when present.
    Chebyshev satP, satRhoL, satRhoV;
    std::vector<double> satPEdges; // pressure at each piece's lower edge, then the top
    // Pure fluids: the inverse of satP, T as a function of ln p, fitted when the fluid is
    // loaded (a start that one Newton step on satP makes exact). Pseudo-pure blends: the
    // same of the dew-pressure equation pV (and bubbleInverse of the bubble-pressure one).
    SharedExpansion satInverse;
    // Pure fluids and pseudo-pure blends: the saturated liquid's enthalpy (before the
    // reference-state offset) in T, fitted when the fluid is loaded (1e-10), up to where
    // the curve steepens towards the critical point.
    SharedExpansion liquidH;
    // Blends: the liquid root at the bubble pressure and the vapour root at the dew
    // pressure, fitted when the fluid is loaded. Where a piece was checked against the
    // solver it stands for the root; elsewhere it is the solver's starting point.
    Chebyshev blendRhoL, blendRhoV;
    // Blends: bubble and dew pressure; all: density estimates.
    Ancillary pL, pV, pS, rhoL, rhoV;

    // Reference-state offsets added to the equation's enthalpy and entropy.
    double dh = 0, ds = 0;

    // The density solvers work at one temperature: the factors of each residual term
    // that depend on tau only (power terms first, then Gaussian terms, then power terms with
    // exp(-tau^m)) are computed once, and each density step needs only the delta-dependent parts.
    std::size_t termCount() const noexcept {
        return power.size() + gaussian.size() + powerExpTau.size();
    }
    void tauFactors(double tau, double* out) const noexcept;
    DeltaDerivatives residualDelta(const double* tauFactors, double delta) const noexcept;
    DeltaDerivatives residualDelta(const double* tauFactors, DensityParts& parts) const noexcept;
    // The second virial coefficient B (m3/kg) from the tau factors: Z = 1 + B rho + ...
    double secondVirial(const double* tauFactors) const noexcept;
    // Adds the non-analytic terms at (tau, delta), scaled as Helmholtz is, to r.
    void addNonAnalytic(double tau, double delta, Helmholtz& r) const noexcept;
    // The whole residual part with the tau factors already at hand.
    Helmholtz residual(const double* tauFactors, double tau, double delta) const noexcept;
    Helmholtz residual(const double* tauFactors, double tau, DensityParts& parts) const noexcept;
    Helmholtz idealGas(double tau, double delta) const noexcept;

    // Pure fluids and pseudo-pure blends: the functions of temperature alone as
    // expansions in T fitted when the fluid is loaded, to rounding level (fitShared): the
    // tau factors, and the ideal-gas part's a0 - ln delta, tau a0_t and tau^2 a0_tt.
    // Outside their range, or when empty, the equation answers directly.
    SharedExpansion factorFit, idealFit;
    // tauFactors and idealGas at T (tau = Tr / T), from the expansions where they cover T.
    void tauFactorsAt(double T, double* out) const noexcept;
    Helmholtz idealGasAt(double T, double delta) const noexcept;
    // Fits factorFit and idealFit over the equation's range of temperature, and groups
    // the terms by their density exponents (byDensity).
    void fitTemperatureParts();

    bool hasSuperancillary() const noexcept { return !satP.empty(); }

    // Pure fluids and pseudo-pure blends whose power terms share density exponents: the
    // equation grouped by them (groupByDensity), for the density solvers, which need only
    // the sum of each group's tau factors.
    std::shared_ptr<const FluidData> byDensity;
    std::vector<std::size_t> groupOf;

    // Pseudo-pure blends: the inverse of the bubble-pressure equation pL, as satInverse.
    SharedExpansion bubbleInverse;
};

// The power terms of f (with or without exp(-tau^m)) in groups of equal density exponents
// d and l, each a power term of g with n = 1 and t = 0 whose tau factor is the sum of its
// members'; g's Gaussian terms are f's. groupOf gives the group of each power term of f,
// then of each power term with exp(-tau^m).
void groupByDensity(const FluidData& f, FluidData& g, std::vector<std::size_t>& groupOf);

} // namespace asere

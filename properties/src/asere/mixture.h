// Multi-component blends on a multi-fluid mixture model: the pure-fluid Helmholtz
// equations combined through composition-dependent reducing functions, binary
// interaction parameters and departure functions (mixture.cpp, mixture_isotherm.h);
// phase equilibrium of a blend of fixed composition and its saturation curves as
// expansions in temperature (mixture_equilibrium.cpp); the blend-file reader
// (blend_loader.cpp).
#pragma once

#include "asere/fluid.h"
#include "asere/fluid_data.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace asere {

// Blends have at most this many components.
constexpr std::size_t kMaxComponents = 8;
using Composition = std::array<double, kMaxComponents>; // mole fractions
// The combined equation of a blend's own composition has at most this many terms.
constexpr std::size_t kMaxOwnTerms = 400;

struct Mixture {
    struct Component {
        std::shared_ptr<const Fluid> fluid;
        const FluidData* eos = nullptr;
        double M = 0;                  // kg/mol
        double Tc = 0, vc = 0;         // reducing temperature (K) and molar volume (m3/mol)
        double Tcrit = 0, rhocrit = 0; // critical point of the file (ideal-gas part)
        double Rratio = 1;             // the fluid's gas constant over the mixture's
    };
    // Reducing function of a pair i < j: its contribution to Y(x) is
    // x_i x_j c (x_i + x_j) / (beta2 x_i + x_j).
    struct Pair {
        double betaT2 = 1, cT = 0, betaV2 = 1, cV = 0;
        double F = 0;        // weight of the departure function
        FluidData departure; // power terms only
    };

    std::vector<Component> comp;
    std::vector<Pair> pairs; // pair (i, j), i < j, at i * n + j
    // Where the tau factors of component k (k < n) and of pair (i, j) (k = i * n + j + n)
    // start in one buffer; the last entry is the buffer's size.
    std::vector<std::size_t> factorOffset;
    Composition z{}; // the blend's mole fractions
    double M = 0;    // molar mass of the blend, kg/mol
    // The residual part at the blend's own composition z as one equation: the terms of
    // component i weighted by z_i, those of the departure function of pair (i, j) by
    // z_i z_j F_ij, terms with equal exponents merged; its reducing temperature is T_r(z)
    // and its reducing density the molar 1/v_r(z). The blend's own phases (vapour states,
    // the saturated vapour and liquid) are evaluated with it in one pass over the terms.
    FluidData own;
    // The density dependence of `own` at one temperature: its power terms (with or
    // without exp(-tau^m)) fall into groups of equal delta exponents d and l, each a power
    // term of ownDensity whose factor is the sum of its members' tau factors; its Gaussian
    // terms are own's. groupOf gives the group of each power term of own, then of each
    // power term with exp(-tau^m).
    FluidData ownDensity;
    std::vector<std::size_t> groupOf;

    // Saturation of the blend: ln of the dew and bubble pressures, the molar densities
    // and the enthalpies (J/kg, before the reference state) of the dew-point vapour and
    // the bubble-point liquid.
    Chebyshev lnPdew, lnPbub, rhoDew, rhoBub, hDew, hBub;
    std::vector<double> dewEdges, bubEdges; // ln p at each piece's lower edge, then the top

    // The ideal-gas part of the blend depends on T only, but for a term (sum of w_i) ln rho
    // (w_i = z_i R_i / R): a0 - idealLnRho ln rho, tau a0_tau and tau^2 a0_tautau, fitted to
    // rounding level when the blend is loaded. Likewise the tau factors of ownDensity (f0,
    // f1, f2 of each power group, f0 of each Gaussian term). Outside their range (or when
    // empty) the equations answer directly.
    SharedExpansion ideal, factors;
    double idealLnRho = 0;

    std::size_t n() const noexcept { return comp.size(); }
    const Pair& pair(std::size_t i, std::size_t j) const noexcept { return pairs[i * n() + j]; }
};

// The residual part of a grouped equation (Mixture::ownDensity) at one temperature:
// power term i of g with the tau factors f0[i] of alpha, f1[i] of tau alpha_t and f2[i]
// of tau^2 alpha_tt; its Gaussian terms with their tau factors after f0's.
Helmholtz groupedResidual(const FluidData& g, const double* f0, const double* f1, const double* f2,
                          double tau, double delta) noexcept;

// The mixture's gas constant, J/(mol K).
constexpr double kMixtureR = 8.31446261815324;

// A two-phase equilibrium state: liquid of composition x with molar density rhoL, vapour
// of composition y with molar density rhoV, at (T, p).
struct Equilibrium {
    double T = 0, p = 0, rhoL = 0, rhoV = 0;
    Composition x{}, y{};
};

// ln of the fugacity coefficients of the components in a phase of composition x at
// (T, molar density rho).
void lnFugacityCoefficients(const Mixture& m, double T, double rho, const Composition& x,
                            double* out) noexcept;
// Pressure (Pa) at (T, molar density, composition).
double mixturePressure(const Mixture& m, double T, double rho, const Composition& x) noexcept;

// Bubble point (dew = false: liquid of the blend's composition) or dew point (vapour of
// the blend's composition) at T, with the incipient phase's composition; `start` holds
// a nearby solution, or p = 0 for none.
Result<Equilibrium> saturationAtTemperature(const Mixture& m, double T, bool dew,
                                            const Equilibrium& start) noexcept;
// The same at a pressure: the bubble or dew temperature, from the expansions' estimate.
Result<Equilibrium> saturationAtPressure(const Mixture& m, const FluidData& f, double p,
                                         bool dew) noexcept;

// Whether the text of a fluid file describes a multi-component blend.
bool isMixtureText(std::string_view text);
// Reads a blend file: its components are read from the fluid files beside it, the pair
// data from "mixtures/" there, and its saturation curves are computed. Throws FluidError
// (BadFluidFile) naming the file and field at fault.
std::unique_ptr<FluidData> loadMixture(std::string_view text, const std::string& origin);
// The rest of a blend once its components, pair data and composition are read: its
// combined equation, its saturation curves and temperature parts as expansions, its
// constants and reference state. Complains through r when they can't be computed.
class FileComplaints;
void completeBlend(FluidData& f, const std::shared_ptr<Mixture>& m, const FileComplaints& r);

// The property calls for a blend (f.mixture set).
Result<double> mixtureSaturationPressure(const FluidData& f, double T, bool dew) noexcept;
Result<double> mixtureSaturationTemperature(const FluidData& f, double p, bool dew) noexcept;
Result<State> mixtureSaturatedState(const FluidData& f, double T, bool dew) noexcept;
Result<double> mixtureLiquidEnthalpy(const FluidData& f, double T) noexcept;
Result<State> mixtureVapourState(const FluidData& f, double T, double p) noexcept;
Result<State> mixtureStateAt(const FluidData& f, double T, double rho) noexcept;
// The liquid-like root at (T, p) from the density `start` (kg/m3), at or above rhoMin.
Result<State> mixtureDenseState(const FluidData& f, double T, double p, double start,
                                double rhoMin) noexcept;

} // namespace asere

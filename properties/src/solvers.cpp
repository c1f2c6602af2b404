// The solvers on a fluid's equation of state; see solvers.h.
#include "asere/solvers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace asere {

namespace {

constexpr int kMaxIterations = 100; // every solver gives up after this many steps

// Pressure and its density derivative at (T, rho).
struct PressureSlope {
    double p, dpdrho;
};

// The pressure along one isotherm, with the temperature-dependent parts of the
// equation computed once: the tau factors of each term and, where the terms are grouped
// by density exponents (FluidData::byDensity), of each group.
class Isotherm {
public:
    // `grouped`: whether the density solvers' group factors are wanted; without them only
    // factors() may be used (the state at one density).
    Isotherm(const FluidData& f, double T, bool grouped = true)
        : f_(f), g_(f.byDensity ? *f.byDensity : f), rt_(f.R * T), tau_(f.Tr / T) {
        const std::size_t n = f.termCount(), groups = g_.termCount();
        if (n + groups > buffer_.size()) {
            heap_.resize(n + groups);
            factors_ = heap_.data();
        }
        groupFactors_ = factors_ + n;
        f.tauFactorsAt(T, factors_);
        if (!f.byDensity || !grouped) {
            groupFactors_ = factors_;
            return;
        }
        // Power terms, Gaussian terms, power terms with exp(-tau^m); the groups' power
        // terms, then the same Gaussian terms.
        const std::size_t powers = f.power.size(), gauss = f.gaussian.size();
        const std::size_t powerGroups = g_.power.size();
        std::fill_n(groupFactors_, powerGroups, 0.0);
        for (std::size_t k = 0; k < f.groupOf.size(); ++k)
            groupFactors_[f.groupOf[k]] += factors_[k < powers ? k : k + gauss];
        std::copy_n(factors_ + powers, gauss, groupFactors_ + powerGroups);
    }
    Isotherm(const Isotherm&) = delete;
    Isotherm& operator=(const Isotherm&) = delete;

    const double* factors() const { return factors_; }
    // The second virial coefficient, m3/kg.
    double secondVirial() const { return g_.secondVirial(groupFactors_); }

    PressureSlope at(double rho) const {
        DensityParts parts(rho / f_.rhor);
        return at(rho, parts);
    }
    // The same, with `parts` those of another density (DensityParts::moveTo), left at rho.
    PressureSlope at(double rho, DensityParts& parts) const {
        const double delta = rho / f_.rhor;
        parts.moveTo(delta, g_.gaussian);
        DeltaDerivatives r = g_.residualDelta(groupFactors_, parts);
        if (!f_.nonAnalytic.empty()) {
            Helmholtz n;
            f_.addNonAnalytic(tau_, delta, n);
            r.d += n.d;
            r.dd += n.dd;
        }
        return {rho * rt_ * (1 + r.d), rt_ * (1 + 2 * r.d + r.dd)};
    }

private:
    const FluidData& f_;
    const FluidData& g_; // f's terms grouped by density, or f
    double rt_, tau_;
    std::array<double, 128> buffer_{};
    std::vector<double> heap_;
    double* factors_ = buffer_.data();
    double* groupFactors_ = nullptr;
};

// The state at (T, rho) on the isotherm `iso`, with `parts` those of a density close to rho
// (DensityParts::moveTo).
State stateFrom(const FluidData& f, double T, double rho, const Isotherm& iso,
                DensityParts& parts) {
    const double tau = f.Tr / T, delta = rho / f.rhor;
    parts.moveTo(delta, f.gaussian);
    const Helmholtz r = f.residual(iso.factors(), tau, parts);
    const Helmholtz o = f.idealGasAt(T, delta);
    State s;
    s.T = T;
    s.rho = rho;
    s.v = 1 / rho;
    s.p = rho * f.R * T * (1 + r.d);
    s.h = f.R * T * (1 + o.t + r.t + r.d) + f.dh;
    s.s = f.R * (o.t + r.t - o.a - r.a) + f.ds;
    const double tt = o.tt + r.tt;
    s.cv = -f.R * tt;
    const double num = 1 + r.d - r.dt;
    const double den = 1 + 2 * r.d + r.dd;
    s.cp = s.cv + f.R * num * num / den;
    const double w2 = f.R * T * (den - num * num / tt);
    s.w = w2 > 0 ? std::sqrt(w2) : kNaN;
    return s;
}

// Density of the vapour-side root of p(T, rho) = p, by Newton's method from `start` or
// the virial estimate, which lies close to the root. On the concave vapour branch the
// method climbs onto the root from below; a bracket catches an overshoot or a step past
// the spinodal with bisection. `rhoMax` bounds the search from above (infinity when
// unknown). `parts` are left at the last density evaluated.
Result<double> vapourDensity(const Isotherm& iso, const FluidData& f, double T, double p,
                             double start, double rhoMax, DensityParts& parts) {
    double lo = 0, hi = rhoMax;
    double rho = start;
    if (!(rho > 0)) {
        // The virial estimate Z = 1 + B rho, or the ideal gas when it has no root.
        const double c = p / (f.R * T);
        const double disc = 1 + 4 * iso.secondVirial() * c;
        rho = disc > 0 ? 2 * c / (1 + std::sqrt(disc)) : c;
    }
    if (!(rho < hi))
        rho = 0.5 * hi;
    double lastRho = kNaN, lastSlope = kNaN;
    for (int i = 0; i < kMaxIterations; ++i) {
        const PressureSlope ps = iso.at(rho, parts);
        if (!finite(ps.p) || !finite(ps.dpdrho))
            return failure<double>(Status::NoConvergence);
        const double diff = ps.p - p;
        if (ps.dpdrho > 0) {
            // Newton's method converges quadratically here: after a step below 1e-8 of
            // the density, the stepped value is exact to rounding.
            const double step = -diff / ps.dpdrho;
            if (std::abs(step) <= 1e-8 * rho)
                return {rho + step, Status::Ok};
            // A step up to 1e-6 of the density is as exact with the second-order term,
            // the isotherm's curvature taken from the slopes of this and the last
            // density, a Newton step (at most 1e-2 of the density) away.
            if (std::abs(step) <= 1e-6 * rho && lastSlope > 0 &&
                std::abs(rho - lastRho) <= 1e-2 * rho) {
                const double curvature = (ps.dpdrho - lastSlope) / (rho - lastRho);
                return {rho + step - 0.5 * curvature * step * step / ps.dpdrho, Status::Ok};
            }
        }
        lastRho = rho;
        lastSlope = ps.dpdrho;
        if (diff > 0 || ps.dpdrho <= 0)
            hi = rho; // too dense, or beyond the vapour spinodal
        else
            lo = rho;
        double next = ps.dpdrho > 0 ? rho - diff / ps.dpdrho : kNaN;
        if (!(next > lo && next < hi))
            next = std::isfinite(hi) ? 0.5 * (lo + hi) : 2 * rho;
        if (std::abs(next - rho) <= 1e-14 * rho) {
            const PressureSlope last = iso.at(next, parts);
            if (last.dpdrho > 0 && std::abs(last.p - p) <= 1e-9 * p)
                return {next, Status::Ok};
            return failure<double>(Status::NoConvergence);
        }
        rho = next;
    }
    return failure<double>(Status::NoConvergence);
}

Result<double> vapourDensity(const FluidData& f, double T, double p, double start, double rhoMax) {
    const Isotherm iso(f, T);
    DensityParts parts(0);
    return vapourDensity(iso, f, T, p, start, rhoMax, parts);
}

// Density of the liquid-side root of p(T, rho) = p, from an estimate near it. The liquid
// branch is convex: from above, Newton's method descends onto the root; from below, its
// first step lands above the root.
Result<double> liquidDensity(const FluidData& f, double T, double p, double start) {
    const Isotherm iso(f, T);
    double rho = start;
    double lo = 0, hi = std::numeric_limits<double>::infinity();
    for (int i = 0; i < kMaxIterations; ++i) {
        const PressureSlope ps = iso.at(rho);
        if (!finite(ps.p) || !finite(ps.dpdrho))
            return failure<double>(Status::NoConvergence);
        const double diff = ps.p - p;
        // Converged when the Newton step is below the density's own precision (the
        // liquid is too stiff to ask that of the pressure).
        if (ps.dpdrho > 0 && std::abs(diff) <= 1e-13 * rho * ps.dpdrho)
            return {rho - diff / ps.dpdrho, Status::Ok};
        double next;
        if (ps.dpdrho <= 0) {
            lo = rho; // below the liquid spinodal: denser
            next = std::isfinite(hi) ? 0.5 * (lo + hi) : rho * 1.02;
        } else {
            if (diff > 0)
                hi = rho;
            else
                lo = std::max(lo, rho);
            next = rho - diff / ps.dpdrho;
            if (!(next > lo && next < hi))
                next = std::isfinite(hi) ? 0.5 * (lo + hi) : rho * 1.02;
        }
        if (std::abs(next - rho) <= 1e-15 * rho)
            return failure<double>(Status::NoConvergence);
        rho = next;
    }
    return failure<double>(Status::NoConvergence);
}

// Saturation of a pure fluid without expansions: the pressure at which liquid and
// vapour have the same Gibbs energy, by Newton's method on p (dg/dp = v).
struct Coexistence {
    double p, rhoL, rhoV;
};

Result<Coexistence> coexistence(const FluidData& f, double T) {
    double p = f.pS.eval(T);
    for (int i = 0; i < kMaxIterations; ++i) {
        const auto rl = liquidDensity(f, T, p, f.rhoL.eval(T));
        const auto rv = vapourDensity(f, T, p, 0, f.rhoL.eval(T));
        if (!rl || !rv || !(rl.value > rv.value * 1.0001))
            return failure<Coexistence>(Status::NoConvergence);
        const State l = stateFrom(f, T, rl.value), v = stateFrom(f, T, rv.value);
        const double dg = (v.h - T * v.s) - (l.h - T * l.s);
        const double next = p - dg / (v.v - l.v);
        if (!(next > 0) || !finite(next))
            return failure<Coexistence>(Status::NoConvergence);
        if (std::abs(next - p) <= 1e-13 * p)
            return {{next, rl.value, rv.value}, Status::Ok};
        p = std::clamp(next, 0.5 * p, 2 * p);
    }
    return failure<Coexistence>(Status::NoConvergence);
}

// Temperature at which the increasing function `lnp(T, dlnpdT)` reaches ln(p), in
// [Tlo, Thi]: Newton's method in 1/T (where ln p is nearly linear) inside a bracket.
template <class LnP>
Result<double> invertPressure(LnP lnp, double p, double Tlo, double Thi, double plo, double phi) {
    const double target = std::log(p);
    double xlo = 1 / Thi, xhi = 1 / Tlo; // x = 1/T; ln p falls with x
    const double flo = std::log(phi), fhi = std::log(plo);
    double x = xlo + (target - flo) / (fhi - flo) * (xhi - xlo);
    for (int i = 0; i < kMaxIterations; ++i) {
        const double T = 1 / x;
        double dlnpdT;
        const double f = lnp(T, &dlnpdT) - target;
        if (!finite(f) || !finite(dlnpdT))
            return failure<double>(Status::NoConvergence);
        if (std::abs(f) <= 1e-15)
            return {T, Status::Ok};
        if (f > 0)
            xlo = x; // pressure too high: lower T, larger x
        else
            xhi = x;
        const double dfdx = -dlnpdT * T * T;
        double next = dfdx < 0 ? x - f / dfdx : kNaN;
        if (!(next >= xlo && next <= xhi))
            next = 0.5 * (xlo + xhi);
        if (std::abs(next - x) <= 1e-15 * x)
            return {1 / next, Status::Ok};
        x = next;
    }
    return failure<double>(Status::NoConvergence);
}

// A blend's saturated density (liquid root at the bubble pressure, or vapour root at
// the dew pressure) solved from the ancillary estimates.
Result<double> blendDensity(const FluidData& f, double T, bool vapour, double start) {
    const double p = (vapour ? f.pV : f.pL).eval(T);
    const auto rho = vapour ? vapourDensity(f, T, p, start, std::numeric_limits<double>::infinity())
                            : liquidDensity(f, T, p, start > 0 ? start : f.rhoL.eval(T));
    if (rho && (vapour ? !(rho.value < f.rhor) : !(rho.value > f.rhor)))
        return failure<double>(Status::NoConvergence);
    return rho;
}

// The temperature at which the superancillary reaches p, inside `piece`, whose edges
// have the pressures plo and phi.
Result<double> superancillaryTemperature(const FluidData& f, double p,
                                         const Chebyshev::Piece& piece, double plo, double phi) {
    return invertPressure(
        [&f](double T, double* d) {
            double dp;
            const double v = f.satP.eval(T, &dp);
            *d = dp / v;
            return std::log(v);
        },
        p, piece.xmin, piece.xmax, plo, phi);
}

// The temperature at which a blend's pressure equation `a` reaches p, p within its nodes:
// inside the bracket of the two nodes around p.
Result<double> ancillaryTemperature(const Ancillary& a, double p) {
    const auto& nodes = a.nodeValue;
    const auto it = std::upper_bound(nodes.begin(), nodes.end() - 1, p);
    const std::size_t k = std::max<std::ptrdiff_t>(1, it - nodes.begin()) - 1;
    if (p == nodes[k])
        return {a.nodeT[k], Status::Ok};
    if (p == nodes[k + 1])
        return {a.nodeT[k + 1], Status::Ok};
    return invertPressure([&a](double T, double* d) { return std::log(a.evalLog(T, d)); }, p,
                          a.nodeT[k], a.nodeT[k + 1], nodes[k], nodes[k + 1]);
}

} // namespace

State stateFrom(const FluidData& f, double T, double rho) {
    const Isotherm iso(f, T, false);
    DensityParts parts(rho / f.rhor);
    return stateFrom(f, T, rho, iso, parts);
}

// Dew (vapour = true) or bubble pressure at T, T inside the saturation range.
Result<double> saturationPressure(const FluidData& f, double T, bool vapour) {
    if (f.blend)
        return {(vapour ? f.pV : f.pL).eval(T), Status::Ok};
    if (f.hasSuperancillary())
        return {f.satP.eval(T), Status::Ok};
    const auto c = coexistence(f, T);
    if (!c)
        return failure<double>(c.status);
    return {c.value.p, Status::Ok};
}

Result<double> saturationTemperature(const FluidData& f, double p, bool vapour) {
    if (f.blend) {
        const Ancillary& a = vapour ? f.pV : f.pL;
        const auto& nodes = a.nodeValue;
        if (p < nodes.front() || p > nodes.back())
            return failure<double>(Status::OutOfRange);
        const SharedExpansion& inverse = vapour ? f.satInverse : f.bubbleInverse;
        if (const double lnp = std::log(p); inverse.covers(lnp)) {
            // The inverse's estimate, then one Newton step on ln p(T): exact to rounding.
            double T, dlnpdT;
            inverse.eval(lnp, &T);
            T -= (std::log(a.evalLog(T, &dlnpdT)) - lnp) / dlnpdT;
            if (finite(T))
                return {std::clamp(T, a.nodeT.front(), a.nodeT.back()), Status::Ok};
        }
        return ancillaryTemperature(a, p);
    }
    if (f.hasSuperancillary()) {
        const auto& edges = f.satPEdges;
        if (p < edges.front() || p > edges.back())
            return failure<double>(Status::OutOfRange);
        // The piece whose pressures hold p.
        auto it = std::upper_bound(edges.begin(), edges.end() - 1, p);
        const std::size_t k = std::max<std::ptrdiff_t>(0, (it - edges.begin()) - 1);
        const auto& piece = f.satP.pieces[std::min(k, f.satP.pieces.size() - 1)];
        const double plo = edges[k], phi = edges[k + 1];
        if (p == plo)
            return {piece.xmin, Status::Ok};
        if (p == phi)
            return {piece.xmax, Status::Ok};
        const double lnp = std::log(p);
        if (f.satInverse.covers(lnp)) {
            // The inverse's estimate, then one Newton step on ln p(T): exact to rounding.
            double T;
            f.satInverse.eval(lnp, &T);
            double dp;
            const double v = f.satP.eval(T, &dp);
            T -= (std::log(v) - lnp) * v / dp;
            if (finite(T))
                return {std::clamp(T, piece.xmin, piece.xmax), Status::Ok};
        }
        return superancillaryTemperature(f, p, piece, plo, phi);
    }
    // From the equation of state: start from the ancillary equation's temperature, then
    // Newton's method with the Clapeyron slope.
    const double Tlo = f.Ttriple, Thi = f.TsatMax;
    const double plo = f.pS.eval(Tlo), phi = f.pS.eval(Thi);
    if (p < plo * 0.9 || p > phi * 1.1)
        return failure<double>(Status::OutOfRange);
    auto start = invertPressure([&f](double T, double* d) { return std::log(f.pS.evalLog(T, d)); },
                                std::clamp(p, plo, phi), Tlo, Thi, plo, phi);
    if (!start)
        return start;
    double T = start.value;
    for (int i = 0; i < kMaxIterations; ++i) {
        const auto c = coexistence(f, T);
        if (!c)
            return failure<double>(c.status);
        const State l = stateFrom(f, T, c.value.rhoL), v = stateFrom(f, T, c.value.rhoV);
        const double dlnpdT = (v.s - l.s) / (v.v - l.v) / c.value.p;
        const double next = T - (std::log(c.value.p) - std::log(p)) / dlnpdT;
        if (!finite(next) || next < Tlo || next > Thi)
            return failure<double>(Status::OutOfRange);
        if (std::abs(next - T) <= 1e-12 * T)
            return {next, Status::Ok};
        T = next;
    }
    return failure<double>(Status::NoConvergence);
}

void fitSaturationCurves(FluidData& f) {
    // The saturated liquid's enthalpy follows the density of the superancillary or of a
    // blend's fit, whose pieces join with slightly different slopes: 1e-10 of 200 kJ/kg
    // stays far below the enthalpy's own accuracy.
    constexpr double kLiquidHTolerance = 1e-10;
    // The one Newton step after it squares the inverse's error. Near the critical point,
    // where ln p(T) bends sharply, the inverse stops and the solver answers.
    constexpr double kInverseTolerance = 1e-10;
    fitShared(f.liquidH, 1, f.Ttriple, f.TsatMax,
              [&f](double T, double* h) {
                  const auto s = saturatedState(f, T, false);
                  *h = s ? s.value.h - f.dh : kNaN;
              },
              {kLiquidHTolerance, true});
    if (f.blend) {
        // The inverses of the dew and bubble pressure equations, from their nodes' solver.
        for (const bool vapour : {true, false}) {
            const Ancillary& a = vapour ? f.pV : f.pL;
            if (a.nodeValue.size() < 2)
                continue;
            fitShared(vapour ? f.satInverse : f.bubbleInverse, 1, std::log(a.nodeValue.front()),
                      std::log(a.nodeValue.back()),
                      [&a](double lnp, double* T) {
                          const double p =
                              std::clamp(std::exp(lnp), a.nodeValue.front(), a.nodeValue.back());
                          const auto r = ancillaryTemperature(a, p);
                          *T = r ? r.value : kNaN;
                      },
                      {kInverseTolerance, true});
        }
        return;
    }
    if (!f.hasSuperancillary())
        return;
    const std::vector<double>& edges = f.satPEdges;
    fitShared(f.satInverse, 1, std::log(edges.front()), std::log(edges.back()),
              [&f, &edges](double lnp, double* T) {
                  const double p = std::exp(lnp);
                  const auto it = std::upper_bound(edges.begin(), edges.end() - 1, p);
                  const std::size_t k = std::min<std::size_t>(
                      std::max<std::ptrdiff_t>(0, (it - edges.begin()) - 1), edges.size() - 2);
                  const auto r =
                      superancillaryTemperature(f, std::clamp(p, edges[k], edges[k + 1]),
                                                f.satP.pieces[k], edges[k], edges[k + 1]);
                  *T = r ? r.value : kNaN;
              },
              {kInverseTolerance, true});
}

// Chebyshev expansions of a blend's saturated densities, piece by piece from the lowest
// temperature upwards, in narrower pieces towards the top of the curve. They stop below
// the first piece where a density can't be solved.
Chebyshev fitBlendDensity(const FluidData& f, bool vapour) {
    constexpr int kOrder = 12;
    constexpr double kPi = std::numbers::pi;
    std::vector<double> edges;
    for (double T = f.Ttriple; T < f.TsatMax - 4; T += 2)
        edges.push_back(T);
    for (double w = 2; w > 0.02; w /= 2)
        edges.push_back(f.TsatMax - w);
    Chebyshev c;
    for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
        const double a = edges[i], b = edges[i + 1];
        if (!(b > a))
            continue;
        double values[kOrder + 1];
        for (int j = 0; j <= kOrder; ++j) {
            const double T = 0.5 * (a + b) + 0.5 * (b - a) * std::cos(kPi * j / kOrder);
            const auto rho = blendDensity(f, std::clamp(T, a, b), vapour, 0);
            if (!rho) {
                c.index();
                return c;
            }
            values[j] = rho.value;
        }
        Chebyshev::Piece piece = lobattoPiece(a, b, values);
        // Between the nodes the expansion must agree with the solver to 1e-11.
        Chebyshev one;
        one.pieces.push_back(piece);
        bool exact = true;
        for (int j = 0; j < 2 * kOrder && exact; ++j) {
            const double T = a + (b - a) * (j + 0.5) / (2 * kOrder);
            const auto rho = blendDensity(f, T, vapour, 0);
            exact = rho && std::abs(one.eval(T) - rho.value) <= 1e-11 * rho.value;
        }
        piece.exact = exact;
        c.pieces.push_back(std::move(piece));
    }
    c.index();
    return c;
}

Result<State> saturatedState(const FluidData& f, double T, bool vapour) {
    if (const Status status = saturationTemperatureStatus(f, T); status != Status::Ok)
        return failure<State>(status);
    if (!f.blend && f.hasSuperancillary()) {
        const double rho = (vapour ? f.satRhoV : f.satRhoL).eval(T);
        State s = stateFrom(f, T, rho);
        s.p = f.satP.eval(T);
        return {s, Status::Ok};
    }
    if (!f.blend) {
        const auto c = coexistence(f, T);
        if (!c)
            return failure<State>(c.status);
        State s = stateFrom(f, T, vapour ? c.value.rhoV : c.value.rhoL);
        s.p = c.value.p;
        return {s, Status::Ok};
    }
    // Blend: the equation's liquid root at the bubble pressure, or its vapour root at
    // the dew pressure, from the fitted density.
    const Chebyshev& fit = vapour ? f.blendRhoV : f.blendRhoL;
    const bool fitted = !fit.empty() && T >= fit.xmin() && T <= fit.xmax();
    Result<double> rho{fitted ? fit.eval(T) : 0, Status::Ok};
    if (!fitted || !fit.exactAt(T))
        rho = blendDensity(f, T, vapour, rho.value);
    if (!rho)
        return failure<State>(rho.status);
    State s = stateFrom(f, T, rho.value);
    s.p = (vapour ? f.pV : f.pL).eval(T);
    return {s, Status::Ok};
}

// The state at the density root rho of (T, p) on its isotherm, with p as given; `parts`
// those of the solver's last density.
Result<State> stateAtRoot(const FluidData& f, double T, double p, const Result<double>& rho,
                          const Isotherm& iso, DensityParts& parts) {
    if (!rho)
        return failure<State>(rho.status);
    State s = stateFrom(f, T, rho.value, iso, parts);
    if (!finite(s.h) || !finite(s.s))
        return failure<State>(Status::OutOfRange);
    s.p = p;
    return {s, Status::Ok};
}

Result<State> vapourAt(const FluidData& f, double T, double p, double rhoMax, SaturatedPoint dew) {
    const Isotherm iso(f, T);
    double start = 0;
    if (dew.rho > 0 && dew.p > p) {
        // Z = 1 + B' p + C' p^2 in the pressure, with B' = B / (R T) from the second virial
        // coefficient and C' such that it passes through the saturated vapour: between
        // the two, close to the root.
        const double rt = f.R * T;
        const double b = iso.secondVirial() / rt;
        const double c = (dew.p / (dew.rho * rt) - 1 - b * dew.p) / (dew.p * dew.p);
        const double z = 1 + p * (b + c * p);
        if (z > 0)
            start = p / (rt * z);
    }
    DensityParts parts(0);
    const auto rho = vapourDensity(iso, f, T, p, start, rhoMax, parts);
    return stateAtRoot(f, T, p, rho, iso, parts);
}

Result<State> denseStateAt(const FluidData& f, double T, double p, double start, double rhoMin) {
    const Isotherm iso(f, T);
    DensityParts parts(0);
    const auto at = [&iso, &parts](double r) {
        const PressureSlope ps = iso.at(r, parts);
        return std::pair{ps.p, ps.dpdrho};
    };
    const auto rho = risingRoot(at, p, start, rhoMin);
    return stateAtRoot(f, T, p, rho, iso, parts);
}

Result<State> vapourAtPressureEntropy(const Fluid& fluid, double p, double s) {
    const FluidData& f = fluid.data();
    if (!finite(p) || !finite(s) || !(p > 0))
        return failure<State>(Status::BadArgument);
    if (p > f.pmax)
        return failure<State>(Status::OutOfRange);
    double Tlo, Thi = f.Tmax;
    Result<State> lowState;
    const auto dewT = fluid.dewTemperature(p);
    if (dewT) {
        Tlo = dewT.value;
        lowState = f.blend ? fluid.vapourState(Tlo, p) : fluid.saturatedVapour(Tlo);
        if (!lowState)
            return lowState;
        if (s < lowState.value.s - 1e-9 * std::abs(lowState.value.s))
            return failure<State>(Status::NotVapour);
    } else if (dewT.status == Status::OutOfRange && p > f.pc) {
        Tlo = std::max(f.TsatMax, f.Tr) * 1.0001;
        lowState = fluid.vapourState(Tlo, p);
        if (!lowState)
            return lowState;
        if (s < lowState.value.s)
            return failure<State>(Status::OutOfRange);
    } else {
        return failure<State>(dewT.status);
    }
    const auto high = fluid.vapourState(Thi, p);
    if (!high)
        return high;
    if (s > high.value.s)
        return failure<State>(Status::OutOfRange);

    // Newton's method on s(T) at fixed p (ds/dT = cp/T), inside the bracket.
    State cur = lowState.value;
    double T = Tlo;
    for (int i = 0; i < kMaxIterations; ++i) {
        const double diff = cur.s - s;
        if (std::abs(diff) <= 1e-12 * std::max(1.0, std::abs(s)))
            return {cur, Status::Ok};
        if (diff < 0)
            Tlo = T;
        else
            Thi = T;
        double next = T - diff * T / cur.cp;
        if (!(next > Tlo && next < Thi) || !finite(next))
            next = 0.5 * (Tlo + Thi);
        if (std::abs(next - T) <= 1e-13 * T)
            return {cur, Status::Ok};
        T = next;
        const auto st = fluid.vapourState(T, p);
        if (!st)
            return st;
        cur = st.value;
    }
    return failure<State>(Status::NoConvergence);
}

} // namespace asere

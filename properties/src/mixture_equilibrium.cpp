// Phase equilibrium of a blend of fixed composition: its bubble and dew points at a
// temperature and at a pressure, its saturation curves as expansions in temperature
// fitted when it is loaded, and the saturation property calls answered from them.
#include "asere/loader.h"
#include "asere/mixture_isotherm.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace asere {

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
    for (int it = 0; it < 4 * kMixtureIterations; ++it) {
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

namespace {

// Blends take ids from the top half, fluid files from the bottom: ids key the caches.
std::atomic<std::uint64_t> nextBlendId{std::uint64_t{1} << 62};

constexpr double kLowestT = 200;   // K: the bottom of a blend's saturation curves
constexpr int kDegree = 12;        // of each Chebyshev piece
constexpr double kPieceWidth = 20; // K
constexpr double kMinPieceWidth = 0.3;
constexpr double kMinDensityRatio = 2.5; // liquid over vapour: nearer the critical point
                                         // than this the curves are not expanded

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
            const double T = lobattoNode(a, b, j, kDegree);
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
                // Falling temperature, as lobattoPiece takes them.
                vl[kDegree - j] = std::log(nodes[j].p);
                vr[kDegree - j] = dew ? nodes[j].rhoV : nodes[j].rhoL;
                vh[kDegree - j] = enthalpy(nodes[j]);
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
                const double T =
                    0.5 * (lobattoNode(a, b, j, kDegree) + lobattoNode(a, b, j + 1, kDegree));
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

void completeBlend(FluidData& f, const std::shared_ptr<Mixture>& m, const FileComplaints& r) {
    m->own = ownEquation(*m);
    groupByDensity(m->own, m->ownDensity, m->groupOf);
    if (m->own.termCount() > kMaxOwnTerms)
        r.fail("the components' equations have more than " + std::to_string(kMaxOwnTerms) +
               " terms together");

    const double topDew = fitCurve(*m, true, m->lnPdew, m->rhoDew, m->hDew);
    const double topBub = fitCurve(*m, false, m->lnPbub, m->rhoBub, m->hBub);
    if (m->lnPdew.empty() || m->lnPbub.empty())
        r.fail("the blend's saturation curve can't be computed");
    for (Chebyshev* c : {&m->lnPdew, &m->rhoDew, &m->hDew, &m->lnPbub, &m->rhoBub, &m->hBub})
        c->index();
    m->dewEdges = risingEdges(m->lnPdew);
    m->bubEdges = risingEdges(m->lnPbub);
    if (m->dewEdges.empty() || m->bubEdges.empty())
        r.fail("the blend's saturation pressure does not rise with temperature");

    const Reducing red = reducing(*m, m->z);
    f.id = nextBlendId.fetch_add(1);
    f.blend = true;
    f.molarMass = m->M;
    f.R = kMixtureR / m->M;
    f.Tr = red.Tr;
    f.rhor = m->M / red.vr;
    f.Ttriple = kLowestT;
    f.TsatMax = std::min(topDew, topBub);
    f.pc = std::exp(m->lnPbub.eval(f.TsatMax));
    // The range of the equations: their limits weighted by mole fraction.
    for (std::size_t i = 0; i < m->n(); ++i) {
        f.Tmax += m->z[i] * m->comp[i].eos->Tmax;
        f.pmax += m->z[i] * m->comp[i].eos->pmax;
    }
    fitTemperatureParts(*m, kLowestT, f.Tmax);
    f.mixture = m;
    // IIR reference state.
    const auto liquid = mixtureSaturatedState(f, 273.15, false);
    if (!liquid)
        r.fail("the reference state (saturated liquid at 0 degC) can't be computed");
    f.dh = 200000.0 - liquid.value.h;
    f.ds = 1000.0 - liquid.value.s;
}

Result<double> mixtureSaturationPressure(const FluidData& f, double T, bool dew) noexcept {
    const Mixture& m = *f.mixture;
    return {std::exp((dew ? m.lnPdew : m.lnPbub).eval(T)), Status::Ok};
}

Result<double> mixtureSaturationTemperature(const FluidData& f, double p, bool dew) noexcept {
    if (!std::isfinite(p) || !(p > 0))
        return failure<double>(Status::BadArgument);
    const Mixture& m = *f.mixture;
    return solveRising(dew ? m.lnPdew : m.lnPbub, dew ? m.dewEdges : m.bubEdges, std::log(p));
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

Result<Equilibrium> saturationAtPressure(const Mixture& m, const FluidData& f, double p,
                                         bool dew) noexcept {
    // Newton's method on ln p(T) of the rigorous solution, from the expansions' estimate.
    const auto T0 = mixtureSaturationTemperature(f, p, dew);
    if (!T0)
        return failure<Equilibrium>(T0.status);
    double T = T0.value;
    Equilibrium start;
    for (int i = 0; i < kMixtureIterations; ++i) {
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

// Between the reference rows: the values at midpoints against the tables' smooth
// interpolation, the saturation curve against the equation of state, and the
// thermodynamic identities the solvers must keep.
#include "reference.h"

#include "asere/fluid.h"
#include "asere/fluid_data.h"
#include "asere/isobar.h"
#include "asere/mixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using asere::RefFluid;

// Four-point Lagrange interpolation at the midpoint of the middle interval of equally
// spaced points.
double midpoint(double a, double b, double c, double d) {
    return (-a + 9 * b + 9 * c - d) / 16;
}

class Between : public ::testing::TestWithParam<RefFluid> {
protected:
    void SetUp() override { fluid_ = asere::Fluid::load(asere::fluidsDir(), GetParam().name); }
    std::shared_ptr<const asere::Fluid> fluid_;
};

// Midway between the table's rows (1 or 2 K apart) the values agree with the table's
// smooth interpolation as closely as on the rows. Near the critical point the properties
// bend too sharply for interpolation, so the last 10 K are left out.
TEST_P(Between, MidpointsFollowTheTable) {
    const auto rows = asere::readTable(std::string(GetParam().prefix) + "_sat.tsv", 7);
    const double top = fluid_->maxSaturationTemperature() - 10;
    int checked = 0;
    for (std::size_t i = 1; i + 2 < rows.size(); ++i) {
        const auto &a = rows[i - 1], &b = rows[i], &c = rows[i + 1], &d = rows[i + 2];
        const double step = c[0] - b[0];
        if (d[0] > top || step > 2 + 1e-9 || std::abs(d[0] - a[0] - 3 * step) > 1e-9)
            continue;
        const double T = 0.5 * (b[0] + c[0]);
        auto lnMid = [&](int k) {
            return std::exp(
                midpoint(std::log(a[k]), std::log(b[k]), std::log(c[k]), std::log(d[k])));
        };
        auto mid = [&](int k) { return midpoint(a[k], b[k], c[k], d[k]); };
        const double pDew = lnMid(1);
        EXPECT_NEAR(fluid_->dewPressure(T).value / pDew, 1, 1e-5) << T;
        EXPECT_NEAR(fluid_->bubblePressure(T).value / lnMid(2), 1, 1e-5) << T;
        EXPECT_NEAR(fluid_->liquidEnthalpy(T).value, mid(4), 1.0) << T;
        const auto vap = fluid_->vapourState(T, fluid_->dewPressure(T).value);
        ASSERT_TRUE(vap.ok()) << T;
        EXPECT_NEAR(vap.value.h, mid(5), 1.0) << T;
        EXPECT_NEAR(vap.value.v / lnMid(6), 1, 1e-5) << T;
        ++checked;
    }
    EXPECT_GT(checked, 40);
}

// The saturation curve (expansions or ancillaries) and the equation of state describe
// the same fluid: for a pure fluid the liquid and vapour have the pressure of the curve
// and equal Gibbs energy, and the curve's slope is the Clapeyron slope.
TEST_P(Between, SaturationAgreesWithTheEquationOfState) {
    const double Tlo = std::max(fluid_->tripleTemperature(), 213.15);
    const double Thi = fluid_->maxSaturationTemperature() - 2;
    for (double T = Tlo + 0.5; T < Thi; T += 1.37) {
        const auto liq = fluid_->saturatedLiquid(T);
        const auto vap = fluid_->saturatedVapour(T);
        ASSERT_TRUE(liq.ok() && vap.ok()) << T;
        const auto pl = fluid_->stateAt(T, liq.value.rho);
        const auto pv = fluid_->stateAt(T, vap.value.rho);
        EXPECT_NEAR(pl.value.p / fluid_->bubblePressure(T).value, 1, 1e-8) << T;
        EXPECT_NEAR(pv.value.p / fluid_->dewPressure(T).value, 1, 1e-8) << T;
        if (GetParam().blend) {
            // The glide: bubble pressure above dew pressure, bubble point below dew point.
            const double pd = fluid_->dewPressure(T).value;
            EXPECT_GT(fluid_->bubblePressure(T).value, pd) << T;
            EXPECT_LT(fluid_->bubbleTemperature(pd).value, T) << T;
            EXPECT_NEAR(fluid_->dewTemperature(pd).value, T, 1e-9) << T;
            continue;
        }
        const double gl = liq.value.h - T * liq.value.s, gv = vap.value.h - T * vap.value.s;
        EXPECT_NEAR(gl, gv, 1e-6 * fluid_->gasConstant() * T) << T;
        const double dT = 1e-3;
        const double slope =
            (fluid_->dewPressure(T + dT).value - fluid_->dewPressure(T - dT).value) / (2 * dT);
        const double clapeyron = (vap.value.s - liq.value.s) / (vap.value.v - liq.value.v);
        EXPECT_NEAR(slope / clapeyron, 1, 1e-6) << T;
    }
}

// The curves fitted when the fluid is loaded (the saturated liquid's enthalpy, the
// inverse of the pressure) stop short of the critical point, where the solvers answer:
// on both sides of that seam and up to the top they agree with the saturated states and
// give back the temperature of a pressure.
TEST_P(Between, FittedCurvesMeetTheSolvedOnes) {
    const double Tlo = fluid_->tripleTemperature(), top = fluid_->maxSaturationTemperature();
    std::vector<double> temps;
    for (double T = Tlo + 0.3; T < top - 10; T += 2.71)
        temps.push_back(T);
    // A pseudo-pure blend's solvers give up in the last kelvin below the top of its
    // pressure equations.
    const double nearest = GetParam().blend ? 2 : 1e-3;
    for (double below = 10; below > nearest; below *= 0.8)
        temps.push_back(top - below);
    for (const double T : temps) {
        const auto liq = fluid_->saturatedLiquid(T);
        const auto h = fluid_->liquidEnthalpy(T);
        ASSERT_TRUE(liq.ok() && h.ok()) << T;
        EXPECT_NEAR(h.value, liq.value.h, 1e-3) << T;
        for (const bool dew : {true, false}) {
            const auto p = dew ? fluid_->dewPressure(T) : fluid_->bubblePressure(T);
            ASSERT_TRUE(p.ok()) << T;
            const auto back =
                dew ? fluid_->dewTemperature(p.value) : fluid_->bubbleTemperature(p.value);
            ASSERT_TRUE(back.ok()) << T << " " << dew;
            EXPECT_NEAR(back.value, T, 1e-9 * T) << dew;
        }
    }
}

// Vapour states: cp is the slope of h along the isobar and T times that of s, the density
// solve gives back the pressure, and the state at the pressure and entropy of a vapour state is
// that state.
TEST_P(Between, VapourStatesAreConsistent) {
    const auto rows = asere::readTable(std::string(GetParam().prefix) + "_superheat.tsv", 5);
    for (std::size_t i = 0; i < rows.size(); i += 3) {
        const double p = rows[i][1], T = rows[i][2];
        if (T - rows[i][0] < 0.01)
            continue; // the dew point: no vapour just below it
        const auto s = fluid_->vapourState(T, p);
        ASSERT_TRUE(s.ok()) << T << " " << p;
        const double dT = 1e-3;
        const double cpNum =
            (fluid_->vapourState(T + dT, p).value.h - fluid_->vapourState(T - dT, p).value.h) /
            (2 * dT);
        EXPECT_NEAR(s.value.cp / cpNum, 1, 1e-6) << T << " " << p;
        // T ds = dh along the isobar.
        const double dsdT =
            (fluid_->vapourState(T + dT, p).value.s - fluid_->vapourState(T - dT, p).value.s) /
            (2 * dT);
        EXPECT_NEAR(T * dsdT / cpNum, 1, 1e-6) << T << " " << p;
        EXPECT_NEAR(fluid_->stateAt(T, s.value.rho).value.p / p, 1, 1e-12);

        const auto back = fluid_->stateAtPressureEntropy(p, s.value.s);
        ASSERT_TRUE(back.ok()) << T << " " << p;
        EXPECT_NEAR(back.value.T, T, 1e-7) << p;
        EXPECT_NEAR(back.value.h, s.value.h, 1e-3) << p;
        EXPECT_NEAR(back.value.p / p, 1, 1e-12) << T;
    }
}

// Single-phase states at (T, p) against the curve they leave and against themselves: just
// below the dew pressure the vapour state itself, just above the bubble pressure a liquid
// at the saturated liquid's enthalpy and above its density, between a blend's bubble and
// dew pressures none; off the curve and above the critical point the found density gives
// back p, and h and s change along the isobar by cp dT and cp dT / T.
TEST_P(Between, SinglePhaseStatesMeetTheSaturationCurve) {
    const auto f = fluid_;
    const auto expectConsistent = [&f](double T, double p, const char* where) {
        const auto s = f->singlePhaseState(T, p);
        // Just above the top of the saturation curve a blend of pure fluids still has two
        // phases, up to its critical point: there the library has no state.
        if (f->data().mixture && T < f->criticalPoint().first + 5 && p > f->criticalPressure()) {
            EXPECT_TRUE(s.ok() || s.status == asere::Status::OutOfRange) << T << " " << p;
            return;
        }
        ASSERT_TRUE(s.ok()) << where << " " << T << " " << p;
        EXPECT_NEAR(f->stateAt(T, s.value.rho).value.p / p, 1, 1e-10) << where << " " << T;
        // Small enough for the steep heat capacity 2 K above a critical point.
        const double dT = 2e-4;
        const auto up = f->singlePhaseState(T + dT, p), down = f->singlePhaseState(T - dT, p);
        ASSERT_TRUE(up.ok() && down.ok()) << where << " " << T;
        const double cp = (up.value.h - down.value.h) / (2 * dT);
        EXPECT_NEAR(s.value.cp / cp, 1, 1e-6) << where << " " << T << " " << p;
        EXPECT_NEAR(T * (up.value.s - down.value.s) / (2 * dT) / cp, 1, 1e-6) << where << " " << T;
    };
    const double Tlo = std::max(f->tripleTemperature(), 213.15);
    const double Thi = f->maxSaturationTemperature() - 2;
    for (double T = Tlo + 0.5; T < Thi; T += 4.37) {
        const double dew = f->dewPressure(T).value, bubble = f->bubblePressure(T).value;
        const auto vapour = f->singlePhaseState(T, dew * (1 - 1e-6));
        ASSERT_TRUE(vapour.ok()) << T;
        EXPECT_EQ(vapour.value.h, f->vapourState(T, dew * (1 - 1e-6)).value.h) << T;
        const auto liquid = f->singlePhaseState(T, bubble * (1 + 1e-6));
        const auto saturated = f->saturatedLiquid(T);
        ASSERT_TRUE(liquid.ok() && saturated.ok()) << T;
        EXPECT_GE(liquid.value.rho, saturated.value.rho) << T;
        // h moves with p about linearly: 1e-4 of its change to 1 % above the bubble pressure.
        const double hAbove = f->singlePhaseState(T, 1.01 * bubble).value.h;
        EXPECT_NEAR(liquid.value.h, saturated.value.h,
                    2e-4 * std::abs(hAbove - saturated.value.h) + 1e-6)
            << T;
        EXPECT_EQ(f->singlePhaseState(T, std::sqrt(dew * bubble)).status,
                  GetParam().blend ? asere::Status::TwoPhase : asere::Status::Ok)
            << T;
        expectConsistent(T, 1.3 * bubble + 1e5, "liquid");
        expectConsistent(T, 0.7 * dew, "vapour");
    }
    const auto [Tc, pc] = f->criticalPoint();
    for (const double T : {Tc + 2, Tc + 20, std::min(Tc + 80, f->maxTemperature() - 1)})
        for (const double p : {0.5 * pc, 1.05 * pc, 2 * pc})
            expectConsistent(T, p, "supercritical");
}

// Isobutane's vapour dome leans over: compressing saturated vapour isentropically ends
// inside the dome, which is no vapour state.
TEST(IsentropicCompression, SaturatedIsobutaneEndsWet) {
    const auto f = asere::Fluid::load(asere::fluidsDir(), "R600a");
    const auto in = f->saturatedVapour(263.15);
    const auto out = f->stateAtPressureEntropy(f->dewPressure(318.15).value, in.value.s);
    EXPECT_EQ(out.status, asere::Status::NotVapour);
}

// The blends on the mixture model: bubble and dew temperatures against their table, and
// off the tables' grid the expansions against the phase-equilibrium solver, whose two
// phases have the same pressure and equal fugacities of every component.
class Mixtures : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { fluid_ = asere::Fluid::load(asere::fluidsDir(), GetParam()); }
    std::shared_ptr<const asere::Fluid> fluid_;
};

TEST_P(Mixtures, BubbleAndDewTemperatureTable) {
    const auto rows = asere::readTable(std::string(GetParam()) + "_bubble.tsv", 3);
    ASSERT_EQ(rows.size(), 20u);
    double worst = 0;
    for (const auto& r : rows) {
        const double tb = fluid_->bubbleTemperature(r[0]).value;
        const double td = fluid_->dewTemperature(r[0]).value;
        EXPECT_NEAR(tb, r[1], 1e-3) << r[0];
        EXPECT_NEAR(td, r[2], 1e-3) << r[0];
        worst = std::max({worst, std::abs(tb - r[1]), std::abs(td - r[2])});
    }
    std::printf("worst deviation, bubble and dew temperature, %s: %.1e K\n", GetParam(), worst);
}

TEST_P(Mixtures, PhaseEquilibriumOffTheGrid) {
    using namespace asere;
    const FluidData& f = fluid_->data();
    const Mixture& m = *f.mixture;
    for (double T = 201.37; T < fluid_->maxSaturationTemperature() - 5; T += 9.71) {
        for (const bool dew : {false, true}) {
            const auto e = saturationAtTemperature(m, T, dew, Equilibrium{});
            ASSERT_TRUE(e.ok()) << T << (dew ? " dew" : " bubble");
            const Equilibrium& q = e.value;
            const double p = (dew ? fluid_->dewPressure(T) : fluid_->bubblePressure(T)).value;
            EXPECT_NEAR(q.p / p, 1, 1e-9) << T;
            EXPECT_NEAR(mixturePressure(m, T, q.rhoL, q.x) / q.p, 1, 1e-9) << T;
            EXPECT_NEAR(mixturePressure(m, T, q.rhoV, q.y) / q.p, 1, 1e-9) << T;
            double phiL[kMaxComponents], phiV[kMaxComponents];
            lnFugacityCoefficients(m, T, q.rhoL, q.x, phiL);
            lnFugacityCoefficients(m, T, q.rhoV, q.y, phiV);
            double sumX = 0, sumY = 0;
            for (std::size_t i = 0; i < m.n(); ++i) {
                EXPECT_NEAR(std::log(q.x[i]) + phiL[i], std::log(q.y[i]) + phiV[i], 1e-9) << T;
                sumX += q.x[i];
                sumY += q.y[i];
            }
            EXPECT_NEAR(sumX, 1, 1e-12);
            EXPECT_NEAR(sumY, 1, 1e-12);
            // At the solved pressure, the temperature of the expansions is the solver's.
            const auto back = saturationAtPressure(m, f, q.p, dew);
            ASSERT_TRUE(back.ok()) << T;
            EXPECT_NEAR(back.value.T, T, 1e-7);
            EXPECT_NEAR((dew ? fluid_->dewTemperature(q.p) : fluid_->bubbleTemperature(q.p)).value,
                        T, 1e-7);
        }
    }
}

// ln phi of the components of a phase of composition c at (T, p), its density solved by
// Newton's method from rho nearby.
void lnPhiAtPressure(const asere::Mixture& m, double T, double p, const asere::Composition& c,
                     double rho, double* out) {
    using asere::mixturePressure;
    for (int i = 0; i < 50; ++i) {
        const double h = 1e-6 * rho;
        const double slope =
            (mixturePressure(m, T, rho + h, c) - mixturePressure(m, T, rho - h, c)) / (2 * h);
        const double step = (mixturePressure(m, T, rho, c) - p) / slope;
        rho -= step;
        if (std::abs(step) <= 1e-14 * rho)
            break;
    }
    asere::lnFugacityCoefficients(m, T, rho, c, out);
}

// The glide against the Gibbs-Duhem equation of the incipient phase: along the bubble (dew)
// curve the liquid (vapour) keeps the blend's composition, and sum_i y_i d ln phi_i = 0 at
// constant T and p in the incipient phase, so the slope of the curve follows from the
// fugacity coefficients' T and p derivatives at frozen compositions:
// d ln p / dT = -sum w_i d(ln phi_fixed,i - ln phi_incipient,i)/dT / (p sum w_i d(...)/dp),
// w the incipient phase's composition. The expansions' slope must agree.
TEST_P(Mixtures, GlideFollowsGibbsDuhem) {
    using namespace asere;
    const Mixture& m = *fluid_->data().mixture;
    for (double T = 213.15; T < fluid_->maxSaturationTemperature() - 5; T += 35) {
        for (const bool dew : {false, true}) {
            const auto e = saturationAtTemperature(m, T, dew, Equilibrium{});
            ASSERT_TRUE(e.ok()) << T;
            const Equilibrium& q = e.value;
            const Composition& w = dew ? q.x : q.y;
            const double rhoFixed = dew ? q.rhoV : q.rhoL, rhoIncipient = dew ? q.rhoL : q.rhoV;
            const auto gap = [&](double t, double p) {
                double fixed[kMaxComponents], incipient[kMaxComponents], sum = 0;
                lnPhiAtPressure(m, t, p, m.z, rhoFixed, fixed);
                lnPhiAtPressure(m, t, p, w, rhoIncipient, incipient);
                for (std::size_t i = 0; i < m.n(); ++i)
                    sum += w[i] * (fixed[i] - incipient[i]);
                return sum;
            };
            const double hT = 1e-3, hp = 1e-5 * q.p;
            const double dT = (gap(T + hT, q.p) - gap(T - hT, q.p)) / (2 * hT);
            const double dp = (gap(T, q.p + hp) - gap(T, q.p - hp)) / (2 * hp);
            double slope;
            (dew ? m.lnPdew : m.lnPbub).eval(T, &slope);
            EXPECT_NEAR(-dT / (q.p * dp) / slope, 1, 1e-6) << T << (dew ? " dew" : " bubble");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Blends, Mixtures, ::testing::Values("R454B", "R513A", "R448A", "R449A"),
                         [](const auto& info) { return std::string(info.param); });

INSTANTIATE_TEST_SUITE_P(AllFluids, Between, ::testing::ValuesIn(asere::referenceFluids()),
                         asere::fluidName);

// A pure fluid whose file has no superancillary is saturated by solving the phase
// equilibrium of the equation of state; it agrees with the expansions.
TEST(PhaseEquilibrium, SolvedSaturationMatchesTheExpansions) {
    std::ifstream in(asere::fluidsDir() / "n-Propane.json");
    nlohmann::json doc = nlohmann::json::parse(in);
    doc["EOS"][0].erase("SUPERANCILLARY");
    const auto solved = asere::Fluid::fromJson(doc.dump(), "propane without expansions");
    const auto expanded = asere::Fluid::load(asere::fluidsDir(), "R290");
    for (double T : {200.0, 233.15, 263.15, 273.15, 300.0, 330.0, 350.0}) {
        const double p = expanded->dewPressure(T).value;
        EXPECT_NEAR(solved->dewPressure(T).value / p, 1, 1e-9) << T;
        EXPECT_NEAR(solved->bubbleTemperature(p).value, T, 1e-6) << T;
        EXPECT_NEAR(solved->liquidEnthalpy(T).value, expanded->liquidEnthalpy(T).value, 1e-3) << T;
        EXPECT_NEAR(solved->vapourState(T + 10, p).value.h,
                    expanded->vapourState(T + 10, p).value.h, 1e-6)
            << T;
    }
}

// Recent states are remembered per fluid: answers never depend on what was asked before,
// and two fluids (or two loads of one file) never answer for each other.
TEST(StateMemory, AnswersDoNotDependOnEarlierCalls) {
    const auto a = asere::Fluid::load(asere::fluidsDir(), "R134a");
    const auto b = asere::Fluid::load(asere::fluidsDir(), "R32");
    const auto a2 = asere::Fluid::load(asere::fluidsDir(), "R134a");
    const double T = 268.15, p = 200000;
    const double ha = a->vapourState(T, p).value.h;
    const double hb = b->vapourState(T, p).value.h;
    const double la = a->liquidEnthalpy(T).value, lb = b->liquidEnthalpy(T).value;
    EXPECT_NE(ha, hb);
    EXPECT_NE(la, lb);
    for (int round = 0; round < 20; ++round) {
        // More distinct states than the memory holds, interleaved.
        for (int k = 0; k < 12; ++k)
            (k % 2 ? a : b)->vapourState(T + k, p - 1000 * k);
        EXPECT_EQ(b->vapourState(T, p).value.h, hb);
        EXPECT_EQ(a->vapourState(T, p).value.h, ha);
        EXPECT_EQ(a2->vapourState(T, p).value.h, ha);
        EXPECT_EQ(b->liquidEnthalpy(T).value, lb);
        EXPECT_EQ(a->liquidEnthalpy(T).value, la);
    }
    // A failed call leaves nothing behind.
    EXPECT_FALSE(a->vapourState(T, 5e6).ok());
    EXPECT_EQ(a->vapourState(T, p).value.h, ha);
}

// The isobar searches start from what the thread had just before: a rating's suction
// state, or the last state found on the same isobar. Whatever came before, they agree with
// a thread that asks them first (to 1e-9, far inside the equation's accuracy), and a
// remembered isobar never lets a state inside the dome pass as vapour.
template <class Call> auto onFreshThread(Call call) {
    decltype(call()) result;
    std::thread([&] { result = call(); }).join();
    return result;
}

TEST(IsobarSearch, AnswersAgreeWhateverCameBefore) {
    struct Point {
        const char* fluid;
        double te, tc, superheat;
    };
    // A pure fluid, a dry one, pseudo-pure blends and blends on the mixture model; two
    // fluids on one pressure one after the other.
    const Point points[] = {{"R290", -10, 40, 10},    {"R290", -30, 55, 0},
                            {"R1234yf", 5, 30, 20},   {"R32", -25, 50, 5},
                            {"R410A", -10, 40, 10},   {"R407C", 0, 45, 30},
                            {"R448A", -20, 45, 10},   {"R454B", -5, 35, 0},
                            {"R134a", -10, 39.37, 5}, {"R1234ze(E)", -10, 46.5, 5}};
    for (const Point& pt : points) {
        const auto f = asere::Fluid::load(asere::fluidsDir(), pt.fluid);
        const double pe = f->dewPressure(pt.te + 273.15).value;
        const double pc = f->dewPressure(pt.tc + 273.15).value;
        const auto suction = f->vapourState(pt.te + 273.15 + pt.superheat, pe);
        ASSERT_TRUE(suction.ok()) << pt.fluid;
        const auto isentropic = asere::isobarVapourAtEntropy(*f, pc, suction.value.s);
        ASSERT_TRUE(isentropic.ok()) << pt.fluid << " " << pt.te;
        const double h2 = suction.value.h + (isentropic.value.h - suction.value.h) / 0.6;
        // Beyond R32's range at -25/50 degC: both searches tell OutOfRange.
        const auto discharge = asere::vapourAtPressureEnthalpy(*f, pc, h2);
        const auto first = onFreshThread([&] {
            return std::pair(asere::isobarVapourAtEntropy(*f, pc, suction.value.s),
                             asere::vapourAtPressureEnthalpy(*f, pc, h2));
        });
        for (const auto& [after, alone] :
             {std::pair(isentropic, first.first), std::pair(discharge, first.second)}) {
            ASSERT_EQ(after.status, alone.status) << pt.fluid << " " << pt.te;
            if (!alone.ok())
                continue;
            EXPECT_NEAR(after.value.T, alone.value.T, 1e-9 * alone.value.T) << pt.fluid;
            EXPECT_NEAR(after.value.h, alone.value.h, 1e-9 * alone.value.h) << pt.fluid;
            EXPECT_NEAR(after.value.s, alone.value.s, 1e-9 * alone.value.s) << pt.fluid;
            EXPECT_NEAR(after.value.rho, alone.value.rho, 1e-9 * alone.value.rho) << pt.fluid;
        }
    }
}

TEST(IsobarSearch, RememberedIsobarStillRefusesTheDome) {
    // Isobutane's dome leans over: near-saturated suction compressed isentropically ends wet.
    const auto f = asere::Fluid::load(asere::fluidsDir(), "R600a");
    const double pe = f->dewPressure(263.15).value, pc = f->dewPressure(318.15).value;
    const auto hot = f->vapourState(263.15 + 40, pe);
    ASSERT_TRUE(asere::isobarVapourAtEntropy(*f, pc, hot.value.s).ok());
    const auto wet = f->vapourState(263.15 + 0.5, pe);
    EXPECT_EQ(asere::isobarVapourAtEntropy(*f, pc, wet.value.s).status, asere::Status::NotVapour);
    const double hDew = f->saturatedVapour(318.15).value.h;
    ASSERT_TRUE(asere::vapourAtPressureEnthalpy(*f, pc, hDew + 5000).ok());
    EXPECT_EQ(asere::vapourAtPressureEnthalpy(*f, pc, hDew - 5000).status,
              asere::Status::NotVapour);
}

} // namespace

// Every row of the reference tables, for every fluid: saturation pressures, bubble
// temperatures, saturated-liquid and vapour enthalpies, vapour specific volumes.
#include "reference.h"

#include "asere/fluid.h"
#include "asere/isobar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace {

using asere::RefFluid;
using asere::Worst;

constexpr double kPressure = 1e-5;    // 0.001 %
constexpr double kVolume = 1e-5;      // 0.001 %
constexpr double kEnthalpy = 1.0;     // J/kg
constexpr double kTemperature = 1e-3; // K

class Accuracy : public ::testing::TestWithParam<RefFluid> {
protected:
    void SetUp() override { fluid_ = asere::Fluid::load(asere::fluidsDir(), GetParam().name); }
    std::shared_ptr<const asere::Fluid> fluid_;
};

double valueOf(const asere::Result<double>& r) {
    return r.ok() ? r.value : NAN;
}

TEST_P(Accuracy, SaturationTableEveryRow) {
    const auto rows = asere::readTable(std::string(GetParam().prefix) + "_sat.tsv", 7);
    Worst pDew("p_dew", kPressure, true), pBubble("p_bubble", kPressure, true);
    Worst tBubble("T_bubble [K]", kTemperature, false), hLiq("h_liq [J/kg]", kEnthalpy, false);
    Worst hVap("h_vap [J/kg]", kEnthalpy, false), vVap("v_vap", kVolume, true);
    for (const auto& r : rows) {
        const double T = r[0];
        pDew.check(valueOf(fluid_->dewPressure(T)), r[1], T);
        pBubble.check(valueOf(fluid_->bubblePressure(T)), r[2], T);
        tBubble.check(valueOf(fluid_->bubbleTemperature(r[1])), r[3], T);
        hLiq.check(valueOf(fluid_->liquidEnthalpy(T)), r[4], T);
        // The dew point is reached as a vapour state at (T, dew pressure), as the rating
        // asks for it at zero superheat.
        const auto vap = fluid_->vapourState(T, r[1]);
        hVap.check(vap.ok() ? vap.value.h : NAN, r[5], T);
        vVap.check(vap.ok() ? vap.value.v : NAN, r[6], T);
    }
    std::string line = std::string(GetParam().name) + ": ";
    for (const Worst* w : {&pDew, &pBubble, &tBubble, &hLiq, &hVap, &vVap})
        line += w->report() + "; ";
    std::printf("worst deviation, saturation, %s\n", line.c_str());
}

TEST_P(Accuracy, SuperheatTableEveryRow) {
    const auto rows = asere::readTable(std::string(GetParam().prefix) + "_superheat.tsv", 5);
    Worst h("h [J/kg]", kEnthalpy, false), v("v", kVolume, true);
    for (const auto& r : rows) {
        const auto s = fluid_->vapourState(r[2], r[1]);
        h.check(s.ok() ? s.value.h : NAN, r[3], r[2]);
        v.check(s.ok() ? s.value.v : NAN, r[4], r[2]);
    }
    std::printf("worst deviation, superheat, %s: %s; %s\n", GetParam().name, h.report().c_str(),
                v.report().c_str());
}

// Entropy and the states along an isobar, by hand from the superheat table: the vapour at
// (p, h) of each row has the row's temperature; entropy rises along the isobar by the
// integral of dh / T over the rows up to 10 K superheat (each step with its mean cp: dh / dT ln(T2
// / T1)); and for a pure fluid the dew-point vapour at 0 degC lies (h_vap - h_liq) / T above the
// IIR reference s = 1 kJ/(kg K) of the liquid.
TEST_P(Accuracy, EntropyAndIsobarStatesFromTheTables) {
    const auto rows = asere::readTable(std::string(GetParam().prefix) + "_superheat.tsv", 5);
    Worst tFromH("T(p, h) [K]", kTemperature, false), ds("s - s_dew [J/(kg K)]", 0.02, false);
    Worst tFromS("T(p, s) [K]", kTemperature, false);
    for (std::size_t i = 0; i < rows.size();) {
        const double pressure = rows[i][1];
        const auto first = fluid_->vapourState(rows[i][2], pressure);
        ASSERT_TRUE(first.ok()) << rows[i][2];
        double integral = 0;
        // Within 20 K of the critical point cp bends too sharply for the quadrature.
        bool fine = rows[i][0] < fluid_->criticalTemperature() - 20;
        for (; i < rows.size() && rows[i][1] == pressure; ++i) {
            const auto& r = rows[i];
            const auto byH = asere::vapourAtPressureEnthalpy(*fluid_, pressure, r[3]);
            tFromH.check(byH.ok() ? byH.value.T : NAN, r[2], r[2]);
            // The steps of up to 5 K (to 10 K superheat) keep the quadrature's own error
            // below 0.005 J/(kg K).
            fine =
                fine && (i == 0 || rows[i - 1][1] != pressure || r[2] - rows[i - 1][2] <= 5 + 1e-9);
            if (fine && i > 0 && rows[i - 1][1] == pressure) {
                const auto& q = rows[i - 1];
                integral += (r[3] - q[3]) / (r[2] - q[2]) * std::log(r[2] / q[2]);
                const auto here = fluid_->vapourState(r[2], pressure);
                ds.check(here.ok() ? here.value.s - first.value.s : NAN, integral, r[2]);
                const auto byS = asere::isobarVapourAtEntropy(*fluid_, pressure, here.value.s);
                const auto solver = fluid_->stateAtPressureEntropy(pressure, here.value.s);
                EXPECT_NEAR(byS.value.T, solver.value.T, 1e-7) << r[2];
                tFromS.check(byS.ok() ? byS.value.T : NAN, r[2], r[2]);
            }
        }
    }
    std::string line = std::string(GetParam().name) + ": ";
    for (const Worst* w : {&tFromH, &tFromS, &ds})
        line += w->report() + "; ";
    if (!GetParam().blend) {
        for (const auto& r : asere::readTable(std::string(GetParam().prefix) + "_sat.tsv", 7))
            if (std::abs(r[0] - 273.15) < 1e-9) {
                const auto vap = fluid_->vapourState(r[0], r[1]);
                Worst s0("s_vap(0 degC) [J/(kg K)]", 0.01, false);
                s0.check(vap.ok() ? vap.value.s : NAN, 1000 + (r[5] - r[4]) / r[0], r[0]);
                line += s0.report();
            }
    }
    std::printf("worst deviation, entropy and isobar states, %s\n", line.c_str());
}

// The liquid 1 bar above the bubble pressure as a single-phase state at (T, p).
TEST_P(Accuracy, LiquidTableEveryRow) {
    if (!std::filesystem::exists(asere::referenceDir() /
                                 (std::string(GetParam().prefix) + "_liquid.tsv")))
        GTEST_SKIP() << "no liquid table";
    const auto rows = asere::readTable(std::string(GetParam().prefix) + "_liquid.tsv", 3);
    Worst h("h [J/kg]", kEnthalpy, false);
    for (const auto& r : rows) {
        const auto s = fluid_->singlePhaseState(r[0], r[1]);
        h.check(s.ok() ? s.value.h : NAN, r[2], r[0]);
        const auto liquid = fluid_->saturatedLiquid(r[0]);
        ASSERT_TRUE(liquid.ok() && s.ok()) << r[0];
        EXPECT_GT(s.value.rho, liquid.value.rho) << r[0];
    }
    std::printf("worst deviation, liquid, %s: %s\n", GetParam().name, h.report().c_str());
}

INSTANTIATE_TEST_SUITE_P(AllFluids, Accuracy, ::testing::ValuesIn(asere::referenceFluids()),
                         asere::fluidName);

} // namespace

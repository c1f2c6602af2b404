// Every row of the reference tables, for every fluid: saturation pressures, bubble
// temperatures, saturated-liquid and vapour enthalpies, vapour specific volumes.
#include "reference.h"

#include "asere/fluid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

using asere::RefFluid;

// Largest deviation of one quantity over a table, with the row where it occurred.
class Worst {
public:
    Worst(const char* what, double limit, bool relative)
        : what_(what), limit_(limit), relative_(relative) {}

    void check(double got, double want, double at) {
        ++rows_;
        const double dev = std::abs(relative_ ? (got - want) / want : got - want);
        const double size = std::isnan(dev) ? INFINITY : dev;
        if (size > worst_)
            worst_ = size, at_ = at;
        if (size > limit_ && failures_++ < 5)
            ADD_FAILURE() << what_ << " at " << at << ": got " << got << ", reference " << want;
    }
    // Expects the worst deviation within the limit and describes it.
    std::string report() const {
        EXPECT_GT(rows_, 0) << what_;
        EXPECT_LE(worst_, limit_) << what_ << " worst at " << at_;
        char buf[96];
        std::snprintf(buf, sizeof buf, relative_ ? "%s %.1e %%" : "%s %.1e", what_,
                      relative_ ? 100 * worst_ : worst_);
        return buf;
    }

private:
    const char* what_;
    double limit_;
    bool relative_;
    double worst_ = 0, at_ = NAN;
    int rows_ = 0, failures_ = 0;
};

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

std::string fluidName(const ::testing::TestParamInfo<RefFluid>& info) {
    return info.param.prefix;
}

INSTANTIATE_TEST_SUITE_P(AllFluids, Accuracy, ::testing::ValuesIn(asere::referenceFluids()),
                         fluidName);

} // namespace

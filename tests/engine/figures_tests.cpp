// The figures beyond the rating through the real shared libraries, against hand
// calculations from the reference property tables for a pure fluid (R134a), a pseudo-pure
// blend (R407C) and a blend on the mixture model (R454B). The library holds one catalogue
// per process: its models are written once, with powers worked out from the tables.
#include <gtest/gtest.h>

#include <asere32.h>
#include <kpx_calc.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "reference.h"

namespace {

constexpr double kMassFlow = 0.01; // kg/s
constexpr double kCapacity = 1000; // W
constexpr double kTe = -10, kTc = 45, kSuperheat = 10;

// The reference states of one fluid at its test point (on the rows of its table): suction
// at Te + 10 K, the dew pressures at Te and Tc, and the vapour `dsh` above the dew point
// at Tc.
struct Hand {
    const char* name;
    double te, tc, dsh;
    double pe = 0, pc = 0, h1 = 0, v1 = 0, h2 = 0;
};

Hand handFor(const char* prefix, const char* name, double te, double tc, double dsh) {
    Hand hand{name, te, tc, dsh};
    for (const auto& r : asere::readTable(std::string(prefix) + "_superheat.tsv", 5)) {
        if (std::abs(r[0] - (te + 273.15)) < 1e-6 && std::abs(r[2] - r[0] - kSuperheat) < 1e-6) {
            hand.pe = r[1];
            hand.h1 = r[3];
            hand.v1 = r[4];
        }
        if (std::abs(r[0] - (tc + 273.15)) < 1e-6 && std::abs(r[2] - r[0] - dsh) < 1e-6) {
            hand.pc = r[1];
            hand.h2 = r[3];
        }
    }
    return hand;
}

const std::vector<Hand>& hands() {
    static const std::vector<Hand> h = {handFor("R134a", "R134a", -10, 45, 30),
                                        handFor("R407C", "R407C", -10, 45, 30),
                                        handFor("R454B", "R454B", 0, 40, 40)};
    return h;
}

// Power input of a scroll (5 % heat loss) whose gas leaves 30 K above the dew point at Tc.
double powerFor(const Hand& h) {
    return kMassFlow * (h.h2 - h.h1) / (1 - 0.05);
}

const std::string kHeader = "ShowName\tRefrigerant\tFrequency\tDLLR\tDLLF\tDLLP\tDisplacement\t"
                            "Speed\tTeLow\tTeHig\tTcLow\tTcHig\tTeMin\tTeMax\tTcMin\tTcMax\t"
                            "ShMax\tShTol\tRgtMax\tScMax\tTcTol\tScBase\tShBase\tQ0\tP0\tA0\tM0\t"
                            "TdMax\tTd0\tQr0\tTd1\tTd2\tTd3\tTd4\tTd5\tTd6\tTd7\tTd8\tTd9\t"
                            "Qr1\tQr2\tQr3\tQr4\tQr5\tQr6\tQr7\tQr8\tQr9\t";

std::string row(const std::string& name, const char* refrigerant, const std::string& displacement,
                double power, const std::string& extra) {
    char numbers[256];
    std::snprintf(numbers, sizeof numbers,
                  "-30\t15\t20\t120\t-25\t10\t25\t65\t30\t5\t40\t15\t3\t0\t%g\t%g\t%.17g\t2\t%g\t",
                  kSuperheat, kCapacity, power, kMassFlow);
    return name + "\t" + refrigerant + "\t50\t1\t1\t4\t" + displacement + numbers + extra;
}

// Model 3n+1: the fluid's scroll with its displacement, estimated figures; 3n+2: the same
// with the catalogue's discharge temperature, heat rejection and maximum; 3n+3: a power
// input too small for the gas it compresses, and no displacement. The zero terms follow.
std::string catalogue() {
    std::string text = kHeader;
    for (const char set : {'Q', 'P', 'A', 'M'})
        for (char digit = '1'; digit <= '9'; ++digit)
            text += std::string{set, digit, '\t'};
    text += "\n";
    std::string zeros;
    for (int i = 0; i < 36; ++i)
        zeros += "0\t";
    for (const Hand& h : hands()) {
        const double power = powerFor(h);
        const std::string name(h.name);
        const std::string none(21, '\t');
        std::string own = "90\t95\t1600\t";
        for (int i = 0; i < 18; ++i)
            own += "0\t";
        text += row(name + "-E", h.name, "30\t2900\t", power, none) + zeros + "\n";
        text += row(name + "-C", h.name, "30\t2900\t", power, own) + zeros + "\n";
        text += row(name + "-X", h.name, "\t\t", 100, none) + zeros + "\n";
    }
    // Model 10: columns of the figures out of all bounds.
    std::string hostile = "1e308\t1e308\t1e308\t";
    for (int i = 0; i < 18; ++i)
        hostile += "1e308\t";
    text +=
        row("R134a-H", "R134a", "1e-300\t1e300\t", powerFor(hands()[0]), hostile) + zeros + "\n";
    return text;
}

class Figures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new kpx::TempDir;
        kpx::provideFluids(asere::fluidsDir(), *dir_);
        dir_->write("kpxcodes.bin", "List\tNumber\tText\nDLLR\t1\tR134a\n");
        dir_->write("kpxcalc.bin", catalogue());
        ASSERT_EQ(KPX_Initialize(dir_->slash().c_str()), 0);
        ASSERT_EQ(ILK_SetDataDirectory(dir_->slash().c_str()), 0);
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::int32_t figures(std::int32_t model, double te, double tc, KPX_Figures& f,
                                double sh2 = kSuperheat) {
        return KPX_RatingFigures(model, nullptr, nullptr, 0, te, tc, 0, kSuperheat, sh2, &f);
    }
    static kpx::TempDir* dir_;
};
kpx::TempDir* Figures::dir_ = nullptr;

// Pressures, heat rejection = capacity + power - heat loss, the discharge temperature of
// the energy balance, isentropic and volumetric efficiency, each fluid by hand.
TEST_F(Figures, EstimatedFromTheEnergyBalanceMatchTheTables) {
    for (std::size_t n = 0; n < hands().size(); ++n) {
        const Hand& h = hands()[n];
        SCOPED_TRACE(h.name);
        ASSERT_GT(h.pe * h.pc * h.h1 * h.h2, 0);
        KPX_Figures f;
        ASSERT_EQ(figures(static_cast<std::int32_t>(3 * n + 1), h.te, h.tc, f), 0);
        EXPECT_EQ(f.status, KPX_FIGURES_OK);
        EXPECT_EQ(f.flags, KPX_FIGURE_DISCHARGE_ESTIMATED | KPX_FIGURE_HEAT_REJECTION_ESTIMATED);
        const double power = powerFor(h);
        EXPECT_NEAR(f.suctionPressure / h.pe, 1, 1e-5);
        EXPECT_NEAR(f.dischargePressure / h.pc, 1, 1e-5);
        EXPECT_NEAR(f.pressureRatio / (h.pc / h.pe), 1, 2e-5);
        EXPECT_EQ(f.suctionDewPoint, h.te);
        EXPECT_EQ(f.suctionGasTemperature, h.te + kSuperheat);
        EXPECT_EQ(f.capacity, kCapacity);
        EXPECT_EQ(f.massFlow, kMassFlow);
        EXPECT_EQ(f.heatLossFraction, 0.05);
        EXPECT_NEAR(f.heatRejection, kCapacity + power * 0.95, 1e-9);
        EXPECT_EQ(f.heatingCapacity, f.heatRejection);
        EXPECT_NEAR(f.heatingCop, f.heatRejection / power, 1e-12);
        // Enthalpies within 1 J/kg of the tables: the temperature within 5 mK.
        EXPECT_NEAR(f.dischargeTemperature, h.tc + h.dsh, 5e-3);
        EXPECT_TRUE(std::isnan(f.maxDischargeTemperature));
        double s1 = 0, t2s = 0, h2s = 0;
        ASSERT_EQ(ILK_VapourEntropy(h.name, h.te + kSuperheat + 273.15, h.pe, &s1), 0);
        ASSERT_EQ(ILK_VapourStatePS(h.name, h.pc, s1, &t2s, &h2s), 0);
        EXPECT_NEAR(f.isentropicEfficiency, kMassFlow * (h2s - h.h1) / power, 1e-4);
        EXPECT_GT(f.isentropicEfficiency, 0.3);
        EXPECT_LT(f.isentropicEfficiency, 1);
        EXPECT_NEAR(f.volumetricEfficiency, kMassFlow * h.v1 / (30e-6 * 2900 / 60), 1e-5);
    }
}

// The catalogue's own figures: not estimated, the heat rejection moved by the rating's
// correction (none at the base conditions), and a discharge above the model's maximum.
TEST_F(Figures, CatalogueColumnsAndTheDischargeLimit) {
    for (std::size_t n = 0; n < hands().size(); ++n) {
        SCOPED_TRACE(hands()[n].name);
        KPX_Figures f;
        ASSERT_EQ(figures(static_cast<std::int32_t>(3 * n + 2), hands()[n].te, hands()[n].tc, f),
                  0);
        EXPECT_EQ(f.flags, KPX_FIGURE_ABOVE_MAX_DISCHARGE);
        EXPECT_EQ(f.dischargeTemperature, 95);
        EXPECT_EQ(f.maxDischargeTemperature, 90);
        EXPECT_EQ(f.heatRejection, 1600);
        EXPECT_EQ(f.heatingCop, 1600 / powerFor(hands()[n]));
        // 10 K more suction superheat: the gas leaves hotter in the ratio of the absolute
        // suction temperatures.
        const double t1 = hands()[n].te + 273.15 + kSuperheat;
        ASSERT_EQ(figures(static_cast<std::int32_t>(3 * n + 2), hands()[n].te, hands()[n].tc, f,
                          kSuperheat + 10),
                  0);
        EXPECT_NEAR(f.dischargeTemperature, (95 + 273.15) * (t1 + 10) / t1 - 273.15, 1e-9);
    }
}

// Limits: an isentropic efficiency above 1 is a data problem, never a figure; no
// displacement, no volumetric efficiency; condensing above the critical point, no figures.
TEST_F(Figures, Limits) {
    KPX_Figures f;
    ASSERT_EQ(figures(3, kTe, kTc, f), 0);
    EXPECT_EQ(f.status, KPX_FIGURES_OK);
    EXPECT_TRUE(f.flags & KPX_FIGURE_ISENTROPIC_IMPLAUSIBLE);
    EXPECT_TRUE(f.flags & KPX_FIGURE_NO_DISPLACEMENT);
    EXPECT_TRUE(std::isnan(f.isentropicEfficiency));
    EXPECT_TRUE(std::isnan(f.volumetricEfficiency));
    EXPECT_NEAR(f.heatRejection, kCapacity + 95, 1e-9);

    // R134a's critical temperature is 101.06 degC.
    EXPECT_EQ(figures(1, kTe, 105, f), -10);
    EXPECT_EQ(f.status, KPX_FIGURES_SUPERCRITICAL);
    EXPECT_TRUE(std::isnan(f.dischargePressure) && std::isnan(f.heatRejection));
    EXPECT_EQ(figures(1, kTe, 130, f), -5);
    EXPECT_EQ(f.status, KPX_FIGURES_NOT_RATED);
    EXPECT_EQ(figures(99, kTe, kTc, f), -1);
    EXPECT_EQ(f.status, KPX_FIGURES_NOT_RATED);
    EXPECT_EQ(KPX_RatingFigures(1, nullptr, nullptr, 0, kTe, kTc, 0, 10, 10, nullptr), -1);
    EXPECT_EQ(KPX_RatingFigures(1, nullptr, nullptr, 0, NAN, kTc, 0, 10, 10, &f), -10);
    EXPECT_EQ(f.status, KPX_FIGURES_NOT_RATED);

    // Overflowing polynomials and a swept volume of 1e-300 cm3 at 1e300 rpm: no infinity,
    // no implausible efficiency as a figure.
    ASSERT_EQ(figures(10, kTe, kTc, f), 0);
    EXPECT_EQ(f.status, KPX_FIGURES_OK);
    for (const double x :
         {f.heatRejection, f.heatingCop, f.dischargeTemperature, f.volumetricEfficiency})
        EXPECT_TRUE(std::isnan(x)) << x;
    EXPECT_EQ(f.flags, KPX_FIGURE_VOLUMETRIC_IMPLAUSIBLE);
    EXPECT_TRUE(std::isfinite(f.isentropicEfficiency));
    EXPECT_EQ(KPX_RatingFigures(0, "R134a-E", "R134a", 50, kTe, kTc, 0, 10, 10, &f), 0);
    EXPECT_EQ(f.status, KPX_FIGURES_OK);
}

// The figures' call returns KPX_Rating's code and figures, bit for bit.
TEST_F(Figures, SameRatingAsKpxRating) {
    for (const double tc : {30.0, 45.0, 68.0})
        for (std::int32_t model = 1; model <= 9; ++model) {
            double q, p, a, m, cop;
            KPX_Figures f;
            const std::int32_t code = KPX_Rating(model, nullptr, nullptr, 0, kTe, tc, 0, kSuperheat,
                                                 kSuperheat + 3, &q, &p, &a, &m, &cop);
            EXPECT_EQ(KPX_RatingFigures(model, nullptr, nullptr, 0, kTe, tc, 0, kSuperheat,
                                        kSuperheat + 3, &f),
                      code);
            EXPECT_EQ(f.capacity, q);
            EXPECT_EQ(f.power, p);
            EXPECT_EQ(f.massFlow, m);
        }
}

} // namespace

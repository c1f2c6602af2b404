// The transcritical rating through the real shared libraries on carbon dioxide: the public
// transcritical curves rate as the curves evaluated directly, one point by hand from the
// reference tables, the optimum gas-cooler pressure against a fine scan, and the refusals
// of the exports. The library holds one catalogue per process: its models are written once.
#include <gtest/gtest.h>

#include <asere32.h>
#include <kpx_calc.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "reference.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kK = 273.15;

using Row = std::map<std::string, std::string>;

// The public transcritical curves, by id.
const std::vector<Row>& curves() {
    static const std::vector<Row> rows = [] {
        std::ifstream in(KV_TRANSCRITICAL_CURVES);
        std::vector<Row> out;
        std::vector<std::string> header;
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> fields;
            std::stringstream s(line);
            for (std::string f; std::getline(s, f, '\t');)
                fields.push_back(f);
            if (header.empty()) {
                header = fields;
                continue;
            }
            Row r;
            for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i)
                r[header[i]] = fields[i];
            out.push_back(r);
        }
        return out;
    }();
    return rows;
}

std::array<double, 10> coefficients(const Row& r, char set) {
    std::array<double, 10> k{};
    for (int i = 0; i < 10; ++i)
        k[i] = std::stod(r.at(std::string(1, set) + std::to_string(i)));
    return k;
}

// Models 1..9: the public curves (reciprocating, maximum discharge temperature 140 degC);
// 10: the first one's curves with a pressure range from 6 MPa; 11: no transcritical curves;
// 12: the first one's curves and no refrigerant.
std::string catalogue() {
    std::string header = "Name\tShowName\tRefrigerant\tFrequency\tDLLR\tDLLF\tDLLP\tTdMax\t";
    for (const char* set : {"GcQ", "GcP"})
        for (int i = 0; i < 10; ++i)
            header += set + std::to_string(i) + "\t";
    header += "GcShBase\tGcTeLow\tGcTeHig\tGcPLow\tGcPHig\tGcHLow\tGcHHig\t\n";
    std::string text = header;
    const auto line = [](const Row& r, const std::string& name, const std::string& pLow) {
        std::string l = name + "\t" + name + "\tR744\t50\t1\t4\t4\t140\t";
        for (const char set : {'Q', 'P'})
            for (int i = 0; i < 10; ++i)
                l += r.at(std::string(1, set) + std::to_string(i)) + "\t";
        for (const std::string& v :
             {r.at("sh_base_K"), r.at("te_min_C"), r.at("te_max_C"), pLow, r.at("p_gc_max_Pa"),
              r.at("h_gco_min_J_kg"), r.at("h_gco_max_J_kg")})
            l += v + "\t";
        return l + "\n";
    };
    for (const Row& r : curves())
        text += line(r, r.at("id"), r.at("p_gc_min_Pa"));
    text += line(curves()[0], "LOWP", "6000000");
    text += "NONE\tNONE\tR744\t50\t1\t4\t4\t\n";
    std::string noFluid = line(curves()[0], "NOFLUID", "7500000");
    noFluid.replace(noFluid.find("\tR744\t"), 6, "\t\t");
    text += noFluid;
    return text;
}

class Transcritical : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new kpx::TempDir;
        kpx::provideFluids(asere::fluidsDir(), *dir_);
        dir_->write("kpxcodes.bin", "List\tNumber\tText\nDLLR\t1\tR744\n");
        dir_->write("kpxcalc.bin", catalogue());
        ASSERT_EQ(KPX_Initialize(dir_->slash().c_str()), 0);
        ASSERT_EQ(ILK_SetDataDirectory(dir_->slash().c_str()), 0);
    }
    static void TearDownTestSuite() { delete dir_; }

    static KPX_TranscriticalResult rate(std::int32_t model, double te, double pgc, double tgc,
                                        double sh1 = 10, double sh2 = 10, double liquid = kNaN) {
        KPX_TranscriticalResult r;
        EXPECT_EQ(
            KPX_RatingTranscritical(model, nullptr, nullptr, 0, te, pgc, tgc, sh1, sh2, liquid, &r),
            r.code);
        return r;
    }
    static kpx::TempDir* dir_;
};
kpx::TempDir* Transcritical::dir_ = nullptr;

// At the base superheat, every public curve gives the capacity of its curve at the outlet
// enthalpy the rating reports and the power of its curve at the pressure, to 1e-9, over a
// grid of its Te and pressure ranges with outlet temperatures whose enthalpy lies in range.
TEST_F(Transcritical, PublicCurvesRateAsEvaluatedDirectly) {
    int points = 0;
    for (std::size_t n = 0; n < curves().size(); ++n) {
        const Row& row = curves()[n];
        const auto q = coefficients(row, 'Q'), p = coefficients(row, 'P');
        const double teLow = std::stod(row.at("te_min_C")), teHig = std::stod(row.at("te_max_C"));
        const double pLow = std::stod(row.at("p_gc_min_Pa")),
                     pHig = std::stod(row.at("p_gc_max_Pa"));
        for (int i = 0; i <= 4; ++i)
            for (int j = 0; j <= 4; ++j)
                for (const double tgc : {30.0, 35.0, 40.0, 45.0}) {
                    const double te = teLow + (teHig - teLow) * i / 4;
                    const double pgc = pLow + (pHig - pLow) * j / 4;
                    const auto r = rate(static_cast<std::int32_t>(n + 1), te, pgc, tgc);
                    SCOPED_TRACE(row.at("id") + " " + std::to_string(te) + " " +
                                 std::to_string(pgc) + " " + std::to_string(tgc));
                    ASSERT_GE(r.code, 0);
                    EXPECT_NEAR(r.power, kpx::polynomial(p, te, pgc), 1e-9 * r.power);
                    if (r.code != KPX_CLEAN)
                        continue;
                    ++points;
                    const double h = r.gasCoolerOutletEnthalpy;
                    EXPECT_NEAR(r.capacity, kpx::polynomial(q, te, h), 1e-9 * r.capacity);
                    EXPECT_DOUBLE_EQ(r.cop, r.capacity / r.power);
                }
    }
    EXPECT_GT(points, 100);
}

// Te -5 degC with 10 K superheat (suction 5 degC), 9 MPa, outlet 35 degC, by hand from the
// reference tables: the capacity is the curve at the table's outlet enthalpy, the mass
// flow that over the rated enthalpy difference; 20 K superheat moves it with the suction
// density and the enthalpy difference; a liquid line at 25 degC lowers the evaporator's
// inlet enthalpy; the discharge state is the energy balance on the 9 MPa isobar.
TEST_F(Transcritical, HandCalculationFromTheReferenceTables) {
    std::map<std::pair<double, double>, std::pair<double, double>> superheated; // (Tsat, T)
    for (const auto& r : asere::readTable("R744_superheat.tsv", 5))
        superheated[{r[0], r[2]}] = {r[3], r[4]};
    std::map<double, double> at9MPa; // T -> h
    for (const auto& r : asere::readTable("R744_supercritical.tsv", 5))
        if (r[1] == 9e6)
            at9MPa[r[0]] = r[3];
    const double teK = kK - 5;
    const auto [h1, v1] = superheated.at({teK, teK + 10});
    const auto [h20, v20] = superheated.at({teK, teK + 20});
    const double hOut = at9MPa.at(kK + 35), hLiquid = at9MPa.at(kK + 25);
    const auto q = coefficients(curves()[0], 'Q'), p = coefficients(curves()[0], 'P');

    const double capacity = kpx::polynomial(q, -5, hOut), flow = capacity / (h1 - hOut);
    const auto base = rate(1, -5, 9e6, 35);
    ASSERT_EQ(base.code, KPX_CLEAN);
    // The enthalpies of the library agree with the tables to a few J/kg; the curve's slope
    // turns that into a few parts in 1e5.
    EXPECT_NEAR(base.gasCoolerOutletEnthalpy, hOut, 5);
    EXPECT_NEAR(base.capacity / capacity, 1, 5e-5);
    EXPECT_NEAR(base.massFlow / flow, 1, 5e-5);
    EXPECT_NEAR(base.power, kpx::polynomial(p, -5, 9e6), 1e-9 * base.power);

    const auto warmer = rate(1, -5, 9e6, 35, 20, 20);
    ASSERT_EQ(warmer.code, KPX_CLEAN);
    EXPECT_NEAR(warmer.massFlow / (flow * v1 / v20), 1, 5e-5);
    EXPECT_NEAR(warmer.capacity / (flow * v1 / v20 * (h20 - hOut)), 1, 5e-5);

    const auto liquid = rate(1, -5, 9e6, 35, 10, 10, 25);
    ASSERT_EQ(liquid.code, KPX_CLEAN);
    EXPECT_NEAR(liquid.evaporatorInletEnthalpy, hLiquid, 5);
    EXPECT_NEAR(liquid.capacity / (flow * (h1 - hLiquid)), 1, 5e-5);
    EXPECT_NEAR(liquid.massFlow / flow, 1, 5e-5);

    // Reciprocating: 8 % of the power leaves through the shell.
    const double h2 = h1 + 0.92 * base.power / flow;
    auto above = at9MPa.lower_bound(h2 > 0 ? kK : 0.0);
    while (above != at9MPa.end() && above->second < h2)
        ++above;
    ASSERT_NE(above, at9MPa.end());
    const auto below = std::prev(above);
    const double t2 = below->first + (above->first - below->first) * (h2 - below->second) /
                                         (above->second - below->second);
    EXPECT_NEAR(base.dischargeTemperature, t2 - kK, 1.0); // linear between 5 K rows
    EXPECT_NEAR(base.heatRejection, flow * (h2 - hOut), 1e-4 * base.heatRejection);
    EXPECT_NEAR(base.suctionPressure, 3045875.33483, 0.5);
    EXPECT_NEAR(base.criticalPressure, 7.3773e6, 1e3);
    EXPECT_EQ(base.maxDischargeTemperature, 140);
}

// The optimum pressure of each outlet temperature has the COP of the best of a scan at
// 1 kPa steps, within a step of its pressure.
TEST_F(Transcritical, OptimumPressureMatchesAFineScan) {
    for (const std::int32_t model : {1, 2, 10})
        for (const double tgc : {28.0, 32.0, 35.0, 40.0}) {
            SCOPED_TRACE(std::to_string(model) + " at " + std::to_string(tgc));
            KPX_TranscriticalResult best;
            ASSERT_GE(KPX_OptimumGasCoolerPressure(model, nullptr, nullptr, 0, -5, tgc, 10, 10,
                                                   kNaN, &best),
                      0);
            double scanP = 0, scanCop = 0;
            for (double pgc = 6e6; pgc <= 12e6; pgc += 1e3) {
                const auto r = rate(model, -5, pgc, tgc);
                if (r.code >= 0 && r.cop > scanCop) {
                    scanCop = r.cop;
                    scanP = pgc;
                }
            }
            EXPECT_GE(best.cop, scanCop * (1 - 1e-9));
            EXPECT_NEAR(best.gasCoolerPressure, scanP, 1.5e3);
        }
}

// Bad input through the exports: a defined code and no figure.
TEST_F(Transcritical, ExportsRefuseBadInputWithoutFigures) {
    struct Case {
        const char* what;
        std::int32_t model;
        double te, pgc, tgc, liquid;
        std::int32_t code;
    };
    // The engine's own refusals are tested on closed-form properties; these need the
    // catalogue or the real fluid.
    const Case cases[] = {
        {"no such model", 99, -5, 9e6, 35, kNaN, KPX_NOT_FOUND},
        {"no curves", 11, -5, 9e6, 35, kNaN, KPX_NO_GAS_COOLER_CURVES},
        // 7 MPa saturates at 28.7 degC.
        {"outlet vapour", 10, -5, 7e6, 30, kNaN, KPX_GAS_COOLER_OUTLET_VAPOUR},
        {"huge pressure", 1, -5, 1e300, 35, kNaN, KPX_GAS_COOLER_PRESSURE_HIGH},
        {"outlet far beyond the equation", 1, -5, 9e6, 5000, kNaN, KPX_PROPERTIES_FAILED},
        {"no refrigerant", 12, -5, 9e6, 35, kNaN, KPX_PROPERTIES_FAILED},
    };
    for (const Case& c : cases) {
        const auto r = rate(c.model, c.te, c.pgc, c.tgc, 10, 10, c.liquid);
        EXPECT_EQ(r.code, c.code) << c.what;
        for (const double x : {r.capacity, r.power, r.cop, r.massFlow, r.dischargeTemperature})
            EXPECT_TRUE(std::isnan(x)) << c.what;
    }
    EXPECT_EQ(KPX_RatingTranscritical(1, nullptr, nullptr, 0, -5, 9e6, 35, 10, 10, kNaN, nullptr),
              KPX_NOT_FOUND);
    EXPECT_EQ(KPX_OptimumGasCoolerPressure(1, nullptr, nullptr, 0, -5, 35, 10, 10, kNaN, nullptr),
              KPX_NOT_FOUND);
    KPX_TranscriticalResult named;
    EXPECT_EQ(KPX_RatingTranscritical(0, "T0001", "R744", 50, -5, 9e6, 35, 10, 10, kNaN, &named),
              KPX_CLEAN);
    EXPECT_EQ(named.capacity, rate(1, -5, 9e6, 35).capacity);
}

} // namespace

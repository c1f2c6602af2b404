// Importing published coefficient files, rated back through the real engine: each
// coefficient order and unit system reproduces its source polynomial at the rating basis,
// derived mass flow and current, merging, and the faults of a bad file.
#include "catalogue_text.h"
#include "engine_handle.h"
#include "import_rows.h"
#include "kvcat/catalogue.h"
#include "kvcat/import.h"
#include "temp_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>

namespace {

using namespace kvcat;
using namespace kvcat::test;
namespace fs = std::filesystem;

TEST_F(TempFiles, RatingAtTheBasisIsTheSourcePolynomialForEachOrderAndUnitSystem) {
    struct Case {
        const char* what;
        ImportOptions options;
        bool ip;
    };
    ImportOptions bicubic, ip;
    bicubic.order = CoefficientOrder::Bicubic;
    ip.units = UnitSystem::IP;
    const std::vector<Case> cases = {
        {"EN 12900, SI", {}, false}, {"bicubic, SI", bicubic, false}, {"EN 12900, IP", ip, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The source in its own units: IP polynomials give Btu/h and lb/h of degF.
        const auto toF = [](double t) { return t * 1.8 + 32; };
        const double qs = c.ip ? 1 / units::kWattsPerBtuPerHour : 1;
        const double ms = c.ip ? 3600 / units::kKilogramsPerPound : 1;
        // Source coefficients such that p_source(x_F, y_F) = p_SI(te, tc) scaled.
        std::string row = "M1\tR404A\tscroll\tmedium\t";
        row += c.ip ? "-0.04\t40.1\t50\t110\t65\t0" : "-17.8\t4.5\t10\t48.9\t18.3\t0";
        const auto source = [&](const Coefficients& k) {
            return c.options.order == CoefficientOrder::Bicubic ? toBicubic(k) : k;
        };
        // For IP, the file's polynomials are written in degF directly (kQ etc. read as degF).
        row += joined(source(kQ)) + joined(source(kP)) + joined(source(kM)) + "\n";
        const fs::path file = write("c.tsv", header(true, c.ip ? "F" : "C") + row);
        ImportOptions options = c.options;
        options.powerFactor = 0.8;
        const CatalogueTexts cat = import({{file, options}});
        const Engine engine(cat.codes, cat.models);
        ASSERT_EQ(engine.models(0, 0, 0).size(), 1u);
        const double rgt = engine.number(1, "RgtBase");
        EXPECT_NEAR(rgt, c.ip ? (65 - 32) / 1.8 : 18.3, 1e-12);
        std::mt19937 random(7);
        const double teLo = engine.number(1, "TeLow"), teHi = engine.number(1, "TeHig");
        const double tcLo = engine.number(1, "TcLow"), tcHi = engine.number(1, "TcHig");
        for (int i = 0; i < 25; ++i) {
            const double te = std::uniform_real_distribution(teLo, teHi)(random);
            const double tc = std::uniform_real_distribution(std::max(tcLo, te + 10), tcHi)(random);
            const Rating r = engine.rate(1, te, tc, 0, rgt - te, rgt - te);
            ASSERT_GE(r.code, 0) << te << "/" << tc;
            const double x = c.ip ? toF(te) : te, y = c.ip ? toF(tc) : tc;
            EXPECT_NEAR(r.capacity, evaluate(kQ, x, y) / qs, 1e-9 * std::fabs(r.capacity));
            EXPECT_NEAR(r.power, evaluate(kP, x, y), 1e-9 * std::fabs(r.power));
            EXPECT_NEAR(r.massFlow, evaluate(kM, x, y) / ms, 1e-9 * std::fabs(r.massFlow));
            // The current derived from power: P / (sqrt(3) U pf) at the default 400/3/50.
            EXPECT_NEAR(r.current, r.power / (std::sqrt(3.0) * 400 * 0.8), 1e-9 * r.current);
        }
    }
}

TEST(ImportUnits, ConversionsAreExact) {
    EXPECT_DOUBLE_EQ(units::kWattsPerBtuPerHour, 0.29307107017222222);
    EXPECT_EQ(units::kKilogramsPerPound, 0.45359237);
    EXPECT_DOUBLE_EQ(32 * units::kKelvinPerRankine + units::kFahrenheitZero, 0);
    EXPECT_DOUBLE_EQ(212 * units::kKelvinPerRankine + units::kFahrenheitZero, 100);
    // A polynomial of degF is the same function of degC after conversion.
    const Coefficients c = fromFahrenheit(kQ, 1.0);
    for (double te : {-40.0, -10.0, 7.2})
        for (double tc : {20.0, 54.4})
            EXPECT_NEAR(evaluate(c, te, tc), evaluate(kQ, te * 1.8 + 32, tc * 1.8 + 32),
                        1e-12 * std::fabs(evaluate(c, te, tc)));
}

// Without a mass-flow polynomial, the mass flow is capacity over the refrigerating effect
// at the rating basis; a liquid-temperature rating is brought to liquid at the bubble point.
TEST_F(TempFiles, DerivedMassFlowIsCapacityOverTheEnthalpyDifference) {
    const std::string row = "M1\tR404A\treciprocating\tlow\t-40\t-17.8\t10\t48.9\t18.3\t0" +
                            joined(kQ) + joined(kP) + "\n";
    ImportOptions options;
    options.powerFactor = 0.75;
    const CatalogueTexts cat = import({{write("m.tsv", header(false) + row), options}});
    const Engine engine(cat.codes, cat.models);
    const Thermo thermo(fluids.get("R404A"));
    for (const auto& [te, tc] : {std::pair{-35.0, 40.0}, {-25.0, 20.0}, {-20.0, 45.0}}) {
        const Rating r = engine.rate(1, te, tc, 0, 18.3 - te, 18.3 - te);
        ASSERT_GE(r.code, 0);
        EXPECT_NEAR(r.massFlow, r.capacity / thermo.effect(te, tc, 18.3, 0), 5e-3 * r.massFlow);
    }
    EXPECT_EQ(engine.field(1, "Name"), "M1");
    EXPECT_EQ(engine.codeList("DLLF").at(0).text, "Reciprocating - low temperature");
    EXPECT_EQ(engine.number(1, "DLLF"), 5); // the window's family of that technology
}

// Mean temperatures of a blend with a glide: the catalogue holds dew points, and the
// rating at a dew point gives the source polynomial at the matching mean temperature.
TEST_F(TempFiles, MeanTemperaturesBecomeDewPoints) {
    const std::string row = "M1\tR407C\tscroll\tmedium\t-17.8\t4.4\t10\t48.9\t18.3\t0" +
                            joined(kQ) + joined(kP) + joined(kM) + "\n";
    ImportOptions options;
    options.temperatures = TemperatureKind::Mean;
    options.powerFactor = 0.8;
    const CatalogueTexts cat = import({{write("z.tsv", header(true) + row), options}});
    const Engine engine(cat.codes, cat.models);
    const Thermo thermo(fluids.get("R407C"));
    const auto mean = [&](double dew) {
        return 0.5 * (dew + thermo.bubbleTemperature(thermo.dewPressure(dew)));
    };
    EXPECT_NEAR(mean(engine.number(1, "TeLow")), -17.8, 1e-6);
    EXPECT_NEAR(mean(engine.number(1, "TcHig")), 48.9, 1e-6);
    EXPECT_GT(engine.number(1, "TeLow"), -17.8 + 1); // R407C glides by several kelvin
    for (const auto& [te, tc] : {std::pair{-12.0, 40.0}, {0.0, 30.0}, {-5.0, 48.0}}) {
        const Rating r = engine.rate(1, te, tc, 0, 18.3 - te, 18.3 - te);
        ASSERT_GE(r.code, 0);
        EXPECT_NEAR(r.capacity, evaluate(kQ, mean(te), mean(tc)), 2e-3 * r.capacity);
        EXPECT_NEAR(r.power, evaluate(kP, mean(te), mean(tc)), 2e-3 * r.power);
    }
}

TEST_F(TempFiles, MergingReplacesModelsAndAddsCodesOnce) {
    const std::string first = "A\tR404A\tscroll\tmedium\t-17.8\t4.5\t10\t48.9\t18.3\t0" +
                              joined(kQ) + joined(kP) + joined(kM) + "\n" +
                              "B\tR134a\tscroll\tmedium\t-17.8\t4.5\t10\t48.9\t18.3\t0" +
                              joined(kQ) + joined(kP) + joined(kM) + "\n";
    ImportOptions options;
    options.powerFactor = 0.8;
    CatalogueTexts cat = import({{write("a.tsv", header(true) + first), options}});
    // An existing column of the catalogue that the import doesn't write is kept.
    cat.models.insert(cat.models.find('\n'), "Note\t");
    cat.models.insert(cat.models.find('\n', cat.models.find('\n') + 1), "kept\t");
    cat.models.insert(cat.models.rfind('\n'), "\t");
    Coefficients bigger = kQ;
    bigger[0] *= 2;
    const std::string second = "A\tR404A\tscroll\tmedium\t-17.8\t4.5\t10\t48.9\t18.3\t0" +
                               joined(bigger) + joined(kP) + joined(kM) + "\n" +
                               "C\tR404A\treciprocating\tlow\t-40\t-17.8\t10\t48.9\t18.3\t0" +
                               joined(kQ) + joined(kP) + joined(kM) + "\n";
    options.supplies = {"460/3/60"};
    cat = import({{write("b.tsv", header(true) + second), options}}, cat);
    const std::vector<Row> rows = parseModels(cat.models);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("Name"), "A");
    EXPECT_EQ(rows[0].at("Note"), "kept");
    EXPECT_EQ(num(rows[0], "Q0"), 21160);
    EXPECT_EQ(rows[0].at("Frequency"), "60");
    EXPECT_EQ(rows[2].at("Name"), "C");
    const Engine engine(cat.codes, cat.models);
    EXPECT_EQ(engine.codeList("DLLR").size(), 2u);
    EXPECT_EQ(engine.codeList("DLLF").size(), 2u);
    EXPECT_EQ(engine.codeList("DLLP").size(), 2u);
    EXPECT_EQ(engine.number(1, "DLLP"), 2); // the window's 460/3/60
}

// The optional columns of the figures: displacement and speed into the model table's,
// the highest discharge temperature (°F here) into its own column, added when a model
// gives it; a displacement that is not positive is refused.
TEST_F(TempFiles, DisplacementSpeedAndMaximumDischargeTemperature) {
    const std::string line = "A\tR404A\tscroll\tmedium\t-17.8\t4.5\t10\t48.9\t18.3\t0" +
                             joined(kQ) + joined(kP) + joined(kM);
    ImportOptions options;
    options.powerFactor = 0.8;
    const std::string h = header(true);
    const std::string extra = h.substr(0, h.size() - 1) + "\tdisplacement\tspeed\ttd_max_F\n";
    const CatalogueTexts plain = import({{write("p.tsv", h + line + "\n"), options}});
    EXPECT_EQ(plain.models.find("TdMax"), std::string::npos);
    const CatalogueTexts cat =
        import({{write("x.tsv", extra + line + "\t48.5\t2900\t275\n"), options}});
    const std::vector<Row> rows = parseModels(cat.models);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(num(rows[0], "Displacement"), 48.5);
    EXPECT_EQ(num(rows[0], "Speed"), 2900);
    EXPECT_NEAR(num(rows[0], "TdMax"), 135, 1e-9);
    // The same model imported again without it: the column it doesn't write stays as it was.
    const CatalogueTexts again = import({{write("p2.tsv", h + line + "\n"), options}}, cat);
    EXPECT_EQ(parseModels(again.models)[0].at("TdMax"), "135");
    EXPECT_EQ(parseModels(again.models)[0].at("Displacement"), "-");
    EXPECT_THROW(import({{write("bad.tsv", extra + line + "\t0\t2900\t275\n"), options}}),
                 ImportError);
}

// The discharge-temperature and heat-rejection polynomials: converted from degF and Btu/h
// with imperial units, refitted to dew points with mean temperatures, each set whole or
// not at all.
TEST_F(TempFiles, DischargeTemperatureAndHeatRejectionPolynomials) {
    // Discharge temperature (degF) and heat rejection (Btu/h) of the test machine in degF.
    const Coefficients td = {150, 0.4, 0.9, 0.002, -0.003, 0.001, 0, 0, 0, 0};
    const Coefficients qr = {52000, 1300, -150, 18, -5, -1.2, 0, 0, 0, 0};
    std::string h = header(false, "F");
    h.pop_back();
    for (const char* set : {"\tTd", "\tQr"})
        for (int i = 0; i < 10; ++i)
            h += set + std::to_string(i);
    const std::string row = "A\tR407C\tscroll\tmedium\t0\t40\t50\t110\t65\t0" + joined(kQ) +
                            joined(kP) + joined(td) + joined(qr) + "\n";
    const auto fahrenheit = [](double c) { return c * 1.8 + 32; };
    for (const TemperatureKind kind : {TemperatureKind::Dew, TemperatureKind::Mean}) {
        ImportOptions options;
        options.units = UnitSystem::IP;
        options.powerFactor = 0.8;
        options.temperatures = kind;
        const CatalogueTexts cat = import({{write("f.tsv", h + "\n" + row), options}});
        const Engine engine(cat.codes, cat.models);
        const Thermo thermo(fluids.get("R407C"));
        const auto source = [&](double dew) {
            return kind == TemperatureKind::Dew
                       ? dew
                       : 0.5 * (dew + thermo.bubbleTemperature(thermo.dewPressure(dew)));
        };
        const auto catalogue = [&](const std::string& set, double te, double tc) {
            Coefficients c{};
            for (int i = 0; i < 10; ++i)
                c[i] = engine.number(1, set + std::to_string(i));
            return evaluate(c, te, tc);
        };
        for (const auto& [te, tc] : {std::pair{-12.0, 40.0}, {0.0, 30.0}, {-5.0, 42.0}}) {
            const double teF = fahrenheit(source(te)), tcF = fahrenheit(source(tc));
            EXPECT_NEAR(catalogue("Td", te, tc), (evaluate(td, teF, tcF) - 32) / 1.8, 0.05);
            const double qrW = evaluate(qr, teF, tcF) * 0.29307107;
            EXPECT_NEAR(catalogue("Qr", te, tc), qrW, 2e-3 * qrW);
        }
    }
    // Imported again without them, the model keeps its figures; half a set is refused.
    ImportOptions options;
    options.units = UnitSystem::IP;
    options.powerFactor = 0.8;
    const CatalogueTexts cat = import({{write("f.tsv", h + "\n" + row), options}});
    const std::string plain =
        "A\tR407C\tscroll\tmedium\t0\t40\t50\t110\t65\t0" + joined(kQ) + joined(kP) + "\n";
    const CatalogueTexts again =
        import({{write("p.tsv", header(false, "F") + plain), options}}, cat);
    EXPECT_EQ(parseModels(again.models)[0].at("Td3"), parseModels(cat.models)[0].at("Td3"));
    const std::string half = "A\tR407C\tscroll\tmedium\t0\t40\t50\t110\t65\t0" + joined(kQ) +
                             joined(kP) + joined(td) + "\t52000\t1300\t-150\t18\t-5\t\t\t\t\t\n";
    EXPECT_THROW(import({{write("h.tsv", h + "\n" + half), options}}), ImportError);
}

TEST_F(TempFiles, BadFilesAreRefusedNamingFileLineAndColumn) {
    const std::string good = "M1\tR404A\tscroll\tmedium\t-17.8\t4.5\t10\t48.9\t18.3\t0";
    const std::string coefficients = joined(kQ) + joined(kP) + "\n";
    std::string noQ3 = header(false);
    noQ3.replace(noQ3.find("\tQ3"), 3, "\tX3");
    std::string badUnit = header(false);
    badUnit.replace(badUnit.find("te_min_C"), 8, "te_min_K");
    struct Case {
        const char* what;
        std::string text;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"missing column", noQ3 + good + coefficients, ":1: column Q3: missing"},
        {"not a number",
         header(false) + good + "\tabc" + coefficients.substr(coefficients.find('\t', 1)),
         ":2: column Q0: \"abc\" is not a finite number"},
        {"NaN", header(false) + good + "\tnan" + coefficients.substr(coefficients.find('\t', 1)),
         ":2: column Q0: \"nan\""},
        {"inf", header(false) + good + "\tinf" + coefficients.substr(coefficients.find('\t', 1)),
         ":2: column Q0: \"inf\""},
        {"unknown unit", badUnit + good + coefficients, ":1: column te_min_K: unknown unit"},
        {"unknown refrigerant", header(false) + "M1\tR12" + good.substr(8) + coefficients,
         ":2: column refrigerant: refrigerant \"R12\" is not known"},
        {"empty range",
         header(false) + "M1\tR404A\tscroll\tmedium\t4.5\t4.5\t10\t48.9\t18.3\t0" + coefficients,
         ":2: column te_min_C: te_min must lie below te_max"},
        {"duplicate model", header(false) + good + coefficients + good + coefficients,
         ":3: column model: model M1 repeats line 2"},
        {"binary data", header(false) + std::string("M1\0\x01\x02", 5) + "\n", ":2: binary data"},
        {"one huge line", std::string(10 << 20, 'x'), ":1: line longer than 65,536 bytes"},
    };
    // A named pipe where a file should be: refused at once, without waiting for a writer.
    const fs::path fifo = dir / "pipe.tsv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(
        {
            try {
                importFiles({{fifo, {}}}, fluids);
            } catch (const ImportError& e) {
                EXPECT_EQ(std::string(e.what()), fifo.string() + ": not a readable regular file");
                throw;
            }
        },
        ImportError);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = write("bad.tsv", c.text);
        try {
            ImportOptions options;
            options.powerFactor = 0.8;
            importFiles({{file, options}}, fluids);
            ADD_FAILURE() << "accepted";
        } catch (const ImportError& e) {
            EXPECT_NE(std::string(e.what()).find(file.string() + c.message), std::string::npos)
                << e.what();
        }
    }
}

// Curves that would show figures that are not positive, or not finite, as clean ratings,
// and ranges the refrigerant doesn't have: refused naming row, column and point.
TEST_F(TempFiles, BadCurvesAndRangesAreRefused) {
    const auto publicRow = [](const std::string& id) {
        const Row& r = publicRows(kPublicSet).at(id);
        return "M1\t" + r.at("refrigerant") + "\tscroll\tmedium\t" + r.at("te_min_C") + "\t" +
               r.at("te_max_C") + "\t" + r.at("tc_min_C") + "\t" + r.at("tc_max_C") + "\t" +
               r.at("rgt_base_C") + "\t" + r.at("sc_base_K") + joined(coefficients(r, "Q")) +
               joined(coefficients(r, "P")) + "\n";
    };
    const std::string range = "\tR134a\tscroll\tmedium\t-17.8\t4.4\t10\t48.9\t18.3\t0";
    const auto row = [&](const std::string& rangeText, const Coefficients& q,
                         const Coefficients& p) {
        return "M1" + rangeText + joined(q) + joined(p) + "\n";
    };
    Coefficients huge = kQ;
    huge[0] = 1e306;
    ImportOptions kW;
    kW.capacityUnit = "kW";
    struct Case {
        const char* what;
        std::string row;
        ImportOptions options;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"power zero everywhere",
         row(range, kQ, Coefficients{}),
         {},
         ":2: column P0: power 0 at Te -17.8 °C, Tc 10 °C of the range: not positive"},
        {"power negative at low condensing (public row C0779)",
         publicRow("C0779"),
         {},
         ":2: column P0: power -"},
        {"capacity negative at high lift (public row C0220)",
         publicRow("C0220"),
         {},
         ":2: column Q0: capacity -"},
        {"overflow after the unit", row(range, huge, kP), kW,
         ":2: column Q0: too large: not a finite number after conversion"},
        {"Te below the fluid",
         row("\tR134a\tscroll\tmedium\t-500\t4.4\t10\t48.9\t18.3\t0", kQ, kP),
         {},
         ":2: column te_min_C: -500 °C lies outside the range of R134a"},
        {"Te far beyond",
         row("\tR134a\tscroll\tmedium\t-1e300\t1e300\t10\t48.9\t18.3\t0", kQ, kP),
         {},
         ":2: column te_min_C: -1e+300 °C lies outside"},
        {"Tc above the critical point",
         row("\tR134a\tscroll\tmedium\t-17.8\t4.4\t200\t500\t18.3\t0", kQ, kP),
         {},
         ":2: column tc_min_C: 200 °C lies outside the range of R134a"},
        {"return gas beyond the equation of state",
         row("\tR134a\tscroll\tmedium\t-17.8\t4.4\t10\t48.9\t1e6\t0", kQ, kP),
         {},
         ":2: column rgt_base_C: 1e+06 °C lies outside"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImportOptions options = c.options;
        options.powerFactor = 0.8;
        try {
            importFiles({{write("bad.tsv", header(false) + c.row), options}}, fluids);
            ADD_FAILURE() << "accepted";
        } catch (const ImportError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    // Narrowed on request: the envelope leaves out the points that aren't positive, and
    // every corner left rates cleanly with positive figures.
    ImportOptions narrow;
    narrow.powerFactor = 0.8;
    narrow.narrowToPositive = true;
    for (const char* id : {"C0779", "C0220"}) {
        SCOPED_TRACE(id);
        const ImportResult r =
            importFiles({{write("n.tsv", header(false) + publicRow(id)), narrow}}, fluids);
        ASSERT_EQ(r.narrowed.size(), 1u);
        const CatalogueTexts cat = mergeCatalogue({}, r.models);
        const Engine engine(cat.codes, cat.models);
        const double teLo = engine.number(1, "TeLow"), teHi = engine.number(1, "TeHig");
        const double tcLo = engine.number(1, "TcLow"), tcHi = engine.number(1, "TcHig");
        EXPECT_TRUE(teLo > -17.8 || tcLo > 10 || tcHi < 48.9) << r.narrowed[0];
        for (const double te : {teLo, teHi})
            for (const double tc : {std::max(tcLo, te + 10), tcHi}) {
                const Rating rating = engine.rate(1, te, tc, 0, 18.3 - te, 18.3 - te);
                EXPECT_EQ(rating.code, 0) << te << "/" << tc;
                EXPECT_GT(rating.capacity, 0);
                EXPECT_GT(rating.power, 0);
                EXPECT_GT(rating.massFlow, 0);
            }
    }
}

// Spellings of one fluid give one refrigerant entry, the one the window's list has;
// names a terminal would obey are refused; the frequency picks the supply.
TEST_F(TempFiles, SpellingsNamesAndFrequencies) {
    const std::string rest =
        "\tscroll\tmedium\t-17.8\t4.5\t10\t48.9\t18.3\t0" + joined(kQ) + joined(kP);
    struct Spelling {
        const char* written;
        const char* entry;
    };
    std::string rows;
    const std::vector<Spelling> spellings = {{"r404a", "R404A"},   {"R-448A", "R448A"},
                                             {"R 448 A", "R448A"}, {"R134A", "R134a"},
                                             {"r-290", "R290"},    {"propane", "R290"},
                                             {"R1270", "R1270"},   {"R-1234ze(E)", "R1234ze(E)"},
                                             {"R407c", "R407C"}};
    for (std::size_t i = 0; i < spellings.size(); ++i)
        rows += "S" + std::to_string(i) + "\t" + spellings[i].written + rest + "\n";
    ImportOptions options;
    options.powerFactor = 0.8;
    const ImportResult result =
        importFiles({{write("s.tsv", header(false) + rows), options}}, fluids);
    ASSERT_EQ(result.models.size(), spellings.size());
    for (std::size_t i = 0; i < spellings.size(); ++i)
        EXPECT_EQ(result.models[i].refrigerant, spellings[i].entry) << spellings[i].written;
    // Merged into the demo catalogue: no refrigerant entry is added.
    const CatalogueTexts demo{readFile(sourceData("kpxcodes.bin")),
                              readFile(sourceData("kpxcalc.bin"))};
    const CatalogueTexts merged = mergeCatalogue(demo, result.models);
    EXPECT_EQ(std::count(merged.codes.begin(), merged.codes.end(), '\n'),
              std::count(demo.codes.begin(), demo.codes.end(), '\n'));
    // The demo's lines end before the transcritical columns their models lack: merged, every
    // line has the header's fields, and the R744 lines keep theirs.
    const std::vector<Row> before = parseModels(demo.models), after = parseModels(merged.models);
    const std::size_t width = static_cast<std::size_t>(
        std::count(merged.models.begin(), merged.models.begin() + merged.models.find('\n'), '\t'));
    std::size_t line = 0, transcritical = 0;
    for (std::size_t pos = merged.models.find('\n') + 1; pos < merged.models.size(); ++line) {
        const std::size_t end = merged.models.find('\n', pos);
        EXPECT_EQ(std::count(merged.models.begin() + pos, merged.models.begin() + end, '\t'), width)
            << line;
        pos = end + 1;
    }
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].at("GcQ9"), before[i].count("GcQ9") ? before[i].at("GcQ9") : "");
        transcritical += before[i].count("GcQ9");
    }
    EXPECT_GT(transcritical, 10u);
    // A line that ends before a column every model has is damage, not an absent figure.
    std::string cut = demo.models;
    cut.resize(cut.find("\tR744\t") + 6);
    cut += "\n";
    EXPECT_THROW(mergeCatalogue({demo.codes, cut}, result.models), ImportError);

    struct Case {
        const char* what;
        std::string name, frequency, voltage;
        std::vector<std::string> supplies;
        const char* message; // empty: imported with this supply text
        const char* supply = "";
    };
    const std::vector<Case> cases = {
        {"escape sequence",
         "M\x1b[2J",
         "",
         "",
         {},
         ":2: column model: model name: a control character at byte 2"},
        {"C1 control (CSI)",
         "M\xc2\x9b"
         "2J",
         "",
         "",
         {},
         ":2: column model: model name: a control character"},
        {"not UTF-8",
         "K\xe4lte",
         "",
         "",
         {},
         ":2: column model: model name: not UTF-8 text at byte 2"},
        {"UTF-8 name", "K\xc3\xa4lte", "", "", {}, "", "400/3/50Hz"},
        {"60 Hz row", "M", "60", "", {}, "", "460/3/60Hz"},
        {"60 Hz row, supply given", "M", "60", "", {"400/3/50", "380/3/60"}, "", "380/3/60Hz"},
        {"row without frequency takes the last supply",
         "M",
         "",
         "",
         {"400/3/50", "380/3/60"},
         "",
         "380/3/60Hz"},
        {"50 Hz row", "M", "50", "", {"380/3/60"}, "", "400/3/50Hz"},
        {"voltage of the other frequency",
         "M",
         "60",
         "400/3/50",
         {},
         ":2: column voltage: the supply 400/3/50 is not one of 60 Hz"},
        {"no such frequency", "M", "55", "", {}, ":2: column frequency_Hz: \"55\": 50 or 60"},
    };
    std::string withSupply = header(false);
    withSupply.insert(withSupply.size() - 1, "\tfrequency_Hz\tvoltage");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImportOptions o = options;
        o.supplies = c.supplies;
        const fs::path file = write("f.tsv", withSupply + c.name + "\tR404A" + rest + "\t" +
                                                 c.frequency + "\t" + c.voltage + "\n");
        try {
            const ImportResult r = importFiles({{file, o}}, fluids);
            EXPECT_STREQ(c.message, "");
            ASSERT_EQ(r.models.size(), 1u);
            EXPECT_EQ(r.models[0].supplyText, c.supply);
        } catch (const ImportError& e) {
            EXPECT_NE(std::string(e.what()).find(file.string() + c.message), std::string::npos)
                << e.what();
            EXPECT_STRNE(c.message, "");
        }
    }
}

// The public set: every row of a refrigerant the property library knows imports (those
// whose curves are not positive in their range narrowed), and the engine reproduces each
// row's polynomials at every point of its range at 10 K lift or more, corners and the
// K line included, as clean ratings. Every limit is written as the decimal it stands for.
TEST_F(TempFiles, PublicSetRatesAsPublishedOverItsWholeRange) {
    ImportOptions options;
    options.powerFactor = 0.8;
    options.skipUnknownRefrigerants = true;
    options.narrowToPositive = true;
    const ImportResult result = importFiles({{kPublicSet, options}}, fluids);
    EXPECT_EQ(result.models.size() + result.skipped.size(), 884u);
    EXPECT_EQ(result.skipped.size(), 250u); // R12 and R502
    // C0220, C0427, C0779, C0837; the seven R744 rows whose Tc range ends at 31 °C
    EXPECT_EQ(result.narrowed.size(), 11u);
    const CatalogueTexts cat = mergeCatalogue({}, result.models);
    for (const Row& row : parseModels(cat.models))
        for (const char* column : {"TeLow", "TcHig", "K1c", "K2c", "RgtMax", "F6e", "H3e", "F0c"}) {
            const std::string& text = row.at(column);
            char shortest[32];
            std::snprintf(shortest, sizeof shortest, "%.10g", std::stod(text));
            EXPECT_EQ(std::stod(shortest), std::stod(text)) << row.at("Name") << " " << column;
        }
    const Engine engine(cat.codes, cat.models);
    const std::map<std::string, Row> source = publicRows(kPublicSet);
    const asere::FluidLibrary& lib = fluids;
    std::size_t rated = 0, points = 0;
    double worstFlow = 0, worstFlowR744 = 0, worstLiquid = 0;
    const std::set<std::string> narrowed = {"C0220", "C0427", "C0779", "C0837"};
    for (int32_t m : engine.models(0, 0, 0)) {
        const Row& row = source.at(engine.field(m, "Name"));
        const Coefficients q = coefficients(row, "Q"), p = coefficients(row, "P");
        const double teLo = engine.number(m, "TeLow"), teHi = engine.number(m, "TeHig");
        const double tcLo = engine.number(m, "TcLow"), tcHi = engine.number(m, "TcHig");
        const bool liquid = !row.at("liq_temp_C").empty();
        const Thermo thermo(lib.get(engine.field(m, "Refrigerant")));
        for (int i = 0; i <= 6; ++i) {
            const double te = i == 6 ? teHi : teLo + (teHi - teLo) * i / 6;
            if (te + 10 > tcHi)
                continue;
            std::vector<double> tcs = {te + 10, tcHi}; // the K line and the top
            for (int j = 0; j <= 6; ++j)
                if (const double tc = tcLo + (tcHi - tcLo) * j / 6; tc >= te + 10)
                    tcs.push_back(tc);
            for (const double tc : tcs) {
                if (tc < tcLo)
                    continue;
                const double sh = row.at("sh_base_K").empty() ? std::stod(row.at("rgt_base_C")) - te
                                                              : std::stod(row.at("sh_base_K"));
                const double sc = row.at("sc_base_K").empty() ? 0 : std::stod(row.at("sc_base_K"));
                const Rating r = engine.rate(m, te, tc, sc, sh, sh);
                ++points;
                ASSERT_EQ(r.code, 0) << row.at("id") << " " << te << "/" << tc;
                EXPECT_NEAR(r.power, evaluate(p, te, tc), 1e-9 * std::fabs(r.power))
                    << row.at("id");
                const double tSuction = te + sh;
                double expected = evaluate(q, te, tc);
                if (liquid) { // refitted to liquid at the bubble point
                    const double liq = std::stod(row.at("liq_temp_C"));
                    const double scLiquid = thermo.bubbleTemperature(thermo.dewPressure(tc)) - liq;
                    expected *= thermo.effect(te, tc, tSuction, 0) /
                                thermo.effect(te, tc, tSuction, scLiquid);
                } else {
                    EXPECT_NEAR(r.capacity, expected, 1e-9 * std::fabs(r.capacity)) << row.at("id");
                }
                // The derived mass flow: capacity over the refrigerating effect (not for the
                // narrowed curves, whose capacity falls to nothing at their edges).
                // R744's refrigerating effect changes steeply towards its critical point, so
                // its fit is looser.
                const double flow = r.capacity / thermo.effect(te, tc, tSuction, sc);
                double& worst = row.at("refrigerant") == "R744" ? worstFlowR744 : worstFlow;
                worst = std::max(
                    worst, narrowed.count(row.at("id")) ? 0.0 : std::fabs(r.massFlow / flow - 1));
                if (liquid)
                    worstLiquid = std::max(worstLiquid, std::fabs(r.capacity / expected - 1));
                EXPECT_GT(r.current, 0);
            }
        }
        ++rated;
    }
    EXPECT_EQ(rated, result.models.size());
    EXPECT_GT(points, 30000u);
    // The refits' accuracy as the README states it.
    EXPECT_LT(worstLiquid, 4e-3);
    EXPECT_LT(worstFlow, 1.4e-2);
    EXPECT_LT(worstFlowR744, 3e-2);
    std::printf("refits over the ranges: liquid-temperature basis %.2f %%, mass flow %.2f %% "
                "(R744 %.2f %%)\n",
                100 * worstLiquid, 100 * worstFlow, 100 * worstFlowR744);
}

} // namespace

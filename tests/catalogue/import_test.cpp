// Importing published coefficient files, rated back through the real engine: each
// coefficient order and unit system reproduces its source polynomial at the rating basis,
// derived mass flow and current, merging, and the faults of a bad file.
#include "catalogue.h"
#include "catalogue_text.h"
#include "engine_handle.h"
#include "import.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/stat.h>

namespace {

using namespace kvcat;
namespace fs = std::filesystem;

// Capacity (W), power (W), mass flow (kg/s) of a real R404A machine, EN 12900 order, degC.
const Coefficients kQ = {10580,   388,     -42.49,   5.235,    -1.694,
                         -0.4991, 0.02341, -0.02471, -0.01148, 0.0007874};
const Coefficients kP = {1394,    31.79,    26.75,    0.4449,    -0.0805,
                         -0.2488, 0.002278, -0.00348, 0.0007375, 0.00437};
const Coefficients kM = {0.07, 0.0025, -0.0002, 3e-5, -1e-5, 1e-6, 0, 0, 0, 0};

std::string joined(const Coefficients& c) {
    std::string s;
    for (double v : c)
        s += "\t" + formatValue(v);
    return s;
}

std::string header(bool withMassFlow, const std::string& unit = "C") {
    std::string h = "model\trefrigerant\ttechnology\tapp_class\tte_min_" + unit + "\tte_max_" +
                    unit + "\ttc_min_" + unit + "\ttc_max_" + unit + "\trgt_base_" + unit +
                    "\tsc_base_" + (unit == "C" ? "K" : "R");
    for (const char set : std::string(withMassFlow ? "QPM" : "QP"))
        for (int i = 0; i < 10; ++i)
            h += "\t" + std::string(1, set) + std::to_string(i);
    return h + "\n";
}

class TempFiles : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("kv_import_" + std::to_string(::getpid()));
    asere::FluidLibrary fluids{sourceData("fluids")};
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    fs::path write(const std::string& name, const std::string& text) const {
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    }
    CatalogueTexts import(const std::vector<ImportFile>& files, const CatalogueTexts& old = {}) {
        return mergeCatalogue(old, importFiles(files, fluids).models);
    }
};

// Bicubic order of the EN 12900 coefficients: 1, x, x², y, y², x·y, x³, y³, x²·y, x·y².
Coefficients toBicubic(const Coefficients& c) {
    return {c[0], c[1], c[3], c[2], c[5], c[4], c[6], c[9], c[7], c[8]};
}

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

// The public set: every row of a refrigerant the property library knows imports, and the
// engine reproduces each row's capacity and power at the centre of its range.
TEST_F(TempFiles, PublicSetImportsAndRatesAsPublished) {
    const fs::path file =
        fs::path(KV_SOURCE_DIR) / "tests/catalogue/reference/compressor_curves.tsv";
    ImportOptions options;
    options.powerFactor = 0.8;
    options.skipUnknownRefrigerants = true;
    options.narrowToPositive = true;
    const ImportResult result = importFiles({{file, options}}, fluids);
    EXPECT_EQ(result.models.size() + result.skipped.size(), 884u);
    EXPECT_EQ(result.skipped.size(), 271u); // R12, R502 and R744
    const CatalogueTexts cat = mergeCatalogue({}, result.models);
    const Engine engine(cat.codes, cat.models);
    // The source rows by id; its fields are tab-separated, the model table's tab-terminated.
    std::string text = readFile(file.string());
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
        text.insert(at, "\t");
    std::map<std::string, Row> source;
    for (Row& row : parseModels(text))
        source[row.at("id")] = std::move(row);
    std::size_t rated = 0;
    for (int32_t m : engine.models(0, 0, 0)) {
        const auto& row = source.at(engine.field(m, "Name"));
        const auto v = [&](const std::string& c) { return std::stod(row.at(c)); };
        Coefficients q{}, p{};
        for (int i = 0; i < 10; ++i) {
            q[i] = v("Q" + std::to_string(i));
            p[i] = v("P" + std::to_string(i));
        }
        const double te = 0.5 * (v("te_min_C") + v("te_max_C"));
        const double tc = std::max(0.5 * (v("tc_min_C") + v("tc_max_C")), te + 10);
        const double sh = row.at("sh_base_K").empty() ? v("rgt_base_C") - te : v("sh_base_K");
        const double sc = row.at("sc_base_K").empty() ? 0 : v("sc_base_K");
        const Rating r = engine.rate(m, te, tc, sc, sh, sh);
        ASSERT_GE(r.code, 0) << row.at("id");
        EXPECT_NEAR(r.power, evaluate(p, te, tc), 1e-9 * std::fabs(r.power)) << row.at("id");
        if (row.at("liq_temp_C").empty()) { // liquid-temperature rows are refitted
            EXPECT_NEAR(r.capacity, evaluate(q, te, tc), 1e-9 * std::fabs(r.capacity))
                << row.at("id");
        }
        ++rated;
    }
    EXPECT_EQ(rated, result.models.size());
}

} // namespace

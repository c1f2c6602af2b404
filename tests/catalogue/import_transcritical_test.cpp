// Importing transcritical curves: the public curves land in the gas-cooler columns as given,
// the Tc range cut at the critical point, and the faults of a bad file.
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

// The public transcritical curves as a file of the transcritical form, each row attached to
// `model` of `refrigerant`; `change` may edit a row's fields (by column) before it is written.
std::string transcriticalFile(const std::string& model, const std::string& refrigerant,
                              const std::function<void(Row&)>& change = {}) {
    Row row = publicRows(kTranscriticalSet).at("T0004");
    row["subcritical_id"] = model;
    row["refrigerant"] = refrigerant;
    if (change)
        change(row);
    std::string head, line;
    for (const auto& [column, text] : row)
        if (!column.empty()) {
            head += column + "\t";
            line += text + "\t";
        }
    return head + "\n" + line + "\n";
}

ImportOptions withPowerFactor() {
    ImportOptions o;
    o.powerFactor = 0.8;
    return o;
}

ImportOptions gasCoolerForm() {
    ImportOptions o;
    o.gasCoolerCurves = true;
    return o;
}

// One R404A model of the table form, the host of transcritical curves in these tests.
std::string plainR404A() {
    return header(false) + "M1\tR404A\treciprocating\tmedium\t-30\t0\t20\t50\t20\t0" + joined(kQ) +
           joined(kP) + "\n";
}

// The pressure-and-temperature form of the row: a capacity curve in Te and the gas-cooler
// pressure at the outlet temperature `outlet` (the power curve stands for one).
std::function<void(Row&)> pressureForm(const std::string& outlet) {
    return [outlet](Row& r) {
        for (int i = 0; i < 10; ++i)
            r["Q" + std::to_string(i)] = r["P" + std::to_string(i)];
        r.erase("h_gco_min_J_kg");
        r.erase("h_gco_max_J_kg");
        r["t_gco_base_C"] = outlet;
    };
}

// Transcritical curves attach to their model of the same import as the catalogue's
// gas-cooler columns, each number as the file gives it (in its units), and leave the
// subcritical columns alone; the engine reads them back. The pressure-and-temperature form
// lands in the same columns with its outlet temperature and no enthalpy range.
TEST_F(TempFiles, TranscriticalCurvesImportAsGiven) {
    const std::string plain = plainR404A();
    const ImportOptions gasCooler = gasCoolerForm();
    const Row source = publicRows(kTranscriticalSet).at("T0004");
    struct Case {
        const char* what;
        std::function<void(Row&)> change;
    };
    const Case cases[] = {
        {"as published", {}},
        {"kJ/kg and bar",
         [](Row& r) {
             r["h_gco_min_kJ_kg"] = formatValue(std::stod(r["h_gco_min_J_kg"]) / 1000);
             r["p_gc_max_bar"] = formatValue(std::stod(r["p_gc_max_Pa"]) / 1e5);
             r.erase("h_gco_min_J_kg");
             r.erase("p_gc_max_Pa");
         }},
        {"limits of the envelope",
         [](Row& r) {
             r["p_dis_max_MPa"] = "11.5";
             r["pr_max"] = "4.5";
             r["td_max_C"] = "140";
         }},
        {"pressure form", pressureForm("35")},
    };
    for (const Case& c : cases) {
        const ImportResult result =
            importFiles({{write("plain.tsv", plain), withPowerFactor()},
                         {write("gc.tsv", transcriticalFile("M1", "r404a", c.change)), gasCooler}},
                        fluids);
        ASSERT_EQ(result.models.size(), 1u) << c.what;
        const CatalogueTexts cat = mergeCatalogue({}, result.models);
        const Engine engine(cat.codes, cat.models);
        const bool pressure = std::string(c.what) == "pressure form";
        for (int i = 0; i < 10; ++i)
            for (const char* set : {"Q", "P"}) {
                const std::string k = set + std::to_string(i);
                const std::string from = (pressure ? "P" : set) + std::to_string(i);
                EXPECT_EQ(engine.number(1, "Gc" + k), std::stod(source.at(from))) << c.what << k;
            }
        EXPECT_EQ(engine.number(1, "Q3"), kQ[3]) << c.what;
        EXPECT_EQ(engine.number(1, "GcShBase"), 10) << c.what;
        EXPECT_EQ(engine.number(1, "GcTeHig"), std::stod(source.at("te_max_C"))) << c.what;
        EXPECT_EQ(engine.field(1, "GcHLow"),
                  pressure ? "-" : formatValue(std::stod(source.at("h_gco_min_J_kg"))))
            << c.what;
        EXPECT_EQ(engine.field(1, "GcQTgc"), pressure ? "35" : "-") << c.what;
        EXPECT_EQ(engine.number(1, "GcPHig"), std::stod(source.at("p_gc_max_Pa"))) << c.what;
        const bool limits = std::string(c.what) == "limits of the envelope";
        EXPECT_EQ(engine.field(1, "GcPdMax"), limits ? "11500000" : "-") << c.what;
        EXPECT_EQ(engine.field(1, "GcPrMax"), limits ? "4.5" : "-") << c.what;
        EXPECT_EQ(engine.field(1, "TdMax"), limits ? "140" : "") << c.what;
    }
    // Without transcritical curves the catalogue has no such column.
    const CatalogueTexts without = import({{write("plain.tsv", plain), withPowerFactor()}});
    EXPECT_EQ(without.models.find("Gc"), std::string::npos);
}

// A Tc range that ends at the critical temperature as published (31.0 degC for R744,
// whose saturation curve ends at 30.98 degC) is cut to the last 0.1 K below the top, with
// a message; one that ends further above is refused.
TEST_F(TempFiles, TcRangeEndingAtTheCriticalPointIsCut) {
    const Row source = publicRows(kPublicSet).at("C0015");
    const auto file = [&](const std::string& tcMax) {
        return header(false) + "M1\tR744\treciprocating\tmedium\t-20\t0\t5\t" + tcMax + "\t25\t0" +
               joined(coefficients(source, "Q")) + joined(coefficients(source, "P")) + "\n";
    };
    const ImportResult cut =
        importFiles({{write("a.tsv", file("31.07")), withPowerFactor()}}, fluids);
    ASSERT_EQ(cut.narrowed.size(), 1u);
    EXPECT_NE(cut.narrowed[0].find("Tc range ends at 31.07 °C, above the top of the saturation "
                                   "curve of R744: narrowed to 30.9 °C"),
              std::string::npos)
        << cut.narrowed[0];
    const CatalogueTexts cat = mergeCatalogue({}, cut.models);
    const Engine engine(cat.codes, cat.models);
    EXPECT_EQ(engine.number(1, "TcHig"), 30.9);
    const Rating r = engine.rate(1, -5, 30.9, 0, 30, 30); // return gas at 25 degC
    EXPECT_EQ(r.code, 0);
    EXPECT_NEAR(r.capacity, evaluate(coefficients(source, "Q"), -5, 30.9), 1e-9 * r.capacity);
    EXPECT_THROW(importFiles({{write("a.tsv", file("31.2")), withPowerFactor()}}, fluids),
                 ImportError);
}

// A transcritical file's faults name file, line and column and write nothing; curves of a
// model that is not in the import are left out with a message.
TEST_F(TempFiles, BadTranscriticalCurvesAreRefused) {
    const std::string plain = plainR404A();
    const ImportOptions gasCooler = gasCoolerForm();
    struct Case {
        const char* what;
        std::string model, refrigerant;
        std::function<void(Row&)> change;
        std::string message; // empty: imports
    };
    const Case cases[] = {
        {"te range falls", "M1", "R404A", [](Row& r) { r["te_max_C"] = "-25"; }, "column te_min"},
        {"pressure range falls", "M1", "R404A", [](Row& r) { r["p_gc_max_Pa"] = "7e6"; },
         "column p_gc_min"},
        {"negative pressure", "M1", "R404A", [](Row& r) { r["p_gc_min_Pa"] = "-1"; },
         "column p_gc_min"},
        {"enthalpy range falls", "M1", "R404A", [](Row& r) { r["h_gco_max_J_kg"] = "1"; },
         "column h_gco_min"},
        {"negative superheat", "M1", "R404A", [](Row& r) { r["sh_base_K"] = "-1"; },
         "column sh_base"},
        {"capacity not positive", "M1", "R404A", [](Row& r) { r["Q0"] = "-1e7"; },
         "column Q0: capacity"},
        {"power overflows", "M1", "R404A", [](Row& r) { r["P9"] = "1e300"; }, "column P0: power"},
        {"coefficient not a number", "M1", "R404A", [](Row& r) { r["P3"] = "1,4e-10"; },
         "column P3"},
        {"pressure twice", "M1", "R404A", [](Row& r) { r["p_gc_min_bar"] = "75"; }, "given twice"},
        {"no pressure", "M1", "R404A", [](Row& r) { r.erase("p_gc_max_Pa"); }, "p_gc_max"},
        {"ratio not above 1", "M1", "R404A", [](Row& r) { r["pr_max"] = "0.5"; }, "column pr_max"},
        {"other refrigerant", "M1", "R134a", {}, "not the refrigerant of model M1"},
        {"8-bit model name", "M\xe9", "R404A", {}, "column subcritical_id: model name"},
        {"outlet temperature empty", "M1", "R404A", pressureForm(""), "column t_gco_base_C"},
    };
    for (const Case& c : cases) {
        const std::vector<ImportFile> files = {
            {write("plain.tsv", plain), withPowerFactor()},
            {write("gc.tsv", transcriticalFile(c.model, c.refrigerant, c.change)), gasCooler}};
        try {
            importFiles(files, fluids);
            ADD_FAILURE() << c.what << ": imported";
        } catch (const ImportError& e) {
            EXPECT_NE(std::string(e.what()).find("gc.tsv:2"), std::string::npos)
                << c.what << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
    const ImportResult unmatched =
        importFiles({{write("plain.tsv", plain), withPowerFactor()},
                     {write("gc.tsv", transcriticalFile("M2", "R404A")), gasCooler}},
                    fluids);
    ASSERT_EQ(unmatched.skipped.size(), 1u);
    EXPECT_NE(unmatched.skipped[0].find("M2 left out"), std::string::npos);
    EXPECT_EQ(mergeCatalogue({}, unmatched.models).models.find("GcQ0"), std::string::npos);
    ImportOptions ip = gasCooler;
    ip.units = UnitSystem::IP;
    EXPECT_THROW(importFiles({{write("plain.tsv", plain), withPowerFactor()},
                              {write("gc.tsv", transcriticalFile("M1", "R404A")), ip}},
                             fluids),
                 ImportError);
}

} // namespace

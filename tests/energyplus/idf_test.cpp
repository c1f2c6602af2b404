// The IDF reader: a file of synthetic compressors in the dataset's layouts, with comments,
// other objects and faulty compressors; and the round trip of demo models through the
// EnergyPlus export and the import, rated at every point of their envelopes.
#include "catalogue_text.h"
#include "engine_handle.h"
#include "kv/envelope.h"
#include "kvcat/idf.h"
#include "kvcat/import.h"
#include "kvcli/energyplus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace kvcat;
namespace fs = std::filesystem;

class Idf : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("kv_idf_" + std::to_string(::getpid()));
    asere::FluidLibrary fluids{sourceData("fluids")};
    IdfOptions options{
        "", [this](const std::string& name) { return static_cast<bool>(fluids.find(name)); }};
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    fs::path write(const std::string& name, const std::string& text) const {
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    }
};

// Capacity and power curves of a made-up 4.2 kW machine, bicubic order.
const char* kCurves = R"(! Example 4.2 kW medium-temperature compressor, R404A (made-up curves)
  Curve:Bicubic,
    EX-4200_R404A_Med_qcurv, !- Name
    8518.9,                  !- Coefficient1 Constant
    261.05, 2.0608, -67.711, -0.021, -2.0749,
    0.00041, 8.3E-05, -0.01638, -0.00092,
    -31.7, -1.1,             !- Minimum and Maximum Value of x
    21.1, 54.4,              !- Minimum and Maximum Value of y
    ,  , Temperature, Temperature, Capacity;

  curve:bicubic, EX-4200_pwrcurv, 297.75, 3.8125, -0.031, 32.188, 0.31489, 0.41215,
    -1.7E-04, 4.1E-05, 2.3E-04, 4.032E-03, -30, -1.1, 21.1, 50;
)";

TEST_F(Idf, ReadsEveryCompressorWhoseCurvesItFindsAndNamesTheOthers) {
    // CR LF line ends, a compressor before its curves, objects sharing lines, other
    // objects between them, names in other cases, and faulty compressors.
    std::string text = std::string("Version, 23.2;\n") + R"(
  Refrigeration:Compressor,
    EX-4200_R404A_Med,       !- Name
    ex-4200_PWRCURV,         !- Refrigeration Compressor Power Curve Name
    EX-4200_R404A_Med_qcurv, !- Refrigeration Compressor Capacity Curve Name
    ,                        !- Rated Superheat {deltaC}
    18.3,                    !- Rated Return Gas Temperature {C}
    ,                        !- Rated Liquid Temperature {C}
    0;                       !- Rated Subcooling {deltaC}
Schedule:Constant, Always On, , 1.0; Curve:Quadratic, Other, 1, 2, 3, 0, 1;
)" + kCurves + R"(
! Case compressor 2, R134a
Refrigeration:Compressor, Case Compressor 2, EX-4200_pwrcurv, EX-4200_R404A_Med_qcurv, 10, , 30, ;
Refrigeration:Compressor, Misspelt, EX-4200_pwrcurve, EX-4200_R404A_Med_qcurv, 10, , , 0;
Refrigeration:Compressor, Twice, EX-4200_pwrcurv, EX-4200_R404A_Med_qcurv, 10, , , 0;
Refrigeration:Compressor, TWICE, EX-4200_pwrcurv, EX-4200_R404A_Med_qcurv, 10, , , 0;
Refrigeration:Compressor, Both bases, EX-4200_pwrcurv, EX-4200_R404A_Med_qcurv, 10, 18, , 0;
Refrigeration:Compressor, Which fluid, EX-4200_pwrcurv, EX-4200_pwrcurv, 10, , , 0;
Refrigeration:Compressor, Gas cooler R744, EX-4200_pwrcurv, EX-4200_R404A_Med_qcurv, 10, , , 0,
    General, Transcritical, A, B;
)";
    std::string crlf;
    for (const char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const IdfCompressors read = readIdf(write("set.idf", crlf), options);

    ASSERT_EQ(read.rows.size(), 2u);
    const auto& first = read.rows[0].fields;
    EXPECT_EQ(read.rows[0].line, 3u);
    const std::vector<std::string> expected = {"EX-4200_R404A_Med",
                                               "R404A",
                                               "EnergyPlus import",
                                               "-30",
                                               "-1.1",
                                               "21.1",
                                               "50",
                                               "",
                                               "18.3",
                                               "0",
                                               "",
                                               "8518.9",
                                               "261.05",
                                               "2.0608",
                                               "-67.711",
                                               "-0.021",
                                               "-2.0749",
                                               "0.00041",
                                               "8.3E-05",
                                               "-0.01638",
                                               "-0.00092",
                                               "297.75"};
    EXPECT_EQ(std::vector<std::string>(first.begin(), first.begin() + 22), expected);
    EXPECT_EQ(read.rows[1].fields[0], "Case Compressor 2");
    EXPECT_EQ(read.rows[1].fields[1], "R134a"); // from the comment line above it
    EXPECT_EQ(read.rows[1].fields[10], "30");   // a rated liquid temperature

    const std::vector<std::pair<std::string, std::string>> problems = {
        {":27: compressor \"Misspelt\"", "power curve \"EX-4200_pwrcurve\" is no Curve:Bicubic"},
        {":28: compressor \"Twice\"", "given 2 times (lines 28, 29)"},
        {":30: compressor \"Both bases\"", "give one of Rated Superheat"},
        {":31: compressor \"Which fluid\"", "no refrigerant"},
        {":32: compressor \"Gas cooler R744\"", "Transcritical"},
    };
    ASSERT_EQ(read.problems.size(), problems.size());
    for (std::size_t i = 0; i < problems.size(); ++i) {
        EXPECT_NE(read.problems[i].find(problems[i].first), std::string::npos) << read.problems[i];
        EXPECT_NE(read.problems[i].find(problems[i].second), std::string::npos) << read.problems[i];
    }
    ASSERT_EQ(read.notes.size(), 2u);
    EXPECT_NE(read.notes[0].find("R404A taken from its name"), std::string::npos);

    // With the refrigerant given, the one without a name for it is imported too, and the
    // table text is what the table import reads.
    IdfOptions given = options;
    given.refrigerant = "R404A";
    const IdfCompressors all = readIdf(write("set.idf", crlf), given);
    EXPECT_EQ(all.rows.size(), 3u);
    ImportOptions withCurrent;
    withCurrent.powerFactor = 0.8; // the form gives no current
    std::vector<std::string> messages;
    const ImportFile table = idfImportFile(dir / "set.idf", withCurrent, given, messages);
    EXPECT_EQ(table.path.filename(), "set.idf.tsv");
    EXPECT_EQ(table.options.order, CoefficientOrder::Bicubic);
    const ImportResult imported = importFiles({table}, fluids);
    removeIdfTable(table);
    EXPECT_FALSE(fs::exists(table.path.parent_path()));
    EXPECT_EQ(messages.size(), 4u) << testing::PrintToString(messages);
    EXPECT_EQ(imported.models.size(), 3u);
}

TEST_F(Idf, RefusesWhatIsNoIdfText) {
    EXPECT_THROW(readIdf(dir, options), ImportError);
    EXPECT_THROW(readIdf(write("zero.idf", std::string("Version,\0 1;", 12)), options),
                 ImportError);
    ASSERT_EQ(::mkfifo((dir / "fifo.idf").c_str(), 0600), 0);
    EXPECT_THROW(readIdf(dir / "fifo.idf", options), ImportError);
    // Millions of fields cost no memory beyond the text's.
    EXPECT_TRUE(readIdf(write("commas.idf", "Schedule:Compact, A" + std::string(20'000'000, ',') +
                                                ";Refrigeration:Compressor, B" +
                                                std::string(20'000'000, ',') + ";"),
                        options)
                    .problems.size() == 1);
    // A cut-off file: the open object is no object, nothing is imported.
    EXPECT_TRUE(readIdf(write("cut.idf", "Refrigeration:Compressor, A, B"), options).rows.empty());
}

// A demo model written as EnergyPlus input, read back and imported, gives the capacity
// and power of the catalogue at every point of its envelope. The form holds neither the
// current nor the mass flow: the import derives them, so they are not compared.
TEST_F(Idf, ExportReadBackByTheImportRatesAsTheCatalogue) {
    const kv::BindResult bound = kv::bindLibraries(KV_PROGRAM_DIR);
    ASSERT_TRUE(bound.ok) << bound.message;
    kv::initializeEngine(bound.api, KV_PROGRAM_DIR);
    ImportOptions bicubic;
    bicubic.order = CoefficientOrder::Bicubic;
    bicubic.powerFactor = 0.8; // the form gives no current
    for (const char* name : {"KRM250A-D5", "KSM160A-D5", "KSA008Y-E6"}) {
        SCOPED_TRACE(name);
        const auto model = kv::findModelByName(bound.api, name);
        ASSERT_TRUE(model);
        const auto idf = kvcli::energyPlusCompressor(bound.api, *model);
        ASSERT_TRUE(std::holds_alternative<std::string>(idf));
        const IdfCompressors read =
            readIdf(write("model.idf", std::get<std::string>(idf)), options);
        ASSERT_EQ(read.rows.size(), 1u) << (read.problems.empty() ? "" : read.problems[0]);
        const ImportResult imported =
            importFiles({{write("model.tsv", idfTableText(read)), bicubic}}, fluids);
        ASSERT_EQ(imported.models.size(), 1u);
        const CatalogueTexts texts = mergeCatalogue({}, imported.models);
        const Engine back(texts.codes, texts.models);

        const kv::ConditionValues at{5, 50, 0, 10, 10};
        const kv::Envelope env = kv::computeEnvelope(
            bound.api, model->number, at, kv::envelopeWindow(bound.api, model->number, at));
        std::vector<kv::EnvelopePoint> points;
        for (const kv::EnvelopePolygon& p : env.polygons)
            if (p.code >= 0)
                points.insert(points.end(), p.points.begin(), p.points.end());
        for (double te = env.window.teFrom; te <= env.window.teTo; te += 2.5)
            for (double tc = env.window.tcFrom; tc <= env.window.tcTo; tc += 2.5)
                points.push_back({te, tc});
        int compared = 0;
        for (const kv::EnvelopePoint& p : points)
            for (const auto& [sc, sh] : {std::pair{0.0, 10.0}, std::pair{5.0, 20.0}}) {
                const kv::ConditionValues c{p.te, p.tc, sc, sh, sh};
                const kv::PointRating original =
                    kv::ratePoint(bound.api, model->number, p.te, p.tc, c);
                if (original.code < 0)
                    continue;
                const Rating r = back.rate(1, p.te, p.tc, sc, sh, sh);
                ASSERT_GE(r.code, 0) << p.te << " " << p.tc;
                EXPECT_DOUBLE_EQ(r.capacity, original.capacity) << p.te << " " << p.tc;
                EXPECT_DOUBLE_EQ(r.power, original.power) << p.te << " " << p.tc;
                ++compared;
            }
        EXPECT_GT(compared, 200);
    }
}

} // namespace

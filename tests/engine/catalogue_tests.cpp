// Loading: the line and field grammar of both files, numbers, and the initialisation
// sequence over real files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#ifdef _WIN32
#include <fstream>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "engine_test_support.h"

using kpx::catalogueFrom;
using kpx::NoValue;
using kpx::TempDir;

namespace {

std::vector<std::string> linesOf(std::string_view content) {
    std::vector<std::string> lines;
    kpx::forEachLine(content, [&](std::string_view l) { lines.emplace_back(l); });
    return lines;
}

TEST(Lines, LineFeedEndsALineAndOnlyACarriageReturnBeforeItBelongsToTheEnd) {
    const struct {
        std::string content;
        std::vector<std::string> lines;
    } rows[] = {
        {"", {}},
        {"\n", {""}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\n\n", {"a", ""}},
        {"a\r\r\n", {"a\r"}},
        {"a\rb\n", {"a\rb"}},
        {"a\r", {"a\r"}},
        {"\r\n\r\n", {"", ""}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(linesOf(row.content), row.lines) << "content: " << row.content;
    EXPECT_EQ(linesOf(std::string("a\0b\n", 4)), std::vector<std::string>{std::string("a\0b", 3)});
}

TEST(ModelFile, HeaderTakesOnlyTabTerminatedNamesUpToTheFirstEmptyOne) {
    const struct {
        std::string header;
        std::vector<std::string> columns;
    } rows[] = {
        {"A\tB\tC", {"A", "B"}},
        {"A\tB\tC\t", {"A", "B", "C"}},
        {"A\t\tC\t", {"A"}},
        {"\tA\tB\t", {}},
        {"A\tB\t\r\n", {"A", "B"}},
        {"A\tB\r\t\n", {"A", "B\r"}},
        {"", {}},
        {"ABC", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(catalogueFrom("", row.header).ColumnNames(), row.columns) << row.header;
}

TEST(ModelFile, DataLineStoresTabTerminatedFieldsUnderTheirColumns) {
    const std::optional<std::string> absent;
    const struct {
        std::string line;
        std::optional<std::string> a, b;
    } rows[] = {
        {"x\ty\t", "x", "y"},     {"x\ty", "x", absent},
        {"", absent, absent},     {"xy", absent, absent},
        {"\t\t", "", ""},         {"x\ty\tz\t", "x", "y"}, // fields without a column are dropped
        {"x\ty\tz", "x", "y"},    {"x\r\ty\t\r", "x\r", "y"},
        {" 1 \t-\t", " 1 ", "-"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const auto c = catalogueFrom("", "A\tB\t\n" + row.line + "\n");
        ASSERT_EQ(c.modelCount(), 1u);
        EXPECT_EQ(c.hasField(0, "A"), row.a.has_value());
        EXPECT_EQ(c.hasField(0, "B"), row.b.has_value());
        EXPECT_EQ(c.FieldText(0, "A"), row.a.value_or(""));
        EXPECT_EQ(c.FieldText(0, "B"), row.b.value_or(""));
        EXPECT_FALSE(c.hasField(0, "C"));
        EXPECT_EQ(c.FieldNumber(0, "B"),
                  row.b && *row.b != "-" && !row.b->empty() ? kpx::FieldNumber(*row.b) : NoValue);
    }
}

TEST(ModelFile, RecordsFollowTheLinesIncludingEmptyOnes) {
    const auto c = catalogueFrom("", "Name\t\r\nfirst\t\r\n\r\nthird\t\n\n");
    ASSERT_EQ(c.modelCount(), 4u);
    EXPECT_EQ(c.FieldText(0, "Name"), "first");
    EXPECT_FALSE(c.hasField(1, "Name"));
    EXPECT_EQ(c.FieldText(2, "Name"), "third");
    EXPECT_FALSE(c.hasField(3, "Name")); // the file ended with an empty line

    const auto lastLineWithoutEnd = catalogueFrom("", "Name\t\nfirst\t\nsecond\t");
    ASSERT_EQ(lastLineWithoutEnd.modelCount(), 2u);
    EXPECT_EQ(lastLineWithoutEnd.FieldText(1, "Name"), "second");
}

TEST(ModelFile, LaterColumnOfTheSameNameWinsWhereTheLineReachesIt) {
    const auto c = catalogueFrom("", "A\tB\tA\t\n1\t2\t3\t\n4\t5\t\n");
    EXPECT_EQ(c.FieldText(0, "A"), "3");
    EXPECT_EQ(c.FieldNumber(0, "A"), 3.0);
    EXPECT_EQ(c.FieldText(1, "A"), "4");
    EXPECT_FALSE(c.hasField(0, "a")); // names are case-sensitive
}

TEST(FieldNumber, ReadsTheLeadingDecimalNumber) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::string text;
        double value;
    } rows[] = {
        {"", NoValue},    {"-", NoValue}, {"12.5abc", 12.5}, {"abc", 0},           {" 7", 7},
        {"\v\f\r 4", 4},  {"+3", 3},      {"-2.5e2", -250},  {".5", 0.5},          {"-.5", -0.5},
        {"5.", 5},        {"1e", 1},      {"1e+", 1},        {"1E-2x", 0.01},      {"0x1A", 0},
        {"inf", 0},       {"nan", 0},     {"-inf", 0},       {"--1", 0},           {" -", 0},
        {"+", 0},         {".", 0},       {"1,5", 1},        {"- 1", 0},           {"1e999", inf},
        {"-1e999", -inf}, {"1e-999", 0},  {"007", 7},        {"-999999", NoValue}, {"1 2", 1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kpx::FieldNumber(row.text), row.value) << '"' << row.text << '"';
    EXPECT_EQ(kpx::FieldNumber("12345678901234567890"), 12345678901234567890.0);
    EXPECT_TRUE(std::signbit(kpx::FieldNumber("-0")));
    EXPECT_DOUBLE_EQ(kpx::FieldNumber("4.9e-320"), 4.9e-320);
}

TEST(LeadingInteger, ReadsLikeTheCLibraryAndClampsTo32Bits) {
    const struct {
        std::string text;
        std::int32_t value;
    } rows[] = {
        {"12", 12},
        {" -3x", -3},
        {"x", 0},
        {"", 0},
        {"+7", 7},
        {"1.9", 1},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
        {"-2147483648", -2147483647 - 1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kpx::leadingInteger(row.text), row.value) << row.text;
}

TEST(CodeFile, EachLineAfterTheHeaderGivesOneEntry) {
    const struct {
        std::string line;
        std::string key, value;
    } rows[] = {
        {"DLLR\t3\tx\ty", "DLLR_3", "x\ty"},
        {"DLLR\t3\t", "DLLR_3", ""},
        {"DLLR\t3", "DLLR_", "3"},
        {"DLLF\t\tFam", "DLLF_", "Fam"},
        {"hello", "_", "hello"},
        {"", "_", ""},
        {"\t\t\t", "_", "\t"},
        {"DLLP\t 2\tV\r", "DLLP_ 2", "V\r"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const auto c = catalogueFrom("header\n" + row.line + "\r\n", "");
        ASSERT_EQ(c.codes().size(), 1u);
        const std::string* value = c.codes().find(row.key);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(*value, row.value);
    }
}

TEST(CodeFile, HeaderIsNeverStoredAndRepeatedKeysReplace) {
    const auto c = catalogueFrom("DLLR\t1\tOne\nDLLR\t2\tTwo\nDLLR\t2\tZwei\n", "");
    EXPECT_EQ(c.codes().find("DLLR_1"), nullptr);
    ASSERT_NE(c.codes().find("DLLR_2"), nullptr);
    EXPECT_EQ(*c.codes().find("DLLR_2"), "Zwei");
    EXPECT_EQ(c.codes().size(), 1u);
}

const std::string kCodes = "List\tNo\tText\nDLLR\t1\tR134a\nDLLF\t1\tScroll\n";
const std::string kModels = "ShowName\tDLLR\t\nM1\t1\t\n";

TEST(Initialize, LoadsOnceAndThenOnlyTakesTheNewDirectory) {
    TempDir first, second;
    first.write("kpxcodes.bin", kCodes);
    second.write("kpxcodes.bin", kCodes + "DLLP\t1\t230V\n");
    second.write("kpxcalc.bin", kModels + "M2\t1\t\n");
    kpx::Catalogue c;
    c.initialize(first.slash().c_str()); // no model table: not loaded, code lists read
    EXPECT_FALSE(c.CatalogueLoaded());
    EXPECT_EQ(c.codes().size(), 2u);
    first.write("kpxcalc.bin", kModels);
    c.initialize(first.slash().c_str()); // codes read again under the same keys
    EXPECT_TRUE(c.CatalogueLoaded());
    EXPECT_EQ(c.codes().size(), 2u);
    EXPECT_EQ(c.modelCount(), 1u);
    c.initialize(second.slash().c_str());
    EXPECT_EQ(c.DataDirectory(), second.slash());
    EXPECT_EQ(c.modelCount(), 1u);
    EXPECT_EQ(c.codes().size(), 2u);
}

TEST(Initialize, WhereTheFilesAreLookedFor) {
    TempDir dir;
    dir.write("x-kpxcalc.bin", kModels);
    kpx::Catalogue joined, notRegular, nullDirectory;
    joined.initialize((dir.slash() + "x-").c_str()); // the text goes right before the name
    EXPECT_TRUE(joined.CatalogueLoaded());
    std::filesystem::create_directory(dir.path() / "kpxcalc.bin");
#ifdef _WIN32
    std::filesystem::create_directory(dir.path() / "kpxcodes.bin");
#else
    ASSERT_EQ(mkfifo((dir.path() / "kpxcodes.bin").c_str(), 0600), 0); // nobody writes to it
#endif
    notRegular.initialize(dir.slash().c_str());
    EXPECT_FALSE(notRegular.CatalogueLoaded());
    EXPECT_EQ(notRegular.codes().size(), 0u);

    TempDir current; // a null directory reads from the current directory
    current.write("kpxcalc.bin", kModels);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(current.path());
    nullDirectory.initialize(nullptr);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(nullDirectory.CatalogueLoaded());
    EXPECT_EQ(nullDirectory.DataDirectory(), "");
}

#ifdef _WIN32
// Windows: a file that another handle holds open, or a path of MAX_PATH characters or
// more, counts as missing.
TEST(Initialize, WindowsOpensUnsharedAndBelowTheLongPathLimit) {
    TempDir dir;
    dir.write("kpxcalc.bin", kModels);
    kpx::Catalogue held, longPath, loaded;
    {
        std::ifstream other(dir.path() / "kpxcalc.bin", std::ios::binary);
        ASSERT_TRUE(other.is_open());
        held.initialize(dir.slash().c_str());
    }
    EXPECT_FALSE(held.CatalogueLoaded());
    std::string deep = dir.slash();
    while (deep.size() + std::string("kpxcalc.bin").size() < MAX_PATH)
        deep += "./";
    longPath.initialize(deep.c_str());
    EXPECT_FALSE(longPath.CatalogueLoaded());
    loaded.initialize(dir.slash().c_str());
    EXPECT_TRUE(loaded.CatalogueLoaded());
}
#endif

} // namespace

namespace {

// Every rating column of a record, and its refrigerant, compared bit for bit.
bool sameRecord(kpx::RatingRecord a, kpx::RatingRecord b) {
    std::vector<double> left, right;
    kpx::forEachRatingColumn(a, [&](std::string_view, double& v) { left.push_back(v); });
    kpx::forEachRatingColumn(b, [&](std::string_view, double& v) { right.push_back(v); });
    return std::memcmp(left.data(), right.data(), left.size() * sizeof(double)) == 0 &&
           std::string_view(a.refrigerant) == b.refrigerant;
}

} // namespace

// The optional columns of the figures beyond the rating (discharge temperature and heat
// rejection polynomials, maximum discharge temperature), anywhere in the header, change
// nothing the rating reads; a catalogue without them has none of them.
TEST(ModelFile, OptionalFigureColumnsLeaveTheRatingAlone) {
    const std::string plain = "ShowName\tRefrigerant\tQ0\tP0\tTeLow\tDLLF\t\n"
                              "A\tR134a\t1000\t400\t-30\t4\t\n";
    const std::string extra = "Td0\tShowName\tRefrigerant\tQ0\tTdMax\tP0\tQr9\tTeLow\tDLLF\t\n"
                              "88.5\tA\tR134a\t1000\t120\t400\t0.25\t-30\t4\t\n";
    const auto a = catalogueFrom("", plain);
    const auto b = catalogueFrom("", extra);
    EXPECT_TRUE(sameRecord(a.ratingRecord(0), b.ratingRecord(0)));
    const kpx::FigureColumns without = a.figureColumns(0), with = b.figureColumns(0);
    EXPECT_EQ(without.td[0], kpx::NoValue);
    EXPECT_EQ(without.tdMax, kpx::NoValue);
    EXPECT_EQ(with.td[0], 88.5);
    EXPECT_EQ(with.td[1], kpx::NoValue);
    EXPECT_EQ(with.qr[9], 0.25);
    EXPECT_EQ(with.tdMax, 120);
    EXPECT_EQ(with.technology, "Reciprocating");
    EXPECT_EQ(catalogueFrom("", "DLLF\t\n77\t\n").figureColumns(0).technology, "");
}

// The code table's hash and walk order, the code-list enumeration and the model search.
#include <gtest/gtest.h>

#include "engine_test_support.h"

using kpx::catalogueFrom;

namespace {

TEST(CodeTable, KeyHashTakesBytesAsSigned) {
    EXPECT_EQ(kpx::KeyHash("abc"), 108966u);
    EXPECT_EQ(kpx::CodeTable::bucketOf("abc"), 13u);
    EXPECT_EQ(kpx::KeyHash(""), 0u);
    EXPECT_EQ(kpx::KeyHash("a\x80"), 97u * 33u - 128u);
    EXPECT_EQ(kpx::KeyHash("\xff"), 0xFFFFFFFFu);
    EXPECT_EQ(kpx::CodeTable::bucketOf("\xff"), 0u); // 2^32 - 1 is a multiple of 17
    EXPECT_EQ(kpx::CodeTable::bucketOf("DLLR_10"), kpx::CodeTable::bucketOf("DLLR_7"));
}

std::vector<std::string> walkOrder(const kpx::CodeTable& table) {
    std::vector<std::string> keys;
    table.walk([&](const kpx::CodeTable::Entry& e) {
        keys.push_back(e.key + "=" + e.value);
        return false;
    });
    return keys;
}

TEST(CodeTable, WalkGoesThroughBucketsInTurnLatestNewKeyFirst) {
    kpx::CodeTable t;
    t.store("DLLR_7", "a");  // bucket 8
    t.store("abc", "b");     // bucket 13
    t.store("DLLR_10", "c"); // bucket 8, in front of DLLR_7
    t.store("DLLR_1", "d");  // bucket 2
    EXPECT_EQ(walkOrder(t),
              (std::vector<std::string>{"DLLR_1=d", "DLLR_10=c", "DLLR_7=a", "abc=b"}));
    t.store("DLLR_7", "e"); // replaced in place
    EXPECT_EQ(walkOrder(t),
              (std::vector<std::string>{"DLLR_1=d", "DLLR_10=c", "DLLR_7=e", "abc=b"}));
    EXPECT_EQ(t.size(), 4u);
}

TEST(NextCode, EndsAndUnknownIndices) {
    const auto c = catalogueFrom("List\tNumber\tText\nDLLR\t1\tR134a\tmore\nDLLR\t2\tR404A\n", "");
    const auto first = c.NextCode("DLLR", 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->number, 1);
    EXPECT_EQ(first->text, "R134a\tmore");
    EXPECT_EQ(c.NextCode("DLLR", 1)->number, 2);
    EXPECT_FALSE(c.NextCode("DLLR", 2)); // the last entry in walk order
    EXPECT_FALSE(c.NextCode("DLLR", 99));
    EXPECT_FALSE(c.NextCode("DLLR", -1));
    EXPECT_FALSE(c.NextCode("DLLF", 0));
    EXPECT_FALSE(catalogueFrom("", "").NextCode("DLLR", 0));
}

// The enumeration steps through the list in the table's walk order: every entry whose
// key holds the prefix and "_" after the one keyed by the index, in a large table with
// other lists, keys that hold the prefix inside them and replaced entries.
TEST(NextCode, StepsFollowTheWalkOrderInALargeTable) {
    std::string codes = "List\tNumber\tText\n";
    for (int i = 1; i <= 3000; ++i) {
        const std::string n = std::to_string(i);
        codes += "DLLR\t" + n + "\tR" + n + "\n";
        if (i % 3 == 0)
            codes += "DLLF\t" + n + "\tF\nXDLLR\t" + n + "\tinside\n";
        if (i % 7 == 0)
            codes += "DLLR\t" + std::to_string(i / 7) + "\tagain\n";
    }
    const auto c = catalogueFrom(codes, "");
    std::vector<std::pair<std::string, std::int32_t>> list; // key and number, walk order
    c.codes().walk([&](const kpx::CodeTable::Entry& e) {
        if (e.key.find("DLLR_") != std::string::npos)
            list.emplace_back(e.key, kpx::leadingInteger(e.key.substr(e.key.find('_') + 1)));
        return false;
    });
    ASSERT_EQ(c.NextCode("DLLR", 0)->number, list.front().second);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].first.rfind("DLLR_", 0) != 0)
            continue; // an index names only a key of the list's own form
        const auto next = c.NextCode("DLLR", list[i].second);
        if (i + 1 == list.size()) {
            EXPECT_FALSE(next);
        } else {
            ASSERT_TRUE(next) << list[i].first;
            EXPECT_EQ(next->number, list[i + 1].second) << list[i].first;
        }
    }
}

const std::string kSearchFile = "ShowName\tDLLR\tDLLF\tDLLP\t\n"
                                "A\t3\t1\t2\t\n"
                                "B\t-\t1\t2\t\n"
                                "C\t\t1\t2\t\n"
                                "D\t\n"
                                "E\t3.0\t2\t2\t\n"
                                "F\t2.5\t1\t2\t\n"
                                "\t3\t1\t1\t\n";

std::vector<std::string> search(const kpx::Catalogue& c, std::int32_t r, std::int32_t f,
                                std::int32_t p) {
    std::vector<std::string> names;
    for (std::size_t start = 0;;) {
        const auto hit = c.findModel(start, r, f, p);
        if (!hit)
            break;
        names.emplace_back(c.FieldText(*hit, "ShowName"));
        start = *hit + 1;
    }
    return names;
}

TEST(FindModel, CodesMatchNumericallyAndZeroMatchesAll) {
    const auto c = catalogueFrom("", kSearchFile);
    const struct {
        std::int32_t r, f, p;
        std::vector<std::string> names;
    } rows[] = {
        {0, 0, 0, {"A", "B", "C", "D", "E", "F", ""}},
        {3, 0, 0, {"A", "E", ""}},
        {3, 1, 0, {"A", ""}},
        {3, 1, 2, {"A"}},
        {0, 0, 1, {""}},
        {2, 0, 0, {}},
        {-999999, 0, 0, {"B", "C", "D"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(search(c, row.r, row.f, row.p), row.names)
            << row.r << " " << row.f << " " << row.p;
    EXPECT_FALSE(c.findModel(c.modelCount(), 0, 0, 0));
    EXPECT_EQ(c.findModel(4, 0, 0, 0), 4u);
}

TEST(FindModel, ByNameComparesTextsExactly) {
    const auto c = catalogueFrom("", "ShowName\tRefrigerant\tFrequency\t\n"
                                     "K1\tR134a\t50.0\t\n"
                                     "K1\tR134a\t 50\t\n"
                                     "K1\tr134a\t50\t\n"
                                     "K1\tR134a\t50\t\n"
                                     "K1\tR134a\t60\t\n");
    EXPECT_EQ(c.findModel("K1", "R134a", 50), 3u);
    EXPECT_EQ(c.findModel("K1", "R134a", 60), 4u);
    EXPECT_FALSE(c.findModel("k1", "R134a", 50));
    EXPECT_FALSE(c.findModel("K1", "R134a", 0));
    EXPECT_FALSE(c.findModel("K1", "R134a", -50));
}

} // namespace

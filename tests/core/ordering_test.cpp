// Ordering of the result rows, the capacity window, the grid header and the frequency tags.
#include "kv/calcrun.h"
#include "kv/codelists.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using kv::GridRow;
using kv::NumberFormat;

const NumberFormat kEnglishNumbers = NumberFormat::english();

GridRow row(std::string name, std::string capacity, std::string tag = {}) {
    GridRow r;
    r[1] = std::move(tag);
    r[2] = std::move(name);
    r[5] = std::move(capacity);
    return r;
}

std::vector<std::string> column(const std::vector<GridRow>& rows, int c) {
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(r[static_cast<std::size_t>(c)]);
    return out;
}

// The ordering as the grid's own quicksort produces it, converting keys at every
// comparison and recursing into both parts: the reference the keyed sort must match.
void referenceQSort(std::vector<GridRow>& g, int col, int min, int max, bool numComp) {
    if (min >= max)
        return;
    const std::string pivot = g[static_cast<std::size_t>(min)][static_cast<std::size_t>(col)];
    const GridRow buffer = g[static_cast<std::size_t>(min)];
    auto cmp = [&](int i) {
        return kv::CompareValues(g[static_cast<std::size_t>(i)][static_cast<std::size_t>(col)],
                                 pivot, numComp, true, kEnglishNumbers);
    };
    int lo = min, hi = max;
    for (;;) {
        while (cmp(hi) >= 0) {
            --hi;
            if (hi <= lo)
                break;
        }
        if (hi <= lo) {
            g[static_cast<std::size_t>(lo)] = buffer;
            break;
        }
        g[static_cast<std::size_t>(lo)] = g[static_cast<std::size_t>(hi)];
        ++lo;
        while (cmp(lo) < 0) {
            ++lo;
            if (lo >= hi)
                break;
        }
        if (lo >= hi) {
            lo = hi;
            g[static_cast<std::size_t>(hi)] = buffer;
            break;
        }
        g[static_cast<std::size_t>(hi)] = g[static_cast<std::size_t>(lo)];
    }
    referenceQSort(g, col, min, lo - 1, numComp);
    referenceQSort(g, col, lo + 1, max, numComp);
}

TEST(CompareValues, TextByCharacterCodesNumbersByValue) {
    EXPECT_EQ(kv::CompareValues("AB-2", "ab-1", false, true, kEnglishNumbers), -1);
    EXPECT_EQ(kv::CompareValues("ab-1", "AB-2", false, true, kEnglishNumbers), 1);
    EXPECT_EQ(kv::CompareValues("x", "x", false, true, kEnglishNumbers), 0);
    EXPECT_EQ(kv::CompareValues("900", "1,500", true, true, kEnglishNumbers), -1);
    EXPECT_EQ(kv::CompareValues("900", "1,500", false, true, kEnglishNumbers), 1);
    EXPECT_EQ(kv::CompareValues("900", "1,500", true, false, kEnglishNumbers), 1);
    EXPECT_EQ(kv::CompareValues("045", "45", true, true, kEnglishNumbers), 0);
}

TEST(QSort, MatchesTheGridQuicksortIncludingEqualKeys) {
    // Many equal keys, tagged in column 1 so that their final order is visible.
    std::mt19937 rng(7);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 1 + static_cast<int>(rng() % 40);
        std::vector<GridRow> rows;
        for (int i = 0; i < n; ++i)
            rows.push_back(row("M" + std::to_string(rng() % 6),
                               std::to_string(rng() % 5) + ",00" + std::to_string(rng() % 3),
                               std::to_string(i)));
        for (const bool numComp : {false, true}) {
            const int col = numComp ? kv::kCapacityColumn : kv::kNameColumn;
            if (trial % 3 == 0) {
                // Mostly in order already, with a few rows out of place.
                referenceQSort(rows, col, 0, n - 1, numComp);
                for (int k = 0; k < trial % 4; ++k)
                    std::swap(rows[rng() % static_cast<unsigned>(n)],
                              rows[rng() % static_cast<unsigned>(n)]);
            }
            auto expected = rows;
            referenceQSort(expected, col, 0, n - 1, numComp);
            auto actual = rows;
            kv::QSort(actual, col, 0, n - 1, true, numComp, kEnglishNumbers);
            ASSERT_EQ(column(actual, 1), column(expected, 1)) << "trial " << trial;
        }
    }
}

TEST(QSort, SortsPartOfTheRowsAndDescending) {
    std::vector<GridRow> rows{row("d", "4"), row("c", "3"), row("b", "2"), row("a", "1")};
    kv::QSort(rows, kv::kNameColumn, 1, 2, true, false, kEnglishNumbers);
    EXPECT_EQ(column(rows, 2), (std::vector<std::string>{"d", "b", "c", "a"}));
    kv::QSort(rows, kv::kCapacityColumn, 0, 3, false, true, kEnglishNumbers);
    EXPECT_EQ(column(rows, 5), (std::vector<std::string>{"4", "3", "2", "1"}));
    // A single row and out-of-range bounds leave the rows as they are.
    auto before = rows;
    kv::QSort(rows, kv::kNameColumn, 2, 2, true, false, kEnglishNumbers);
    kv::QSort(rows, kv::kNameColumn, 3, 99, true, false, kEnglishNumbers);
    kv::QSort(rows, 42, 0, 3, true, false, kEnglishNumbers);
    EXPECT_EQ(rows, before);
}

// Runs `work` on a thread with a small stack (64 KiB), so that a sort whose recursion
// grows with the number of rows overflows it.
void onSmallStack(const std::function<void()>& work) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 64 * 1024);
    pthread_t thread;
    auto call = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, call, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST(QSort, LongListAlreadyInOrderNeedsNoDeepStack) {
    for (const bool numComp : {false, true}) {
        std::vector<GridRow> rows;
        for (int i = 0; i < 20000; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "M%06d", i);
            rows.push_back(row(name, kv::formatGrouped000(i, kEnglishNumbers)));
        }
        const auto expected = rows;
        const auto order = numComp ? kv::OrderBy::Capacity : kv::OrderBy::ModelName;
        onSmallStack([&] { kv::sortRows(rows, order, kEnglishNumbers); });
        EXPECT_EQ(rows, expected);
        // In order but for the smallest row at the end: every partition splits off one or
        // two rows, 10,000 levels deep for a sort that recursed into both parts.
        std::rotate(rows.begin(), rows.begin() + 1, rows.end());
        onSmallStack([&] { kv::sortRows(rows, order, kEnglishNumbers); });
        EXPECT_EQ(rows, expected);
    }
}

std::vector<GridRow> twentyRows() {
    std::vector<GridRow> rows;
    for (int i = 1; i <= 20; ++i)
        rows.push_back(
            row("M" + std::to_string(i), kv::formatGrouped000(i * 100, kEnglishNumbers)));
    return rows;
}

TEST(CapacityWindow, KeepsFiveRowsEachSideOfTheNearest) {
    struct Case {
        double target;
        int selected;
        int firstKept, lastKept; // former row numbers
    };
    for (const Case& c : std::vector<Case>{{1210, 6, 7, 17},
                                           {290, 3, 1, 8},
                                           {-5, 1, 1, 6},
                                           {600, 6, 1, 11},
                                           {700, 6, 2, 12},
                                           {99999, 6, 15, 20},
                                           {1550, 6, 10, 20}}) {
        auto rows = twentyRows();
        const int selected = kv::applyCapacityWindow(rows, c.target, kEnglishNumbers);
        EXPECT_EQ(selected, c.selected) << c.target;
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.front()[2], "M" + std::to_string(c.firstKept)) << c.target;
        EXPECT_EQ(rows.back()[2], "M" + std::to_string(c.lastKept)) << c.target;
        EXPECT_EQ(static_cast<int>(rows.size()), c.lastKept - c.firstKept + 1) << c.target;
    }
}

TEST(CapacityWindow, TiesKeepTheEarlierRowAndEmptyListsStayEmpty) {
    auto rows = twentyRows();
    EXPECT_EQ(kv::nearestRow(rows, 1250, kEnglishNumbers), 12); // 1,200 and 1,300 both 50 away
    EXPECT_EQ(kv::nearestRow(rows, 150, kEnglishNumbers), 1);
    std::vector<GridRow> none;
    EXPECT_EQ(kv::applyCapacityWindow(none, 1000, kEnglishNumbers), 1);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(kv::targetValue("1,250", kEnglishNumbers), 1250);
    EXPECT_EQ(kv::targetValue("lots", kEnglishNumbers), 0);
}

TEST(GridHeader, TextsAndWidthsPerUnitSystem) {
    const auto si = kv::gridHeader(kv::UnitSystem::SI);
    const auto imp = kv::gridHeader(kv::UnitSystem::Imperial);
    EXPECT_EQ(imp.texts[5], "Cooling capacity (Btu/h)");
    EXPECT_EQ(imp.texts[9], "Mass flow (lbs/h)");
    // 15 twips per pixel at 96 dpi, the same in both unit systems.
    EXPECT_EQ(si.widthsPixels, (std::array<int, 10>{7, 78, 127, 63, 70, 93, 63, 53, 50, 57}));
    EXPECT_EQ(imp.widthsPixels, si.widthsPixels);
    EXPECT_EQ(si.rowHeightPixels, 33);
}

// Every supply the catalogue knows is kept at the frequency its voltage text names and
// only there; a code it doesn't know is shown as it stands and kept at both.
TEST(ModelTexts, SuppliesKeptAtTheFrequencyOfTheirVoltage) {
    int known[2] = {0, 0};
    for (int code = 0; code <= 20; ++code) {
        const std::string dllp = std::to_string(code);
        const std::string voltage = kv::voltageText(dllp);
        const bool at50 = kv::keptAtFrequency(dllp, kv::Frequency::Hz50);
        const bool at60 = kv::keptAtFrequency(dllp, kv::Frequency::Hz60);
        if (voltage == dllp) {
            EXPECT_TRUE(at50 && at60) << dllp;
            continue;
        }
        const std::string hertz = voltage.substr(voltage.rfind('/') + 1);
        ASSERT_TRUE(hertz == "50" || hertz == "60") << voltage;
        EXPECT_EQ(at50, hertz == "50") << voltage;
        EXPECT_EQ(at60, hertz == "60") << voltage;
        ++known[hertz == "60"];
    }
    EXPECT_GT(known[0], 0);
    EXPECT_GT(known[1], 0);
    EXPECT_TRUE(kv::keptAtFrequency("", kv::Frequency::Hz50) &&
                kv::keptAtFrequency("", kv::Frequency::Hz60));
    // Codes are read as the catalogue writes them: "01" is no code.
    EXPECT_NE(kv::technologyText("1"), "");
    EXPECT_EQ(kv::technologyText("01"), "");
    EXPECT_EQ(kv::technologyText("99"), "");
    EXPECT_EQ(kv::voltageText("01"), "01");
    EXPECT_EQ(kv::resultsLabel(11), "Results : 11");
}

TEST(FrequencyTags, FilterTheVoltageList) {
    const std::vector<std::string> supplies{"400V 3ph 50Hz", "230V 1ph 50 Hz", "460V 3ph 60Hz",
                                            "380-400V 50Hz/60Hz", "50hz"};
    EXPECT_EQ(kv::filterVoltages(supplies, kv::Frequency::Hz50),
              (std::vector<std::string>{"All", "400V 3ph 50Hz", "380-400V 50Hz/60Hz"}));
    EXPECT_EQ(kv::filterVoltages(supplies, kv::Frequency::Hz60),
              (std::vector<std::string>{"All", "460V 3ph 60Hz", "380-400V 50Hz/60Hz"}));
    EXPECT_EQ(kv::filterVoltages({}, kv::Frequency::Hz60), (std::vector<std::string>{"All"}));
}

} // namespace

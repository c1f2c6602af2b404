// Variable-speed models in the engine core: the speed file's checks, rating at a speed,
// the speed range at a point and the speed that meets a capacity.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "kpx/speed.h"

namespace {

using kpx::Columns;

// A set at `speed` rev/s: polynomials that rise with speed, an envelope whose TeHig is
// given by the caller; the other coefficients 0.
Columns setAt(double speed, double teHig) {
    Columns set;
    for (const char* p : {"Q", "P", "A", "M"})
        for (int k = 0; k < 10; ++k)
            set[p + std::to_string(k)] = 0;
    return kpx::merged(set, {{"ScBase", 0},       {"ShBase", 10},
                             {"Q0", 100 * speed}, {"Q1", 3 * speed},
                             {"Q2", -1},          {"P0", 40 * speed + 100},
                             {"A0", 0.1 * speed}, {"M0", 0.001 * speed},
                             {"TeLow", -30},      {"TeHig", teHig},
                             {"TcLow", 20},       {"TcHig", 70},
                             {"TeMin", -30},      {"TeMax", 20},
                             {"TcMin", 20},       {"TcMax", 70},
                             {"ShMax", 30},       {"ShTol", 5},
                             {"RgtMax", 40},      {"ScMax", 15},
                             {"TcTol", 3}});
}

std::string fieldText(const Columns& c, std::string_view column) {
    const auto it = c.find(std::string(column));
    if (it == c.end())
        return "";
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", it->second);
    return text;
}

std::string ratingFields(const Columns& c) {
    std::string line;
    for (const std::string_view column : kpx::kRatingColumns)
        line += fieldText(c, column) + '\t';
    return line;
}

std::string ratingHeader() {
    std::string line;
    for (const std::string_view column : kpx::kRatingColumns)
        line += std::string(column) + '\t';
    return line;
}

struct SpeedLine {
    std::string name, refrigerant;
    double speed, nominal, minimum, maximum;
    Columns set;
};

std::string speedFile(const std::vector<SpeedLine>& lines) {
    std::string text;
    for (const std::string_view column : kpx::kSpeedColumns)
        text += std::string(column) + '\t';
    text += ratingHeader() + '\n';
    for (const SpeedLine& l : lines) {
        char numbers[160];
        std::snprintf(numbers, sizeof numbers, "%.17g\t%.17g\t%.17g\t%.17g\t", l.speed, l.nominal,
                      l.minimum, l.maximum);
        text += l.name + '\t' + l.refrigerant + '\t' + numbers + ratingFields(l.set) + '\n';
    }
    return text;
}

// Model 1 "VS-1" (R32) holds its 60 rev/s set; model 2 "FIX-2" is fixed-speed.
kpx::Catalogue catalogue(const std::string& speeds, const Columns& nominal = setAt(60, 15)) {
    std::string models = "Name\tShowName\tRefrigerant\tFrequency\t" + ratingHeader() + '\n';
    models += "VS-1\tVS-1\tR32\t50\t" + ratingFields(nominal) + '\n';
    models += "FIX-2\tFIX-2\tR32\t50\t" + ratingFields(setAt(50, 15)) + '\n';
    kpx::Catalogue c = kpx::catalogueFrom("List\tNumber\tText\n", models);
    c.readSpeeds(speeds);
    return c;
}

// Three sets, TeHig 10, 15 and 5 degC at 20, 60 and 100 rev/s, range 25 to 90 rev/s.
std::vector<SpeedLine> threeSets() {
    return {{"VS-1", "R32", 20, 60, 25, 90, setAt(20, 10)},
            {"VS-1", "R32", 60, 60, 25, 90, setAt(60, 15)},
            {"VS-1", "R32", 100, 60, 25, 90, setAt(100, 5)}};
}

const kpx::Conditions kPoint{0, 40, 0, 10, 10};

TEST(SpeedFile, RefusesBadSetsNamingTheModel) {
    struct Row {
        const char* what;
        std::vector<SpeedLine> lines;
        const char* problem; // empty: accepted
    };
    std::vector<Row> rows;
    const auto changed = [](auto change) {
        std::vector<SpeedLine> lines = threeSets();
        change(lines);
        return lines;
    };
    rows.push_back({"three sets", threeSets(), ""});
    rows.push_back({"one set", {threeSets()[1]}, "it has one"});
    rows.push_back({"duplicate speed", changed([](auto& l) { l[2].speed = 60; }), "given twice"});
    rows.push_back(
        {"decreasing", changed([](auto& l) { std::swap(l[0], l[2]); }), "speeds decrease"});
    rows.push_back({"other refrigerant", changed([](auto& l) { l[2].refrigerant = "R410A"; }),
                    "different refrigerants"});
    rows.push_back({"nominal not published", changed([](auto& l) {
                        for (SpeedLine& s : l)
                            s.nominal = 50;
                    }),
                    "none of its published"});
    rows.push_back({"range beyond the published speeds", changed([](auto& l) {
                        for (SpeedLine& s : l)
                            s.maximum = 120;
                    }),
                    "within its published speeds"});
    rows.push_back({"ranges disagree", changed([](auto& l) { l[1].minimum = 30; }),
                    "different nominal, minimum or maximum"});
    rows.push_back({"other rating basis", changed([](auto& l) { l[0].set["ShBase"] = 8; }),
                    "different rating bases (ShBase)"});
    rows.push_back({"limit at one speed only", changed([](auto& l) { l[2].set.erase("TcTol"); }),
                    "TcTol is given at some speeds only"});
    rows.push_back({"nominal set not the model table's",
                    changed([](auto& l) { l[1].set["Q0"] += 1e-9; }), "another catalogue"});
    rows.push_back(
        {"speed no number", changed([](auto& l) { l[0].speed = -20; }), "no positive number"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const kpx::Catalogue c = catalogue(speedFile(row.lines));
        const kpx::SpeedModel* m = c.speedModel(0);
        ASSERT_NE(m, nullptr);
        if (*row.problem == '\0') {
            EXPECT_EQ(m->problem, "");
            continue;
        }
        EXPECT_NE(m->problem.find("VS-1"), std::string::npos) << m->problem;
        EXPECT_NE(m->problem.find(row.problem), std::string::npos) << m->problem;
        EXPECT_EQ(c.speedModel(1), nullptr); // the fixed-speed model stays so
    }
}

TEST(SpeedFile, LinesOfUnknownModelsAndDamagedTextAreIgnored) {
    std::vector<SpeedLine> lines = threeSets();
    for (SpeedLine& l : lines)
        l.name = "NOT-THERE";
    EXPECT_EQ(catalogue(speedFile(lines)).speedModel(0), nullptr);
    // A header only, an empty file, binary bytes, a line without tabs.
    for (const std::string& text : {std::string("Name\tSpeed\t\n"), std::string(),
                                    std::string("\0\xff\x01\n\n", 5), std::string("VS-1\n")}) {
        const kpx::Catalogue c = catalogue(text);
        const kpx::SpeedModel* m = c.speedModel(0);
        EXPECT_TRUE(m == nullptr || !m->problem.empty());
    }
}

#ifndef _WIN32
// Loaded from a directory: a speed file that is a named pipe (no writer) or a folder is
// skipped without waiting; a link to a good one is read like the model table.
TEST(SpeedFile, OnlyARegularFileIsRead) {
    for (const char* kind : {"fifo", "folder", "link"}) {
        SCOPED_TRACE(kind);
        kpx::TempDir dir;
        std::string models = "Name\tShowName\tRefrigerant\tFrequency\t" + ratingHeader() + '\n';
        models += "VS-1\tVS-1\tR32\t50\t" + ratingFields(setAt(60, 15)) + '\n';
        dir.write("kpxcodes.bin", "List\tNumber\tText\n");
        dir.write("kpxcalc.bin", models);
        const auto file = dir.path() / kpx::kSpeedsFileName;
        if (std::string(kind) == "fifo")
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        else if (std::string(kind) == "folder")
            std::filesystem::create_directory(file);
        else {
            dir.write("elsewhere.bin", speedFile(threeSets()));
            std::filesystem::create_symlink(dir.path() / "elsewhere.bin", file);
        }
        kpx::Catalogue c;
        c.initialize(dir.slash().c_str());
        ASSERT_EQ(c.modelCount(), 1u);
        EXPECT_EQ(c.speedModel(0) != nullptr, std::string(kind) == "link");
    }
}
#endif

TEST(SpeedRating, PublishedSpeedsExactLinearBetweenNoExtrapolation) {
    const kpx::Catalogue c = catalogue(speedFile(threeSets()));
    const kpx::SpeedModel& m = *c.speedModel(0);
    ASSERT_EQ(m.problem, "");
    kpx::FakeProperties properties;
    const auto at = [&](double speed) {
        return kpx::rateAtSpeed(m, "R32", speed, kPoint, properties, "");
    };
    const auto ofSet = [&](double speed, double teHig) {
        kpx::RatingRecord r = kpx::recordWith(setAt(speed, teHig));
        r.refrigerant = "R32";
        return kpx::rate(r, kPoint, properties, "");
    };
    // The nominal set is what the model table rates.
    kpx::RatingRecord table = c.ratingRecord(0);
    const kpx::RatingResult nominal = kpx::rate(table, kPoint, properties, "");
    EXPECT_EQ(at(60).capacity, nominal.capacity);
    // The published set within the range rates as that set, to the bit.
    const kpx::RatingResult published = ofSet(60, 15);
    for (const auto& [got, want] : {std::pair{at(60).capacity, published.capacity},
                                    {at(60).power, published.power},
                                    {at(60).current, published.current},
                                    {at(60).massFlow, published.massFlow}})
        EXPECT_EQ(got, want);
    // Between 20 and 60 and between 60 and 100: linear in speed.
    const kpx::RatingResult low = ofSet(20, 10), high = ofSet(100, 5);
    for (const double speed : {25.0, 37.5, 59.999, 60.001, 77.0, 90.0}) {
        SCOPED_TRACE(speed);
        const bool first = speed < 60;
        const kpx::RatingResult& a = first ? low : published;
        const kpx::RatingResult& b = first ? published : high;
        const double t = (speed - (first ? 20 : 60)) / 40;
        const kpx::RatingResult r = at(speed);
        ASSERT_GE(r.code, 0);
        for (const auto& [got, x, y] : {std::tuple{r.capacity, a.capacity, b.capacity},
                                        {r.power, a.power, b.power},
                                        {r.current, a.current, b.current},
                                        {r.massFlow, a.massFlow, b.massFlow}})
            EXPECT_NEAR(got, (1 - t) * x + t * y, 1e-12 * std::abs(got));
        EXPECT_DOUBLE_EQ(r.cop, r.capacity / r.power);
    }
    // Outside the range (25 to 90 rev/s), even where a set is published: refused.
    for (const auto& [speed, code] : {std::pair{20.0, KPX_SPEED_BELOW_MIN},
                                      {24.9999, KPX_SPEED_BELOW_MIN},
                                      {90.0001, KPX_SPEED_ABOVE_MAX},
                                      {100.0, KPX_SPEED_ABOVE_MAX},
                                      {1e308, KPX_SPEED_ABOVE_MAX},
                                      {-1e308, KPX_SPEED_BELOW_MIN}}) {
        const kpx::RatingResult r = at(speed);
        EXPECT_EQ(r.code, code) << speed;
        EXPECT_EQ(r.capacity, kpx::NotRated);
    }
    EXPECT_EQ(at(std::nan("")).code, KPX_PROPERTIES_FAILED);
    EXPECT_EQ(at(INFINITY).code, KPX_PROPERTIES_FAILED);
}

TEST(SpeedRange, FollowsTheInterpolatedEnvelope) {
    const kpx::Catalogue c = catalogue(speedFile(threeSets()));
    const kpx::SpeedModel& m = *c.speedModel(0);
    struct Row {
        double te;
        bool any;
        double low, high; // TeHig 10 + (s - 20) / 8 up to 60, 15 - (s - 60) / 4 beyond
    };
    for (const Row& row : {Row{0, true, 25, 90}, Row{12, true, 36, 72}, Row{14, true, 52, 64},
                           Row{15, true, 60, 60}, Row{8, true, 25, 88}, Row{15.5, false, 0, 0}}) {
        SCOPED_TRACE(row.te);
        const kpx::Conditions point{row.te, 40, 0, 10, 10};
        const auto range = kpx::allowedSpeeds(m, point);
        ASSERT_EQ(range.has_value(), row.any);
        if (!row.any)
            continue;
        EXPECT_NEAR(range->low, row.low, 1e-8 * row.low);
        EXPECT_NEAR(range->high, row.high, 1e-8 * row.high);
        // The ends are allowed speeds; beyond them the point is refused or out of range.
        kpx::FakeProperties properties;
        for (const double s : {range->low, range->high})
            EXPECT_GE(kpx::rateAtSpeed(m, "R32", s, point, properties, "").code, 0) << s;
        for (const double s : {range->low * (1 - 1e-6), range->high * (1 + 1e-6)})
            EXPECT_LT(kpx::rateAtSpeed(m, "R32", s, point, properties, "").code, 0) << s;
    }
}

TEST(SpeedMatch, MeetsTheCapacityWithinTheAllowedSpeeds) {
    const kpx::Catalogue c = catalogue(speedFile(threeSets()));
    const kpx::SpeedModel& m = *c.speedModel(0);
    kpx::FakeProperties properties;
    const kpx::Conditions point{12, 40, 0, 10, 10}; // allowed 36 to 72 rev/s
    const auto range = kpx::allowedSpeeds(m, point);
    ASSERT_TRUE(range);
    const double atLow = kpx::rateAtSpeed(m, "R32", range->low, point, properties, "").capacity;
    const double atHigh = kpx::rateAtSpeed(m, "R32", range->high, point, properties, "").capacity;
    for (const double f : {0.0, 0.1, 0.5, 0.77, 1.0}) {
        const double required = atLow + f * (atHigh - atLow);
        const kpx::SpeedMatch match = kpx::matchCapacity(m, "R32", required, point, properties, "");
        ASSERT_GE(match.result.code, 0) << f;
        EXPECT_NEAR(match.result.capacity, required, 1e-9 * required) << f;
        EXPECT_GE(match.speed, range->low);
        EXPECT_LE(match.speed, range->high);
        const kpx::RatingResult again =
            kpx::rateAtSpeed(m, "R32", match.speed, point, properties, "");
        EXPECT_EQ(again.code, match.result.code);
        EXPECT_NEAR(again.power, match.result.power, 1e-12 * again.power);
    }
    for (const auto& [required, code, at] :
         {std::tuple<double, int, kpx::Conditions>{atHigh * 1.001, KPX_CAPACITY_ABOVE_MAX, point},
          {atLow * 0.999, KPX_CAPACITY_BELOW_MIN, point},
          {atLow, KPX_NO_SPEED_IN_ENVELOPE, kpx::Conditions{16, 40, 0, 10, 10}},
          {std::nan(""), KPX_PROPERTIES_FAILED, point}}) {
        const kpx::SpeedMatch match = kpx::matchCapacity(m, "R32", required, at, properties, "");
        EXPECT_EQ(match.result.code, code) << required;
        EXPECT_EQ(match.result.capacity, kpx::NotRated);
    }
}

} // namespace

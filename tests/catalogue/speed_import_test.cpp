// Variable-speed models through the import and the real engine: the public map of one
// inverter compressor at three speeds imports as one model and rates as published at each
// speed, linearly between them; bad sets are refused naming file, line and column.
#include "catalogue_text.h"
#include "engine_handle.h"
#include "kvcat/import.h"
#include "speed_map.h"
#include "temp_files.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace kvcat;
namespace fs = std::filesystem;

const fs::path& kPublicMap = speedMapFile();

// The map's rows as named fields, by speed.
std::map<double, Row> mapRows(const std::string& text) {
    std::string terminated = text;
    for (std::size_t at = 0; (at = terminated.find('\n', at)) != std::string::npos; at += 2)
        terminated.insert(at, "\t");
    std::map<double, Row> rows;
    for (Row& row : parseModels(terminated))
        rows[std::stod(row.at("speed_rev_s"))] = std::move(row);
    return rows;
}

Coefficients coefficientsOf(const Row& row, const char* set) {
    Coefficients c{};
    for (int i = 0; i < 10; ++i)
        c[i] = std::stod(row.at(set + std::to_string(i)));
    return c;
}

ImportOptions mapOptions() {
    return speedMapOptions();
}

using SpeedImport = TempFiles;

struct Figures {
    int32_t code;
    double capacity, power, current, massFlow, cop;
};

Figures atSpeed(const Engine& e, double speed, double te, double tc, double sc = 5, double sh = 8) {
    Figures f{};
    f.code = e.api().KPX_RatingAtSpeed(1, "", "", 0, speed, te, tc, sc, sh, sh, &f.capacity,
                                       &f.power, &f.current, &f.massFlow, &f.cop);
    return f;
}

TEST_F(SpeedImport, PublicMapRatesAsPublishedAtEachSpeedAndLinearlyBetween) {
    const ImportResult imported = importFiles({{kPublicMap, mapOptions()}}, fluids);
    ASSERT_EQ(imported.models.size(), 1u);
    const CatalogueTexts cat = mergeCatalogue({}, imported.models);
    const Engine engine(cat.codes, cat.models, cat.speeds);
    ASSERT_TRUE(engine.api().hasSpeeds());

    KPX_SpeedInfo info{};
    ASSERT_EQ(engine.api().KPX_SpeedData(1, "", "", 0, &info, nullptr), KPX_CLEAN);
    EXPECT_EQ(info.nominalSpeed, 60);
    EXPECT_EQ(info.minSpeed, 25);
    EXPECT_EQ(info.maxSpeed, 100);
    ASSERT_EQ(info.setCount, 3);
    EXPECT_EQ(info.speeds[0], 25);
    EXPECT_EQ(info.speeds[2], 100);

    const std::map<double, Row> rows = mapRows(readFile(kPublicMap.string()));
    std::size_t points = 0;
    for (double te = -30; te <= 15; te += 5)
        for (double tc = 15; tc <= 65; tc += 5) {
            if (tc - te < 10)
                continue;
            // At each published speed: the source's polynomials at the rating basis.
            std::map<double, Figures> published;
            for (const auto& [speed, row] : rows) {
                const Figures f = atSpeed(engine, speed, te, tc);
                ASSERT_EQ(f.code, 0) << speed << " " << te << "/" << tc;
                const double q = evaluate(coefficientsOf(row, "Q"), te, tc);
                const double p = evaluate(coefficientsOf(row, "P"), te, tc);
                EXPECT_NEAR(f.capacity, q, 1e-12 * std::fabs(q)) << speed << " " << te << "/" << tc;
                EXPECT_NEAR(f.power, p, 1e-12 * std::fabs(p)) << speed << " " << te << "/" << tc;
                published[speed] = f;
                ++points;
            }
            // KPX_Rating: the nominal speed's set.
            Figures nominal{};
            nominal.code = engine.api().KPX_Rating(1, "", "", 0, te, tc, 5, 8, 8, &nominal.capacity,
                                                   &nominal.power, &nominal.current,
                                                   &nominal.massFlow, &nominal.cop);
            EXPECT_EQ(nominal.capacity, published[60].capacity);
            EXPECT_EQ(nominal.massFlow, published[60].massFlow);
            // Between the speeds: linear.
            for (const auto& [speed, a, b] : {std::tuple{42.5, 25.0, 60.0}, {90.0, 60.0, 100.0}}) {
                const Figures f = atSpeed(engine, speed, te, tc);
                const double t = (speed - a) / (b - a);
                for (const auto& [got, x, y] :
                     {std::tuple{f.capacity, published[a].capacity, published[b].capacity},
                      {f.power, published[a].power, published[b].power},
                      {f.current, published[a].current, published[b].current},
                      {f.massFlow, published[a].massFlow, published[b].massFlow}})
                    EXPECT_NEAR(got, (1 - t) * x + t * y, 1e-12 * std::fabs(got) + 1e-12)
                        << speed << " " << te << "/" << tc;
            }
        }
    EXPECT_GT(points, 200u);

    // The map's own figures (Te/Tc, speed, kW and COP, as its README tabulates them).
    struct Point {
        double te, tc, speed, kilowatts, cop;
    };
    for (const Point& p : {Point{-10, 35, 25, 7.0, 2.90}, Point{-10, 35, 60, 17.4, 2.99},
                           Point{-10, 35, 100, 29.0, 2.77}, Point{0, 40, 60, 23.8, 3.61},
                           Point{9, 36, 25, 13.8, 5.81}, Point{9, 36, 100, 56.3, 4.72}}) {
        const Figures f = atSpeed(engine, p.speed, p.te, p.tc);
        EXPECT_NEAR(f.capacity / 1000, p.kilowatts, 0.05) << p.te << "/" << p.tc << " " << p.speed;
        EXPECT_NEAR(f.cop, p.cop, 0.005) << p.te << "/" << p.tc << " " << p.speed;
    }

    // The speed that meets a capacity, within the range allowed at the point.
    double low = 0, high = 0;
    ASSERT_EQ(engine.api().KPX_SpeedRange(1, "", "", 0, 0, 40, 5, 8, 8, &low, &high), KPX_CLEAN);
    EXPECT_EQ(low, 25);
    EXPECT_EQ(high, 100);
    for (const double required : {9800.0, 20000.0, 39000.0}) {
        Figures f{};
        double speed = 0;
        f.code =
            engine.api().KPX_MatchCapacity(1, "", "", 0, required, 0, 40, 5, 8, 8, &speed,
                                           &f.capacity, &f.power, &f.current, &f.massFlow, &f.cop);
        ASSERT_EQ(f.code, 0) << required;
        EXPECT_NEAR(f.capacity, required, 1e-9 * required);
        EXPECT_EQ(atSpeed(engine, speed, 0, 40).capacity, f.capacity);
    }
    double speed = 0;
    Figures f{};
    for (const auto& [required, code] :
         {std::pair{5000.0, KPX_CAPACITY_BELOW_MIN}, {45000.0, KPX_CAPACITY_ABOVE_MAX}})
        EXPECT_EQ(engine.api().KPX_MatchCapacity(1, "", "", 0, required, 0, 40, 5, 8, 8, &speed,
                                                 &f.capacity, &f.power, &f.current, &f.massFlow,
                                                 &f.cop),
                  code);
    EXPECT_EQ(engine.api().KPX_MatchCapacity(1, "", "", 0, 20000, 20, 40, 5, 8, 8, &speed,
                                             &f.capacity, &f.power, &f.current, &f.massFlow,
                                             &f.cop),
              KPX_NO_SPEED_IN_ENVELOPE);
    EXPECT_EQ(f.capacity, KPX_NOT_RATED);
    // Speeds outside the range are refused, never extrapolated.
    EXPECT_EQ(atSpeed(engine, 24.99, 0, 40).code, KPX_SPEED_BELOW_MIN);
    EXPECT_EQ(atSpeed(engine, 100.01, 0, 40).code, KPX_SPEED_ABOVE_MAX);
}

TEST_F(SpeedImport, BadSetsAreRefusedNamingFileLineAndColumn) {
    const std::string text = readFile(kPublicMap.string());
    const std::size_t headerEnd = text.find('\n') + 1;
    std::vector<std::string> lines;
    for (std::size_t at = headerEnd, lf; (lf = text.find('\n', at)) != std::string::npos;
         at = lf + 1)
        lines.push_back(text.substr(at, lf + 1 - at));
    const std::string header = text.substr(0, headerEnd);
    // The line with one field (by header position) replaced.
    const auto with = [&](std::size_t line, const std::string& column, const std::string& value) {
        std::vector<std::string> fields;
        std::string l = lines[line];
        l.pop_back();
        for (std::size_t at = 0;; at = l.find('\t', at) + 1) {
            fields.push_back(l.substr(at, l.find('\t', at) - at));
            if (l.find('\t', at) == std::string::npos)
                break;
        }
        std::vector<std::string> names;
        const std::string h = header.substr(0, header.size() - 1);
        for (std::size_t at = 0;; at = h.find('\t', at) + 1) {
            names.push_back(h.substr(at, h.find('\t', at) - at));
            if (h.find('\t', at) == std::string::npos)
                break;
        }
        fields[std::find(names.begin(), names.end(), column) - names.begin()] = value;
        std::string out;
        for (const std::string& f : fields)
            out += f + '\t';
        out.back() = '\n';
        return out;
    };
    struct Case {
        const char* what;
        std::string body;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"one set", lines[1],
         ":2: column speed_rev_s: model V0001: a polynomial set at one speed only"},
        {"duplicate speed", lines[0] + lines[0] + lines[2],
         ":3: column speed_rev_s: model V0001: the speed 25 rev/s repeats line 2"},
        {"decreasing", lines[1] + lines[0] + lines[2],
         ":3: column speed_rev_s: model V0001: the speeds must rise"},
        {"other refrigerant", lines[0] + lines[1] + with(2, "refrigerant", "R32"),
         ":4: column refrigerant: model V0001: R32 here, R410A on line 2"},
        {"rev/min disagrees", lines[0] + with(1, "speed_rev_min", "3000") + lines[2],
         ":3: column speed_rev_min: disagrees with speed_rev_s"},
        {"speed not positive", lines[0] + with(1, "speed_rev_s", "-60") + lines[2],
         ":3: column speed_rev_min: disagrees"},
        {"speed no number", lines[0] + with(1, "speed_rev_s", "fast") + lines[2],
         ":3: column speed_rev_s: \"fast\" is not a finite number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = write("bad.tsv", header + c.body);
        try {
            importFiles({{file, mapOptions()}}, fluids);
            ADD_FAILURE() << "accepted";
        } catch (const ImportError& e) {
            EXPECT_NE(std::string(e.what()).find(file.string() + c.message), std::string::npos)
                << e.what();
        }
    }
    // Nominal and range columns: checked against the published speeds.
    const auto withColumns = [&](const std::string& nominal, const std::string& min,
                                 const std::string& max) {
        std::string h = header;
        h.insert(h.size() - 1, "\tspeed_nominal_rev_s\tspeed_min_rev_s\tspeed_max_rev_s");
        std::string body;
        for (std::string l : lines) {
            l.insert(l.size() - 1, "\t" + nominal + "\t" + min + "\t" + max);
            body += l;
        }
        return write("range.tsv", h + body);
    };
    for (const auto& [nominal, min, max, message] :
         {std::tuple{"50", "25", "100", "the nominal speed 50 rev/s is none of the published"},
          {"60", "20", "100", "the speed range must lie within the published speeds"},
          {"60", "70", "100", "the speed range must lie within the published speeds"}}) {
        try {
            importFiles({{withColumns(nominal, min, max), mapOptions()}}, fluids);
            ADD_FAILURE() << nominal << " " << min << " " << max;
        } catch (const ImportError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
    const ImportResult narrowed =
        importFiles({{withColumns("100", "30", "100"), mapOptions()}}, fluids);
    const CatalogueTexts cat = mergeCatalogue({}, narrowed.models);
    const Engine engine(cat.codes, cat.models, cat.speeds);
    KPX_SpeedInfo info{};
    ASSERT_EQ(engine.api().KPX_SpeedData(1, "", "", 0, &info, nullptr), KPX_CLEAN);
    EXPECT_EQ(info.nominalSpeed, 100);
    EXPECT_EQ(info.minSpeed, 30);
}

// Merging: the sets of models not imported stay, a model imported again replaces its
// sets, and one imported as fixed-speed loses them.
TEST_F(SpeedImport, MergingKeepsAndReplacesSpeedSets) {
    const std::string text = readFile(kPublicMap.string());
    std::string second = text;
    for (std::size_t at = 0; (at = second.find("V0001", at)) != std::string::npos;)
        second.replace(at, 5, "V0002");
    CatalogueTexts cat = mergeCatalogue(
        {},
        importFiles({{kPublicMap, mapOptions()}, {write("v2.tsv", second), mapOptions()}}, fluids)
            .models);
    EXPECT_EQ(std::count(cat.speeds.begin(), cat.speeds.end(), '\n'), 7);
    // V0002 again, fixed-speed: its 60 rev/s set.
    const std::string fixed = fixedFromMap(second, "V0002");
    cat = mergeCatalogue(cat,
                         importFiles({{write("fixed.tsv", fixed), mapOptions()}}, fluids).models);
    EXPECT_EQ(std::count(cat.speeds.begin(), cat.speeds.end(), '\n'), 4);
    const Engine engine(cat.codes, cat.models, cat.speeds);
    KPX_SpeedInfo info{};
    EXPECT_EQ(engine.api().KPX_SpeedData(1, "", "", 0, &info, nullptr), KPX_CLEAN);
    EXPECT_EQ(engine.api().KPX_SpeedData(2, "", "", 0, &info, nullptr), KPX_FIXED_SPEED);
    Figures f{};
    EXPECT_EQ(atSpeed(engine, 60, 0, 40).code, 0);
    EXPECT_EQ(engine.api().KPX_RatingAtSpeed(2, "", "", 0, 60, 0, 40, 5, 8, 8, &f.capacity,
                                             &f.power, &f.current, &f.massFlow, &f.cop),
              KPX_FIXED_SPEED);
    // A speed file of another program is not merged into.
    cat.speeds.insert(0, "x");
    EXPECT_THROW(mergeCatalogue(cat, {}), ImportError);
}

} // namespace

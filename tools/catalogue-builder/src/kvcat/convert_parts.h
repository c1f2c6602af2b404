// The parts of the import's conversion that its files share: the columns of a table and
// a row's numbers in them, the converter with its fluids, and the rows of variable-speed
// sets. Private to the catalogue builder.
#pragma once

#include "kpx/text_out.h"
#include "kvcat/catalogue.h"
#include "kvcat/compressor.h"
#include "kvcat/import.h"
#include "kvcat/import_envelope.h"
#include "kvcat/names.h"
#include "kvcat/table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <kpx/catalogue_schema.h>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace kvcat::conversion {

namespace fs = std::filesystem;

enum class Quantity { Temperature, Difference };

inline const std::vector<std::string>& unitsOf(Quantity q) {
    static const std::vector<std::string> temperature = {"C", "F"}, difference = {"K", "R"};
    return q == Quantity::Temperature ? temperature : difference;
}

// The columns of one file, found by name; a quantity's column may carry its unit as a
// suffix ("te_min_F").
class Columns {
public:
    Columns(const TableReader& t, UnitSystem units) : table_(t), units_(units) {
        for (std::size_t i = 0; i < t.header().size(); ++i) {
            if (t.header()[i].empty())
                continue;
            if (!index_.emplace(t.header()[i], i).second)
                failAt(t.file(), 1, t.header()[i], "given twice");
        }
    }

    std::optional<std::size_t> find(std::string_view name) const {
        const auto it = index_.find(std::string(name));
        return it == index_.end() ? std::nullopt : std::optional(it->second);
    }
    std::size_t need(std::string_view name) const {
        const auto i = find(name);
        if (!i)
            failAt(table_.file(), 1, name, "missing");
        return *i;
    }
    // A quantity's column: its index and whether its unit is the imperial one.
    struct Found {
        std::size_t index;
        bool imperial;
        std::string name;
    };
    std::optional<Found> quantity(const std::string& base, Quantity q) const {
        std::optional<Found> found;
        const auto take = [&](std::size_t i, bool imperial, const std::string& name) {
            if (found)
                failAt(table_.file(), 1, name, "given twice (also as " + found->name + ")");
            found = Found{i, imperial, name};
        };
        if (const auto i = find(base))
            take(*i, units_ == UnitSystem::IP, base);
        for (std::size_t i = 0; i < table_.header().size(); ++i) {
            const std::string& h = table_.header()[i];
            if (h.size() <= base.size() + 1 || h.compare(0, base.size() + 1, base + "_") != 0)
                continue;
            const std::string unit = h.substr(base.size() + 1);
            const auto& known = unitsOf(q);
            const auto k = std::find(known.begin(), known.end(), unit);
            if (k == known.end())
                failAt(table_.file(), 1, h, "unknown unit \"" + unit + "\"");
            take(i, k != known.begin(), h);
        }
        return found;
    }

private:
    const TableReader& table_;
    UnitSystem units_;
    std::map<std::string, std::size_t, std::less<>> index_;
};

// A speed's columns: NAME_rev_s and NAME_rev_min (the same speed, when both are given).
struct SpeedColumn {
    std::optional<std::size_t> revS, revMin;
    bool given() const { return revS || revMin; }
};
inline SpeedColumn speedColumn(const Columns& cols, const std::string& base) {
    return {cols.find(base + "_rev_s"), cols.find(base + "_rev_min")};
}

struct RowReader {
    const TableReader& table;
    const TableRow& row;

    std::string text(std::optional<std::size_t> i) const {
        return i && *i < row.fields.size() ? row.fields[*i] : std::string();
    }
    [[noreturn]] void fail(std::string_view column, const std::string& what) const {
        failAt(table.file(), row.line, column, what);
    }
    std::optional<double> optionalNumber(std::optional<std::size_t> i) const {
        const std::string t = text(i);
        if (t.empty() || t == "-")
            return std::nullopt;
        double v = 0;
        const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v))
            fail(table.header()[*i], "\"" + t.substr(0, 40) + "\" is not a finite number");
        return v;
    }
    double number(std::size_t i) const {
        const auto v = optionalNumber(i);
        if (!v)
            fail(table.header()[i], "no value");
        return *v;
    }
    // A speed in rev/s: positive; rev/min and rev/s, both given, agree.
    std::optional<double> speed(const SpeedColumn& c) const {
        const std::optional<double> revS = optionalNumber(c.revS);
        const std::optional<double> revMin = optionalNumber(c.revMin);
        if (revS && revMin && std::fabs(*revMin / 60 - *revS) > 1e-9 * std::fabs(*revS))
            fail(table.header()[*c.revMin], "disagrees with " + table.header()[*c.revS]);
        const std::optional<double> v = revS ? revS : revMin ? std::optional(*revMin / 60) : revS;
        if (v && !(*v > 0))
            fail(table.header()[c.revS ? *c.revS : *c.revMin], "must be positive");
        return v;
    }
    // A quantity in degC or K.
    std::optional<double> quantity(const std::optional<Columns::Found>& c, Quantity q) const {
        if (!c)
            return std::nullopt;
        const auto v = optionalNumber(c->index);
        if (!v || !c->imperial)
            return v;
        return q == Quantity::Temperature ? *v * units::kKelvinPerRankine + units::kFahrenheitZero
                                          : *v * units::kKelvinPerRankine;
    }
};

inline double unitFactor(const std::string& unit, const fs::path& file) {
    static const std::map<std::string, double> factors = {
        {"W", 1.0},
        {"kW", 1000.0},
        {"Btu/h", units::kWattsPerBtuPerHour},
        {"A", 1.0},
        {"kg/s", 1.0},
        {"kg/h", 1.0 / 3600.0},
        {"lb/h", units::kKilogramsPerPound / 3600.0},
    };
    const auto it = factors.find(unit);
    if (it == factors.end())
        failAt(file, 0, "", "unknown unit \"" + unit + "\"");
    return it->second;
}

// Refrigerating effects, shared by rows of the same refrigerant, basis and range.
class EffectCache {
public:
    double get(const Thermo& thermo, double te, double tc, double tSuction, double sc) {
        const auto key = std::make_tuple(thermo.name(), te, tc, tSuction, sc);
        const auto it = cache_.find(key);
        if (it != cache_.end())
            return it->second;
        const double e = thermo.effect(te, tc, tSuction, sc);
        cache_.emplace(key, e);
        return e;
    }

private:
    std::map<std::tuple<std::string, double, double, double, double>, double> cache_;
};

inline const char* const DifferenceColumns[] = {"ShMax", "ShTol", "ScMax", "TcTol", "ShF", "ShH"};

// The columns of one file, found once.
struct FileColumns {
    std::size_t name = 0, refrigerant = 0;
    std::optional<Columns::Found> teMin, teMax, tcMin, tcMax, sh, rgt, sc, liq;
    std::array<std::array<std::optional<std::size_t>, 10>, kPolynomialSets> coefficients{};
    std::optional<std::size_t> voltage, powerFactor, technology, appClass, family, frequency, shH;
    std::optional<std::size_t> displacement, speed;
    // A variable-speed model's set speed, and its nominal, lowest and highest speed, each
    // in rev/s or rev/min by the column's suffix.
    SpeedColumn setSpeed, nominalSpeed, minSpeed, maxSpeed;
    std::optional<Columns::Found> dischargeMax;
    std::vector<std::pair<std::string, std::optional<Columns::Found>>> envelope;

    bool familyOption = false;

    FileColumns(const Columns& cols, const fs::path& file, bool familyOption)
        : familyOption(familyOption) {
        const auto id = cols.find("model") ? cols.find("model") : cols.find("id");
        if (!id)
            failAt(file, 1, "model", "missing (or id)");
        name = *id;
        refrigerant = cols.need("refrigerant");
        for (const auto& [c, n] : {std::pair{&teMin, "te_min"},
                                   {&teMax, "te_max"},
                                   {&tcMin, "tc_min"},
                                   {&tcMax, "tc_max"}}) {
            *c = cols.quantity(n, Quantity::Temperature);
            if (!*c)
                failAt(file, 1, n, "missing");
        }
        sh = cols.quantity("sh_base", Quantity::Difference);
        rgt = cols.quantity("rgt_base", Quantity::Temperature);
        sc = cols.quantity("sc_base", Quantity::Difference);
        liq = cols.quantity("liq_temp", Quantity::Temperature);
        if (!sh && !rgt)
            failAt(file, 1, "sh_base", "missing (or rgt_base)");
        if (!sc && !liq)
            failAt(file, 1, "sc_base", "missing (or liq_temp)");
        for (int s = 0; s < kPolynomialSets; ++s)
            for (int k = 0; k < 10; ++k) {
                const std::string n = kSetNames[s] + std::to_string(k);
                coefficients[s][k] = s < 2 ? std::optional(cols.need(n)) : cols.find(n);
            }
        voltage = cols.find("voltage");
        powerFactor = cols.find("power_factor");
        technology = cols.find("technology");
        appClass = cols.find("app_class");
        family = cols.find("family");
        shH = cols.find("ShH");
        displacement = cols.find("displacement");
        speed = cols.find("speed");
        setSpeed = speedColumn(cols, "speed");
        nominalSpeed = speedColumn(cols, "speed_nominal");
        minSpeed = speedColumn(cols, "speed_min");
        maxSpeed = speedColumn(cols, "speed_max");
        if (!setSpeed.given() && (nominalSpeed.given() || minSpeed.given() || maxSpeed.given()))
            failAt(file, 1, "speed_rev_s",
                   "missing: nominal, lowest or highest speeds need "
                   "the speed of each set");
        dischargeMax = cols.quantity("td_max", Quantity::Temperature);
        frequency = cols.find("frequency") ? cols.find("frequency") : cols.find("frequency_Hz");
        if (!family && !(technology && appClass) && !familyOption)
            failAt(file, 1, "technology",
                   "missing (give technology and app_class, or family, or --family)");
        for (std::size_t i = kpx::columnIndex("TeLow"); i < kpx::kModelColumns.size(); ++i) {
            const std::string n(kpx::kModelColumns[i]);
            const bool difference =
                std::find(std::begin(DifferenceColumns), std::end(DifferenceColumns), n) !=
                std::end(DifferenceColumns);
            envelope.emplace_back(
                n, cols.quantity(n, difference ? Quantity::Difference : Quantity::Temperature));
        }
    }
};

struct Converter {
    const asere::FluidLibrary& fluids;
    EffectCache effects;
    struct Fluid {
        std::shared_ptr<const asere::Fluid> fluid;
        std::unique_ptr<Thermo> thermo;
        std::string text; // the catalogue's refrigerant text
    };
    std::map<std::string, Fluid, std::less<>> byWritten;

    // The fluid a row's refrigerant text names, in any usual spelling; null when none.
    const Fluid* fluid(const std::string& written) {
        auto it = byWritten.find(written);
        if (it == byWritten.end()) {
            Fluid f;
            if (!written.empty() && nameProblem(written).empty()) {
                auto found = fluids.find(written);
                if (!found.ok() && compactName(written) != written && !compactName(written).empty())
                    found = fluids.find(compactName(written));
                if (found.ok()) {
                    f.fluid = found.value;
                    f.thermo = std::make_unique<Thermo>(found.value);
                    f.text = refrigerantText(*found.value, written);
                }
            }
            it = byWritten.emplace(written, std::move(f)).first;
        }
        return it->second.fluid ? &it->second : nullptr;
    }

    void convertFile(const ImportFile& file, ImportResult& result);
    // Transcritical curves of models of the import, attached by attachGasCoolers().
    struct GasCoolerRow {
        std::string model, refrigerant, where; // where: file and line
        std::array<std::string, kOptionalImportColumnCount> fields;
    };
    std::vector<GasCoolerRow> gasCoolers;
    void convertGasCoolerFile(const ImportFile& file);
    void attachGasCoolers(ImportResult& result);
    void readFigures(const FileColumns& c, const RowReader& r, const ImportOptions& o,
                     const Fluid& f, RowFigures& x);
    void refit(const RowReader& r, const Fluid& f, RowFigures& x, const ImportOptions& o);
    static std::map<std::string, double> envelope(const FileColumns& c, const RowReader& r,
                                                  const RowFigures& x);
};

// A row of a variable-speed model's set, converted.
struct SpeedRow {
    ImportedModel model;
    std::size_t line;
    double speed;
    std::optional<double> nominal, minimum, maximum;
};

// The fields of a row in the catalogue's columns.
std::vector<std::string_view> rowFields(std::string_view row);

// Joins the sets of each name into one variable-speed model (convert_speed.cpp).
void joinSpeedSets(const TableReader& t, const FileColumns& c, std::vector<SpeedRow>& rows,
                   ImportResult& result);

} // namespace kvcat::conversion

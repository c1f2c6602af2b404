#include "import.h"

#include "catalogue.h"
#include "compressor.h"
#include "table.h"
#include "text_out.h"

#include <algorithm>
#include <catalogue_schema.h>
#include <charconv>
#include <cmath>
#include <map>
#include <utility>

namespace kvcat {

namespace fs = std::filesystem;

namespace {

enum class Quantity { Temperature, Difference };

const std::vector<std::string>& unitsOf(Quantity q) {
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

double unitFactor(const std::string& unit, const fs::path& file) {
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

std::string lower(std::string s) {
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

std::string upper(std::string s) {
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
    return s;
}

bool isTextSafe(const std::string& s) {
    return s.size() <= kpx::kMaxTextLength && s.find_first_of("\t\r\n") == std::string::npos;
}

// The supply a voltage text names: the window's table entry, or a new one parsed from
// "volts/phases/frequency".
struct SupplyChoice {
    std::string voltage;
    double volts = 0;
    int phases = 3, hertz = 50, code = 0;
};

std::optional<SupplyChoice> parseSupply(const std::string& text) {
    if (const auto* e = std::find_if(kpx::kSupplies.begin(), kpx::kSupplies.end(),
                                     [&](const kpx::SupplyEntry& s) { return s.voltage == text; });
        e != kpx::kSupplies.end())
        return SupplyChoice{text, e->volts, e->phases, e->hertz, e->code};
    SupplyChoice c;
    c.voltage = text;
    const std::size_t a = text.find('/'), b = text.find('/', a + 1);
    if (a == std::string::npos || b == std::string::npos)
        return std::nullopt;
    const std::string v = text.substr(0, a), ph = text.substr(a + 1, b - a - 1),
                      hz = text.substr(b + 1);
    double lo = 0, hi = 0;
    const std::size_t dash = v.find('-');
    const auto parse = [](const std::string& s, double& out) {
        const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
        return r.ec == std::errc() && r.ptr == s.data() + s.size() && s.size() > 0;
    };
    if (!parse(v.substr(0, dash), lo) ||
        !parse(dash == std::string::npos ? v.substr(0, dash) : v.substr(dash + 1), hi))
        return std::nullopt;
    c.volts = 0.5 * (lo + hi);
    if (!(c.volts >= 50 && c.volts <= 1000) || (ph != "1" && ph != "3") ||
        (hz != "50" && hz != "60"))
        return std::nullopt;
    c.phases = ph == "1" ? 1 : 3;
    c.hertz = hz == "50" ? 50 : 60;
    return c;
}

// Mean temperature (the average of dew and bubble point at one pressure) to dew point.
double dewFromMean(const Thermo& thermo, double mean) {
    double dew = mean;
    for (int i = 0; i < 50; ++i) {
        const double p = thermo.dewPressure(dew);
        const double next = mean + 0.5 * (dew - thermo.bubbleTemperature(p));
        if (std::fabs(next - dew) < 1e-10)
            return next;
        dew = next;
    }
    return dew;
}
double meanFromDew(const Thermo& thermo, double dew) {
    return 0.5 * (dew + thermo.bubbleTemperature(thermo.dewPressure(dew)));
}

// The (Te, Tc) points at which missing or converted polynomials are fitted: a grid over
// the validity range, without the points of low lift (Tc - Te < 10 K) where no
// compressor runs.
std::vector<std::pair<double, double>> rangeGrid(double teMin, double teMax, double tcMin,
                                                 double tcMax) {
    std::vector<std::pair<double, double>> g;
    constexpr int nTe = 10, nTc = 9;
    for (int i = 0; i <= nTe; ++i)
        for (int j = 0; j <= nTc; ++j) {
            const double te = teMin + (teMax - teMin) * i / nTe;
            const double tc = tcMin + (tcMax - tcMin) * j / nTc;
            if (tc - te >= 10)
                g.emplace_back(te, tc);
        }
    return g;
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

const char* const SetNames[4] = {"Q", "P", "A", "M"};
const char* const DifferenceColumns[] = {"ShMax", "ShTol", "ScMax", "TcTol", "ShF", "ShH"};

struct Converter {
    const asere::FluidLibrary& fluids;
    EffectCache effects;
    std::map<std::string, std::unique_ptr<Thermo>> thermos;

    const Thermo* thermo(const std::string& name) {
        auto it = thermos.find(name);
        if (it == thermos.end()) {
            const auto found = fluids.find(name);
            it = thermos.emplace(name, found.ok() ? std::make_unique<Thermo>(found.value) : nullptr)
                     .first;
        }
        return it->second.get();
    }

    void convertFile(const ImportFile& file, ImportResult& result);
};

void Converter::convertFile(const ImportFile& file, ImportResult& result) {
    const ImportOptions& o = file.options;
    TableReader t(file.path);
    const Columns cols(t, o.units);
    const bool ip = o.units == UnitSystem::IP;
    const double qScale =
        unitFactor(o.capacityUnit.empty() ? (ip ? "Btu/h" : "W") : o.capacityUnit, file.path);
    const double mScale =
        unitFactor(o.massFlowUnit.empty() ? (ip ? "lb/h" : "kg/s") : o.massFlowUnit, file.path);
    const double scales[4] = {qScale, 1.0, 1.0, mScale};

    std::optional<std::size_t> nameCol = cols.find("model");
    if (!nameCol)
        nameCol = cols.find("id");
    if (!nameCol)
        failAt(t.file(), 1, "model", "missing (or id)");
    const std::size_t refCol = cols.need("refrigerant");
    const auto teMinC = cols.quantity("te_min", Quantity::Temperature);
    const auto teMaxC = cols.quantity("te_max", Quantity::Temperature);
    const auto tcMinC = cols.quantity("tc_min", Quantity::Temperature);
    const auto tcMaxC = cols.quantity("tc_max", Quantity::Temperature);
    for (const auto& [c, n] : {std::pair{&teMinC, "te_min"},
                               {&teMaxC, "te_max"},
                               {&tcMinC, "tc_min"},
                               {&tcMaxC, "tc_max"}})
        if (!*c)
            failAt(t.file(), 1, n, "missing");
    const auto shC = cols.quantity("sh_base", Quantity::Difference);
    const auto rgtC = cols.quantity("rgt_base", Quantity::Temperature);
    const auto scC = cols.quantity("sc_base", Quantity::Difference);
    const auto liqC = cols.quantity("liq_temp", Quantity::Temperature);
    if (!shC && !rgtC)
        failAt(t.file(), 1, "sh_base", "missing (or rgt_base)");
    if (!scC && !liqC)
        failAt(t.file(), 1, "sc_base", "missing (or liq_temp)");
    std::array<std::array<std::optional<std::size_t>, 10>, 4> coef{};
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 10; ++k) {
            const std::string n = SetNames[s] + std::to_string(k);
            coef[s][k] = s < 2 ? std::optional(cols.need(n)) : cols.find(n);
        }
    const auto voltageCol = cols.find("voltage"), pfCol = cols.find("power_factor"),
               techCol = cols.find("technology"), classCol = cols.find("app_class"),
               familyCol = cols.find("family");
    if (!familyCol && !(techCol && classCol))
        failAt(t.file(), 1, "technology", "missing (give technology and app_class, or family)");
    std::vector<std::pair<std::string, std::optional<Columns::Found>>> envelopeCols;
    for (std::size_t i = kpx::columnIndex("TeLow"); i < kpx::kModelColumns.size(); ++i) {
        const std::string n(kpx::kModelColumns[i]);
        const bool difference =
            std::find(std::begin(DifferenceColumns), std::end(DifferenceColumns), n) !=
            std::end(DifferenceColumns);
        envelopeCols.emplace_back(
            n, cols.quantity(n, difference ? Quantity::Difference : Quantity::Temperature));
    }

    std::map<std::string, std::size_t> namesInFile;
    for (TableRow row; t.next(row);) {
        const RowReader r{t, row};
        ImportedModel m;
        m.name = r.text(nameCol);
        if (m.name.empty() || !isTextSafe(m.name))
            r.fail(t.header()[*nameCol], "a model name of 1 to 255 characters is needed");
        if (const auto [it, fresh] = namesInFile.emplace(m.name, row.line); !fresh)
            r.fail(t.header()[*nameCol],
                   "model " + m.name + " repeats line " + std::to_string(it->second));
        m.refrigerant = r.text(refCol);
        const Thermo* th =
            m.refrigerant.empty() || !isTextSafe(m.refrigerant) ? nullptr : thermo(m.refrigerant);
        if (th == nullptr) {
            const std::string what = "refrigerant \"" + m.refrigerant.substr(0, 40) +
                                     "\" is not known to the property library";
            if (!o.skipUnknownRefrigerants)
                r.fail("refrigerant", what);
            result.skipped.push_back(t.file().string() + ":" + std::to_string(row.line) +
                                     ": model " + m.name + " left out: " + what);
            continue;
        }
        double teMin = *r.quantity(teMinC, Quantity::Temperature);
        double teMax = *r.quantity(teMaxC, Quantity::Temperature);
        double tcMin = *r.quantity(tcMinC, Quantity::Temperature);
        double tcMax = *r.quantity(tcMaxC, Quantity::Temperature);
        if (!(teMin < teMax))
            r.fail(teMinC->name, "te_min must lie below te_max");
        if (!(tcMin < tcMax))
            r.fail(tcMinC->name, "tc_min must lie below tc_max");
        const std::optional<double> sh = r.quantity(shC, Quantity::Difference);
        const std::optional<double> rgt = r.quantity(rgtC, Quantity::Temperature);
        std::optional<double> sc = r.quantity(scC, Quantity::Difference);
        const std::optional<double> liq = r.quantity(liqC, Quantity::Temperature);
        if (sh.has_value() == rgt.has_value())
            r.fail(shC ? shC->name : rgtC->name, "give exactly one of sh_base and rgt_base");
        if (sc.has_value() == liq.has_value())
            r.fail(scC ? scC->name : liqC->name, "give exactly one of sc_base and liq_temp");
        if ((sh && *sh < 0) || (sc && *sc < 0))
            r.fail(sh && *sh < 0 ? shC->name : scC->name, "must not be negative");

        std::array<Coefficients, 4> poly{};
        std::array<bool, 4> given{};
        for (int k = 0; k < 4; ++k) {
            int present = 0;
            for (int i = 0; i < 10; ++i)
                if (const auto v = r.optionalNumber(coef[k][i])) {
                    poly[k][i] = *v;
                    ++present;
                } else if (k < 2)
                    r.fail(t.header()[*coef[k][i]], "no value");
            if (present != 0 && present != 10)
                r.fail(std::string(SetNames[k]) + "0", "give all ten coefficients or none");
            given[k] = present == 10;
            if (o.order == CoefficientOrder::Bicubic)
                poly[k] = fromBicubicOrder(poly[k]);
            if (ip)
                poly[k] = fromFahrenheit(poly[k], scales[k]);
            else
                for (double& v : poly[k])
                    v *= scales[k];
        }

        const std::string voltage = r.text(voltageCol).empty() ? o.supply : r.text(voltageCol);
        const std::optional<SupplyChoice> supply = parseSupply(voltage);
        if (!supply)
            r.fail("voltage", "\"" + voltage.substr(0, 40) +
                                  "\" is not volts/phases/frequency such as 400/3/50");
        std::optional<double> pf = r.optionalNumber(pfCol);
        if (!pf)
            pf = o.powerFactor;

        double scBase = sc.value_or(0.0);
        try {
            const auto suction = [&](double te) { return sh ? te + *sh : *rgt; };
            const auto refit = [&](Coefficients& c, auto&& value) {
                std::vector<Sample> samples;
                for (const auto& [te, tc] : rangeGrid(teMin, teMax, tcMin, tcMax))
                    if (const double v = value(te, tc); v > 0 && std::isfinite(v))
                        samples.push_back({te, tc, v});
                if (samples.size() < 20)
                    r.fail("Q0", "capacity is positive at too few points of the range");
                // Smooth functions of the range: least squares fits them closely, and a
                // thousand models fit in well under a second.
                c = fitRelative(samples, 0);
            };
            // Mean temperatures of a blend with a glide: polynomials and range in dew points.
            const double glide = th->dewTemperature(th->dewPressure(0.0)) -
                                 th->bubbleTemperature(th->dewPressure(0.0));
            if (o.temperatures == TemperatureKind::Mean && std::fabs(glide) > 1e-6) {
                const std::array<Coefficients, 4> source = poly;
                teMin = dewFromMean(*th, teMin);
                teMax = dewFromMean(*th, teMax);
                tcMin = dewFromMean(*th, tcMin);
                tcMax = dewFromMean(*th, tcMax);
                for (int k = 0; k < 4; ++k)
                    if (given[k])
                        refit(poly[k], [&](double te, double tc) {
                            return evaluate(source[k], meanFromDew(*th, te), meanFromDew(*th, tc));
                        });
            }
            // A liquid-temperature rating: capacity brought to liquid at the bubble point.
            if (liq) {
                const Coefficients source = poly[0];
                refit(poly[0], [&](double te, double tc) {
                    const double scLiquid = th->bubbleTemperature(th->dewPressure(tc)) - *liq;
                    if (scLiquid < 0)
                        return 0.0; // liquid above the bubble point: no such state
                    return evaluate(source, te, tc) * effects.get(*th, te, tc, suction(te), 0.0) /
                           effects.get(*th, te, tc, suction(te), scLiquid);
                });
                scBase = 0.0;
            }
            // No mass flow: capacity over the refrigerating effect at the rating basis.
            if (!given[3])
                refit(poly[3], [&](double te, double tc) {
                    return evaluate(poly[0], te, tc) /
                           effects.get(*th, te, tc, suction(te), scBase);
                });
        } catch (const ThermoError& e) {
            r.fail("refrigerant",
                   std::string("the property library can't serve the range: ") + e.what());
        } catch (const std::invalid_argument& e) {
            r.fail("Q0", std::string("can't fit over the range: ") + e.what());
        }

        if (!given[2]) {
            if (!pf)
                r.fail("A0", "no current polynomial: give A0 to A9, or a power factor (column "
                             "power_factor or --power-factor)");
            if (!(*pf > 0 && *pf <= 1))
                r.fail(pfCol ? "power_factor" : "A0", "the power factor must lie in (0, 1]");
            const double k = supply->phases == 3 ? std::sqrt(3.0) : 1.0;
            for (int i = 0; i < 10; ++i)
                poly[2][i] = poly[1][i] / (k * supply->volts * *pf);
        }

        // The family: named, or by technology and application class.
        const std::string familyName = r.text(familyCol);
        if (!familyName.empty()) {
            if (!isTextSafe(familyName))
                r.fail("family", "a text of at most 255 characters without tabs is needed");
            m.familyText = familyName;
            for (const kpx::FamilyEntry& e : kpx::kFamilies)
                if (e.text == familyName)
                    m.familyCode = e.code;
        } else {
            const std::string tech = lower(r.text(techCol)), cls = lower(r.text(classCol));
            if (tech != "scroll" && tech != "reciprocating" && tech != "screw")
                r.fail(t.header()[*techCol], "technology must be scroll, reciprocating or screw");
            if (cls != "low" && cls != "medium" && cls != "high")
                r.fail(t.header()[*classCol], "app_class must be low, medium or high");
            const std::string shown = upper(tech.substr(0, 1)) + tech.substr(1);
            for (const kpx::FamilyEntry& e : kpx::kFamilies)
                if (m.familyCode == 0 && e.technology == shown &&
                    (cls == "low"      ? e.low
                     : cls == "medium" ? e.medium
                                       : e.high)) {
                    m.familyCode = e.code;
                    m.familyText = e.text;
                }
            if (m.familyCode == 0)
                m.familyText = shown + " - " + cls + " temperature";
        }
        m.supply = supply->voltage;
        m.supplyText = supply->voltage + "Hz";
        m.supplyCode = supply->code;

        // The envelope: the validity range as outer limits, a default that refuses no point
        // of the range at the rating basis, and the columns the file gives.
        std::map<std::string, double> env;
        const double maxSuperheat = sh ? *sh : *rgt - teMin;
        const double shMax = std::max(30.0, std::ceil(maxSuperheat));
        env = {{"TeLow", teMin},
               {"TeHig", teMax},
               {"TcLow", tcMin},
               {"TcHig", tcMax},
               {"TeMin", teMin},
               {"TeMax", teMax},
               {"TcMin", tcMin},
               {"TcMax", tcMax},
               {"ShMax", shMax},
               {"RgtMax", teMax + shMax},
               {"ShTol", 5},
               {"ScMax", std::max(20.0, std::ceil(liq ? tcMax - *liq : scBase) + 5)},
               {"TcTol", 3},
               {"ShF", 10},
               {"ShH", 20},
               {"K1e", teMin},
               {"K1c", teMin + 10},
               {"K2e", teMax},
               {"K2c", teMax + 10}};
        for (int n = 0; n < 7; ++n) {
            env["F" + std::to_string(n) + "e"] = teMin + (teMax - teMin) * n / 6;
            env["F" + std::to_string(n) + "c"] = tcMax + 10;
        }
        for (int n = 0; n < 5; ++n) {
            env["H" + std::to_string(n) + "e"] = teMin + (teMax - teMin) * n / 4;
            env["H" + std::to_string(n) + "c"] = tcMax + 10;
        }
        bool rgtH = false;
        for (const auto& [name, col] : envelopeCols)
            if (const auto v = r.quantity(col, std::find(std::begin(DifferenceColumns),
                                                         std::end(DifferenceColumns),
                                                         name) != std::end(DifferenceColumns)
                                                   ? Quantity::Difference
                                                   : Quantity::Temperature)) {
                env[name] = *v;
                rgtH = rgtH || name == "RgtH";
            }
        if (rgtH && !r.optionalNumber(cols.find("ShH")))
            env.erase("ShH");

        const auto put = [&m](std::string_view column, std::string text) {
            m.fields.emplace_back(std::string(column), std::move(text));
        };
        put("Name", m.name);
        put("ShowName", upper(m.name));
        put("Refrigerant", m.refrigerant);
        put("Frequency", std::to_string(supply->hertz));
        put("Displacement", "-");
        put("Speed", "-");
        put("ScBase", formatValue(scBase));
        put("ShBase", sh ? formatValue(*sh) : "-");
        put("RgtBase", sh ? "-" : formatValue(*rgt));
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i < 10; ++i)
                put(SetNames[k] + std::to_string(i), formatValue(poly[k][i]));
        for (std::size_t i = kpx::columnIndex("TeLow"); i < kpx::kModelColumns.size(); ++i) {
            const auto it = env.find(std::string(kpx::kModelColumns[i]));
            put(kpx::kModelColumns[i], it == env.end() ? "-" : formatValue(it->second));
        }
        result.models.push_back(std::move(m));
    }
}

} // namespace

ImportResult importFiles(const std::vector<ImportFile>& files, const asere::FluidLibrary& fluids) {
    Converter converter{fluids, {}, {}};
    ImportResult result;
    for (const ImportFile& file : files)
        converter.convertFile(file, result);
    return result;
}

Coefficients fromBicubicOrder(const Coefficients& n) {
    // 1, x, x², y, y², x·y, x³, y³, x²·y, x·y²  ->  1, x, y, x², x·y, y², x³, x²·y, x·y², y³
    return {n[0], n[1], n[3], n[2], n[5], n[4], n[6], n[8], n[9], n[7]};
}

Coefficients fromFahrenheit(const Coefficients& c, double scale) {
    // p(x, y) with x = a·te + b, y = a·tc + b: expand each term x^i·y^j by the binomial
    // rule into powers of te and tc.
    constexpr double a = 1.8, b = 32.0;
    constexpr int px[10] = {0, 1, 0, 2, 1, 0, 3, 2, 1, 0};
    constexpr int py[10] = {0, 0, 1, 0, 1, 2, 0, 1, 2, 3};
    const auto slot = [&](int i, int j) {
        for (int k = 0; k < 10; ++k)
            if (px[k] == i && py[k] == j)
                return k;
        return -1;
    };
    constexpr double binom[4][4] = {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 2, 1, 0}, {1, 3, 3, 1}};
    Coefficients out{};
    for (int k = 0; k < 10; ++k)
        for (int i = 0; i <= px[k]; ++i)
            for (int j = 0; j <= py[k]; ++j) {
                const double f = binom[px[k]][i] * std::pow(a, i) * std::pow(b, px[k] - i) *
                                 binom[py[k]][j] * std::pow(a, j) * std::pow(b, py[k] - j);
                out[slot(i, j)] += c[k] * f;
            }
    for (double& v : out)
        v *= scale;
    return out;
}

} // namespace kvcat

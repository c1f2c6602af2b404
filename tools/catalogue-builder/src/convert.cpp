#include "kvcat/import.h"

#include "kpx/text_out.h"
#include "kvcat/catalogue.h"
#include "kvcat/compressor.h"
#include "kvcat/import_envelope.h"
#include "kvcat/names.h"
#include "kvcat/table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <kpx/catalogue_schema.h>
#include <kpx/rating.h>
#include <kpx/speed.h>
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

// A speed's columns: NAME_rev_s and NAME_rev_min (the same speed, when both are given).
struct SpeedColumn {
    std::optional<std::size_t> revS, revMin;
    bool given() const { return revS || revMin; }
};
SpeedColumn speedColumn(const Columns& cols, const std::string& base) {
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

constexpr int kRefitRounds = 3;

// The (Te, Tc) points at which missing or converted polynomials are fitted: a grid over
// the validity range and the 10 K lift line, without the points of lower lift where no
// compressor runs.
std::vector<std::pair<double, double>> rangeGrid(const ValidityRange& r) {
    std::vector<std::pair<double, double>> g;
    constexpr int nTe = 10, nTc = 9;
    for (int i = 0; i <= nTe; ++i) {
        const double te = r.teMin + (r.teMax - r.teMin) * i / nTe;
        for (int j = 0; j <= nTc; ++j) {
            const double tc = r.tcMin + (r.tcMax - r.tcMin) * j / nTc;
            if (tc - te >= 10)
                g.emplace_back(te, tc);
        }
        if (te + 10 > r.tcMin && te + 10 <= r.tcMax)
            g.emplace_back(te, te + 10);
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

const char* const DifferenceColumns[] = {"ShMax", "ShTol", "ScMax", "TcTol", "ShF", "ShH"};

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

// How far above the top of a refrigerant's saturation curve a Tc range may end and be cut
// back to it (K): the rounding of a published critical temperature.
constexpr double kCriticalRounding = 0.1;

// The fluid's range of saturation in degC, and the check that a temperature of the row
// lies in it.
void checkInFluid(const RowReader& r, const Columns::Found& column, double t,
                  const asere::Fluid& fluid, double top) {
    const double low = fluid.tripleTemperature() - kZeroCelsius;
    if (!(t >= low && t <= top))
        r.fail(column.name, formatValue(snapped(t)) + " °C lies outside the range of " +
                                fluid.name() + " (" + formatValue(snapped(low)) + " to " +
                                formatValue(snapped(top)) + " °C)");
}

void Converter::readFigures(const FileColumns& c, const RowReader& r, const ImportOptions& o,
                            const Fluid& f, RowFigures& x) {
    x.range = {
        *r.quantity(c.teMin, Quantity::Temperature), *r.quantity(c.teMax, Quantity::Temperature),
        *r.quantity(c.tcMin, Quantity::Temperature), *r.quantity(c.tcMax, Quantity::Temperature)};
    if (!(x.range.teMin < x.range.teMax))
        r.fail(c.teMin->name, "te_min must lie below te_max");
    if (!(x.range.tcMin < x.range.tcMax))
        r.fail(c.tcMin->name, "tc_min must lie below tc_max");
    // Saturation temperatures up to the top of the saturation curve; suction gas and
    // liquid within the equation of state.
    const double saturationTop = f.fluid->maxSaturationTemperature() - kZeroCelsius;
    // A Tc range that ends at the critical temperature as published to 0.1 K (31.0 degC for
    // carbon dioxide, whose curve ends at 30.98 degC) ends at the last 0.1 K below the
    // curve's top instead: above it there is no condensing.
    if (x.range.tcMax > saturationTop && x.range.tcMax <= saturationTop + kCriticalRounding) {
        x.tcMaxGiven = x.range.tcMax;
        x.range.tcMax = std::floor(saturationTop * 10) / 10;
    }
    checkInFluid(r, *c.teMin, x.range.teMin, *f.fluid, saturationTop);
    checkInFluid(r, *c.teMax, x.range.teMax, *f.fluid, saturationTop);
    checkInFluid(r, *c.tcMin, x.range.tcMin, *f.fluid, saturationTop);
    checkInFluid(r, *c.tcMax, x.range.tcMax, *f.fluid, saturationTop);
    x.sh = r.quantity(c.sh, Quantity::Difference);
    x.rgt = r.quantity(c.rgt, Quantity::Temperature);
    x.sc = r.quantity(c.sc, Quantity::Difference);
    x.liq = r.quantity(c.liq, Quantity::Temperature);
    if (x.sh.has_value() == x.rgt.has_value())
        r.fail(c.sh ? c.sh->name : c.rgt->name, "give exactly one of sh_base and rgt_base");
    if (x.sc.has_value() == x.liq.has_value())
        r.fail(c.sc ? c.sc->name : c.liq->name, "give exactly one of sc_base and liq_temp");
    if ((x.sh && *x.sh < 0) || (x.sc && *x.sc < 0))
        r.fail(x.sh && *x.sh < 0 ? c.sh->name : c.sc->name, "must not be negative");
    const double gasTop = f.fluid->maxTemperature() - kZeroCelsius;
    if (x.rgt)
        checkInFluid(r, *c.rgt, *x.rgt, *f.fluid, gasTop);
    if (x.sh)
        checkInFluid(r, *c.sh, x.range.teMax + *x.sh, *f.fluid, gasTop);
    if (x.liq)
        checkInFluid(r, *c.liq, *x.liq, *f.fluid, saturationTop);
    if (x.sc)
        checkInFluid(r, *c.sc, x.range.tcMin - *x.sc, *f.fluid, saturationTop);
    x.scBase = x.sc.value_or(0.0);

    const bool ip = o.units == UnitSystem::IP;
    const double qScale =
        unitFactor(o.capacityUnit.empty() ? (ip ? "Btu/h" : "W") : o.capacityUnit, r.table.file());
    const double mScale = unitFactor(
        o.massFlowUnit.empty() ? (ip ? "lb/h" : "kg/s") : o.massFlowUnit, r.table.file());
    // Capacity and heat rejection in the capacity unit, mass flow in its own; the
    // discharge temperature in degF with imperial units.
    const double scales[kPolynomialSets] = {qScale, 1.0, 1.0, mScale, 1.0, qScale};
    constexpr int kDischarge = 4;
    for (int k = 0; k < kPolynomialSets; ++k) {
        int present = 0;
        for (int i = 0; i < 10; ++i)
            if (const auto v = r.optionalNumber(c.coefficients[k][i])) {
                x.poly[k][i] = *v;
                ++present;
            } else if (k < 2)
                r.fail(r.table.header()[*c.coefficients[k][i]], "no value");
        if (present != 0 && present != 10)
            r.fail(std::string(kSetNames[k]) + "0", "give all ten coefficients or none");
        x.given[k] = present == 10;
        if (o.order == CoefficientOrder::Bicubic)
            x.poly[k] = fromBicubicOrder(x.poly[k]);
        if (ip)
            x.poly[k] = fromFahrenheit(x.poly[k], scales[k]);
        else
            for (double& v : x.poly[k])
                v *= scales[k];
        if (ip && k == kDischarge && x.given[k]) {
            for (double& v : x.poly[k])
                v *= units::kKelvinPerRankine;
            x.poly[k][0] += units::kFahrenheitZero;
        }
        for (int i = 0; i < 10; ++i)
            if (!std::isfinite(x.poly[k][i]))
                r.fail(kSetNames[k] + std::to_string(i),
                       "too large: not a finite number after conversion to SI units");
    }
}

// Converts mean temperatures to dew points, a liquid-temperature basis to liquid at the
// bubble point, and derives a missing mass-flow polynomial.
void Converter::refit(const RowReader& r, const Fluid& f, RowFigures& x, const ImportOptions& o) {
    const Thermo& th = *f.thermo;
    try {
        const auto refitTo = [&](Coefficients& c, auto&& value) {
            std::vector<Sample> samples;
            for (const auto& [te, tc] : rangeGrid(x.range))
                if (const double v = value(te, tc); v > 0 && std::isfinite(v))
                    samples.push_back({te, tc, v});
            if (samples.size() < 20)
                r.fail("Q0", "capacity is positive at too few points of the range");
            // Smooth functions of the range: least squares, then a few rounds towards the
            // smallest largest error, which the corners of the range need.
            c = fitRelative(samples, kRefitRounds);
        };
        // Mean temperatures of a blend with a glide: polynomials and range in dew points.
        const double glide =
            th.dewTemperature(th.dewPressure(0.0)) - th.bubbleTemperature(th.dewPressure(0.0));
        if (o.temperatures == TemperatureKind::Mean && std::fabs(glide) > 1e-6) {
            const std::array<Coefficients, kPolynomialSets> source = x.poly;
            x.range = {dewFromMean(th, x.range.teMin), dewFromMean(th, x.range.teMax),
                       dewFromMean(th, x.range.tcMin), dewFromMean(th, x.range.tcMax)};
            for (int k = 0; k < kPolynomialSets; ++k)
                if (x.given[k])
                    refitTo(x.poly[k], [&](double te, double tc) {
                        return evaluate(source[k], meanFromDew(th, te), meanFromDew(th, tc));
                    });
        }
        // A liquid-temperature rating: capacity brought to liquid at the bubble point.
        if (x.liq) {
            const Coefficients source = x.poly[0];
            refitTo(x.poly[0], [&](double te, double tc) {
                const double scLiquid = th.bubbleTemperature(th.dewPressure(tc)) - *x.liq;
                if (scLiquid < 0)
                    return 0.0; // liquid above the bubble point: no such state
                return evaluate(source, te, tc) * effects.get(th, te, tc, x.suction(te), 0.0) /
                       effects.get(th, te, tc, x.suction(te), scLiquid);
            });
            x.scBase = 0.0;
        }
        // No mass flow: capacity over the refrigerating effect at the rating basis.
        if (!x.given[3])
            refitTo(x.poly[3], [&](double te, double tc) {
                return evaluate(x.poly[0], te, tc) /
                       effects.get(th, te, tc, x.suction(te), x.scBase);
            });
    } catch (const ThermoError& e) {
        r.fail("refrigerant",
               std::string("the property library can't serve the range: ") + e.what());
    } catch (const std::invalid_argument& e) {
        r.fail("Q0", std::string("can't fit over the range: ") + e.what());
    }
}

// The envelope: the validity range as outer limits, a default that refuses no point of
// the range at the rating basis, and the columns the file gives.
std::map<std::string, double> Converter::envelope(const FileColumns& c, const RowReader& r,
                                                  const RowFigures& x) {
    std::map<std::string, double> env = defaultEnvelope(x);
    bool rgtH = false;
    for (const auto& [name, col] : c.envelope)
        if (const auto v = r.quantity(col, std::find(std::begin(DifferenceColumns),
                                                     std::end(DifferenceColumns),
                                                     name) != std::end(DifferenceColumns)
                                               ? Quantity::Difference
                                               : Quantity::Temperature)) {
            env[name] = *v;
            rgtH = rgtH || name == "RgtH";
        }
    if (rgtH && !r.optionalNumber(c.shH))
        env.erase("ShH");
    return env;
}

const char* const kPolynomialNames[4] = {"capacity", "power", "current", "mass flow"};

// The supply of a row: its voltage text, else the --supply given for its frequency (the
// window's 400/3/50 and 460/3/60 by default), else the --supply given last.
SupplyChoice rowSupply(const FileColumns& c, const RowReader& r, const ImportOptions& o) {
    std::optional<int> hertz;
    if (const std::string f = r.text(c.frequency); !f.empty()) {
        if (f != "50" && f != "60")
            r.fail(r.table.header()[*c.frequency],
                   "\"" + f.substr(0, 40) + "\": 50 or 60 (Hz) is needed");
        hertz = f == "50" ? 50 : 60;
    }
    std::string text = r.text(c.voltage);
    const bool own = !text.empty();
    if (!own) {
        text = hertz == 60 ? "460/3/60" : "400/3/50";
        if (!hertz && !o.supplies.empty())
            text = o.supplies.back();
        for (const std::string& s : o.supplies)
            if (const auto parsed = parseSupply(s); parsed && hertz && parsed->hertz == *hertz)
                text = s;
    }
    const std::optional<SupplyChoice> supply = parseSupply(text);
    if (!supply)
        r.fail(own ? "voltage" : "",
               "\"" + text.substr(0, 40) + "\" is not volts/phases/frequency such as 400/3/50");
    if (hertz && supply->hertz != *hertz)
        r.fail(own ? "voltage" : r.table.header()[*c.frequency],
               "the supply " + text + " is not one of " + std::to_string(*hertz) + " Hz");
    return *supply;
}

// The family: named, or by technology and application class.
void rowFamily(const FileColumns& c, const RowReader& r, ImportedModel& m,
               const std::string& familyOption) {
    std::string familyName = r.text(c.family);
    if (familyName.empty() && r.text(c.technology).empty() && r.text(c.appClass).empty())
        familyName = familyOption;
    if (!familyName.empty()) {
        if (const std::string problem = nameProblem(familyName); !problem.empty())
            r.fail("family", problem);
        m.familyText = familyName;
        for (const kpx::FamilyEntry& e : kpx::kFamilies)
            if (e.text == familyName)
                m.familyCode = e.code;
        return;
    }
    const std::string tech = lower(r.text(c.technology)), cls = lower(r.text(c.appClass));
    if (tech != "scroll" && tech != "reciprocating" && tech != "screw")
        r.fail(r.table.header()[*c.technology],
               "technology must be scroll, reciprocating or screw");
    if (cls != "low" && cls != "medium" && cls != "high")
        r.fail(r.table.header()[*c.appClass], "app_class must be low, medium or high");
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

// A row of a variable-speed model's set, converted.
struct SpeedRow {
    ImportedModel model;
    std::size_t line;
    double speed;
    std::optional<double> nominal, minimum, maximum;
};

// The fields of a row in the catalogue's columns.
std::vector<std::string_view> rowFields(std::string_view row) {
    std::vector<std::string_view> fields;
    for (std::size_t pos = 0, tab; (tab = row.find('\t', pos)) != row.npos; pos = tab + 1)
        fields.push_back(row.substr(pos, tab - pos));
    return fields;
}

// Joins the sets of each name into one variable-speed model: speeds rising, one
// refrigerant and rating basis, the envelope's limits given at all speeds or none, the
// nominal, lowest and highest speeds the same in every row (by default the middle set's
// speed and the extreme speeds), the nominal speed a published one. The model's row is
// its nominal set.
void joinSpeedSets(const TableReader& t, const FileColumns& c, std::vector<SpeedRow>& rows,
                   ImportResult& result) {
    if (rows.empty())
        return;
    std::vector<std::string> order;
    std::map<std::string, std::vector<SpeedRow*>, std::less<>> byName;
    for (SpeedRow& row : rows) {
        auto& sets = byName[row.model.name];
        if (sets.empty())
            order.push_back(row.model.name);
        sets.push_back(&row);
    }
    const std::string speedName =
        c.setSpeed.revS ? t.header()[*c.setSpeed.revS] : t.header()[*c.setSpeed.revMin];
    const auto fieldName = [&](const SpeedColumn& column, const char* base) {
        return column.revS     ? t.header()[*column.revS]
               : column.revMin ? t.header()[*column.revMin]
                               : std::string(base);
    };
    for (const std::string& name : order) {
        const std::vector<SpeedRow*>& sets = byName[name];
        const auto fail = [&](const SpeedRow& at, const std::string& column,
                              const std::string& what) {
            failAt(t.file(), at.line, column, "model " + name + ": " + what);
        };
        if (sets.size() < 2)
            fail(*sets[0], speedName,
                 "a polynomial set at one speed only; a variable-speed model needs two or more "
                 "(leave the speed empty for a fixed-speed model)");
        if (sets.size() > kpx::kMaxSpeedSets)
            fail(*sets[kpx::kMaxSpeedSets], speedName,
                 "more than " + std::to_string(kpx::kMaxSpeedSets) + " speeds");
        const SpeedRow& first = *sets.front();
        const std::vector<std::string_view> firstFields = rowFields(first.model.row);
        for (std::size_t i = 1; i < sets.size(); ++i) {
            const SpeedRow& s = *sets[i];
            const SpeedRow& before = *sets[i - 1];
            if (s.speed == before.speed)
                fail(s, speedName,
                     "the speed " + formatValue(s.speed) + " rev/s repeats line " +
                         std::to_string(before.line));
            if (s.speed < before.speed)
                fail(s, speedName,
                     "the speeds must rise: " + formatValue(s.speed) + " rev/s after " +
                         formatValue(before.speed) + " rev/s on line " +
                         std::to_string(before.line));
            if (s.model.refrigerant != first.model.refrigerant)
                fail(s, "refrigerant",
                     s.model.refrigerant + " here, " + first.model.refrigerant + " on line " +
                         std::to_string(first.line) + ": one model has one refrigerant");
            if (s.nominal != first.nominal || s.minimum != first.minimum ||
                s.maximum != first.maximum)
                fail(s, fieldName(c.nominalSpeed, "speed_nominal_rev_s"),
                     "the nominal, lowest and highest speeds differ from line " +
                         std::to_string(first.line));
            const std::vector<std::string_view> fields = rowFields(s.model.row);
            for (const char* base : {"ScBase", "ShBase", "RgtBase"})
                if (fields[kpx::columnIndex(base)] != firstFields[kpx::columnIndex(base)])
                    fail(s, base == std::string("ScBase") ? "sc_base" : "sh_base",
                         "the rating basis differs from line " + std::to_string(first.line));
            for (std::size_t k = kpx::columnIndex("TeLow"); k < kpx::kModelColumns.size(); ++k)
                if ((fields[k] == "-") != (firstFields[k] == "-"))
                    fail(s, std::string(kpx::kModelColumns[k]),
                         "the limit is given at some speeds only");
        }
        const double nominal = first.nominal.value_or(sets[(sets.size() - 1) / 2]->speed);
        const double minimum = first.minimum.value_or(first.speed);
        const double maximum = first.maximum.value_or(sets.back()->speed);
        if (!(minimum >= first.speed && maximum <= sets.back()->speed && minimum < maximum &&
              nominal >= minimum && nominal <= maximum))
            fail(first, fieldName(c.minSpeed, "speed_min_rev_s"),
                 "the speed range must lie within the published speeds (" +
                     formatValue(first.speed) + " to " + formatValue(sets.back()->speed) +
                     " rev/s) and hold the nominal speed");
        const auto atNominal = std::find_if(sets.begin(), sets.end(),
                                            [&](const SpeedRow* s) { return s->speed == nominal; });
        if (atNominal == sets.end())
            fail(first, fieldName(c.nominalSpeed, "speed_nominal_rev_s"),
                 "the nominal speed " + formatValue(nominal) +
                     " rev/s is none of the published "
                     "speeds");
        ImportedModel joined = (*atNominal)->model;
        const std::string speeds =
            formatValue(nominal) + '\t' + formatValue(minimum) + '\t' + formatValue(maximum) + '\t';
        for (const SpeedRow* s : sets) {
            const std::vector<std::string_view> fields = rowFields(s->model.row);
            joined.speedLines +=
                name + '\t' + joined.refrigerant + '\t' + formatValue(s->speed) + '\t' + speeds;
            for (std::size_t k = kpx::kFirstRatingColumn; k < kpx::kModelColumns.size(); ++k) {
                joined.speedLines += fields[k];
                joined.speedLines += '\t';
            }
            joined.speedLines += '\n';
        }
        result.models.push_back(std::move(joined));
    }
}

void Converter::convertFile(const ImportFile& file, ImportResult& result) {
    const ImportOptions& o = file.options;
    TableReader t(file.path);
    const Columns cols(t, o.units);
    const FileColumns c(cols, t.file(), !o.family.empty());
    std::map<std::string, std::size_t, std::less<>> namesInFile; // name -> line
    std::vector<SpeedRow> speedRows;                             // sets of variable speed
    for (TableRow row; t.next(row);) {
        const RowReader r{t, row};
        ImportedModel m;
        m.name = r.text(c.name);
        if (const std::string problem = nameProblem(m.name); !problem.empty())
            r.fail(t.header()[c.name], "model name: " + problem);
        // Sets at several speeds share a name; other rows don't.
        const std::optional<double> setSpeed = r.speed(c.setSpeed);
        if (const auto [it, fresh] = namesInFile.emplace(m.name, row.line); !fresh && !setSpeed)
            r.fail(t.header()[c.name],
                   "model " + m.name + " repeats line " + std::to_string(it->second));
        const std::string written = r.text(c.refrigerant);
        const Fluid* f = fluid(written);
        if (f == nullptr) {
            const std::string what = "refrigerant \"" + written.substr(0, 40) +
                                     "\" is not known to the property library";
            if (!o.skipUnknownRefrigerants)
                r.fail("refrigerant", what);
            result.skipped.push_back(t.file().string() + ":" + std::to_string(row.line) +
                                     ": model " + m.name + " left out: " + what);
            continue;
        }
        m.refrigerant = f->text;
        RowFigures x;
        readFigures(c, r, o, *f, x);
        const SupplyChoice supply = rowSupply(c, r, o);
        refit(r, *f, x, o);
        if (!x.given[2]) {
            std::optional<double> pf = r.optionalNumber(c.powerFactor);
            if (!pf)
                pf = o.powerFactor;
            if (!pf)
                r.fail("A0", "no current polynomial: give A0 to A9, or a power factor (column "
                             "power_factor or --power-factor)");
            if (!(*pf > 0 && *pf <= 1))
                r.fail(c.powerFactor ? "power_factor" : "A0",
                       "the power factor must lie in (0, 1]");
            const double k = supply.phases == 3 ? std::sqrt(3.0) : 1.0;
            for (int i = 0; i < 10; ++i)
                x.poly[2][i] = x.poly[1][i] / (k * supply.volts * *pf);
        }
        rowFamily(c, r, m, o.family);
        m.supplyText = supply.voltage + "Hz";
        m.supplyCode = supply.code;

        if (x.tcMaxGiven)
            result.narrowed.push_back(
                t.file().string() + ":" + std::to_string(row.line) + ": model " + m.name +
                ": Tc range ends at " + formatValue(*x.tcMaxGiven) +
                " °C, above the top of the saturation curve of " + m.refrigerant +
                ": narrowed to " + formatValue(x.range.tcMax) + " °C");
        std::map<std::string, double> env = envelope(c, r, x);
        if (const std::vector<BadPoint> bad = nonPositivePoints(env, x); !bad.empty()) {
            const BadPoint& b = bad.front();
            if (!o.narrowToPositive || !narrowToPositive(env, x))
                r.fail(std::string(kSetNames[b.set]) + "0",
                       std::string(kPolynomialNames[b.set]) + " " + formatValue(snapped(b.value)) +
                           " at Te " + formatValue(snapped(b.te)) + " °C, Tc " +
                           formatValue(snapped(b.tc)) +
                           " °C of the range: not positive (--narrow-to-positive narrows the "
                           "envelope to where all four are)");
            result.narrowed.push_back(
                t.file().string() + ":" + std::to_string(row.line) + ": model " + m.name +
                " narrowed to Te " + formatValue(env["TeLow"]) + " to " +
                formatValue(env["TeHig"]) + " °C, Tc " + formatValue(env["TcLow"]) + " to " +
                formatValue(env["TcHig"]) + " °C");
        }

        std::array<std::string, kImportFieldCount> fields;
        const auto put = [&fields](std::string_view column, std::string text) {
            fields[kpx::columnIndex(column)] = std::move(text);
        };
        put("Name", m.name);
        put("ShowName", upper(m.name));
        put("Refrigerant", m.refrigerant);
        put("Frequency", std::to_string(supply.hertz));
        // The swept volume (cm3 per revolution at rpm) and the highest discharge
        // temperature, where the file gives them.
        const auto positive = [&r](std::optional<std::size_t> column) -> std::string {
            const auto v = r.optionalNumber(column);
            if (v && !(*v > 0))
                r.fail(r.table.header()[*column], "must be positive");
            return v ? formatValue(*v) : "-";
        };
        put("Displacement", positive(c.displacement));
        put("Speed", positive(c.speed));
        // The optional figures after the schema's columns, as optionalImportColumns()
        // orders them.
        const auto putOptional = [&fields](std::string_view column, std::string text) {
            static constexpr auto optional = optionalImportColumns();
            const auto* at = std::find(optional.begin(), optional.end(), column);
            fields[kpx::kModelColumns.size() + static_cast<std::size_t>(at - optional.begin())] =
                std::move(text);
        };
        if (const auto tdMax = r.quantity(c.dischargeMax, Quantity::Temperature))
            putOptional(kpx::kMaxDischargeColumn, formatValue(*tdMax));
        for (int k = 4; k < kPolynomialSets; ++k)
            if (x.given[k])
                for (int i = 0; i < 10; ++i)
                    putOptional(kSetNames[k] + std::to_string(i), formatValue(x.poly[k][i]));
        put("ScBase", formatValue(x.scBase));
        put("ShBase", x.sh ? formatValue(*x.sh) : "-");
        put("RgtBase", x.sh ? "-" : formatValue(*x.rgt));
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i < 10; ++i)
                put(kSetNames[k] + std::to_string(i), formatValue(x.poly[k][i]));
        for (std::size_t i = kpx::columnIndex("TeLow"); i < kpx::kModelColumns.size(); ++i) {
            const auto it = env.find(std::string(kpx::kModelColumns[i]));
            fields[i] = it == env.end() ? "-" : formatValue(it->second);
        }
        for (const std::string& field : fields) {
            m.row += field;
            m.row += '\t';
        }
        m.row.shrink_to_fit();
        if (setSpeed)
            speedRows.push_back({std::move(m), row.line, *setSpeed, r.speed(c.nominalSpeed),
                                 r.speed(c.minSpeed), r.speed(c.maxSpeed)});
        else
            result.models.push_back(std::move(m));
    }
    joinSpeedSets(t, c, speedRows, result);
}

// A pressure or an enthalpy, by the unit suffix of its column (none: Pa and J/kg).
std::optional<double> siQuantity(const Columns& cols, const RowReader& r, const std::string& base,
                                 const std::map<std::string, double>& factors) {
    std::optional<double> found;
    std::string foundName;
    for (const auto& [unit, factor] : factors) {
        const std::string name = unit.empty() ? base : base + "_" + unit;
        if (const auto i = cols.find(name)) {
            if (found || !foundName.empty())
                r.fail(name, "given twice (also as " + foundName + ")");
            foundName = name;
            if (const auto v = r.optionalNumber(*i))
                found = *v * factor;
        }
    }
    return found;
}

const std::map<std::string, double> kPressureUnits = {
    {"", 1.0}, {"Pa", 1.0}, {"kPa", 1e3}, {"bar", 1e5}, {"MPa", 1e6}};
const std::map<std::string, double> kEnthalpyUnits = {{"", 1.0}, {"J_kg", 1.0}, {"kJ_kg", 1e3}};

void Converter::convertGasCoolerFile(const ImportFile& file) {
    const ImportOptions& o = file.options;
    TableReader t(file.path);
    const Columns cols(t, o.units);
    if (o.units != UnitSystem::SI)
        failAt(t.file(), 1, "", "transcritical curves are read in SI units only (--units si)");
    const auto model =
        cols.find("subcritical_id") ? cols.find("subcritical_id") : cols.find("model");
    if (!model)
        failAt(t.file(), 1, "subcritical_id", "missing (or model)");
    const std::size_t refrigerant = cols.need("refrigerant");
    std::optional<Columns::Found> range[2];
    for (int i = 0; i < 2; ++i) {
        range[i] = cols.quantity(i == 0 ? "te_min" : "te_max", Quantity::Temperature);
        if (!range[i])
            failAt(t.file(), 1, i == 0 ? "te_min" : "te_max", "missing");
    }
    const auto sh = cols.quantity("sh_base", Quantity::Difference);
    if (!sh)
        failAt(t.file(), 1, "sh_base", "missing");
    const auto tdMax = cols.quantity("td_max", Quantity::Temperature);
    // The pressure-and-temperature form: the capacity curve in Te and the gas-cooler
    // pressure at this outlet temperature, instead of in Te and the outlet enthalpy.
    const auto outletBase = cols.quantity("t_gco_base", Quantity::Temperature);
    const auto prMax = cols.find("pr_max");
    std::array<std::array<std::size_t, 10>, 2> k{};
    for (int set = 0; set < 2; ++set)
        for (int i = 0; i < 10; ++i)
            k[set][i] = cols.need(kSetNames[set] + std::to_string(i));
    const double capacityFactor =
        unitFactor(o.capacityUnit.empty() ? "W" : o.capacityUnit, t.file());
    for (TableRow row; t.next(row);) {
        const RowReader r{t, row};
        GasCoolerRow g;
        g.model = r.text(*model);
        if (const std::string problem = nameProblem(g.model); !problem.empty())
            r.fail(t.header()[*model], "model name: " + problem);
        g.refrigerant = r.text(refrigerant);
        g.where = t.file().string() + ":" + std::to_string(row.line);
        const auto need = [&](std::optional<double> v, const std::string& name) {
            if (!v)
                r.fail(name, "no value");
            return *v;
        };
        const double teLow = need(r.quantity(range[0], Quantity::Temperature), "te_min");
        const double teHig = need(r.quantity(range[1], Quantity::Temperature), "te_max");
        const double shBase = need(r.quantity(sh, Quantity::Difference), "sh_base");
        const double pLow = need(siQuantity(cols, r, "p_gc_min", kPressureUnits), "p_gc_min");
        const double pHig = need(siQuantity(cols, r, "p_gc_max", kPressureUnits), "p_gc_max");
        const std::optional<double> outlet = r.quantity(outletBase, Quantity::Temperature);
        if (outletBase && !outlet)
            r.fail(outletBase->name, "no value");
        std::optional<double> hLow, hHig;
        if (!outlet) {
            hLow = need(siQuantity(cols, r, "h_gco_min", kEnthalpyUnits), "h_gco_min");
            hHig = need(siQuantity(cols, r, "h_gco_max", kEnthalpyUnits), "h_gco_max");
        }
        const auto pdMax = siQuantity(cols, r, "p_dis_max", kPressureUnits);
        const auto ratio = r.optionalNumber(prMax);
        if (!(teLow < teHig))
            r.fail("te_min", "the Te range must rise");
        if (!(pLow > 0 && pLow < pHig))
            r.fail("p_gc_min", "the pressure range must be positive and rise");
        if (!outlet && !(*hLow < *hHig))
            r.fail("h_gco_min", "the enthalpy range must rise");
        if (!(shBase >= 0))
            r.fail("sh_base", "must not be negative");
        if ((pdMax && !(*pdMax > 0)) || (ratio && !(*ratio > 1)))
            r.fail(pdMax && !(*pdMax > 0) ? "p_dis_max" : "pr_max",
                   "must be positive (a pressure ratio above 1)");
        std::array<std::array<double, 10>, 2> curve{};
        for (int set = 0; set < 2; ++set)
            for (int i = 0; i < 10; ++i)
                curve[set][i] = r.number(k[set][i]) * (set == 0 ? capacityFactor : 1.0);
        // Both curves positive and finite over their ranges (a 25 x 25 grid).
        for (int set = 0; set < 2; ++set)
            for (int i = 0; i <= 24; ++i)
                for (int j = 0; j <= 24; ++j) {
                    const double te = teLow + (teHig - teLow) * i / 24;
                    const bool inEnthalpy = set == 0 && !outlet;
                    const double y = inEnthalpy ? *hLow + (*hHig - *hLow) * j / 24
                                                : pLow + (pHig - pLow) * j / 24;
                    const double v = set == 0 ? kpx::capacityPolynomial(curve[0], te, y)
                                              : kpx::powerPolynomial(curve[1], te, y);
                    if (!(v > 0) || !std::isfinite(v))
                        r.fail(std::string(kSetNames[set]) + "0",
                               std::string(set == 0 ? "capacity " : "power ") + formatValue(v) +
                                   " at Te " + formatValue(snapped(te)) +
                                   (inEnthalpy ? " °C, h " : " °C, p ") + formatValue(y) +
                                   (inEnthalpy ? " J/kg" : " Pa") + " of the range: not positive");
                }
        std::size_t f = 0;
        g.fields[f++] = tdMax
                            ? formatValue(need(r.quantity(tdMax, Quantity::Temperature), "td_max"))
                            : std::string();
        for (int set = 0; set < 2; ++set)
            for (int i = 0; i < 10; ++i)
                g.fields[f++] = formatValue(curve[set][i]);
        for (const std::optional<double> v :
             {std::optional(shBase), std::optional(teLow), std::optional(teHig),
              std::optional(pLow), std::optional(pHig), hLow, hHig, pdMax, ratio, outlet})
            g.fields[f++] = v ? formatValue(*v) : "-";
        gasCoolers.push_back(std::move(g));
    }
}

void Converter::attachGasCoolers(ImportResult& result) {
    std::map<std::string_view, std::size_t> byName;
    for (std::size_t i = 0; i < result.models.size(); ++i)
        byName[result.models[i].name] = i;
    for (const GasCoolerRow& g : gasCoolers) {
        const auto it = byName.find(g.model);
        if (it == byName.end()) {
            result.skipped.push_back(g.where + ": transcritical curves of " +
                                     g.model.substr(0, 40) +
                                     " left out: no such model in this import");
            continue;
        }
        ImportedModel& m = result.models[it->second];
        const Fluid* f = fluid(g.refrigerant);
        if (f == nullptr || f->text != m.refrigerant)
            failAt(g.where, 0, "refrigerant",
                   "\"" + g.refrigerant.substr(0, 40) + "\" is not the refrigerant of model " +
                       m.name + " (" + m.refrigerant + ")");
        std::vector<std::string> fields;
        const std::string_view row(m.row);
        for (std::size_t pos = 0, tab; (tab = row.find('\t', pos)) != row.npos; pos = tab + 1)
            fields.emplace_back(row.substr(pos, tab - pos));
        fields.resize(kImportFieldCount);
        for (std::size_t i = 0; i < kOptionalImportColumnCount; ++i)
            if (!g.fields[i].empty())
                fields[kpx::kModelColumns.size() + i] = g.fields[i];
        m.row.clear();
        for (const std::string& field : fields) {
            m.row += field;
            m.row += '\t';
        }
    }
}

} // namespace

ImportResult importFiles(const std::vector<ImportFile>& files, const asere::FluidLibrary& fluids) {
    Converter converter{fluids, {}, {}, {}};
    ImportResult result;
    for (const ImportFile& file : files) {
        if (file.options.gasCoolerCurves)
            converter.convertGasCoolerFile(file);
        else
            converter.convertFile(file, result);
    }
    converter.attachGasCoolers(result);
    return result;
}

kpx::RatingRecord ratingRecord(const ImportedModel& model) {
    std::vector<std::string_view> fields;
    const std::string_view row(model.row);
    for (std::size_t pos = 0, tab; (tab = row.find('\t', pos)) != row.npos; pos = tab + 1)
        fields.push_back(row.substr(pos, tab - pos));
    kpx::RatingRecord r;
    kpx::forEachRatingColumn(r, [&](std::string_view name, double& v) {
        const std::size_t i = kpx::columnIndex(name);
        v = i < fields.size() ? kpx::FieldNumber(fields[i]) : kpx::NoValue;
    });
    r.refrigerant = model.refrigerant.c_str();
    return r;
}

} // namespace kvcat

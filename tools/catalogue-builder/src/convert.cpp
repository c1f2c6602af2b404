#include "kvcat/import.h"

#include "kvcat/convert_parts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <kpx/catalogue_file.h>
#include <kpx/catalogue_schema.h>
#include <kpx/rating.h>
#include <kpx/speed.h>
#include <map>
#include <utility>

namespace kvcat {

namespace fs = std::filesystem;

namespace conversion {

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

} // namespace conversion

using conversion::Converter;

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
    const std::vector<std::string_view> fields = kpx::fieldsOf(model.row);
    kpx::RatingRecord r;
    kpx::forEachRatingColumn(r, [&](std::string_view name, double& v) {
        const std::size_t i = kpx::columnIndex(name);
        v = i < fields.size() ? kpx::FieldNumber(fields[i]) : kpx::NoValue;
    });
    r.refrigerant = model.refrigerant.c_str();
    return r;
}

} // namespace kvcat

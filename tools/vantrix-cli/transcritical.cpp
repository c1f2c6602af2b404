#include "kvcli/transcritical.h"

#include "kv/calcrun.h"
#include "kv/codelists.h"
#include "kv/displaytext.h"
#include "kv/envelope.h"
#include "kv/figures.h"
#include "kv/perftable.h"
#include "kvcli/verbs.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

namespace kvcli {
namespace {

using Json = nlohmann::ordered_json;

constexpr double kPascalsPerBar = 1e5;
constexpr double kNoLiquidLine = std::numeric_limits<double>::quiet_NaN();
// A table over gas-cooler pressure has at most this many rows.
constexpr int kMaxRows = 1000;

// The pressure unit of --units: bar or psia, both absolute.
double pascalsPerUnit(kv::UnitSystem units) {
    return units == kv::UnitSystem::Imperial ? kv::kPascalsPerPsi : kPascalsPerBar;
}
const char* pressureLabel(kv::UnitSystem units) {
    return units == kv::UnitSystem::Imperial ? "psia" : "bar";
}

// The transcritical options read as numbers of the units shown.
struct Given {
    std::optional<double> pgc, tgc, from, to, step;
};

std::variant<Given, UsageError> readGiven(const CliOptions& o, const kv::NumberFormat& fmt) {
    Given g;
    const std::tuple<const char*, const std::optional<std::string>*, std::optional<double>*>
        fields[] = {{"--pgc", &o.pgc, &g.pgc},
                    {"--tgc", &o.tgc, &g.tgc},
                    {"--pgc-from", &o.pgcFrom, &g.from},
                    {"--pgc-to", &o.pgcTo, &g.to},
                    {"--pgc-step", &o.pgcStep, &g.step}};
    for (const auto& [name, text, value] : fields) {
        if (!text->has_value())
            continue;
        const auto v = kv::readDoubleField(**text, fmt);
        // A pressure must stay finite in Pa, a temperature in degC.
        if (!v || !std::isfinite(*v * pascalsPerUnit(o.units)))
            return UsageError{"invalid number \"" + **text + "\" for " + name};
        if (std::string(name) != "--tgc" && !(*v > 0))
            return UsageError{std::string(name) + " must be a positive absolute pressure (" +
                              pressureLabel(o.units) + ")"};
        *value = *v;
    }
    return g;
}

struct Point {
    double te, sh1, sh2; // engine units
    double tgc;          // degC
};

double shownTemperature(double c, kv::UnitSystem units) {
    return units == kv::UnitSystem::Imperial ? kv::celsiusToFahrenheit(c) : c;
}

// One transcritical rating and the optimum pressure at its outlet temperature.
struct Rated {
    KPX_TranscriticalResult at{}, best{};
};

// The rating at pgcPa; a refused point keeps the pressure and temperature asked for.
KPX_TranscriticalResult rateAt(const kv::EngineApi& api, int32_t model, const Point& p,
                               double pgcPa) {
    KPX_TranscriticalResult r{};
    api.KPX_RatingTranscritical(model, "", "", 0, p.te, pgcPa, p.tgc, p.sh1, p.sh2, kNoLiquidLine,
                                &r);
    if (r.code < 0) {
        r.gasCoolerPressure = pgcPa;
        r.gasCoolerOutletTemperature = p.tgc;
    }
    return r;
}

Rated rateModel(const kv::EngineApi& api, int32_t model, const Point& p, double pgcPa) {
    Rated r;
    r.at = rateAt(api, model, p, pgcPa);
    api.KPX_OptimumGasCoolerPressure(model, "", "", 0, p.te, p.tgc, p.sh1, p.sh2, kNoLiquidLine,
                                     &r.best);
    return r;
}

// The figures of a result in the units shown; null where not rated.
Json figuresJson(const KPX_TranscriticalResult& r, kv::UnitSystem units) {
    const bool imperial = units == kv::UnitSystem::Imperial;
    const auto value = [](double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); };
    Json j;
    j["code"] = r.code;
    if (r.code != KPX_CLEAN)
        j["reason"] = transcriticalReason(r.code);
    j["gasCoolerPressure"] = value(r.gasCoolerPressure / pascalsPerUnit(units));
    j["gasCoolerOutletTemperature"] = value(shownTemperature(r.gasCoolerOutletTemperature, units));
    j["capacity"] = value(imperial ? kv::wattsToBtuh(r.capacity) : r.capacity);
    j["powerInput"] = value(r.power);
    j["efficiency"] = value(imperial ? kv::copToEer(r.cop) : r.cop);
    j["massFlow"] = value(imperial ? kv::kilogramsToPounds(r.massFlow) * 3600 : r.massFlow * 3600);
    j["dischargeTemperature"] = value(shownTemperature(r.dischargeTemperature, units));
    return j;
}

// A figure as the table shows it: fixed decimals, the regional decimal sign; "-" for none.
std::string cell(double x, int decimals, const kv::NumberFormat& fmt) {
    if (!std::isfinite(x))
        return "-";
    std::string text = kv::plainNumber(x, decimals);
    if (fmt.decimal != ".")
        if (const auto dot = text.find('.'); dot != std::string::npos)
            text.replace(dot, 1, fmt.decimal);
    return text;
}

std::vector<std::string> headings(kv::UnitSystem units) {
    const bool imperial = units == kv::UnitSystem::Imperial;
    const std::string t = imperial ? "°F" : "°C";
    return {"Gas-cooler pressure (" + std::string(pressureLabel(units)) + ")",
            "Outlet temperature (" + t + ")",
            std::string("Cooling capacity (") + (imperial ? "Btu/h" : "W") + ")",
            "Power input (W)",
            imperial ? "EER" : "COP",
            std::string("Mass flow (") + (imperial ? "lb/h" : "kg/h") + ")",
            "Discharge temperature (" + t + ")"};
}

// The figures of a result as a table's or CSV's cells (CSV with plain numbers).
std::vector<std::string> cells(const KPX_TranscriticalResult& r, kv::UnitSystem units,
                               const kv::NumberFormat& fmt) {
    const Json j = figuresJson(r, units);
    const auto get = [&](const char* key, int decimals) {
        return j[key].is_null() ? std::string("-") : cell(j[key].get<double>(), decimals, fmt);
    };
    return {get("gasCoolerPressure", 2),
            get("gasCoolerOutletTemperature", 2),
            get("capacity", 0),
            get("powerInput", 0),
            get("efficiency", 2),
            get("massFlow", 1),
            get("dischargeTemperature", 1)};
}

void writeLines(std::ostream& out, OutputFormat format,
                std::vector<std::vector<std::string>> lines) {
    if (format == OutputFormat::Csv) {
        for (const auto& l : lines)
            out << kv::csvRecord(l);
        return;
    }
    std::vector<bool> right(lines[0].size(), true);
    right[0] = false;
    writeTable(out, lines, right);
}

// The codes of a run in the order met, with their reasons, below a table.
void writeReasons(std::ostream& out, const std::vector<int32_t>& codes) {
    std::vector<int32_t> seen;
    for (const int32_t c : codes)
        if (c != KPX_CLEAN && std::find(seen.begin(), seen.end(), c) == seen.end())
            seen.push_back(c);
    if (seen.empty())
        return;
    out << "\n";
    for (const int32_t c : seen)
        out << "  code " << c << ": " << transcriticalReason(c) << "\n";
}

int runRate(const CliOptions& o, const kv::EngineApi& api, const Point& p, double pgcPa,
            const kv::NumberFormat& fmt, std::ostream& out, std::ostream& err) {
    const int32_t refrigerant = kv::findCode(api, kv::CodeList::Refrigerant, o.refrigerant);
    const int32_t family = kv::findCode(api, kv::CodeList::Family, o.family);
    const int32_t supply = kv::findCode(api, kv::CodeList::Power, o.voltage);
    const kv::NumberFormat plain = kv::NumberFormat::english();
    const bool csv = o.format == OutputFormat::Csv;
    std::vector<std::vector<std::string>> lines;
    lines.push_back({"Model", "Refrigerant", "Voltage"});
    for (const std::string& h : headings(o.units))
        lines[0].push_back(h);
    lines[0].push_back("Optimum pressure (" + std::string(pressureLabel(o.units)) + ")");
    struct Result {
        std::string name;
        double capacity;
        Json row;
        std::vector<std::string> line;
        int32_t code;
    };
    std::vector<Result> results;
    int matched = 0, withoutCurves = 0;
    kv::forEachModel(api, refrigerant, family, supply, [&](int32_t number) {
        const kv::ModelInfo m = kv::displayed(kv::modelInfo(api, number));
        if (!kv::keptAtFrequency(kv::modelData(api, number, "DLLP"), o.frequency) ||
            !kv::passesModelFilter(m.showName, o.filter))
            return true;
        ++matched;
        const Rated r = rateModel(api, number, p, pgcPa);
        if (r.at.code == KPX_NO_GAS_COOLER_CURVES) {
            ++withoutCurves;
            return true;
        }
        Json row{{"model", m.name}, {"refrigerant", m.refrigerant}, {"voltage", m.voltage}};
        row.update(figuresJson(r.at, o.units));
        const double optimum = r.best.gasCoolerPressure / pascalsPerUnit(o.units);
        row["optimumGasCoolerPressure"] = r.best.code >= 0 ? Json(optimum) : Json(nullptr);
        row["optimumEfficiency"] =
            r.best.code >= 0
                ? Json(o.units == kv::UnitSystem::Imperial ? kv::copToEer(r.best.cop) : r.best.cop)
                : Json(nullptr);
        std::vector<std::string> line{m.name, m.refrigerant, m.voltage};
        for (std::string& c : cells(r.at, o.units, csv ? plain : fmt))
            line.push_back(std::move(c));
        line.push_back(r.best.code >= 0 ? cell(optimum, 2, csv ? plain : fmt) : "-");
        if (r.at.code != KPX_CLEAN)
            line[0] += r.at.code < 0 ? " -" : " *";
        // A refused model after every rated one when ordered by capacity.
        const double capacity = r.at.code >= 0 ? r.at.capacity : INFINITY;
        results.push_back({m.name, capacity, std::move(row), std::move(line), r.at.code});
        return true;
    });
    // By name, as rate orders, or by capacity, ascending.
    std::stable_sort(results.begin(), results.end(), [&](const Result& a, const Result& b) {
        return o.order == kv::OrderBy::Capacity ? a.capacity < b.capacity : a.name < b.name;
    });
    Json rows = Json::array();
    std::vector<int32_t> codes;
    for (Result& r : results) {
        rows.push_back(std::move(r.row));
        lines.push_back(std::move(r.line));
        codes.push_back(r.code);
    }
    if (o.format == OutputFormat::Json)
        writeJson(out, Json{{"units", unitsName(o.units)}, {"rows", rows}});
    else {
        writeLines(out, o.format, lines);
        if (o.format == OutputFormat::Table) {
            out << "Results : " << rows.size() << "\n";
            writeReasons(out, codes);
        }
    }
    if (rows.empty())
        err << "vantrix-cli: no model of the selection rates transcritical: " << matched
            << " matched, " << withoutCurves << " of them without transcritical curves\n";
    return kExitOk;
}

int runTable(const CliOptions& o, const kv::EngineApi& api, const Point& p, const Given& g,
             const kv::NumberFormat& fmt, std::ostream& out, std::ostream& err) {
    const auto model = modelNamed(o, api, err);
    if (!model)
        return kExitUsage;
    const kv::ModelInfo shown = kv::displayed(*model);
    const double unit = pascalsPerUnit(o.units);
    // By default the model's pressure range, in steps of 5 bar or 50 psi.
    const auto modelPressure = [&](const char* column) {
        const auto v =
            kv::parseNumber(kv::modelData(api, model->number, column), kv::NumberFormat::english());
        return v ? std::optional(*v / unit) : std::nullopt;
    };
    const std::optional<double> from = g.from ? g.from : modelPressure("GcPLow");
    const std::optional<double> to = g.to ? g.to : modelPressure("GcPHig");
    const double step = g.step.value_or(o.units == kv::UnitSystem::Imperial ? 50 : 5);
    if (!from || !to) {
        err << "vantrix-cli: " << shown.name
            << " has no transcritical curves: " << transcriticalReason(KPX_NO_GAS_COOLER_CURVES)
            << "\n";
        return kExitData;
    }
    if (*from > *to)
        return usage(err, UsageError{"--pgc-from must not lie above --pgc-to"});
    // Counted, not summed up to: at 1e300 bar a step of 5 adds nothing.
    const double span = (*to - *from) / step;
    if (!(span < kMaxRows))
        return usage(err, UsageError{"the pressure range takes more than " +
                                     std::to_string(kMaxRows) + " steps of --pgc-step"});
    std::vector<double> pressures;
    const int last = static_cast<int>(std::floor(span + 1e-9));
    for (int i = 0; i <= last; ++i)
        pressures.push_back(*from + step * i);
    if (pressures.back() < *to - step * 1e-9)
        pressures.push_back(*to);

    const kv::NumberFormat plain = kv::NumberFormat::english();
    const bool csv = o.format == OutputFormat::Csv;
    std::vector<std::vector<std::string>> lines{headings(o.units)};
    lines[0].push_back("Code");
    Json rows = Json::array();
    std::vector<int32_t> codes;
    KPX_TranscriticalResult best{};
    api.KPX_OptimumGasCoolerPressure(model->number, "", "", 0, p.te, p.tgc, p.sh1, p.sh2,
                                     kNoLiquidLine, &best);
    for (const double x : pressures) {
        const KPX_TranscriticalResult r = rateAt(api, model->number, p, x * unit);
        codes.push_back(r.code);
        rows.push_back(figuresJson(r, o.units));
        lines.push_back(cells(r, o.units, csv ? plain : fmt));
        lines.back().push_back(std::to_string(r.code));
    }
    const double optimum = best.gasCoolerPressure / unit;
    const double te = shownTemperature(p.te, o.units);
    const std::string t = o.units == kv::UnitSystem::Imperial ? " °F" : " °C";
    if (o.format == OutputFormat::Json) {
        Json doc{{"model", shown.name},
                 {"refrigerant", shown.refrigerant},
                 {"voltage", shown.voltage},
                 {"units", unitsName(o.units)},
                 {"te", te},
                 {"gasCoolerOutletTemperature", shownTemperature(p.tgc, o.units)},
                 {"optimumGasCoolerPressure", best.code >= 0 ? Json(optimum) : Json(nullptr)},
                 {"optimum", figuresJson(best, o.units)},
                 {"rows", rows}};
        writeJson(out, doc);
        return kExitOk;
    }
    if (o.format == OutputFormat::Table)
        out << shown.name << " (" << shown.refrigerant << ", " << shown.voltage << ") at Te "
            << cell(te, 2, fmt) << t << ", gas-cooler outlet "
            << cell(shownTemperature(p.tgc, o.units), 2, fmt) << t << "\n\n";
    writeLines(out, o.format, lines);
    if (o.format == OutputFormat::Table) {
        out << "\nOptimum gas-cooler pressure: "
            << (best.code >= 0 ? cell(optimum, 2, fmt) + " " + pressureLabel(o.units) + " (COP " +
                                     cell(best.cop, 2, fmt) + ")"
                               : "none (" + transcriticalReason(best.code) + ")")
            << "\n";
        writeReasons(out, codes);
    }
    return kExitOk;
}

} // namespace

bool wantsTranscritical(const CliOptions& o) {
    return o.pgc || o.tgc || o.pgcFrom || o.pgcTo || o.pgcStep;
}

std::optional<UsageError> transcriticalUsage(const CliOptions& o, const kv::NumberFormat& fmt) {
    if (!wantsTranscritical(o))
        return std::nullopt;
    if (!o.tgc)
        return UsageError{"a transcritical point needs --tgc, the gas-cooler outlet temperature"};
    if (o.command == Command::Rate && !o.pgc)
        return UsageError{"rate above the critical point needs --pgc and --tgc together"};
    // The envelope shows the subcritical region at Tc and Sc beside the transcritical one.
    if ((o.tc || o.sc) && o.command != Command::Envelope)
        return UsageError{"--tc and --sc have no meaning with a gas cooler: give --pgc and --tgc"};
    if (!o.show.empty() || !o.target.empty())
        return UsageError{std::string(o.show.empty() ? "--target" : "--show") +
                          " is not offered with --tgc"};
    if (o.speed || o.matchCapacity || o.speeds)
        return UsageError{"the transcritical curves are of one speed: --speed, --match-capacity "
                          "and --speeds are not offered with --tgc"};
    const auto given = readGiven(o, fmt);
    if (const auto* e = std::get_if<UsageError>(&given))
        return *e;
    return std::nullopt;
}

int runTranscritical(const CliOptions& o, const kv::EngineApi& api, const kv::ConditionTexts& texts,
                     const kv::NumberFormat& fmt, std::ostream& out, std::ostream& err) {
    if (api.KPX_RatingTranscritical == nullptr || api.KPX_OptimumGasCoolerPressure == nullptr) {
        err << "vantrix-cli: the engine of this program directory has no transcritical rating\n";
        return kExitData;
    }
    const Given g = std::get<Given>(readGiven(o, fmt)); // checked by transcriticalUsage
    const kv::ConditionValues at = kv::toEngineUnits(kv::readConditions(texts, fmt), o.units);
    const double tgc =
        o.units == kv::UnitSystem::Imperial ? kv::fahrenheitToCelsius(*g.tgc) : *g.tgc;
    const Point p{at.te, at.sh1, at.sh2, tgc};
    if (o.command == Command::Table)
        return runTable(o, api, p, g, fmt, out, err);
    return runRate(o, api, p, *g.pgc * pascalsPerUnit(o.units), fmt, out, err);
}

} // namespace kvcli

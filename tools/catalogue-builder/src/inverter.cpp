#include "kvcat/inverter.h"

#include "kvcat/import.h"

#include <kpx/catalogue_file.h>
#include <kpx/catalogue_schema.h>
#include <kpx/speed.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace kvcat {

using json = nlohmann::ordered_json;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw RangeError(where + ": " + what);
}

double numberOr(const json& j, const char* key, double fallback, const std::string& where) {
    if (!j.contains(key))
        return fallback;
    if (!j[key].is_number() || !std::isfinite(j[key].get<double>()))
        fail(where, std::string("\"") + key + "\" must be a number");
    return j[key].get<double>();
}

SpeedPhysics parseSpeed(const json& j, const std::string& where) {
    if (!j.is_object())
        fail(where, "\"speed\" must be an object");
    SpeedPhysics s;
    if (!j.contains("speeds") || !j["speeds"].is_array())
        fail(where, "\"speeds\" must list the published speeds");
    for (const json& v : j["speeds"]) {
        if (!v.is_number() || !(v.get<double>() >= 5 && v.get<double>() <= 300))
            fail(where, "speeds must be numbers of 5 to 300 rev/s");
        s.speeds.push_back(v.get<double>());
    }
    if (s.speeds.size() < 2 || s.speeds.size() > kpx::kMaxSpeedSets ||
        std::adjacent_find(s.speeds.begin(), s.speeds.end(), std::greater_equal<>()) !=
            s.speeds.end())
        fail(where, "two or more speeds, rising, at most " + std::to_string(kpx::kMaxSpeedSets));
    s.nominal = numberOr(j, "nominal", s.speeds[(s.speeds.size() - 1) / 2], where);
    if (std::find(s.speeds.begin(), s.speeds.end(), s.nominal) == s.speeds.end() ||
        s.nominal == s.speeds.front() || s.nominal == s.speeds.back())
        fail(where, "the nominal speed must be a published speed between the extremes");
    s.leakageSpeed = numberOr(j, "leakageSpeed", s.leakageSpeed, where);
    s.suctionLoss = numberOr(j, "suctionLoss", s.suctionLoss, where);
    s.optimum = numberOr(j, "optimum", s.optimum, where);
    s.etaLow = numberOr(j, "etaLow", s.etaLow, where);
    s.etaHigh = numberOr(j, "etaHigh", s.etaHigh, where);
    s.driveEfficiency = numberOr(j, "driveEfficiency", s.driveEfficiency, where);
    s.driveStandby = numberOr(j, "driveStandby", s.driveStandby, where);
    s.drivePowerFactor = numberOr(j, "drivePowerFactor", s.drivePowerFactor, where);
    s.tcDropLow = numberOr(j, "tcDropLow", s.tcDropLow, where);
    s.teDropHigh = numberOr(j, "teDropHigh", s.teDropHigh, where);
    if (!(s.leakageSpeed > 0 && s.suctionLoss >= 0 && s.suctionLoss < 0.3 && s.optimum > 0 &&
          s.etaLow >= 0 && s.etaLow < 0.5 && s.etaHigh >= 0 && s.etaHigh < 0.5 &&
          s.driveEfficiency > 0.5 && s.driveEfficiency <= 1 && s.driveStandby >= 0 &&
          s.driveStandby < 0.1 && s.drivePowerFactor > 0.3 && s.drivePowerFactor <= 1 &&
          s.tcDropLow >= 0 && s.tcDropLow < 30 && s.teDropHigh >= 0 && s.teDropHigh < 30))
        fail(where, "a speed parameter lies outside its plausible range");
    return s;
}

// The share of the swept gas lost to leakage at pressure ratio pi and speed rev.
double leakage(const Physics& p, const SpeedPhysics& s, double displacement, double pi,
               double rev) {
    return p.leakage * (pi - 1.0) * std::pow(p.refDisplacement / displacement, 0.3) *
           (s.leakageSpeed / rev);
}

double speedFactor(const SpeedPhysics& s, double rev) {
    const double l = std::log(rev / s.optimum);
    return 1.0 - (rev < s.optimum ? s.etaLow : s.etaHigh) * l * l;
}

// The fields of a model's line of the model table, as modelsText writes them.
std::vector<std::string> lineFields(const Model& model, double nominal) {
    const std::string text = modelsText({model});
    const std::size_t first = text.find('\n') + 1;
    const std::vector<std::string_view> parts =
        kpx::fieldsOf(std::string_view(text).substr(first, text.size() - first - 1));
    std::vector<std::string> fields(parts.begin(), parts.end());
    fields[kpx::columnIndex("Speed")] = formatValue(nominal * 60);
    return fields;
}

} // namespace

std::vector<InverterSeries> parseInverters(const std::string& jsonText) {
    json root;
    try {
        root = json::parse(jsonText);
    } catch (const json::exception& e) {
        throw RangeError(std::string("range: not JSON: ") + e.what());
    }
    std::vector<InverterSeries> out;
    if (!root.is_object() || !root.contains("inverters"))
        return out;
    if (!root["inverters"].is_array())
        fail("range", "\"inverters\" must be a list");
    for (const json& j : root["inverters"]) {
        if (!j.is_object() || !j.contains("speed") || !j.contains("supply") ||
            !j["supply"].is_number_integer())
            fail("inverters", "each series needs \"speed\" and a \"supply\" code");
        const std::string where = "inverter series " + j.value("prefix", std::string("?"));
        // The series as a range of one family, so that it is checked as every family is.
        json family = j;
        family.erase("speed");
        family.erase("supply");
        const json base = family.contains("base") ? family["base"] : json();
        family["base"] = {{"50", base}, {"60", base}};
        family["singlePhaseUpTo"] = 0;
        family["threePhaseFrom"] = 0;
        json one = {{"refrigerants", root.value("refrigerants", json::array())},
                    {"supplies", root.value("supplies", json::array())},
                    {"families", json::array({family})}};
        InverterSeries s;
        s.range = parseRange(one.dump());
        s.supplyCode = j["supply"].get<int>();
        if (std::none_of(s.range.supplies.begin(), s.range.supplies.end(),
                         [&](const Supply& p) { return p.code == s.supplyCode; }))
            fail(where, "no supply " + std::to_string(s.supplyCode));
        s.speed = parseSpeed(j["speed"], where);
        for (const InverterSeries& other : out)
            if (other.family().prefix == s.family().prefix)
                fail(where, "prefix used twice");
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<InverterSeries> loadInverters(const std::filesystem::path& rangeFile) {
    return parseInverters(readRangeText(rangeFile));
}

Performance inverterPerformance(const Family& family, const SpeedPhysics& speed,
                                double displacement, const Supply& supply, const CyclePoint& rated,
                                const CyclePoint& point, double rev) {
    const Physics& p = family.physics;
    const MotorRating motor =
        motorForSize(p, displacement, family.displacements.front(), family.displacements.back());
    const double swept = displacement * 1e-6 * rev;
    // Gas compressed per unit of swept volume, and the part of it delivered (the rest leaks
    // back and is compressed again).
    auto gas = [&](const CyclePoint& c, double n) {
        const double pi = c.ratio();
        const double compressed =
            std::max(p.lambda0 - speed.suctionLoss * std::pow(n / speed.speeds.back(), 2), 0.05);
        const double delivered =
            std::max(compressed - leakage(p, speed, displacement, pi, n), 0.05);
        return std::make_pair(compressed, delivered);
    };
    auto compression = [&](const CyclePoint& c, double n) {
        const double eta = isentropicEfficiency(p, c.ratio()) * speedFactor(speed, n);
        return gas(c, n).first * displacement * 1e-6 * n / c.v1 * c.dhIs / eta;
    };
    // The motor is sized for the typical point at nominal speed; friction is a constant
    // torque, its power proportional to speed.
    const double ratedGas = compression(rated, speed.nominal);
    const double frictionNominal = p.friction * ratedGas;
    const double ratedShaft = ratedGas + frictionNominal;
    const double ratedTorque = ratedShaft / speed.nominal;
    const double ratedInput = ratedShaft / motor.efficiency / speed.driveEfficiency;

    Performance out;
    out.massFlow = gas(point, rev).second * swept / point.v1;
    out.capacity = out.massFlow * point.effect;
    const double shaft = compression(point, rev) + frictionNominal * rev / speed.nominal;
    const double x = std::clamp(shaft / rev / ratedTorque, 0.1, 2.0);
    const double motorEta = motor.efficiency * (1.0 - p.motorPartLoad * (1.0 - x) * (1.0 - x));
    out.power = shaft / motorEta / speed.driveEfficiency + speed.driveStandby * ratedInput;
    const double k = supply.phases == 3 ? std::sqrt(3.0) : 1.0;
    out.current = out.power / (k * supply.volts * speed.drivePowerFactor);
    return out;
}

std::vector<InverterModel> buildInverters(const std::vector<InverterSeries>& series,
                                          const asere::FluidLibrary& fluids) {
    std::vector<InverterModel> out;
    for (const InverterSeries& s : series) {
        const Family& family = s.family();
        const Supply* supply = nullptr;
        for (const Supply& p : s.range.supplies)
            if (p.code == s.supplyCode)
                supply = &p;
        const BaseConditions& base = family.base.at(50);
        const double nMin = s.speed.speeds.front(), nMax = s.speed.speeds.back();
        for (const auto& [refName, limits] : family.refrigerants) {
            const Refrigerant& refrigerant = s.range.refrigerant(refName);
            const Thermo thermo(fluids.get(refrigerant.name));
            const CyclePoint rated =
                thermo.cycle(family.typicalTe, family.typicalTc,
                             base.suctionTemperature(family.typicalTe), base.sc);
            // Per speed: the envelope (narrower at the ends), its grid and cycle points.
            struct AtSpeed {
                Envelope envelope;
                std::vector<std::pair<double, double>> grid;
                std::vector<CyclePoint> cycles;
            };
            std::vector<AtSpeed> atSpeed;
            for (const double n : s.speed.speeds) {
                EnvelopeLimits l = limits;
                if (n < s.speed.nominal)
                    l.tcHig -= s.speed.tcDropLow * (s.speed.nominal - n) / (s.speed.nominal - nMin);
                if (n > s.speed.nominal)
                    l.teHig -=
                        s.speed.teDropHigh * (n - s.speed.nominal) / (nMax - s.speed.nominal);
                AtSpeed a;
                a.envelope = makeEnvelope(family, l, thermo);
                a.grid = fitGrid(a.envelope, family);
                for (const auto& [te, tc] : a.grid)
                    a.cycles.push_back(thermo.cycle(te, tc, base.suctionTemperature(te), base.sc));
                atSpeed.push_back(std::move(a));
            }
            for (std::size_t k = 0; k < family.displacements.size(); ++k) {
                const double d = family.displacements[k];
                InverterModel im;
                im.speeds = s.speed.speeds;
                im.nominalSpeed = s.speed.nominal;
                char size[16];
                std::snprintf(size, sizeof size, "%03ld", std::lround(d));
                for (std::size_t i = 0; i < s.speed.speeds.size(); ++i) {
                    const double n = s.speed.speeds[i];
                    const AtSpeed& a = atSpeed[i];
                    Model m;
                    m.entry = {&family,
                               &refrigerant,
                               &limits,
                               supply,
                               d,
                               static_cast<int>(k),
                               family.prefix + size + refrigerant.tag + "-" + supply->motor};
                    m.base = base;
                    m.envelope = a.envelope;
                    m.dischargeMax = family.physics.dischargeMax;
                    std::vector<Sample> q, p, c, f, td;
                    for (std::size_t g = 0; g < a.grid.size(); ++g) {
                        const auto [te, tc] = a.grid[g];
                        const CyclePoint& point = a.cycles[g];
                        const Performance perf =
                            inverterPerformance(family, s.speed, d, *supply, rated, point, n);
                        q.push_back({te, tc, perf.capacity});
                        p.push_back({te, tc, perf.power});
                        c.push_back({te, tc, perf.current});
                        f.push_back({te, tc, perf.massFlow});
                        td.push_back(
                            {te, tc,
                             thermo.dischargeTemperature(
                                 point, isentropicEfficiency(family.physics, point.ratio()) *
                                            speedFactor(s.speed, n))});
                    }
                    m.q = fitRelative(q);
                    m.p = fitRelative(p);
                    m.a = fitRelative(c);
                    m.m = fitRelative(f);
                    m.td = fitRelative(td);
                    m.errors = {
                        maxRelativeError(asWritten(m.q), q), maxRelativeError(asWritten(m.p), p),
                        maxRelativeError(asWritten(m.a), c), maxRelativeError(asWritten(m.m), f)};
                    if (n == s.speed.nominal)
                        im.nominal = m;
                    im.sets.push_back(std::move(m));
                }
                out.push_back(std::move(im));
            }
        }
    }
    return out;
}

std::string inverterModelLines(const std::vector<InverterModel>& models) {
    std::string out;
    for (const InverterModel& m : models) {
        for (const std::string& field : lineFields(m.nominal, m.nominalSpeed)) {
            out += field;
            out += '\t';
        }
        out += '\n';
    }
    return out;
}

std::string inverterSpeedsText(const std::vector<InverterModel>& models) {
    if (models.empty())
        return {};
    std::string out = speedsHeader();
    for (const InverterModel& m : models) {
        const std::string speeds = formatValue(m.nominalSpeed) + '\t' +
                                   formatValue(m.speeds.front()) + '\t' +
                                   formatValue(m.speeds.back()) + '\t';
        for (std::size_t i = 0; i < m.sets.size(); ++i) {
            const std::vector<std::string> fields = lineFields(m.sets[i], m.nominalSpeed);
            out += m.nominal.entry.name + '\t' + m.nominal.entry.refrigerant->name + '\t' +
                   formatValue(m.speeds[i]) + '\t' + speeds;
            for (std::size_t k = kpx::kFirstRatingColumn; k < kpx::kModelColumns.size(); ++k) {
                out += fields[k];
                out += '\t';
            }
            out += '\n';
        }
    }
    return out;
}

} // namespace kvcat

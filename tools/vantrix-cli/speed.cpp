#include "kvcli/speed.h"

#include "kv/diagram.h"
#include "kv/envelope.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <ostream>
#include <tuple>

namespace kvcli {

using Json = nlohmann::ordered_json;

std::variant<kv::SpeedRequest, UsageError> speedRequest(const CliOptions& o,
                                                        const kv::NumberFormat& fmt) {
    kv::SpeedRequest request;
    const auto read = [&](const std::optional<std::string>& text,
                          const char* option) -> std::variant<double, UsageError> {
        const std::optional<double> v = kv::readDoubleField(*text, fmt);
        if (!v || !std::isfinite(*v) || !(*v > 0))
            return UsageError{"invalid number \"" + *text + "\" for " + option +
                              " (a positive number, decimal sign \"" + fmt.decimal + "\")"};
        return *v;
    };
    for (const auto& [text, option, target] :
         {std::tuple{&o.speed, "--speed", &request.speed},
          {&o.matchCapacity, "--match-capacity", &request.matchCapacity}}) {
        if (!*text)
            continue;
        const auto v = read(*text, option);
        if (const auto* e = std::get_if<UsageError>(&v))
            return *e;
        *target = std::get<double>(v);
    }
    if (request.matchCapacity && o.units == kv::UnitSystem::Imperial)
        request.matchCapacity = kv::btuhToWatts(*request.matchCapacity);
    return request;
}

void writeSpeedSummary(std::ostream& err, const kv::CalcResult& r,
                       const kv::SpeedRequest& request) {
    const char* option = request.matchCapacity ? "--match-capacity" : "--speed";
    for (const int32_t code :
         {KPX_SPEED_BELOW_MIN, KPX_SPEED_ABOVE_MAX, KPX_CAPACITY_ABOVE_MAX, KPX_CAPACITY_BELOW_MIN,
          KPX_NO_SPEED_IN_ENVELOPE, KPX_SPEED_DATA_INVALID, KPX_FIXED_SPEED})
        if (const auto it = r.leftOutByCode.find(code); it != r.leftOutByCode.end())
            err << "vantrix-cli: " << option << ": " << it->second
                << (it->second == 1 ? " model" : " models") << " left out (code " << code
                << "): " << kv::ratingReason(code) << "\n";
}

int writeSpeedTable(const CliOptions& o, const kv::EngineApi& api, const kv::ModelInfo& model,
                    const kv::ConditionValues& at, const kv::NumberFormat& fmt, std::ostream& out,
                    std::ostream& err) {
    const std::optional<KPX_SpeedInfo> info = kv::speedInfo(api, model.number);
    if (!info) {
        err << "vantrix-cli: " << model.name << " is no variable-speed model (or its speed "
            << "sets are refused): no figures against speed\n";
        return kExitUsage;
    }
    const std::optional<kv::SpeedSpan> span = kv::speedSpan(api, model.number, at);
    if (!span) {
        err << "vantrix-cli: " << model.name << ": " << kv::ratingReason(KPX_NO_SPEED_IN_ENVELOPE)
            << " (code " << KPX_NO_SPEED_IN_ENVELOPE << ")\n";
        return kExitOk;
    }
    struct Line {
        double speed;
        kv::PointRating rating;
    };
    std::vector<Line> lines;
    for (const double speed : kv::tableSpeeds(*info, *span, 10.0)) {
        kv::SpeedRequest request;
        request.speed = speed;
        lines.push_back({speed, kv::rateAsRequested(api, model.number, at, request).rating});
    }
    static const char* keys[] = {"capacity", "powerInput", "efficiency", "current", "massFlow"};
    if (o.format == OutputFormat::Json) {
        Json rows = Json::array();
        for (const Line& l : lines) {
            Json row{{"speed", l.speed}, {"code", l.rating.code}};
            const auto values = kv::displayValues(l.rating, o.units);
            for (int q = 0; q < kv::kQuantities; ++q)
                row[keys[q]] =
                    l.rating.code >= 0 ? Json(values[static_cast<std::size_t>(q)]) : Json(nullptr);
            if (l.rating.code != KPX_CLEAN)
                row["reason"] = kv::ratingReason(l.rating.code);
            rows.push_back(row);
        }
        Json doc{{"model", model.name},
                 {"refrigerant", model.refrigerant},
                 {"voltage", model.voltage},
                 {"units", unitsName(o.units)},
                 {"conditions", conditionsJson(at, o.units)},
                 {"nominalSpeed", info->nominalSpeed},
                 {"minSpeed", span->low},
                 {"maxSpeed", span->high},
                 {"speeds", rows}};
        writeJson(out, doc);
        return kExitOk;
    }
    std::vector<std::string> header{"Speed (rev/s)", "Code"};
    for (int q = 0; q < kv::kQuantities; ++q)
        header.push_back(kv::quantityHeading(static_cast<kv::Quantity>(q), o.units));
    std::vector<std::vector<std::string>> table{header};
    const bool csv = o.format == OutputFormat::Csv;
    const auto number = [&](double v, int decimals) {
        std::string text = kv::plainNumber(v, decimals);
        if (!csv && fmt.decimal != ".")
            if (const auto dot = text.find('.'); dot != std::string::npos)
                text.replace(dot, 1, fmt.decimal);
        return text;
    };
    for (const Line& l : lines) {
        std::vector<std::string> row{number(l.speed, 3), std::to_string(l.rating.code)};
        const auto values = kv::displayValues(l.rating, o.units);
        for (int q = 0; q < kv::kQuantities; ++q)
            row.push_back(l.rating.code >= 0
                              ? number(values[static_cast<std::size_t>(q)],
                                       kv::quantityDecimals(static_cast<kv::Quantity>(q)))
                              : "-");
        table.push_back(row);
    }
    if (csv) {
        out << kv::modelConditionsCsv(model, at, o.units);
        for (const auto& row : table)
            out << kv::csvRecord(row);
        return kExitOk;
    }
    out << model.name << " (" << model.refrigerant << ", " << model.voltage << ") at "
        << kv::allConditionsText(at, o.units) << "\nSpeeds allowed here: " << number(span->low, 3)
        << " to " << number(span->high, 3) << " rev/s (nominal " << number(info->nominalSpeed, 3)
        << ")\n\n";
    writeTable(out, table, std::vector<bool>(header.size(), true));
    return kExitOk;
}

} // namespace kvcli

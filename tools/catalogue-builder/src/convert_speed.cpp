// Variable-speed models of an import: the sets of one name joined into one model.
#include "kvcat/convert_parts.h"

#include <kpx/speed.h>

namespace kvcat::conversion {

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

} // namespace kvcat::conversion

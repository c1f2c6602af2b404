// Transcritical curves of an import: the gas-cooler forms read and attached to their models.
#include "kvcat/convert_parts.h"

namespace kvcat::conversion {

namespace {

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

} // namespace

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

} // namespace kvcat::conversion

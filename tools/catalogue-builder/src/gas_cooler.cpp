#include "kvcat/gas_cooler.h"

#include "kvcat/catalogue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <kpx/catalogue_schema.h>

namespace kvcat {

namespace {

constexpr double kPaPerBar = 1e5;
constexpr int kSteps = 9; // points per variable of the fit grids

double along(double lo, double hi, int i) {
    return lo + (hi - lo) * i / (kSteps - 1);
}

double parseBack(const std::string& text) {
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

// Fits the samples in (te, y) with y scaled to a span of tens, as the fit is well
// conditioned there, and expands the result back into y's own unit; the error is that of
// the coefficients as written (shortest round-trip texts).
Coefficients fitScaled(std::vector<Sample> samples, double yMid, double yUnit, double& error) {
    std::vector<Sample> scaled = samples;
    for (Sample& s : scaled)
        s.tc = (s.tc - yMid) / yUnit;
    const Coefficients fitted = fromAffine(fitRelative(scaled), 1, 0, 1 / yUnit, -yMid / yUnit);
    Coefficients written{};
    for (int k = 0; k < 10; ++k)
        written[k] = parseBack(formatValue(fitted[k]));
    error = maxRelativeError(written, samples);
    return written;
}

} // namespace

GasCoolerCurves gasCoolerCurves(const GasCoolerRules& rules, const BaseConditions& base,
                                const Thermo& thermo, const Compressor& compressor) {
    GasCoolerCurves c;
    c.shBase = base.superheat(rules.ratedTe);
    c.teLow = rules.teLow;
    c.teHig = rules.teHig;
    c.pLow = rules.pLow * kPaPerBar;
    c.pHig = rules.pHig * kPaPerBar;
    c.pdMax = rules.pdMax * kPaPerBar;
    const double tgcLow = rules.control.front().first, tgcHig = rules.control.back().first;
    c.hLow = std::round(thermo.enthalpy(tgcLow, rules.pressureAt(tgcLow) * kPaPerBar));
    c.hHig = std::round(thermo.enthalpy(tgcHig, rules.pressureAt(tgcHig) * kPaPerBar));
    std::vector<Sample> q, p;
    for (int i = 0; i < kSteps; ++i) {
        const double te = along(rules.teLow, rules.teHig, i);
        const double tSuction = te + c.shBase;
        for (int j = 0; j < kSteps; ++j) {
            // Capacity: the outlet state on the control line, the mass flow of its pressure.
            const double tgc = along(tgcLow, tgcHig, j);
            const double pgc = rules.pressureAt(tgc) * kPaPerBar;
            const double h = thermo.enthalpy(tgc, pgc);
            q.push_back(
                {te, h, compressor.at(thermo.gasCoolerCycle(te, pgc, h, tSuction)).capacity});
            // Power: every pressure of the range, whatever the outlet.
            const double pr = along(c.pLow, c.pHig, j);
            p.push_back(
                {te, pr, compressor.at(thermo.gasCoolerCycle(te, pr, c.hLow, tSuction)).power});
        }
    }
    c.q = fitScaled(q, 0.5 * (c.hLow + c.hHig), 1000, c.errorQ);
    c.p = fitScaled(p, 0.5 * (c.pLow + c.pHig), 1e5, c.errorP);
    return c;
}

std::vector<std::string_view> gasCoolerColumnNames() {
    std::vector<std::string_view> names(kpx::kGasCoolerCapacityColumns.begin(),
                                        kpx::kGasCoolerCapacityColumns.end());
    names.insert(names.end(), kpx::kGasCoolerPowerColumns.begin(),
                 kpx::kGasCoolerPowerColumns.end());
    names.insert(names.end(), kpx::kGasCoolerLimitColumns.begin(),
                 kpx::kGasCoolerLimitColumns.end());
    return names;
}

std::vector<std::string> gasCoolerFields(const GasCoolerCurves& c) {
    std::vector<std::string> fields;
    for (const double k : c.q)
        fields.push_back(formatValue(k));
    for (const double k : c.p)
        fields.push_back(formatValue(k));
    // GcShBase, GcTeLow, GcTeHig, GcPLow, GcPHig, GcHLow, GcHHig, GcPdMax, GcPrMax, GcQTgc
    for (const double v : {c.shBase, c.teLow, c.teHig, c.pLow, c.pHig, c.hLow, c.hHig, c.pdMax})
        fields.push_back(formatValue(v));
    fields.emplace_back("-");
    fields.emplace_back("-");
    return fields;
}

} // namespace kvcat

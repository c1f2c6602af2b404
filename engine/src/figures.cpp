#include "kpx/figures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kpx {
namespace {

bool complete(const std::array<double, 10>& k) {
    return std::none_of(k.begin(), k.end(), [](double x) { return x == NoValue; });
}

} // namespace

KPX_Figures noFigures() {
    KPX_Figures f;
    for (double* x :
         {&f.suctionPressure, &f.suctionDewPoint, &f.dischargePressure, &f.pressureRatio,
          &f.suctionGasTemperature, &f.capacity, &f.power, &f.massFlow, &f.heatRejection,
          &f.dischargeTemperature, &f.maxDischargeTemperature, &f.isentropicEfficiency,
          &f.volumetricEfficiency, &f.heatingCapacity, &f.heatingCop, &f.heatLossFraction})
        *x = kNaN;
    f.flags = 0;
    f.status = KPX_FIGURES_NOT_RATED;
    return f;
}

double heatLossFraction(std::string_view technology) {
    return technology == "Reciprocating" ? 0.08 : 0.05;
}

KPX_Figures ratingFigures(const RatingRecord& record, const FigureColumns& columns,
                          const Conditions& c, const RatingResult& rated,
                          PropertyProvider& properties, IsobarProperties& isobar) {
    KPX_Figures f = noFigures();
    const char* refrigerant = record.refrigerant;
    const double teK = c.te + kKelvin, tcK = c.tc + kKelvin;
    if (rated.code < 0) {
        // Condensing above the top of the saturation curve: the rating's properties fail at
        // Tc only, while Te has its pressure.
        double pe = 0, pc = 0;
        if (rated.code == KPX_PROPERTIES_FAILED && c.tc > c.te &&
            propertyOk(properties.saturationPressure(refrigerant, teK, &pe), pe) &&
            properties.saturationPressure(refrigerant, tcK, &pc) == 4)
            f.status = KPX_FIGURES_SUPERCRITICAL;
        return f;
    }
    f.status = KPX_FIGURES_PROPERTIES_FAILED;
    f.suctionDewPoint = c.te;
    f.suctionGasTemperature = c.te + c.sh2;
    f.capacity = rated.capacity;
    f.power = rated.power;
    f.massFlow = rated.massFlow;
    f.heatLossFraction = heatLossFraction(columns.technology);
    if (columns.tdMax != NoValue)
        f.maxDischargeTemperature = columns.tdMax;

    // The pressures and the suction gas's volume are the rating's; its enthalpy and entropy
    // come from the state the rating left in the property library's memory.
    const double pe = rated.suctionPressure, pc = rated.dischargePressure;
    const double v1 = rated.suctionVolume;
    double h1 = 0, s1 = 0;
    const double t1 = teK + c.sh2;
    if (!propertyOk(properties.vapourEnthalpy(refrigerant, t1, pe, &h1), h1) ||
        !propertyOk(isobar.vapourEntropy(refrigerant, t1, pe, &s1), s1))
        return f;
    f.suctionPressure = pe;
    f.dischargePressure = pc;
    f.pressureRatio = pc / pe;

    // Heat rejection: the catalogue's, moved by the rating's correction of capacity; else
    // capacity plus the power input that stays in the gas.
    const double kept = rated.power * (1 - f.heatLossFraction);
    if (complete(columns.qr)) {
        f.heatRejection = capacityPolynomial(columns.qr, c.te, c.tc) +
                          (rated.capacity - capacityPolynomial(record.q, c.te, c.tc));
    } else {
        f.heatRejection = rated.capacity + kept;
        f.flags |= KPX_FIGURE_HEAT_REJECTION_ESTIMATED;
    }
    f.heatingCapacity = f.heatRejection;
    f.heatingCop = rated.power == 0 ? kNaN : f.heatRejection / rated.power;

    // Isentropic efficiency: the isentropic enthalpy rise to the discharge pressure over the
    // power input per unit of mass flow. Found before the discharge state from the energy
    // balance, whose search on the same isobar then starts from it.
    double t2s = 0, h2s = 0;
    const std::int32_t isentropic = isobar.vapourStatePS(refrigerant, pc, s1, &t2s, &h2s);
    if (isentropic == 5) {
        f.flags |= KPX_FIGURE_ISENTROPIC_WET;
    } else if (propertyOk(isentropic, h2s) && rated.power > 0) {
        const double eta = rated.massFlow * (h2s - h1) / rated.power;
        if (eta > 1 || !(eta > 0))
            f.flags |= KPX_FIGURE_ISENTROPIC_IMPLAUSIBLE;
        else
            f.isentropicEfficiency = eta;
    }

    // Discharge temperature: the catalogue's, or the gas heated by what stays of the power.
    // The catalogue's holds at its base suction gas temperature; at another, the gas leaves
    // at the same ratio of absolute temperatures, as a gas compressed over the same pressure
    // ratio does (1 K more suction superheat gives about 1.3 K more at discharge).
    if (complete(columns.td)) {
        const double baseSuction = record.shBase != NoValue    ? teK + record.shBase
                                   : record.rgtBase != NoValue ? record.rgtBase + kKelvin
                                                               : t1;
        f.dischargeTemperature =
            (capacityPolynomial(columns.td, c.te, c.tc) + kKelvin) * t1 / baseSuction - kKelvin;
    } else {
        f.flags |= KPX_FIGURE_DISCHARGE_ESTIMATED;
        double t2 = 0, s2 = 0;
        if (rated.massFlow > 0 &&
            propertyOk(isobar.vapourStatePH(refrigerant, pc, h1 + kept / rated.massFlow, &t2, &s2),
                       t2))
            f.dischargeTemperature = t2 - kKelvin;
    }
    if (columns.tdMax != NoValue && f.dischargeTemperature > columns.tdMax)
        f.flags |= KPX_FIGURE_ABOVE_MAX_DISCHARGE;

    // Volumetric efficiency: the mass flow over the swept volume filled at suction density.
    if (columns.displacement != NoValue && columns.speed != NoValue && columns.displacement > 0 &&
        columns.speed > 0) {
        const double swept = columns.displacement * 1e-6 * columns.speed / 60;
        const double eta = rated.massFlow * v1 / swept;
        if (eta > 1 || !(eta > 0))
            f.flags |= KPX_FIGURE_VOLUMETRIC_IMPLAUSIBLE;
        else
            f.volumetricEfficiency = eta;
    } else {
        f.flags |= KPX_FIGURE_NO_DISPLACEMENT;
    }
    // A catalogue's polynomial that overflows gives no figure, never an infinity.
    for (double* x : {&f.heatRejection, &f.heatingCapacity, &f.heatingCop, &f.dischargeTemperature,
                      &f.maxDischargeTemperature})
        if (!std::isfinite(*x))
            *x = kNaN;
    f.status = KPX_FIGURES_OK;
    return f;
}

} // namespace kpx

// Rating a model above the refrigerant's critical pressure: its gas-cooler curves
// (capacity in Te and the gas-cooler outlet enthalpy, power in Te and the gas-cooler
// pressure), their envelope, the states of the cycle, and the gas-cooler pressure of the
// highest COP.
#pragma once

#include <kpx_calc.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "kpx/catalogue_schema.h"
#include "kpx/rating.h"

namespace kpx {

// The optional transcritical columns of a model (kGasCoolerCapacityColumns, ...); NoValue
// where absent. tdMax is the model's TdMax.
struct GasCoolerColumns {
    std::array<double, 10> q{}, p{};
    double shBase = NoValue, teLow = NoValue, teHig = NoValue, pLow = NoValue, pHig = NoValue;
    double hLow = NoValue, hHig = NoValue, pdMax = NoValue, prMax = NoValue, qTgc = NoValue;
    double tdMax = NoValue;
    std::string_view technology;

    GasCoolerColumns() {
        q.fill(NoValue);
        p.fill(NoValue);
    }
    // Both curves, the base superheat and the Te and pressure ranges: the model rates
    // transcritical.
    bool present() const;
    // Calls `visit(columnName, double&)` for every numeric column above.
    template <typename Visitor> void forEachColumn(Visitor&& visit);
};

// The property calls of states off the saturation curve.
class StateProperties {
public:
    virtual ~StateProperties() = default;
    // Enthalpy (J/kg), entropy (J/(kg K)) and density (kg/m3) at T (K) and p (Pa), on either
    // side of the critical pressure.
    virtual std::int32_t stateTP(const char* refrigerant, double t, double p, double* h, double* s,
                                 double* rho) = 0;
    virtual std::int32_t criticalPoint(const char* refrigerant, double* tc, double* pc) = 0;
    // Temperature (K) and entropy of the gas at p and h; a failure leaves the discharge
    // temperature to a search along the isobar with stateTP.
    virtual std::int32_t vapourStatePH(const char* refrigerant, double p, double h, double* t,
                                       double* s) = 0;
};

// A transcritical operating point: Te, tgc and the liquid line in degC (the liquid line NaN
// where there is none), pgc in Pa, the superheats in K.
struct GasCoolerPoint {
    double te = 0, pgc = 0, tgc = 0, sh1 = 0, sh2 = 0, liquidLine = 0;
};

// Every number NaN, code KPX_NOT_FOUND.
KPX_TranscriticalResult noTranscriticalResult();

// Rates the model at the point; a negative code leaves every figure NaN.
KPX_TranscriticalResult rateTranscritical(const GasCoolerColumns& model, const char* refrigerant,
                                          const GasCoolerPoint& point, PropertyProvider& properties,
                                          StateProperties& states, const char* dataDirectory);

// The rating at the gas-cooler pressure of the highest COP at point.te and point.tgc
// (point.pgc is not read), searched within the model's envelope: a scan of the range, then
// a golden-section search around its best pressure.
KPX_TranscriticalResult
optimumGasCoolerPressure(const GasCoolerColumns& model, const char* refrigerant,
                         const GasCoolerPoint& point, PropertyProvider& properties,
                         StateProperties& states, const char* dataDirectory);

template <typename Visitor> void GasCoolerColumns::forEachColumn(Visitor&& visit) {
    for (std::size_t i = 0; i < 10; ++i)
        visit(kGasCoolerCapacityColumns[i], q[i]);
    for (std::size_t i = 0; i < 10; ++i)
        visit(kGasCoolerPowerColumns[i], p[i]);
    double* limits[] = {&shBase, &teLow, &teHig, &pLow, &pHig, &hLow, &hHig, &pdMax, &prMax, &qTgc};
    static_assert(std::size(limits) == kGasCoolerLimitColumns.size());
    for (std::size_t i = 0; i < kGasCoolerLimitColumns.size(); ++i)
        visit(kGasCoolerLimitColumns[i], *limits[i]);
    visit(kMaxDischargeColumn, tdMax);
}

} // namespace kpx

// The figures of a rating besides capacity: pressures, discharge temperature, heat
// rejection, efficiencies and heating figures, from the rating's result, the model's
// optional catalogue columns and the refrigerant's properties.
#pragma once

#include <kpx_calc.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "kpx/catalogue_schema.h"
#include "kpx/rating.h"

namespace kpx {

// A figure that could not be given.
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Kelvin at 0 degC.
inline constexpr double kKelvin = 273.15;

// A property call that answered with a finite value.
inline bool propertyOk(std::int32_t status, double value) {
    return status == 0 && std::isfinite(value);
}

// The optional columns of a model that the figures read; NoValue where absent.
// Td0..Td9: discharge temperature (degC) and Qr0..Qr9: heat rejection (W), polynomials in
// the capacity polynomial's form at the model's base conditions; TdMax: the highest
// discharge temperature allowed (degC); Displacement (cm3 per revolution) and Speed (rpm).
struct FigureColumns {
    std::array<double, 10> td{}, qr{};
    double tdMax = NoValue, displacement = NoValue, speed = NoValue;
    std::string_view technology; // "Scroll", "Reciprocating", or empty when unknown

    FigureColumns() {
        td.fill(NoValue);
        qr.fill(NoValue);
    }
    // Calls `visit(columnName, double&)` for every numeric column above.
    template <typename Visitor> void forEachColumn(Visitor&& visit);
};

// The property calls beyond the rating's: entropy and the vapour states along an isobar.
class IsobarProperties {
public:
    virtual ~IsobarProperties() = default;
    virtual std::int32_t vapourEntropy(const char* refrigerant, double t, double p, double* s) = 0;
    virtual std::int32_t vapourStatePS(const char* refrigerant, double p, double s, double* t,
                                       double* h) = 0;
    virtual std::int32_t vapourStatePH(const char* refrigerant, double p, double h, double* t,
                                       double* s) = 0;
};

// Every number NaN, no flag, status NotRated.
KPX_Figures noFigures();

// The heat that leaves a compressor's shell, as a fraction of its power input, by
// technology (see the README): hermetic scroll 5 %, hermetic reciprocating 8 %, others 5 %.
double heatLossFraction(std::string_view technology);

// The figures of `rated`, the rating of `record` at `c`: NaN everywhere and status
// NotRated when the rating failed (Supercritical when Tc lies above the saturation curve).
KPX_Figures ratingFigures(const RatingRecord& record, const FigureColumns& columns,
                          const Conditions& c, const RatingResult& rated,
                          PropertyProvider& properties, IsobarProperties& isobar);

template <typename Visitor> void FigureColumns::forEachColumn(Visitor&& visit) {
    for (std::size_t i = 0; i < 10; ++i)
        visit(kDischargeColumns[i], td[i]);
    for (std::size_t i = 0; i < 10; ++i)
        visit(kHeatRejectionColumns[i], qr[i]);
    visit(kMaxDischargeColumn, tdMax);
    visit(std::string_view("Displacement"), displacement);
    visit(std::string_view("Speed"), speed);
}

} // namespace kpx

// The physical compressor model: a refrigerant cycle point from the property library,
// and a compressor of given displacement, speed, motor and supply working at it.
#pragma once

#include "kvcat/range.h"

#include <asere/fluid.h>
#include <memory>
#include <stdexcept>

namespace kvcat {

class ThermoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr double kZeroCelsius = 273.15;

// The thermodynamics of one operating point that don't depend on the compressor.
// Temperatures in degC, pressures in Pa, enthalpies in J/kg, volumes in m3/kg.
struct CyclePoint {
    double te = 0, tc = 0, tSuction = 0, sc = 0;
    double pe = 0, pc = 0;
    double v1 = 0;     // suction gas specific volume
    double h1 = 0;     // suction gas enthalpy
    double s1 = 0;     // suction gas entropy
    double dhIs = 0;   // isentropic enthalpy rise from pe to pc
    double effect = 0; // refrigerating effect: suction gas enthalpy minus liquid enthalpy
    double ratio() const { return pc / pe; }
};

// The refrigerant side, on the property library. Every failure throws ThermoError
// naming the refrigerant and the state.
class Thermo {
public:
    explicit Thermo(std::shared_ptr<const asere::Fluid> fluid);
    const std::string& name() const { return fluid_->name(); }

    // The cycle at evaporating te and condensing tc (dew points, degC), suction gas at
    // tSuction (degC) and liquid subcooled by sc (K) below the bubble point at the
    // condensing pressure. The refrigerating effect counts the whole suction superheat,
    // as the rating's base conditions do.
    CyclePoint cycle(double te, double tc, double tSuction, double sc) const;
    // The cycle of a transcritical point: suction gas at tSuction (degC) and the dew
    // pressure of te, gas-cooler pressure pgc (Pa), expansion from the outlet enthalpy hOut
    // (J/kg); `tc` is left NaN.
    CyclePoint gasCoolerCycle(double te, double pgc, double hOut, double tSuction) const;
    // Enthalpy (J/kg) of the single-phase state at t (degC) and p (Pa), also above the
    // critical pressure.
    double enthalpy(double t, double p) const;
    // Discharge temperature (degC) for compression with isentropic efficiency etaIs.
    double dischargeTemperature(const CyclePoint& point, double etaIs) const;
    double dewPressure(double t) const;       // degC -> Pa
    double dewTemperature(double p) const;    // Pa -> degC
    double bubbleTemperature(double p) const; // Pa -> degC
    // The refrigerating effect alone (suction gas enthalpy less liquid enthalpy, J/kg), as
    // the rating takes it at (te, tc), suction gas at tSuction and subcooling sc.
    double effect(double te, double tc, double tSuction, double sc) const;
    double criticalTemperature() const; // degC
    double maxTemperature() const;      // degC, upper end of the equation of state

private:
    // Liquid as the rating takes it: bubble point at the condensing pressure pc, less the
    // subcooling sc.
    double liquidEnthalpy(double pc, double sc) const;
    std::shared_ptr<const asere::Fluid> fluid_;
};

struct MotorRating {
    double efficiency = 0.9;
    double powerFactor = 0.85;
};

struct Performance {
    double capacity = 0; // W
    double power = 0;    // W, electrical input
    double current = 0;  // A, line current
    double massFlow = 0; // kg/s
};

// One compressor: its displacement, speed, motor and supply, and the family physics.
class Compressor {
public:
    // `rated` is the family's typical point at this compressor's base conditions; the
    // motor is sized for the shaft power there; `motor` gives its efficiency and power
    // factor at rated load.
    Compressor(const Physics& physics, double displacementCm3, const Supply& supply,
               MotorRating motor, const CyclePoint& rated);

    double volumetricEfficiency(double pressureRatio) const;
    double isentropicEfficiency(double pressureRatio) const;
    Performance at(const CyclePoint& point) const;

private:
    double motorEfficiency(double load) const;
    double shaftPower(const CyclePoint& point) const;

    Physics physics_;
    double displacement_; // cm3
    Supply supply_;
    double motorEta_;
    double swept_; // m3/s
    double ratedShaft_ = 0;
    double friction_ = 0; // W
    double reactiveCurrent_ = 0;
};

// Isentropic efficiency of compression at a pressure ratio: highest at the built-in
// ratio, falling on both sides (over- and under-compression).
double isentropicEfficiency(const Physics& physics, double pressureRatio);

// The motor of a displacement within the family's span: efficiency and power factor at
// rated load, both rising on a log scale from the smallest to the largest size.
MotorRating motorForSize(const Physics& physics, double displacement, double smallest,
                         double largest);

} // namespace kvcat

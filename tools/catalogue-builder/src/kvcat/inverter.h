// Inverter-driven compressors of the demo range: the physical model at a shaft speed and
// the models built from it, one polynomial set per published speed. The range file's
// "inverters" list describes them; each series belongs to one family of the code lists and
// is offered on one power supply (the drive's).
#pragma once

#include "kvcat/catalogue.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kvcat {

// How the physics change with speed (rev/s).
struct SpeedPhysics {
    std::vector<double> speeds; // published speeds, rising
    double nominal = 60;        // one of them
    // Leakage: its share of the swept gas at the family's leakage, given at this speed, and
    // inversely proportional to speed (the leak flow doesn't depend on speed).
    double leakageSpeed = 50;
    // Suction and valve losses: a fall of the volumetric efficiency of suctionLoss at the
    // highest published speed, with the square of speed.
    double suctionLoss = 0.03;
    // Isentropic efficiency: times 1 - k ln(n / optimum)^2, k = etaLow below the optimum
    // speed and etaHigh above it.
    double optimum = 60, etaLow = 0.03, etaHigh = 0.14;
    // The drive: efficiency, standby input as a share of the rated input, input power factor.
    double driveEfficiency = 0.97, driveStandby = 0.005, drivePowerFactor = 0.95;
    // Envelope: TcHig lower by tcDropLow K at the lowest speed, TeHig lower by teDropHigh K
    // at the highest, linearly from the nominal speed.
    double tcDropLow = 10, teDropHigh = 8;
};

struct InverterSeries {
    Range range; // holds the series as its one family, with the range's code lists
    int supplyCode = 0;
    SpeedPhysics speed;
    const Family& family() const { return range.families.front(); }
};

// The series of a range file ("inverters", none when absent). Throws RangeError.
std::vector<InverterSeries> parseInverters(const std::string& jsonText);
std::vector<InverterSeries> loadInverters(const std::filesystem::path& rangeFile);

struct InverterModel {
    Model nominal;              // the set at the nominal speed, the model table's line
    std::vector<Model> sets;    // one per published speed
    std::vector<double> speeds; // rev/s, of the sets
    double nominalSpeed = 0;
};

// Performance of one inverter compressor at a cycle point and speed.
Performance inverterPerformance(const Family& family, const SpeedPhysics& speed,
                                double displacement, const Supply& supply, const CyclePoint& rated,
                                const CyclePoint& point, double rev);

// Every model of the series, in order (series, refrigerant, size). The models point into
// the series, which must outlive them (hence no temporaries).
std::vector<InverterModel> buildInverters(const std::vector<InverterSeries>& series,
                                          const asere::FluidLibrary& fluids);
std::vector<InverterModel> buildInverters(std::vector<InverterSeries>&& series,
                                          const asere::FluidLibrary& fluids) = delete;

// The model table's lines of the models (without header), and the speed file's text
// (with its header; empty when there are no models).
std::string inverterModelLines(const std::vector<InverterModel>& models);
std::string inverterSpeedsText(const std::vector<InverterModel>& models);

} // namespace kvcat

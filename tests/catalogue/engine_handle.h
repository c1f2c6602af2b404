// The real rating engine of a temporary program directory, bound as the front end binds
// it; each directory's library is a file of its own, so every test has its own engine
// instance and catalogue.
#pragma once

#include "kv/binding.h"
#include "kv/codelists.h"
#include "programdir.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvcat {

struct Rating {
    int32_t code = 0;
    double capacity = 0, power = 0, current = 0, massFlow = 0, cop = 0;
};

class Engine {
public:
    // Lays out a program directory with the given catalogue texts (the speed file when
    // `speeds` isn't empty) and loads it.
    Engine(const std::string& codes, const std::string& models, const std::string& speeds = {});
    const kv::EngineApi& api() const { return api_; }

    // Numbers and display texts of a code list ("DLLR", "DLLF", "DLLP") in enumeration order.
    std::vector<kv::CodeEntry> codeList(const std::string& list) const;
    // Model numbers matching the codes (0 = any), in catalogue order.
    std::vector<int32_t> models(int32_t refrigerant, int32_t family, int32_t power) const;
    std::string field(int32_t model, const std::string& column) const;
    double number(int32_t model, const std::string& column) const;
    Rating rate(int32_t model, double te, double tc, double sc, double sh1, double sh2) const;
    // Transcritical rating at a gas-cooler pressure (Pa) and outlet temperature, no liquid
    // line; and at the pressure of the highest COP.
    KPX_TranscriticalResult rateTranscritical(int32_t model, double te, double pgc, double tgc,
                                              double sh1, double sh2) const;
    KPX_TranscriticalResult optimum(int32_t model, double te, double tgc, double sh1,
                                    double sh2) const;

private:
    kv::ProgramDir dir_;
    kv::EngineApi api_;
};

// Reads a file whole, as bytes.
std::string readFile(const std::string& path);

} // namespace kvcat

// Helpers of the engine tests: catalogues from texts, a temporary data directory and a
// recording test double of the property library.
#pragma once

#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "catalogue.h"
#include "rating.h"

namespace kpxtest {

inline kpx::Catalogue catalogueFrom(std::string_view codes, std::string models) {
    kpx::Catalogue c;
    c.readCodes(codes);
    c.readModels(std::move(models));
    return c;
}

// A fresh directory below the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The directory with a trailing "/", as the engine joins file names to it.
    std::string slash() const { return path_.string() + "/"; }
    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

// `base` with the entries of `changes` added or replaced.
inline std::map<std::string, double> merged(std::map<std::string, double> base,
                                            const std::map<std::string, double>& changes) {
    for (const auto& [name, value] : changes)
        base[name] = value;
    return base;
}

// A rating record from column names and numbers; every other column is absent.
kpx::RatingRecord recordWith(const std::map<std::string, double>& columns);

// Records every call and answers with simple closed forms:
//   saturation pressure 100 * T, bubble temperature p / 100 - 0.25,
//   liquid enthalpy 1500 * T, vapour enthalpy 1e5 + 1000 * T + 0.001 * p, volume T / p.
// `override` may replace the answer of one call, given its 0-based index among the nine
// property calls.
class FakeProperties final : public kpx::PropertyProvider {
public:
    struct Call {
        std::string function;
        std::string refrigerant;
        double a = 0, b = 0;
    };
    std::vector<Call> calls;
    std::function<std::int32_t(std::size_t index, double& value)> override;

    void revision(char** text) override;
    void setDataDirectory(const char* directory) override;
    std::int32_t saturationPressure(const char* r, double t, double* p) override;
    std::int32_t bubbleTemperature(const char* r, double p, double* t) override;
    std::int32_t liquidEnthalpy(const char* r, double t, double* h) override;
    std::int32_t vapourEnthalpy(const char* r, double t, double p, double* h) override;
    std::int32_t vapourVolume(const char* r, double t, double p, double* v) override;

private:
    std::int32_t answer(const char* function, const char* r, double a, double b, double value,
                        double* out);
    std::size_t propertyCalls_ = 0;
};

} // namespace kpxtest

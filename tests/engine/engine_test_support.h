// Helpers of the engine tests: catalogues from texts, a temporary directory and a
// recording test double of the property library.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "kpx/catalogue.h"
#include "kpx/rating.h"

namespace kpx {

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

// The fluid files `fluids` in `dir`/fluids: a link where the system makes one (Wine
// doesn't), else a copy.
void provideFluids(const std::filesystem::path& fluids, const TempDir& dir);

// A ten-coefficient polynomial at x and y, its terms in the suffix order of "Q0".."Q9"
// (1, x, y, x², xy, y², x³, x²y, xy², y³), summed in that order.
double polynomial(const std::array<double, 10>& k, double x, double y);

using Columns = std::map<std::string, double>;
// `base` with the entries of `changes` added or replaced.
Columns merged(Columns base, const Columns& changes);
// A rating record from column names and numbers; every other column is absent.
kpx::RatingRecord recordWith(const Columns& columns);

// Records every call and answers with simple closed forms: saturation pressure 100 T,
// bubble temperature p / 100 - 0.25, liquid enthalpy 1500 T, vapour enthalpy
// 1e5 + 1000 T + 0.001 p, volume T / p. `override` may change the answer and the status
// of a property call, given its 0-based index among the nine.
class FakeProperties final : public kpx::PropertyProvider {
public:
    struct Call {
        std::string function, text;
        double a = 0, b = 0;
    };
    std::vector<Call> calls;
    std::function<std::int32_t(std::size_t index, double& value)> override;

    void revision(char** text) override;
    void setDataDirectory(const char* directory) override;
    std::int32_t saturationPressure(const char* r, double t, double* p) override {
        return answer("pressure", r, t, 0, 100 * t, p);
    }
    std::int32_t bubbleTemperature(const char* r, double p, double* t) override {
        return answer("bubble", r, p, 0, p / 100 - 0.25, t);
    }
    std::int32_t liquidEnthalpy(const char* r, double t, double* h) override {
        return answer("liquid", r, t, 0, 1500 * t, h);
    }
    std::int32_t vapourEnthalpy(const char* r, double t, double p, double* h) override {
        return answer("vapour", r, t, p, 1e5 + 1000 * t + 0.001 * p, h);
    }
    std::int32_t vapourVolume(const char* r, double t, double p, double* v) override {
        return answer("volume", r, t, p, t / p, v);
    }

private:
    std::int32_t answer(const char* function, const char* r, double a, double b, double value,
                        double* out);
};

} // namespace kpx

#include "engine_test_support.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace kpxtest {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kpx-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("can't create a temporary directory");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& content) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("can't write " + name);
}

kpx::RatingRecord recordWith(const std::map<std::string, double>& columns) {
    kpx::RatingRecord r;
    std::size_t used = 0;
    kpx::forEachRatingColumn(r, [&](std::string_view name, double& value) {
        const auto it = columns.find(std::string(name));
        value = kpx::NoValue;
        if (it != columns.end()) {
            value = it->second;
            ++used;
        }
    });
    if (used != columns.size())
        throw std::invalid_argument("recordWith: a column the rating does not read");
    return r;
}

void FakeProperties::revision(char** text) {
    (*text)[0] = '\0';
    calls.push_back({"revision", "", 0, 0});
}

void FakeProperties::setDataDirectory(const char* directory) {
    calls.push_back({"directory", directory, 0, 0});
}

std::int32_t FakeProperties::answer(const char* function, const char* r, double a, double b,
                                    double value, double* out) {
    calls.push_back({function, r, a, b});
    std::int32_t status = 0;
    if (override)
        status = override(propertyCalls_, value);
    ++propertyCalls_;
    *out = value;
    return status;
}

std::int32_t FakeProperties::saturationPressure(const char* r, double t, double* p) {
    return answer("pressure", r, t, 0, 100 * t, p);
}
std::int32_t FakeProperties::bubbleTemperature(const char* r, double p, double* t) {
    return answer("bubble", r, p, 0, p / 100 - 0.25, t);
}
std::int32_t FakeProperties::liquidEnthalpy(const char* r, double t, double* h) {
    return answer("liquid", r, t, 0, 1500 * t, h);
}
std::int32_t FakeProperties::vapourEnthalpy(const char* r, double t, double p, double* h) {
    return answer("vapour", r, t, p, 1e5 + 1000 * t + 0.001 * p, h);
}
std::int32_t FakeProperties::vapourVolume(const char* r, double t, double p, double* v) {
    return answer("volume", r, t, p, t / p, v);
}

} // namespace kpxtest

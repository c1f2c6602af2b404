#include "engine_test_support.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#ifdef _WIN32
#include <windows.h>
#endif

namespace kpx {

TempDir::TempDir() {
#ifdef _WIN32
    // No mkdtemp: a folder named after the process and a count, made if it is new.
    static int made = 0;
    const auto base = std::filesystem::temp_directory_path() /
                      ("kpx-test-" + std::to_string(GetCurrentProcessId()) + "-");
    do
        path_ = base.string() + std::to_string(++made);
    while (!std::filesystem::create_directory(path_));
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "kpx-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("can't create a temporary directory");
    path_ = pattern;
#endif
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& content) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    if (!(out << content))
        throw std::runtime_error("can't write " + name);
}

Columns merged(Columns base, const Columns& changes) {
    for (const auto& [name, value] : changes)
        base[name] = value;
    return base;
}

kpx::RatingRecord recordWith(const Columns& columns) {
    kpx::RatingRecord r;
    std::size_t used = 0;
    kpx::forEachRatingColumn(r, [&](std::string_view name, double& value) {
        const auto it = columns.find(std::string(name));
        used += it != columns.end();
        value = it != columns.end() ? it->second : kpx::NoValue;
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
    const std::size_t index = calls.size() - 2; // after revision and directory
    calls.push_back({function, r, a, b});
    const std::int32_t status = override ? override(index, value) : 0;
    *out = value;
    return status;
}

void provideFluids(const std::filesystem::path& fluids, const TempDir& dir) {
    std::error_code linked;
    std::filesystem::create_directory_symlink(fluids, dir.path() / "fluids", linked);
    if (linked)
        std::filesystem::copy(fluids, dir.path() / "fluids",
                              std::filesystem::copy_options::recursive);
}

double polynomial(const std::array<double, 10>& k, double x, double y) {
    const double t[10] = {1, x, y, x * x, x * y, y * y, x * x * x, x * x * y, x * y * y, y * y * y};
    double sum = 0;
    for (int i = 0; i < 10; ++i)
        sum += k[i] * t[i];
    return sum;
}

} // namespace kpx

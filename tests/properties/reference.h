// Reference property tables (tab-separated, one header line) and the fluids they cover.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace asere {

inline std::filesystem::path referenceDir() {
    return KV_PROPERTY_REFERENCE_DIR;
}
inline std::filesystem::path fluidsDir() {
    return KV_FLUIDS_DIR;
}

// A reference fluid: the tables' file prefix and the refrigerant name the catalogue uses.
// Blends with a glide are pseudo-pure (R404A to R507A) or mixtures of pure fluids.
struct RefFluid {
    const char* prefix;
    const char* name;
    bool blend;
};

inline const std::vector<RefFluid>& referenceFluids() {
    static const std::vector<RefFluid> fluids = {
        {"R134a", "R134a", false},         {"R22", "R22", false},     {"R32", "R32", false},
        {"R290", "R290", false},           {"R600a", "R600a", false}, {"R1234yf", "R1234yf", false},
        {"R1234zeE", "R1234ze(E)", false}, {"R1270", "R1270", false}, {"R404A", "R404A", true},
        {"R407C", "R407C", true},          {"R410A", "R410A", true},  {"R507A", "R507A", true},
        {"R454B", "R454B", true},          {"R513A", "R513A", true},  {"R448A", "R448A", true},
        {"R449A", "R449A", true},          {"R744", "R744", false},
    };
    return fluids;
}

// Names the rows of a test over every reference fluid.
inline std::string fluidName(const ::testing::TestParamInfo<RefFluid>& info) {
    return info.param.prefix;
}

// Rows of numbers, columns in the file's order.
inline std::vector<std::vector<double>> readTable(const std::string& file, std::size_t columns) {
    std::ifstream in(referenceDir() / file);
    if (!in)
        throw std::runtime_error("missing reference table " + file);
    std::string line;
    std::getline(in, line); // header
    std::vector<std::vector<double>> rows;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::vector<double> row;
        std::istringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t'))
            row.push_back(std::strtod(cell.c_str(), nullptr));
        if (row.size() != columns)
            throw std::runtime_error("bad row in " + file + ": " + line);
        rows.push_back(std::move(row));
    }
    return rows;
}

// Largest deviation of one quantity over a table, with the row where it occurred.
class Worst {
public:
    Worst(const char* what, double limit, bool relative)
        : what_(what), limit_(limit), relative_(relative) {}

    void check(double got, double want, double at) {
        ++rows_;
        const double dev = std::abs(relative_ ? (got - want) / want : got - want);
        const double size = std::isnan(dev) ? INFINITY : dev;
        if (size > worst_)
            worst_ = size, at_ = at;
        if (size > limit_ && failures_++ < 5)
            ADD_FAILURE() << what_ << " at " << at << ": got " << got << ", reference " << want;
    }
    // Expects the worst deviation within the limit and describes it.
    std::string report() const {
        EXPECT_GT(rows_, 0) << what_;
        EXPECT_LE(worst_, limit_) << what_ << " worst at " << at_;
        char buf[96];
        std::snprintf(buf, sizeof buf, relative_ ? "%s %.1e %%" : "%s %.1e", what_,
                      relative_ ? 100 * worst_ : worst_);
        return buf;
    }

private:
    const char* what_;
    double limit_;
    bool relative_;
    double worst_ = 0, at_ = NAN;
    int rows_ = 0, failures_ = 0;
};

} // namespace asere

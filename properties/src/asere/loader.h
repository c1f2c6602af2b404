// Reading fluid files.
#pragma once

#include "asere/fluid.h"
#include "asere/fluid_data.h"

#include <nlohmann/json_fwd.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace asere {

// Complaints about one file's content: each names the file (its origin) first.
class FileComplaints {
public:
    explicit FileComplaints(std::string origin) : origin_(std::move(origin)) {}
    [[noreturn]] void fail(const std::string& what) const {
        throw FluidError(Status::BadFluidFile, origin_ + ": " + what);
    }
    // The JSON document of a file's text; a text that is no JSON is a complaint.
    nlohmann::json parse(std::string_view text) const;

private:
    std::string origin_;
};

// The fluid described by a fluid file's text; throws FluidError (BadFluidFile).
std::unique_ptr<FluidData> parseFluid(std::string_view text, const std::string& origin);
// The content of a regular file, at most one byte more than a fluid file may hold;
// throws FluidError (BadFluidFile).
std::string readFile(const std::filesystem::path& file);
// The fluid name and aliases a file declares; empty when it can't be read.
std::vector<std::string> fluidNames(const std::filesystem::path& file);

} // namespace asere

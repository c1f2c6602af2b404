// A test's own folder of input files, removed after it, and the import into a catalogue.
#pragma once

#include "catalogue_text.h"
#include "kvcat/import.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace kvcat {

class TempFiles : public ::testing::Test {
protected:
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kv_import_" + std::to_string(::getpid()));
    asere::FluidLibrary fluids{sourceData("fluids")};
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path write(const std::string& name, const std::string& text) const {
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    }
    CatalogueTexts import(const std::vector<ImportFile>& files, const CatalogueTexts& old = {}) {
        return mergeCatalogue(old, importFiles(files, fluids).models);
    }
};

} // namespace kvcat

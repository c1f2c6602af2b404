// A program directory with the default code lists and a suite's own model table, and the
// built engine and property library bound to it, once for the whole test suite.
#pragma once

#include "kv/binding.h"
#include "programdir.h"
#include "test_catalogue.h"

#include <gtest/gtest.h>

#include <memory>

namespace kv {

template <std::vector<TestModel> (*Models)()> class BoundCatalogue : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<ProgramDir>(codesFile(defaultCodes()), modelsFile(Models()));
        bound_ = bindLibraries(dir_->path().string());
        if (bound_.ok)
            initializeEngine(bound_.api, dir_->path().string());
    }
    static void TearDownTestSuite() { dir_.reset(); }
    void SetUp() override { ASSERT_TRUE(bound_.ok) << bound_.message; }

    static inline std::unique_ptr<ProgramDir> dir_;
    static inline BindResult bound_;
};

} // namespace kv

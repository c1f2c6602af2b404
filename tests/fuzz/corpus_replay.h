// Replays a fuzzing corpus in a unit test, so that every build covers its inputs.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// In an unnamed namespace: each test program that replays a corpus has its own copy.
namespace {

// Calls `exercise(data, size)` with every input of the corpus folder `dir`.
template <typename Exercise>
void replayCorpus(const std::filesystem::path& dir, Exercise exercise) {
    std::size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), {});
        SCOPED_TRACE(entry.path().filename().string());
        exercise(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        ++inputs;
    }
    EXPECT_GT(inputs, 0u);
}

} // namespace

// Replays the fuzzing corpus of the catalogue loader, so that every build covers it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "catalogue_exercise.h"

TEST(FuzzCorpus, EveryInputLoadsAndAnswersQueries) {
    const std::filesystem::path corpus = KPX_FUZZ_CORPUS_DIR;
    std::size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), {});
        SCOPED_TRACE(entry.path().filename().string());
        kpxfuzz::exerciseCatalogue(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        ++inputs;
    }
    EXPECT_GT(inputs, 0u);
}

// libFuzzer entry: both catalogue files from one input.
#include <cstddef>
#include <cstdint>

#include "catalogue_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kpx::exerciseCatalogue(data, size);
    return 0;
}

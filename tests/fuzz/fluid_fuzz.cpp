// libFuzzer entry: the text of one fluid file.
#include <cstddef>
#include <cstdint>

#include "fluid_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    asere::exerciseFluid(data, size);
    return 0;
}

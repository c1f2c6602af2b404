// Loads a catalogue from one byte string holding both files and runs every query over it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kpx {

// Input layout: two bytes (little-endian) give the length n of the code-list file, the
// next n bytes are "kpxcodes.bin", the rest is "kpxcalc.bin" and is also read as
// "kpxspeed.bin".
void exerciseCatalogue(const std::uint8_t* data, std::size_t size);

} // namespace kpx

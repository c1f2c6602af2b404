// Loads a fluid from one byte string (the text of a fluid file) and asks it for the
// properties a rating needs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace asere {

// Aborts when a file is refused with another status than BadFluidFile, or when a property
// call gives a value that is neither finite with status 0 nor NaN with a status. Returns
// whether the fluid was loaded.
bool exerciseFluid(const std::uint8_t* data, std::size_t size);

} // namespace asere

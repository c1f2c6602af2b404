// Handing texts to a caller's buffer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace kpx {

// The caller's buffer holds 255 bytes and the zero byte.
inline constexpr std::size_t MaxTextLength = 255;

// Writes `text` into the buffer `*out` points to, cut at its first zero byte and at
// MaxTextLength bytes, followed by a zero byte. Returns the number of bytes written
// before the zero byte.
inline std::int32_t writeText(char* out, std::string_view text) {
    std::size_t n = text.find('\0');
    if (n == std::string_view::npos)
        n = text.size();
    if (n > MaxTextLength)
        n = MaxTextLength;
    if (n > 0)
        std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<std::int32_t>(n);
}

} // namespace kpx

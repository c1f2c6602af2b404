// Handing texts to a caller's buffer.
#pragma once

#include <kpx_calc.h>

#include <cstdint>
#include <cstring>
#include <string_view>

namespace kpx {

// The caller's buffer holds this many bytes and the zero byte.
inline constexpr std::size_t kMaxTextLength = KPX_TEXT_SIZE - 1;

// Writes `text` into the buffer `*out` points to, cut at its first zero byte and at
// kMaxTextLength bytes, followed by a zero byte. Returns the number of bytes written
// before the zero byte.
inline std::int32_t writeText(char* out, std::string_view text) {
    std::size_t n = text.find('\0');
    if (n == std::string_view::npos)
        n = text.size();
    if (n > kMaxTextLength)
        n = kMaxTextLength;
    if (n > 0)
        std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<std::int32_t>(n);
}

} // namespace kpx

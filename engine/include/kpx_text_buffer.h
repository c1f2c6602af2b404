// A caller's buffer for the text results of the engine's and the property library's
// exports, for the C++ programs that call them (front end, tests, benchmarks).
#pragma once

#include "asere32.h"
#include "kpx_calc.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace kpx {

template <std::size_t Size> class BasicTextBuffer {
public:
    // Every byte but the last is `fill`; the last is zero.
    explicit BasicTextBuffer(char fill = '\0') { reset(fill); }
    BasicTextBuffer(const BasicTextBuffer&) = delete;
    BasicTextBuffer& operator=(const BasicTextBuffer&) = delete;

    // Fills the buffer again, as before a call that must not see an earlier text.
    void reset(char fill = '\0') {
        std::fill(bytes_, bytes_ + Size - 1, fill);
        bytes_[Size - 1] = '\0';
    }
    // What an export's `text` argument takes: the address of a pointer to the buffer.
    char** address() {
        pointer_ = bytes_;
        return &pointer_;
    }
    // The text, cut at its first zero byte and never longer than Size - 1 bytes,
    // whatever the export wrote.
    std::string text() const { return std::string(bytes_, std::find(bytes_, end(), '\0')); }

private:
    const char* end() const { return bytes_ + Size - 1; }

    char bytes_[Size];
    char* pointer_ = bytes_;
};

using TextBuffer = BasicTextBuffer<KPX_TEXT_SIZE>;
using PropertyTextBuffer = BasicTextBuffer<ILK_TEXT_SIZE>;

} // namespace kpx

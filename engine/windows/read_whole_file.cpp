// Reading a catalogue file on Windows: the path is an ANSI text, used as the caller gave
// it; the file is opened for reading with sharing denied to others and read in binary,
// so a file another process holds open counts as missing and CRLF line ends reach the
// line reader unchanged.
#include "kpx/catalogue.h"

#include <windows.h>

namespace kpx {

std::optional<std::string> readWholeFile(const std::string& path) {
    // A path of MAX_PATH characters or more counts as missing, as the file functions of
    // a program without long-path support treat it.
    if (path.size() >= MAX_PATH || path.find('\0') != std::string::npos)
        return std::nullopt;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    struct HandleCloser {
        HANDLE h;
        ~HandleCloser() { CloseHandle(h); }
    } closer{file};
    // Only a file on a disk: a pipe or a device in its place is not read.
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) || size.QuadPart < 0)
        return std::nullopt;
    std::string content;
    content.resize(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == content.size())
            content.resize(content.size() * 2 + 4096);
        const std::size_t room = content.size() - used;
        const DWORD ask = room > 0x40000000u ? 0x40000000u : static_cast<DWORD>(room);
        DWORD got = 0;
        if (!ReadFile(file, content.data() + used, ask, &got, nullptr))
            return std::nullopt;
        if (got == 0)
            break;
        used += got;
    }
    content.resize(used);
    return content;
}

} // namespace kpx

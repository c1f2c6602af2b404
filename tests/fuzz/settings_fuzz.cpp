// libFuzzer entry: the settings store as a hand-edited or damaged file.
//
// The input is the store's text. A first byte 1, 2 or 3 also puts a store at a path: 1 a
// named pipe, 2 a symbolic link to a file holding the rest of the input, 3 a regular
// file holding it. Reading gives texts that are UTF-8 without control characters and
// never blocks; a save's text reads back as the same choices, and saving it again
// changes nothing; nothing is written to a pipe or through a link.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

#include "kv/settingsfile.h"

namespace {

char scratchDir[] = "/tmp/kv-settings-fuzz-XXXXXX";

void removeScratch() {
    for (const char* file : {"/store.conf", "/target.conf"})
        ::unlink((std::string(scratchDir) + file).c_str());
    ::rmdir(scratchDir);
}

// A folder of this run's own, removed when the run ends.
const std::string& scratch() {
    static const std::string dir = [] {
        if (::mkdtemp(scratchDir) == nullptr)
            std::abort();
        std::atexit(removeScratch);
        return std::string(scratchDir);
    }();
    return dir;
}

void writeFile(const std::string& path, std::string_view text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const int kind = size > 0 && data[0] >= 1 && data[0] <= 3 ? data[0] : 0;
    if (kind != 0)
        input.remove_prefix(1);
    const std::string store = scratch() + "/store.conf", target = scratch() + "/target.conf";
    if (kind != 0) {
        ::unlink(store.c_str());
        ::unlink(target.c_str());
    }

    const kv::SettingsText text(input);
    const kv::StoredChoices choices = text.choices();
    for (const std::string* value : choices.values())
        for (const char c : *value)
            check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);

    if (kind == 1) {
        check(::mkfifo(store.c_str(), 0600) == 0);
        check(kv::loadStoredChoices(store) == kv::StoredChoices{});
        check(!kv::saveStoredChoices(store, choices));
        struct stat st {};
        check(::lstat(store.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    } else if (kind == 2) {
        writeFile(target, input);
        check(::symlink(target.c_str(), store.c_str()) == 0);
        check(kv::loadStoredChoices(store) == choices);
        check(!kv::saveStoredChoices(store, kv::StoredChoices{}));
        check(readFile(target) == input);
    } else if (kind == 3) {
        writeFile(store, input);
        check(kv::loadStoredChoices(store) == choices);
        check(kv::saveStoredChoices(store, choices));
        check(readFile(store) == text.withChoices(choices));
    }
    const std::string saved = text.withChoices(choices);
    const kv::SettingsText again(saved);
    check(again.choices() == choices && again.withChoices(choices) == saved);
    return 0;
}

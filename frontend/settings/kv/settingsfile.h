// The settings store's file, read and written by the program itself.
//
// The store is the INI file that QSettings keeps for the program's native user-scope
// settings (<configuration folder>/<name>/<name>.conf), group "Settings", every value a
// string. The program keeps that format, so the file stays a QSettings store, but it
// reads and writes the file itself, because QSettings can't be told what it must not do:
// - it opens whatever lies at the path, and a named pipe there blocks start-up for ever;
// - it saves by writing through a symbolic link, replacing the link's target;
// - its reader lets one malformed line (an open quote, a backslash at the end) swallow
//   the lines after it, and the next save wrote defaults over the choices it had lost.
//
// Here every line is read on its own. A line that the format's reader would join with
// the next one (an open quote, or a backslash at its end) is malformed: the key on it
// reads as its default, and the lines after it are read as they stand. A save keeps every line it
// doesn't own as it was and keeps a malformed line as a comment (";" in front), so nothing the
// store held is lost and no reader can run that line into the keys written after it.
//
// Plain C++ (no toolkit), so that the store's fuzz target can build it on its own.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// The group of the store that holds the choices.
inline constexpr const char* kSettingsGroup = "Settings";

// The fourteen keys, in the order they are written.
inline constexpr std::array<const char*, 14> kSettingsKeys{
    "Refrigerant", "Family",     "Voltage",        "Te",          "Tc",   "Sc",    "Sh1",
    "Sh2",         "Conditions", "TargetCapacity", "ModelFilter", "Freq", "Order", "Unit"};

// The texts of the fourteen keys. Default-constructed it holds what a missing key reads as.
struct StoredChoices {
    std::string refrigerant = "All";
    std::string family = "All";
    std::string voltage = "All";
    std::string te, tc, sc, sh1, sh2; // SI number texts
    std::string conditions;
    std::string targetCapacity; // W, or the field's text unchanged in SI
    std::string modelFilter;
    std::string freq = "1";  // "1": 50 Hz
    std::string order = "1"; // "1": order by model name
    std::string unit = "1";  // "1": °C - W

    // The fourteen texts in the order of kSettingsKeys.
    std::array<std::string*, 14> values();
    std::array<const std::string*, 14> values() const;

    bool operator==(const StoredChoices&) const = default;
};

// The UTF-8 byte-order mark some editors put at the start of a text file.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A store file larger than this is not read, and not written over.
inline constexpr std::size_t kMaxStoreBytes = 4 * 1024 * 1024;

// The text of a store file, line by line.
class SettingsText {
public:
    explicit SettingsText(std::string_view bytes = {});

    // The fourteen keys of group "Settings"; the last well-formed line of a key counts.
    // A key reads as its default when it is missing, when its line is malformed, or when
    // its value is no text (a point, a rectangle, a hand-written type tag), is not UTF-8
    // or holds a control character (an invisible zero character would make every search
    // fail).
    StoredChoices choices() const;

    // The text a save writes: the fourteen keys with the given values right after the
    // first "[Settings]" line (a new group at the end when there is none), every other
    // line as it was, malformed lines as comments. Line ends become "\n".
    std::string withChoices(const StoredChoices& choices) const;

private:
    enum class Kind { Other, Header, Key, Malformed };
    struct Line {
        std::string text;
        Kind kind = Kind::Other;
        std::string section; // the group the line belongs to ("" for [General])
        std::string key;
        std::optional<std::string> value; // a usable text, for the fourteen keys
    };
    std::vector<Line> lines_;
    bool byteOrderMark_ = false; // the text started with one; a save keeps it
};

// A text as the store writes a value: escaped, quoted where the format needs it, a
// leading "@" doubled.
std::string storeValueText(std::string_view text);

// The choices in the store at `path`, or the defaults where it holds none. Only a
// regular file (or a link to one) of at most kMaxStoreBytes is read; anything else, a
// named pipe or a device among them, is never opened for reading and gives the defaults.
StoredChoices loadStoredChoices(const std::string& path);

// Writes the choices into the store at `path`, keeping the rest of the store. Writes
// nothing, and gives false, when the store can't be read as above, when the path is a
// symbolic link or anything but a regular file, when the file belongs to another user,
// or when its owner made it read-only. The new text goes into a new file beside the store, which
// then replaces it.
bool saveStoredChoices(const std::string& path, const StoredChoices& choices);

} // namespace kv

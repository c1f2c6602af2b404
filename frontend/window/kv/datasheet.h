// Data sheets: the local PDF data sheet of a model and the maker's online data-sheet page.
//
// Both are handed to the desktop's document opener (StartDoc), which opens them with the
// program the desktop associates with them. The window keeps one opener; tests put in
// their own to see the exact name or address without opening anything.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace kv {

// The maker's online data-sheet page. It takes no query and does not depend on the model.
inline constexpr const char* kOnlineDatasheetAddress = "https://datasheets.korvane.example/odsg";

// Opens a local file or a web address with its associated program. Gives the outcome,
// which no caller shows: a missing file or viewer is silent.
using DocumentOpener = std::function<bool(const QUrl&)>;

// The desktop's own opener (QDesktopServices::openUrl).
DocumentOpener desktopOpener();

// What a local data sheet is looked up by.
struct DatasheetRequest {
    QString root;          // DatasheetRoot; may be empty
    QString model;         // column 2 of the selected grid row
    bool is50Hz = true;    // frequency of the shown results
    bool imperial = false; // "°F - Btu/h" selected
};

// A model name that stays a single file name below root + "/ds/": not empty, and no
// "/", "\" or zero character (so ".." can only ever be part of a file name there).
bool isSafeModelName(const QString& model);

// The data sheet's file name: root, "/ds/", the model, "_50" or "_60", "_us" in the
// imperial system, ".PDF". Nothing for an empty or unsafe model name.
std::optional<QString> datasheetFileName(const DatasheetRequest& request);

// StartDoc: hands a web address (http, https) or a local file name to `opener`. A
// relative file name is taken from the current directory.
bool StartDoc(const DocumentOpener& opener, const QString& docName);

// The click on btnDatasheet: opens the local data sheet when the request names a model
// safely. Gives false when nothing was handed to the opener. A name whose catalogue
// bytes are no UTF-8 names the file with those bytes, percent-encoded in the address.
// `modelBytes` are the catalogue's bytes of the model name; empty: the name's UTF-8.
bool openLocalDatasheet(const DocumentOpener& opener, const DatasheetRequest& request,
                        const QByteArray& modelBytes = {});

// The click on btnDatasheetOnLine.
bool openOnlineDatasheet(const DocumentOpener& opener);

} // namespace kv

// The look-ups of the window's start-up that need no window: the machine's volumes and
// the data-sheet root.
#pragma once

#include <QList>
#include <QString>

namespace kv {

// A mounted volume: its root path (mount point) and file-system type.
struct Volume {
    QString rootPath;
    QString fileSystemType;
};

// The machine's mounted volumes in the order the system lists them.
QList<Volume> mountedVolumes();

// DatasheetRoot: the argument text up to its first space (a leading space gives an empty
// root); with no argument text, the root of the first optical volume (iso9660 or udf);
// otherwise empty.
QString datasheetRootFrom(const QString& argumentText, const QList<Volume>& volumes);

} // namespace kv

#include "kv/startup.h"

#include <QStorageInfo>

namespace kv {

QList<Volume> mountedVolumes() {
    QList<Volume> volumes;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes())
        volumes.append({info.rootPath(), QString::fromLatin1(info.fileSystemType())});
    return volumes;
}

QString datasheetRootFrom(const QString& argumentText, const QList<Volume>& volumes) {
    if (!argumentText.isEmpty()) {
        const qsizetype space = argumentText.indexOf(QLatin1Char(' '));
        return space < 0 ? argumentText : argumentText.left(space);
    }
    for (const Volume& v : volumes) {
        const QString type = v.fileSystemType.toLower();
        if (type == QLatin1String("iso9660") || type == QLatin1String("udf"))
            return v.rootPath;
    }
    return {};
}

} // namespace kv

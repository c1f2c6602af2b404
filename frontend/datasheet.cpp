#include "datasheet.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace kvw {

DocumentOpener desktopOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

bool isSafeModelName(const QString& model) {
    if (model.isEmpty())
        return false;
    for (const QChar c : model) {
        if (c == u'/' || c == u'\\' || c == QChar(0))
            return false;
    }
    return true;
}

std::optional<QString> datasheetFileName(const DatasheetRequest& request) {
    if (!isSafeModelName(request.model))
        return std::nullopt;
    QString name = request.root + QStringLiteral("/ds/") + request.model +
                   (request.is50Hz ? QStringLiteral("_50") : QStringLiteral("_60"));
    if (request.imperial)
        name += QStringLiteral("_us");
    name += QStringLiteral(".PDF");

    // The model name carries no separator, so the file lies directly in root + "/ds/".
    // Checked once more on the cleaned absolute paths, so that no later change to the
    // name rule can let a data sheet be opened from anywhere else.
    const QString folder =
        QDir::cleanPath(QFileInfo(request.root + QStringLiteral("/ds")).absoluteFilePath());
    const QFileInfo file(QDir::cleanPath(QFileInfo(name).absoluteFilePath()));
    if (QDir::cleanPath(file.absolutePath()) != folder)
        return std::nullopt;
    return name;
}

bool startDoc(const DocumentOpener& opener, const QString& docName) {
    if (!opener || docName.isEmpty())
        return false;
    if (docName.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive) ||
        docName.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive))
        return opener(QUrl(docName, QUrl::StrictMode));
    return opener(QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(docName).absoluteFilePath())));
}

bool openLocalDatasheet(const DocumentOpener& opener, const DatasheetRequest& request) {
    const std::optional<QString> name = datasheetFileName(request);
    if (!name)
        return false;
    startDoc(opener, *name);
    return true;
}

bool openOnlineDatasheet(const DocumentOpener& opener) {
    startDoc(opener, QString::fromLatin1(kOnlineDatasheetAddress));
    return true;
}

} // namespace kvw

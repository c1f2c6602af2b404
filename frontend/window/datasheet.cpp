#include "kv/datasheet.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kv {

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

namespace {

// What follows the model name: the frequency, the unit suffix and the extension.
QString datasheetSuffix(const DatasheetRequest& request) {
    return (request.is50Hz ? QStringLiteral("_50") : QStringLiteral("_60")) +
           (request.imperial ? QStringLiteral("_us") : QString()) + QStringLiteral(".PDF");
}

QString datasheetFolder(const DatasheetRequest& request) {
    return QDir::cleanPath(QFileInfo(request.root + QStringLiteral("/ds")).absoluteFilePath());
}

} // namespace

std::optional<QString> datasheetFileName(const DatasheetRequest& request) {
    if (!isSafeModelName(request.model))
        return std::nullopt;
    const QString name =
        request.root + QStringLiteral("/ds/") + request.model + datasheetSuffix(request);

    // The model name carries no separator, so the file lies directly in root + "/ds/".
    // Checked once more on the cleaned absolute paths, so that no later change to the
    // name rule can let a data sheet be opened from anywhere else.
    const QString folder = datasheetFolder(request);
    const QFileInfo file(QDir::cleanPath(QFileInfo(name).absoluteFilePath()));
    if (QDir::cleanPath(file.absolutePath()) != folder)
        return std::nullopt;
    return name;
}

bool StartDoc(const DocumentOpener& opener, const QString& docName) {
    if (!opener || docName.isEmpty())
        return false;
    if (docName.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive) ||
        docName.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive))
        return opener(QUrl(docName, QUrl::StrictMode));
    return opener(QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(docName).absoluteFilePath())));
}

bool openLocalDatasheet(const DocumentOpener& opener, const DatasheetRequest& request,
                        const QByteArray& modelBytes) {
    const std::optional<QString> name = datasheetFileName(request);
    if (!name)
        return false;
    if (modelBytes.isEmpty() || modelBytes == request.model.toUtf8()) {
        StartDoc(opener, *name);
        return true;
    }
    // No text can hold bytes that are no UTF-8, so the address is built from the bytes:
    // percent-encoded, which the desktop's opener decodes to the same bytes.
    const QByteArray path = QFile::encodeName(datasheetFolder(request)) + '/' + modelBytes +
                            datasheetSuffix(request).toUtf8();
    if (opener)
        opener(QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode));
    return true;
}

bool openOnlineDatasheet(const DocumentOpener& opener) {
    StartDoc(opener, QString::fromLatin1(kOnlineDatasheetAddress));
    return true;
}

} // namespace kv

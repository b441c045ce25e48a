#include "scan/riegl/RieglPath.h"

namespace orthaven {

namespace {

constexpr char uriScheme[] = "file:";

} // namespace

bool isLatin1Text(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return false;
    }
    return true;
}

bool rieglProjectPathRefused(const QString& path)
{
    // The reader is chosen by the lower-cased ending, so "SITE.RSP" reaches the same
    // library and needs the same check.
    return path.endsWith(QLatin1String(".rsp"), Qt::CaseInsensitive) && !isLatin1Text(path);
}

QByteArray rieglScanUri(const QString& path)
{
    if (path.isEmpty() || !isLatin1Text(path))
        return {};
    return QByteArray(uriScheme) + path.toLatin1();
}

QString rieglPathFromUri(const char* uri)
{
    if (!uri)
        return {};
    const QByteArray text(uri);
    if (!text.startsWith(uriScheme) || text.size() == qsizetype(sizeof uriScheme) - 1)
        return {};
    return QString::fromLatin1(text.mid(qsizetype(sizeof uriScheme) - 1));
}

} // namespace orthaven

#include "platform/FilePaths.h"

#include <QDir>
#include <QFileInfo>

namespace orthaven {

QString filePathKey(const QString& path)
{
    QString key = QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath());
#ifdef Q_OS_WIN
    key = key.toCaseFolded();
#endif
    return key;
}

} // namespace orthaven

#include "platform/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace orthaven {

QString dataFolderFor(const QString& programFolder)
{
#ifndef Q_OS_WIN
    // Set by the build from its install directories.
    const QString installed = QDir::cleanPath(programFolder + QLatin1Char('/') +
                                              QStringLiteral(ORTHAVEN_DATA_FROM_PROGRAM));
    if (QFileInfo(installed).isDir())
        return installed;
#endif
    return programFolder;
}

QString dataFolder()
{
    return dataFolderFor(QCoreApplication::applicationDirPath());
}

} // namespace orthaven

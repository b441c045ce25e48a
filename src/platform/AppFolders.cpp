#include "platform/AppFolders.h"

#include "diag/Diagnostics.h"
#include "platform/AppPaths.h"
#include "settings/ConfigSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orthaven {

bool ensureAppFolders(bool emptyTemp)
{
    const QString maker = makerFolder();
    const QString product = productFolder();
    const QString temp = tempFolder();
    const QString config = configFilePath();

    QDir dir;
    if (QFileInfo::exists(maker)) {
        if (!QFileInfo::exists(product)) {
            diag::debug("create OV Path");
            dir.mkpath(product);
        }
    } else {
        diag::debug("create Full Path");
        dir.mkpath(maker);
        dir.mkpath(product);
        dir.mkpath(temp);
    }
    dir.mkpath(temp);

    // An empty file holds no setting of the user's: it is what an earlier start left when
    // the disk was full, and gets the defaults like a missing one.
    const QFileInfo configFile(config);
    if (configFile.exists() && (configFile.size() > 0 || !configFile.isFile())) {
        diag::debug("Config File exists");
    } else {
        diag::debug("Create Config File");
        writeConfig(defaultConfig(), config);
    }

    if (emptyTemp)
        clearFolder(temp, false);
    return true;
}

void clearFolder(const QString& path, bool removeSelf)
{
    const QDir dir(path);
    // Plain files first, then the sub-folders. A link is removed as a link and never
    // followed: emptying the temporary folder must not reach into the folder a link
    // points at.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || !entry.isDir())
            QFile::remove(path + QLatin1Char('/') + entry.fileName());
    }
    for (const QFileInfo& entry : entries) {
        if (!entry.isSymLink() && entry.isDir())
            clearFolder(path + QLatin1Char('/') + entry.fileName(), true);
    }

    if (removeSelf)
        QDir().rmdir(path);
}

} // namespace orthaven

#include "platform/AppPaths.h"

#include <QStandardPaths>
#include <QtGlobal>

namespace orthaven {

QString appDataFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("APPDATA");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString makerFolder()
{
    return appDataFolder() + QStringLiteral("/Brandmoor");
}
QString productFolder()
{
    return appDataFolder() + QStringLiteral("/Brandmoor/Orthaven");
}
QString tempFolder()
{
    return appDataFolder() + QStringLiteral("/Brandmoor/Orthaven/tmp");
}
QString configFilePath()
{
    return appDataFolder() + QStringLiteral("/Brandmoor/Orthaven/orthaven.cfg");
}
QString instanceLockPath()
{
    return appDataFolder() + QStringLiteral("/Brandmoor/Orthaven/orthaven.lock");
}

QString windowStatePath()
{
    return appDataFolder() + QStringLiteral("/Brandmoor/Orthaven/window.ini");
}

QString batchListPath()
{
    return appDataFolder() + QStringLiteral("/Brandmoor/Orthaven/batch-list.txt");
}

} // namespace orthaven

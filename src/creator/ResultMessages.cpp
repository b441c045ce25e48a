#include "creator/ResultMessages.h"

#include "engine/StatusReporter.h"

#include <QCoreApplication>
#include <QDir>

namespace orthaven {

QString resultCodeMessage(std::int32_t errorCode)
{
    switch (errorCode) {
    case NotEnoughMemory:
        return QCoreApplication::translate(
            "Layout", "Computation interrupted (Not enough Memory) !\n\nPlease reduce *Scanner "
                      "Range* or *Resolution*\nin \"orthaven.cfg\". and restart Orthaven!");
    case TempFileAccess:
        return QCoreApplication::translate("Layout", "Could not access a temporary file!");
    case NotEnoughData:
        return QCoreApplication::translate(
            "Layout",
            "Not enougth data in the choosen area!\nIncrease Crop size or use more Scans!");
    case LogFileAccess:
        return QCoreApplication::translate(
            "Layout", "Could not write the layout log file!\n\nThe tiles cannot be placed "
                      "without it.\nPlease choose an output folder you may write to!");
    case InvalidSettings:
        return QCoreApplication::translate(
            "Layout", "The layout settings are invalid!\n\nPlease check *Scan Radius*, *Tile "
                      "Size* and *Resolution*\nin \"orthaven.cfg\"!");
    case ScanSourceError:
        return QCoreApplication::translate(
            "Layout", "Could not read the scans!\n\nThe scan files may be damaged or incomplete.");
    default:
        return {};
    }
}

QString overviewPicturesWarning(const QStringList& paths)
{
    QStringList shown;
    for (const QString& path : paths)
        shown.append(QDir::toNativeSeparators(path));
    return QCoreApplication::translate("Layout",
                                       "The layout is complete, but its overview pictures could "
                                       "not all be written:\n%1")
        .arg(shown.join(QLatin1Char('\n')));
}

QString layoutResultMessage(bool interrupted, bool failed, std::int32_t errorCode)
{
    if (interrupted)
        return QCoreApplication::translate("Layout", "Computation interrupted!");
    if (failed)
        return resultCodeMessage(errorCode);
    return QCoreApplication::translate("Layout", "Computation successful!");
}

} // namespace orthaven

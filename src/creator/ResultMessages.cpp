#include "creator/ResultMessages.h"

#include "engine/StatusReporter.h"
#include "layout/LayoutLimits.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

namespace orthaven {

QString resultCodeMessage(std::int32_t errorCode)
{
    switch (errorCode) {
    case NotEnoughMemory:
        return QCoreApplication::translate(
            "Layout", "Computation interrupted: not enough memory!\n\nPlease choose a coarser "
                      "Image Resolution or a smaller Scan Radius\n(Modules > Layout Preferences).");
    case TempFileAccess:
        return QCoreApplication::translate("Layout", "Could not access a temporary file!");
    case NotEnoughData:
        return QCoreApplication::translate(
            "Layout", "Not enough data between the clipping planes!\nWiden the clipping planes or "
                      "use more scans!");
    case LogFileAccess:
        return QCoreApplication::translate(
            "Layout", "Could not write the layout log file!\n\nThe tiles cannot be placed "
                      "without it.\nPlease choose an output folder you may write to!");
    case InvalidSettings:
        return QCoreApplication::translate(
            "Layout", "The layout settings are invalid!\n\nPlease check the Scan Radius, the "
                      "Image Size and the Image Resolution\n(Modules > Layout Preferences).");
    case ScanSourceError:
        return QCoreApplication::translate(
            "Layout", "Could not read the scans!\n\nThe scan files may be damaged or incomplete.");
    case NoLayerData:
        return QCoreApplication::translate(
            "Layout", "None of the chosen scans holds intensity or colour values for this "
                      "layer!\n\nPlease choose the density layer or scans that carry them.");
    case OutputFolderAccess:
        return QCoreApplication::translate(
            "Layout", "Could not write the layout into its output folder!\n\nNothing in the "
                      "folder was changed; an older layout of the same name is still there.");
    case OutputLocked:
        return QCoreApplication::translate(
            "Layout", "Another run is writing a layout of this name into the output "
                      "folder!\n\nNothing was changed. Please wait until it has finished, or "
                      "choose another name.");
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

QString layoutFailureMessage(std::int32_t errorCode, double resolution, double tileSize,
                             const QString& failurePath, const QString& failureCause)
{
    if (errorCode == NotEnoughMemory && tileImagesTooLarge(resolution, tileSize))
        return tileLimitMessage(resolution, tileSize);
    QString message = resultCodeMessage(errorCode);
    if (message.isEmpty() || (failurePath.isEmpty() && failureCause.isEmpty()))
        return message;
    message += QStringLiteral("\n\n") + QDir::toNativeSeparators(failurePath);
    if (!failurePath.isEmpty() && !failureCause.isEmpty())
        message += QStringLiteral(": ");
    return message + failureCause;
}

namespace {

QString whereWritten(const QString& folder, int tiles)
{
    return QCoreApplication::translate("Layout", "Tiles written: %1\nFolder: %2")
        .arg(tiles)
        .arg(QDir::toNativeSeparators(folder));
}

} // namespace

QString layoutSuccessMessage(const QString& folder, int tiles)
{
    return QCoreApplication::translate("Layout", "Computation successful!") +
           QStringLiteral("\n\n") + whereWritten(folder, tiles);
}

QString damagedScansMessage(const std::vector<DamagedScan>& damaged, const QString& folder,
                            int tiles)
{
    return QCoreApplication::translate(
               "Layout", "The layout was written, but not every checked scan is in it whole:") +
           QStringLiteral("\n\n") + damagedScanLines(damaged, 8).join(QLatin1Char('\n')) +
           QStringLiteral("\n\n") + whereWritten(folder, tiles);
}

QString noScansReadMessage(const std::vector<DamagedScan>& damaged)
{
    return QCoreApplication::translate("Layout", "None of the chosen scans could be read:") +
           QStringLiteral("\n\n") + damagedScanLines(damaged, 8).join(QLatin1Char('\n'));
}

QString filesWithoutScansMessage(const QStringList& files)
{
    QStringList shown;
    for (const QString& file : files)
        shown.append(QDir::toNativeSeparators(file));
    return QCoreApplication::translate("Layout",
                                       "No scan was found in these files; they are left out:\n%1")
        .arg(shown.join(QLatin1Char('\n')));
}

QString outputFolderMessage(const OutputFolder& folder)
{
    const QString path = QDir::toNativeSeparators(folder.folder);
    switch (folder.outcome) {
    case OutputFolder::CannotCreate:
        return QCoreApplication::translate("Layout", "The output folder could not be created:\n"
                                                     "%1\n\nPlease choose another folder!")
            .arg(path);
    case OutputFolder::NotWritable:
        return QCoreApplication::translate("Layout", "The output folder cannot be written to:\n"
                                                     "%1\n\nPlease choose another folder!")
            .arg(path);
    case OutputFolder::Ready:
        break;
    }
    return {};
}

QString displayedStatusText(const std::string& engineText)
{
    const QString text = QString::fromStdString(engineText);
    static const QRegularExpression loading(QStringLiteral("^Loading Scan (\\d+) of (\\d+)$"));
    if (const QRegularExpressionMatch m = loading.match(text); m.hasMatch())
        return QCoreApplication::translate("Layout", "Loading Scan %1 of %2")
            .arg(m.captured(1), m.captured(2));
    // The stages' names, as the engine sets them.
    static const char* const stages[] = {
        QT_TRANSLATE_NOOP("Layout", "Preprocessing Tiles"),
        QT_TRANSLATE_NOOP("Layout", "Write Images"),
        QT_TRANSLATE_NOOP("Layout", "Write Thumbnail"),
        QT_TRANSLATE_NOOP("Layout", "Write Log File"),
        QT_TRANSLATE_NOOP("Layout", "Clean"),
    };
    for (const char* stage : stages) {
        if (text == QLatin1String(stage))
            return QCoreApplication::translate("Layout", stage);
    }
    return text;
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

#include "creator/OutputFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace orthaven {

OutputFolder prepareOutputFolder(const QString& outputFile)
{
    OutputFolder result;
    result.folder = QFileInfo(outputFile).absolutePath();
    for (QString missing = result.folder; !QFileInfo::exists(missing);) {
        result.created.append(missing);
        const QString parent = QFileInfo(missing).absolutePath();
        if (parent == missing)
            break;
        missing = parent;
    }
    if (!QDir().mkpath(result.folder) || !QFileInfo(result.folder).isDir()) {
        removeCreatedFolders(result.created);
        result.created.clear();
        result.outcome = OutputFolder::CannotCreate;
        return result;
    }
    // Better to learn it now than after the scans have been read.
    QTemporaryFile probe(result.folder + QStringLiteral("/.orthaven-probe-XXXXXX"));
    if (!probe.open()) {
        removeCreatedFolders(result.created);
        result.created.clear();
        result.outcome = OutputFolder::NotWritable;
    }
    return result;
}

void removeCreatedFolders(const QStringList& created)
{
    for (const QString& folder : created)
        QDir().rmdir(folder); // only when empty
}

} // namespace orthaven

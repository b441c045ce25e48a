#include "sketchup/PluginCopyList.h"

#include "diag/Diagnostics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace orthaven {

namespace {

// The companion files, relative to plugins/skpplugin in the program's tree and to
// Plugins in the SketchUp folder.
constexpr const char* companionFiles[] = {
    "orthaven.rbs",
    "orthavendata/createtoolbar.rbs",
    "orthavendata/base.rbs",
    "orthavendata/autodeloff_LG.png",
    "orthavendata/autodeloff_SM.png",
    "orthavendata/sel1_LG.png",
    "orthavendata/sel1_SM.png",
    "orthavendata/imp_LG.png",
    "orthavendata/imp_SM.png",
    "orthavendata/layout_LG.png",
    "orthavendata/layout_SM.png",
};

// A relative path written with "/" in the platform's own separators, after a separator.
QString below(const char* relative)
{
    return QDir::separator() + QDir::toNativeSeparators(QString::fromLatin1(relative));
}

void printPath(const QString& path)
{
    diag::debug(path.toLocal8Bit().constData());
}

// Copies source over destination through a temporary file beside it that replaces the
// destination only once it is complete, so a failed copy leaves an earlier installation's
// file as it was.
bool replaceWithCopy(const QString& source, const QString& destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buffer[64 * 1024];
    while (true) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (out.write(buffer, got) != got)
            return false;
    }
    return out.commit();
}

} // namespace

bool PluginCopyEntry::isFolder() const
{
    return destination.endsWith(QDir::separator());
}

QString sketchUpExecutable(const QString& sketchUpFolder)
{
    return sketchUpFolder + below("SketchUp.exe");
}

PluginCopyList buildPluginCopyList(const QString& base, const QString& sketchUpFolder)
{
    PluginCopyList list;
    const QString dataFolder = sketchUpFolder + below("Plugins/orthavendata");
    if (!QFileInfo(dataFolder).isDir()) {
        const QString folderEntry = dataFolder + QDir::separator();
        list.push_back({folderEntry, folderEntry});
    }
    const QString sources = base + below("plugins/skpplugin");
    const QString destinations = sketchUpFolder + below("Plugins");
    for (const char* file : companionFiles)
        list.push_back({sources + below(file), destinations + below(file)});
    return list;
}

bool runPluginCopyList(const PluginCopyList& list, const std::function<void(int)>& onStep)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (onStep)
            onStep(static_cast<int>(i + 1));
        const PluginCopyEntry& entry = list[i];
        if (entry.isFolder()) {
            if (!QDir().mkdir(entry.destination))
                return false;
            continue;
        }
        printPath(entry.source);
        printPath(entry.destination);
        if (!replaceWithCopy(entry.source, entry.destination))
            return false;
    }
    return true;
}

} // namespace orthaven

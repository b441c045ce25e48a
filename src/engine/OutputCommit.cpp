#include "engine/OutputCommit.h"

#include "diag/Diagnostics.h"
#include "layoutlog/LayoutFiles.h"
#include "layoutlog/LogReader.h"
#include "platform/FileReplace.h"
#include "platform/ProcessLiveness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace orthaven {

namespace {

// The files the log at path names, when it is a readable layout log.
QStringList filesNamedBy(const QString& logPath)
{
    if (!QFileInfo(logPath).isFile())
        return {};
    const LogReader reader(logPath);
    return reader.ok() ? layoutFileNames(reader.info()) : QStringList();
}

bool existsAsEntry(const QFileInfo& info)
{
    return info.exists() || info.isSymLink(); // a dangling link is an entry too
}

} // namespace

OutputCommit::~OutputCommit()
{
    discard();
}

bool OutputCommit::begin(const QString& log, const QString& token)
{
    discard();
    const QFileInfo info(log);
    folder = info.absolutePath();
    logPath = info.absoluteFilePath();
    failed.clear();
    const QString name = QStringLiteral(".orvn-%1-%2").arg(qint64(currentProcessId())).arg(token);
    QDir dir(folder);
    for (int k = 0; k < 100; ++k) {
        const QString candidate = k == 0 ? name : name + QLatin1Char('-') + QString::number(k);
        if (dir.mkdir(candidate)) {
            staging = dir.filePath(candidate);
            return true;
        }
        if (!dir.exists(candidate))
            break; // the folder cannot be made at all
    }
    return false;
}

QString OutputCommit::stage(const QString& finalPath)
{
    if (!isOpen())
        return {}; // nowhere to write: every writer fails on an empty path
    const QString final = QFileInfo(finalPath).absoluteFilePath();
    for (const Staged& f : files)
        if (f.final == final)
            return f.staged;
    files.push_back({staging + QLatin1Char('/') + QFileInfo(final).fileName(), final});
    return files.back().staged;
}

bool OutputCommit::isBlocked(const QString& finalPath)
{
    const QFileInfo target(finalPath);
    return target.isDir() && !target.isSymLink();
}

bool OutputCommit::commit()
{
    failed.clear();
    if (!isOpen())
        return false;
    const QDir out(folder);

    // The log goes last; before it, the other files in the order they were staged.
    std::vector<Staged> order;
    const Staged* log = nullptr;
    QSet<QString> written;
    for (const Staged& f : files) {
        written.insert(QFileInfo(f.final).fileName());
        if (f.final == logPath)
            log = &f;
        else
            order.push_back(f);
    }
    if (log)
        order.push_back(*log);

    // What the new layout makes stale: the older layout's files, and its own sheet.
    QStringList stale;
    QStringList named = filesNamedBy(logPath);
    if (log)
        named += filesNamedBy(log->staged);
    for (const QString& name : std::as_const(named)) {
        if (!written.contains(name)) {
            written.insert(name); // once
            stale.append(name);
        }
    }

    // Nothing moves while a folder stands in the way of a file.
    for (const Staged& f : order) {
        if (isBlocked(f.final)) {
            failed = f.final;
            return false;
        }
    }

    // Aside: the old log first, so that no old log ever describes new tiles.
    const QString aside = staging + QStringLiteral("/.replaced");
    if (!QDir().mkpath(aside)) {
        failed = aside;
        return false;
    }
    QStringList targets;
    if (log)
        targets.append(logPath);
    for (const Staged& f : order)
        if (f.final != logPath)
            targets.append(f.final);
    for (const QString& name : std::as_const(stale))
        targets.append(out.filePath(name));

    std::vector<std::pair<QString, QString>> movedAside; // (original, where it is now)
    std::vector<Staged> placed;
    const auto rollBack = [&]() {
        for (auto it = placed.rbegin(); it != placed.rend(); ++it)
            replaceFile(it->final, it->staged);
        for (auto it = movedAside.rbegin(); it != movedAside.rend(); ++it)
            if (!replaceFile(it->second, it->first))
                diag::error("ERROR: could not put back " + it->first.toStdString());
    };
    for (const QString& target : std::as_const(targets)) {
        const QFileInfo info(target);
        if (!existsAsEntry(info) || (info.isDir() && !info.isSymLink()))
            continue; // a stale name taken by a folder is not the layout's
        const QString keep = aside + QLatin1Char('/') + info.fileName();
        if (!replaceFile(target, keep)) {
            failed = target;
            rollBack();
            return false;
        }
        movedAside.emplace_back(target, keep);
    }

    for (const Staged& f : order) {
        if (!replaceFile(f.staged, f.final)) {
            failed = f.final;
            rollBack();
            return false;
        }
        placed.push_back(f);
    }
    files.clear();
    discard(); // the replaced files with it
    return true;
}

void OutputCommit::discard()
{
    // Links in it are removed, never followed.
    if (!staging.isEmpty())
        QDir(staging).removeRecursively();
    staging.clear();
    files.clear();
}

} // namespace orthaven

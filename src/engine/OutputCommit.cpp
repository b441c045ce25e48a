#include "engine/OutputCommit.h"

#include "diag/Diagnostics.h"
#include "layoutlog/LayoutFiles.h"
#include "layoutlog/LogReader.h"
#include "platform/DurableFile.h"
#include "platform/FilePaths.h"
#include "platform/FileReplace.h"
#include "platform/ProcessEnd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>
#include <QUrl>

#include <functional>

namespace orthaven {

namespace {

const QString prefix = QStringLiteral(".orvn-");
const QString lockSuffix = QStringLiteral(".lock");
const QString stagingSuffix = QStringLiteral(".staging");
const QString journalName = QStringLiteral("journal");
const QString asideName = QStringLiteral(".replaced");
const QByteArray journalHeader = "Orthaven commit journal 1";

QString inFolder(const QString& folder, const QString& name)
{
    return folder + QLatin1Char('/') + name;
}

QString stagingPathOf(const QString& folder, const QString& base)
{
    return inFolder(folder, prefix + base + stagingSuffix);
}

std::string utf8(const QString& s)
{
    return s.toStdString();
}

bool existsAsEntry(const QFileInfo& info)
{
    return info.exists() || info.isSymLink(); // a dangling link is an entry too
}

bool exists(const QString& path)
{
    return existsAsEntry(QFileInfo(path));
}

bool isFolder(const QFileInfo& info)
{
    return info.isDir() && !info.isSymLink();
}

// The files the log at path names, when it is a readable layout log.
QStringList filesNamedBy(const QString& logPath)
{
    if (!QFileInfo(logPath).isFile())
        return {};
    const LogReader reader(logPath);
    return reader.ok() ? layoutFileNames(reader.info()) : QStringList();
}

// The moves of one commit, by file name: aside from the output folder into the staging
// folder's ".replaced", then in from the staging folder.
struct Journal
{
    QStringList aside;
    QStringList place;
};

QByteArray journalText(const Journal& journal)
{
    QByteArray text = journalHeader + '\n';
    for (const QString& name : journal.aside)
        text += "aside " + QUrl::toPercentEncoding(name) + '\n';
    for (const QString& name : journal.place)
        text += "place " + QUrl::toPercentEncoding(name) + '\n';
    return text + "end\n";
}

// False for a missing journal, or one that is not whole (it is put in place whole, so
// that means a foreign file): the commit then never began.
bool readJournal(const QString& path, Journal& journal)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.size() < 3 || lines.front() != journalHeader || lines[lines.size() - 2] != "end")
        return false;
    for (qsizetype k = 1; k + 2 < lines.size(); ++k) {
        const QByteArray& line = lines[k];
        const QString name = QUrl::fromPercentEncoding(line.mid(6));
        if (!isPlainFileName(name))
            return false;
        if (line.startsWith("aside "))
            journal.aside.append(name);
        else if (line.startsWith("place "))
            journal.place.append(name);
        else
            return false;
    }
    return true;
}

// Makes every move of the journal that is not made yet; a move already made is known by
// where its file is. So it serves the commit and, after a kill, the next run alike.
bool rollForward(const QString& out, const QString& staging, const Journal& journal,
                 const std::function<void()>& moved, QString& failedPath, QString& why)
{
    const QString aside = inFolder(staging, asideName);
    if (!QDir().mkpath(aside)) {
        failedPath = aside;
        why = QStringLiteral("cannot create the folder");
        return false;
    }
    const QSet<QString> placed(journal.place.cbegin(), journal.place.cend());
    for (const QString& name : journal.aside) {
        if (placed.contains(name) && !exists(inFolder(staging, name)))
            continue; // the new file is in its place already
        const QFileInfo current(inFolder(out, name));
        if (!existsAsEntry(current) || isFolder(current))
            continue;
        if (!replaceFile(current.filePath(), inFolder(aside, name), &why)) {
            failedPath = current.filePath();
            return false;
        }
        moved();
    }
    for (const QString& name : journal.place) {
        const QString from = inFolder(staging, name);
        if (!exists(from))
            continue;
        if (!replaceFile(from, inFolder(out, name), &why)) {
            failedPath = inFolder(out, name);
            return false;
        }
        moved();
    }
    return true;
}

// Undoes the moves of the journal that were made. False when a file could not be put back.
bool rollBack(const QString& out, const QString& staging, const Journal& journal)
{
    bool whole = true;
    for (auto it = journal.place.crbegin(); it != journal.place.crend(); ++it) {
        const QString back = inFolder(staging, *it);
        if (!exists(back) && exists(inFolder(out, *it)))
            whole = replaceFile(inFolder(out, *it), back) && whole;
    }
    const QString aside = inFolder(staging, asideName);
    for (auto it = journal.aside.crbegin(); it != journal.aside.crend(); ++it) {
        if (exists(inFolder(aside, *it)) &&
            !replaceFile(inFolder(aside, *it), inFolder(out, *it))) {
            diag::error("ERROR: could not put back " + utf8(inFolder(out, *it)));
            whole = false;
        }
    }
    return whole;
}

// What a run that ended early left in its staging folder: a commit it began is completed
// (or, when a move fails, undone); then the folder goes. False when it has to stay.
bool settleStaging(const QString& out, const QString& staging, const QString& base)
{
    const std::string layout = utf8(base) + " in " + utf8(out);
    Journal journal;
    if (readJournal(inFolder(staging, journalName), journal)) {
        QString failedPath;
        QString why;
        if (rollForward(
                out, staging, journal, [] {}, failedPath, why)) {
            diag::warning("WARNING: completed the interrupted commit of the layout " + layout);
        } else if (rollBack(out, staging, journal)) {
            diag::warning("WARNING: undid the interrupted commit of the layout " + layout + " (" +
                          utf8(failedPath) + ": " + utf8(why) + ")");
        } else {
            diag::error("ERROR: the interrupted commit in " + utf8(staging) +
                        " can neither be completed nor undone");
            return false;
        }
        syncFolder(out);
    }
    if (!QDir(staging).removeRecursively()) {
        diag::error("ERROR: could not remove " + utf8(staging));
        return false;
    }
    diag::debug("Removed the staging folder of a run that ended early: " + utf8(staging));
    return true;
}

// The step of the commit after which the test seam ends the process, as a kill would.
int killStep()
{
    bool ok = false;
    const int step = qEnvironmentVariableIntValue("ORTHAVEN_TEST_KILL_IN_COMMIT", &ok);
    return ok ? step : -1;
}

} // namespace

QString layoutLockPath(const QString& logPath)
{
    const QFileInfo log(logPath);
    return inFolder(log.absolutePath(), prefix + log.completeBaseName() + lockSuffix);
}

OutputCommit::OutputCommit() = default;

OutputCommit::~OutputCommit()
{
    discard();
}

bool OutputCommit::fail(const QString& path, const QString& why)
{
    failed = path;
    cause = why;
    return false;
}

void OutputCommit::reached(int step) const
{
    static const int stop = killStep();
    if (step == stop)
        killProcessNow();
}

OutputCommit::Opening OutputCommit::begin(const QString& log)
{
    discard();
    const QFileInfo info(log);
    folder = info.absolutePath();
    logPath = info.absoluteFilePath();
    base = info.completeBaseName();
    failed.clear();
    cause.clear();
    if (!QFileInfo(folder).isDir()) {
        fail(folder, QFileInfo::exists(folder) ? QStringLiteral("not a folder")
                                               : QStringLiteral("no such folder"));
        return Opening::Failed;
    }

    auto held = std::make_unique<QLockFile>(layoutLockPath(logPath));
    held->setStaleLockTime(0); // only an ended process gives its lock up, however long it runs
    // A moment's wait: another run may hold the lock while it removes what an ended run of
    // this name left; a run that computes holds it far longer.
    if (!held->tryLock(500)) {
        if (held->error() != QLockFile::LockFailedError) {
            fail(layoutLockPath(logPath), QStringLiteral("cannot create the lock file"));
            return Opening::Failed;
        }
        qint64 pid = 0;
        QString host;
        QString program;
        held->getLockInfo(&pid, &host, &program);
        if (program.isEmpty())
            program = QStringLiteral("another run");
        fail(logPath,
             QStringLiteral("in use by %1, process %2 on %3").arg(program).arg(pid).arg(host));
        return Opening::Locked;
    }
    lock = std::move(held);

    // Before anything else: what runs that ended early left here. A name whose lock can be
    // had belongs to no running copy.
    const QString own = filePathKey(stagingPathOf(folder, base));
    const QStringList left = QDir(folder).entryList(
        {prefix + QLatin1Char('*') + stagingSuffix, prefix + QLatin1Char('*') + lockSuffix},
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QSet<QString> settled;
    for (const QString& entry : left) {
        const QString suffix = entry.endsWith(lockSuffix) ? lockSuffix : stagingSuffix;
        const QString name = entry.mid(prefix.size(), entry.size() - prefix.size() - suffix.size());
        const QString stagingPath = stagingPathOf(folder, name);
        if (settled.contains(name))
            continue;
        settled.insert(name);
        if (filePathKey(stagingPath) == own) {
            if (exists(stagingPath) && !settleStaging(folder, stagingPath, name)) {
                fail(stagingPath, QStringLiteral("an interrupted commit is left there"));
                return Opening::Failed;
            }
            continue;
        }
        QLockFile other(inFolder(folder, prefix + name + lockSuffix));
        other.setStaleLockTime(0);
        if (!other.tryLock(0))
            continue; // a running copy's
        if (exists(stagingPath))
            settleStaging(folder, stagingPath, name);
        other.unlock(); // and so the lock file of the ended run goes
    }

    staging = stagingPathOf(folder, base);
    if (!QDir(folder).mkdir(QFileInfo(staging).fileName())) {
        const QString path = staging;
        staging.clear();
        fail(path, QStringLiteral("cannot create the folder"));
        lock.reset();
        return Opening::Failed;
    }
    return Opening::Opened;
}

QString OutputCommit::stage(const QString& finalPath)
{
    if (!isOpen())
        return {}; // nowhere to write: every writer fails on an empty path
    const QString final = QFileInfo(finalPath).absoluteFilePath();
    for (const Staged& f : files)
        if (f.final == final)
            return f.staged;
    files.push_back({inFolder(staging, QFileInfo(final).fileName()), final});
    return files.back().staged;
}

bool OutputCommit::isBlocked(const QString& finalPath)
{
    return isFolder(QFileInfo(finalPath));
}

bool OutputCommit::commit()
{
    failed.clear();
    cause.clear();
    if (!isOpen())
        return false;

    // In: the new files in the order they were staged, the log last.
    const QString logName = QFileInfo(logPath).fileName();
    Journal journal;
    QSet<QString> written;
    bool withLog = false;
    for (const Staged& f : files) {
        const QString name = QFileInfo(f.final).fileName();
        written.insert(name);
        if (f.final == logPath)
            withLog = true;
        else
            journal.place.append(name);
    }
    if (withLog)
        journal.place.append(logName);
    for (const QString& name : std::as_const(journal.place)) {
        if (isBlocked(inFolder(folder, name)))
            return fail(inFolder(folder, name), QStringLiteral("a folder stands in its place"));
        if (!exists(inFolder(staging, name)))
            return fail(inFolder(folder, name), QStringLiteral("the file was not written"));
    }

    // Out: what the new files replace, and what they make stale: the older layout's files
    // and those the new log names but the run did not write (a sheet that was not drawn).
    // Only names of the layout's own go, whatever a log says.
    QStringList stale;
    QStringList named = filesNamedBy(logPath);
    if (withLog)
        named += filesNamedBy(inFolder(staging, logName));
    for (const QString& name : std::as_const(named)) {
        if (written.contains(name))
            continue;
        written.insert(name); // once
        if (isLayoutFileName(base, name))
            stale.append(name);
        else if (exists(inFolder(folder, name)))
            diag::warning("WARNING: the older layout log names " + utf8(name) +
                          ", which is not a file of the layout " + utf8(base) + ": left in place");
    }
    QStringList leaving;
    if (withLog)
        leaving.append(logName); // first: no older log ever describes new tiles
    leaving += journal.place;
    leaving += stale;
    QSet<QString> listed;
    for (const QString& name : std::as_const(leaving)) {
        const QFileInfo current(inFolder(folder, name));
        if (!listed.contains(name) && existsAsEntry(current) && !isFolder(current))
            journal.aside.append(name);
        listed.insert(name);
    }

    // 1. Everything staged is on the disk, then the journal, before anything moves.
    QString why;
    reached(0);
    if (!QDir().mkpath(inFolder(staging, asideName)) || !syncFolder(staging, &why))
        return fail(staging, why.isEmpty() ? QStringLiteral("cannot create the folder") : why);
    const QString journalPath = inFolder(staging, journalName);
    if (!writeFileDurably(journalPath, journalText(journal), QStringLiteral("journal"), false,
                          &why) ||
        !syncFolder(staging, &why))
        return fail(journalPath, why);
    int step = 1;
    reached(step);

    // 2. The moves; 3. the output folder synced, the staging folder removed.
    QString failedPath;
    const bool moved = rollForward(
        folder, staging, journal, [&] { reached(++step); }, failedPath, why);
    if (moved && !syncFolder(folder, &why))
        failedPath = folder;
    if (!moved || !failedPath.isEmpty()) {
        if (rollBack(folder, staging, journal)) {
            QFile::remove(journalPath);
        } else {
            keepStaging = true; // with its journal: the next run tries again
            diag::error("ERROR: the older layout could not be put back whole; the next run "
                        "into " +
                        utf8(folder) + " completes the new one");
        }
        syncFolder(folder);
        return fail(failedPath, why);
    }
    reached(++step);
    files.clear();
    QFile::remove(journalPath);
    QDir(staging).removeRecursively(); // the replaced files with it
    staging.clear();
    reached(++step);
    discard();
    return true;
}

void OutputCommit::discard()
{
    // Links in it are removed, never followed.
    if (!staging.isEmpty() && !keepStaging)
        QDir(staging).removeRecursively();
    staging.clear();
    files.clear();
    keepStaging = false;
    lock.reset(); // unlocks
}

} // namespace orthaven

#pragma once
// Keeps the files of a layout out of the output folder until the whole layout is done, and
// puts them in place so that neither a failure nor a kill leaves a mix of two layouts.
//
// A run holds its layout's name in the output folder from begin() to the end: the lock
// file ".orvn-<base>.lock" (QLockFile; the lock of a process that has ended is taken
// over). Its files are written into the name's staging folder ".orvn-<base>.staging",
// each synced to the disk. commit() then
//   1. syncs the staging folder and writes the journal there: every move it will make;
//   2. moves the files it replaces or removes aside into the staging folder (the older
//      log first) and the new files to their names (the log last);
//   3. syncs the output folder and removes the staging folder with the older files.
// A move that fails puts everything back. A run killed in the middle leaves its journal:
// the next run into the folder, whatever its layout's name, completes that commit before
// it does anything else, and removes staging folders without a journal (runs that ended
// before their commit). Only files with the layout's own names are ever moved or removed.

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QLockFile;

namespace orthaven {

class OutputCommit
{
public:
    OutputCommit();
    ~OutputCommit(); // discards what was not committed
    OutputCommit(const OutputCommit&) = delete;
    OutputCommit& operator=(const OutputCommit&) = delete;

    enum class Opening
    {
        Opened,
        Locked, // another run holds the layout's name; failure() names it
        Failed, // the folder cannot take the lock or the staging folder; failure() says why
    };
    // Takes the lock of the layout whose log is logPath, settles what killed runs left in
    // its folder and makes the staging folder.
    Opening begin(const QString& logPath);
    bool isOpen() const { return !staging.isEmpty(); }
    QString stagingFolder() const { return staging; }

    // Where the file that is to become finalPath (a file beside the log) is written until
    // the commit. Calling it again for the same file gives the same path. Empty when no
    // staging folder is open.
    QString stage(const QString& finalPath);
    // True when a folder stands where the file is to go: the commit would fail, so the
    // writer may give up at once.
    static bool isBlocked(const QString& finalPath);

    // Moves every staged file to its name and releases the lock. The files of the layout
    // the new log replaces (its tiles with their world files, thumbnail and sheet, as its
    // log names them) and the files the new log names but the run did not write go, as
    // far as their names are the layout's own (isLayoutFileName); other names an older log
    // gives are left and reported. A folder in the place of a staged file fails the commit
    // before anything moves. False when the layout could not be put in place; the output
    // folder is then as it was, and failedPath() and failure() say where and why.
    bool commit();
    QString failedPath() const { return failed; }
    QString failure() const { return cause; }

    // Removes the staging folder and everything in it, and releases the lock. Nothing of
    // the output folder outside them is touched.
    void discard();

private:
    struct Staged
    {
        QString staged;
        QString final;
    };
    bool fail(const QString& path, const QString& why);
    void reached(int step) const;

    QString folder;  // the output folder
    QString logPath; // the final path of the log
    QString base;    // the layout's name
    QString staging; // the staging folder; empty when none is open
    std::vector<Staged> files;
    std::unique_ptr<QLockFile> lock;
    bool keepStaging = false; // a commit that could not be undone: the next run settles it
    QString failed;
    QString cause;
};

// The lock file of the layout whose log is logPath.
QString layoutLockPath(const QString& logPath);

} // namespace orthaven

#pragma once
// Keeps the files of a layout out of the output folder until the whole layout is done.
// The engine writes its tiles, thumbnail and log into a staging folder inside the output
// folder; commit() moves them to their names, the log last. What never reaches commit()
// (a stopped or failed run) is removed with the staging folder, so such a run leaves the
// output folder exactly as it was, and an older layout of the same name stays whole until
// the new one replaces it.
//
// The files a commit replaces or removes are first moved aside into the staging folder;
// when a move fails, everything is put back and the commit reports failure. Only a crash
// in the middle of the renames can leave a mix, and then without a log: the log is moved
// aside first and put in place last.

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace orthaven {

class OutputCommit
{
public:
    OutputCommit() = default;
    ~OutputCommit(); // discards what was not committed
    OutputCommit(const OutputCommit&) = delete;
    OutputCommit& operator=(const OutputCommit&) = delete;

    // Makes the staging folder (".orvn-<process id>-<token>", hidden on Unix) beside
    // logPath, the layout log that is committed last. False when it cannot be made.
    bool begin(const QString& logPath, const QString& token);
    bool isOpen() const { return !staging.isEmpty(); }
    QString stagingFolder() const { return staging; }

    // Where the file that is to become finalPath (a file beside the log) is written until
    // the commit. Calling it again for the same file gives the same path. Empty when no
    // staging folder is open.
    QString stage(const QString& finalPath);
    // True when a folder stands where the file is to go: the commit would fail, so the
    // writer may give up at once.
    static bool isBlocked(const QString& finalPath);

    // Moves every staged file to its name. Files of the layout the new log replaces (its
    // tiles, thumbnail and scan-position sheet, as its log names them) and the
    // scan-position sheet of the new thumbnail (it would show the older layout) are
    // removed, unless the new layout wrote them. A folder in the place of a staged file
    // fails the commit before anything moves. False when the layout could not be put in
    // place; the output folder is then as it was, and failedPath() names the file.
    bool commit();
    QString failedPath() const { return failed; }

    // Removes the staging folder and everything in it. Nothing of the output folder
    // outside it is touched.
    void discard();

private:
    struct Staged
    {
        QString staged;
        QString final;
    };
    QString folder;  // the output folder
    QString logPath; // the final path of the log
    QString staging; // the staging folder; empty when none is open
    std::vector<Staged> files;
    QString failed;
};

} // namespace orthaven

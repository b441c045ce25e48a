#pragma once
// The session folders of the temporary folder. Every layout run works in a folder of its
// own, named after the time of day ("hhmmsszzz"), whose first file is the run's lock file
// (QLockFile: process id, program and machine), held for as long as the run lasts. A
// folder whose lock is stale was left by a run that was killed or lost its power; the
// window and the command-line runner sweep such folders when they start, and never a
// folder whose lock a live process holds.

#include <QLockFile>
#include <QString>

#include <memory>

namespace orthaven {

// The lock file's name inside a session folder.
inline constexpr char sessionLockFileName[] = "owner.lock";

// Nine digits, as session folders are named.
bool isSessionFolderName(const QString& name);

// Takes the lock of folder for this process, as the folder's first file; null when it
// cannot be had (another process holds it, the folder is gone, the disk is full: a lock
// that cannot be written whole leaves no file behind).
std::unique_ptr<QLockFile> lockSession(const QString& folder);

// Removes the session folders of tempFolder that no running copy owns: those whose lock is
// stale (its process has ended), and those without a lock (an empty one only as a whole,
// so that a folder made this moment merely makes its maker take another name; one with
// files was left by an older program). Leaves everything else: locked sessions, a lock
// that cannot be read, the update checker's downloads. Returns how many folders went.
int removeAbandonedSessions(const QString& tempFolder);

// What the window does at start: empties tempFolder except the session folders that are
// in use (see removeAbandonedSessions).
void clearTemporaryFolder(const QString& tempFolder);

} // namespace orthaven

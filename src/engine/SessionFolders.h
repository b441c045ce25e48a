#pragma once
// The session folders of the temporary folder. Every layout run works in a folder of its
// own, named after the time of day ("hhmmsszzz"), whose first file is an owner record:
// the process id and the machine of the run. A folder whose owner has ended was left by a
// run that was killed or lost its power; the window and the command-line runner remove
// such folders when they start, and never a folder of a running copy.

#include <QString>

namespace orthaven {

// The owner record's file name inside a session folder.
inline constexpr char sessionOwnerFileName[] = "owner.pid";

enum class SessionState
{
    Running,   // its owner runs, or runs on another machine, or its record is unreadable
    Abandoned, // its owner was a process of this machine that has ended
    Unowned,   // no owner record: made this very moment, or left by an older program
};

// Nine digits, as session folders are named.
bool isSessionFolderName(const QString& name);

// Writes the record of this process into folder, as the folder's first file. False when
// it cannot be written (among other reasons: another copy removed the folder because it
// was still empty and had no owner).
bool writeSessionOwner(const QString& folder);

SessionState sessionState(const QString& folder);

// Removes the session folders of tempFolder that no running copy owns: abandoned ones,
// and unowned ones (an empty one only as a whole, so that a folder made this moment
// merely makes its maker take another name). Leaves everything else: running sessions,
// the update checker's downloads. Returns how many folders went.
int removeAbandonedSessions(const QString& tempFolder);

// What the window does at start: empties tempFolder except the session folders that are
// in use (see removeAbandonedSessions).
void clearTemporaryFolder(const QString& tempFolder);

} // namespace orthaven

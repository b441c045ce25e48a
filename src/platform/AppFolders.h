#pragma once
// First-use set-up of the per-user folders, the default configuration file and the
// emptying of the temporary folder.

#include <QString>

namespace orthaven {

// Creates the maker, product and temporary folders and, when it is missing, the
// default configuration file. Empties the temporary folder when emptyTemp is true;
// start-up passes false and empties it only after it knows that no other copy of the
// program is running (a second copy must not destroy a running copy's work files).
// Always returns true: folder creation failures are not reported.
bool ensureAppFolders(bool emptyTemp = true);

// Removes the plain files and, recursively, the sub-folders of path; removes path
// itself only when removeSelf is set. Single failures are ignored.
void clearFolder(const QString& path, bool removeSelf);

} // namespace orthaven

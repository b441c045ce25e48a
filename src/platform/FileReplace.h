#pragma once
// Moving a finished file over the one it replaces, in one step: readers of the folder see
// the old file or the new one, never a missing or a half-written one.

#include <QString>

namespace orthaven {

// Renames from to to, replacing a file of that name (on Windows that needs the
// replace-existing form of the move; elsewhere rename() replaces by itself). Both paths
// must lie on one volume, ideally in one folder. False when the move failed; from is then
// left where it was, and failure (when given) holds the system's words for the cause.
bool replaceFile(const QString& from, const QString& to, QString* failure = nullptr);

} // namespace orthaven

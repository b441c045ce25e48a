#pragma once
// Where the program's own read-only files are (translations, the SketchUp scripts): in an
// installation below <prefix>/share/orthaven beside the programs' <prefix>/bin, in the
// build tree and on Windows in the programs' own folder.

#include <QString>

namespace orthaven {

// The data folder of the running program.
QString dataFolder();

// The data folder of a program in programFolder: the installed one ("../share/orthaven"
// from the program, as the build's install rules place it) when it exists, otherwise
// programFolder itself. On Windows always programFolder.
QString dataFolderFor(const QString& programFolder);

} // namespace orthaven

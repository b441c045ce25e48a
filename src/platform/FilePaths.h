#pragma once
// Telling whether two paths name the same file, the way the platform's file system does.

#include <QString>

namespace orthaven {

// The same text for two spellings of one file path: absolute and cleaned ("a/./b/../c" is
// "a/c"); on Windows also with "/" for "\" and case-folded, as its file names ignore
// letter case.
QString filePathKey(const QString& path);

} // namespace orthaven

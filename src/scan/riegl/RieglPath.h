#pragma once
// Paths as Riegl's scan library takes them: one byte per character, so only paths that can
// be written in Latin-1 reach a scan file. The Layout Creator checks a chosen project with
// rieglProjectPathRefused before listing its scans; the reader builds its URIs here.

#include <QByteArray>
#include <QString>

namespace orthaven {

// Whether every character of the text has a code from 0 to 255.
bool isLatin1Text(const QString& text);

// True for an input path the Layout Creator must refuse: a Riegl project (ending in
// ".rsp", in any case) whose path holds a character outside Latin-1.
bool rieglProjectPathRefused(const QString& path);

// The URI of a scan file for the scan library: "file:" and the path, one byte per
// character. Empty when the path holds a character outside Latin-1.
QByteArray rieglScanUri(const QString& path);

// The path back from such a URI; empty when it does not start with "file:" or names no file.
QString rieglPathFromUri(const char* uri);

} // namespace orthaven

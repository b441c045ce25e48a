#pragma once
// The process listing behind the single-instance check: the names of the running
// programs as one text, and the count of one program's name in it.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace orthaven {

// The listing of the running processes as 8-bit text. On Windows the output of
// "wmic.exe process get name" (waiting up to 30000 ms); elsewhere one line per process
// of the current user, each line the program's file name, the text starting and ending
// with a line feed. Empty when the listing fails.
QByteArray processListing();

// What to count in processListing() for this program: "Orthaven.exe" on Windows;
// elsewhere the executable's own file name framed by line feeds, so that a longer name
// that merely contains it (orthaven-layout) does not count.
QByteArray ownImageNeedle();

// What to look for in processListing() for the command-line layout runner, which works
// in the same temporary folder: "orthaven-layout.exe" on Windows, the line-framed
// "orthaven-layout" elsewhere.
QByteArray layoutRunnerNeedle();

// How program names in processListing() compare: Windows file names ignore letter case
// (the build makes "orthaven.exe", the listing may say "Orthaven.exe"); elsewhere they
// do not.
Qt::CaseSensitivity programNameCase();

// Occurrences of needle in text; after each hit the search goes on from the hit's
// position + 1. Without regard to case, ASCII letters of either case match.
int countOccurrences(const QByteArray& text, const QByteArray& needle,
                     Qt::CaseSensitivity cs = Qt::CaseSensitive);

// The file name of a running program from the target of its /proc/<pid>/exe link. The
// kernel appends " (deleted)" to the target when the file was deleted or replaced (a
// rebuild, a package upgrade) while the program runs; it is the same program all the
// same, so the mark is dropped.
QString programFileName(const QString& exeTarget);

} // namespace orthaven

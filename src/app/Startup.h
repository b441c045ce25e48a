#pragma once
// The pieces of the program's start-up sequence that main() runs in order.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <ostream>

class QLockFile;
class QTranslator;

namespace orthaven {

// --help and --version of the window program, answered on out before Qt opens a display
// (the man page is made from them). Returns whether one was given; every other argument
// is left to Qt (-style, -platform ...).
bool answerInformationOptions(const QStringList& arguments, std::ostream& out);

// Qt's debug, warning and critical messages go to standard output, one line each;
// a fatal message is written the same way and then aborts the process.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text);

// Loads a translation by its file name: from the "translations" folder of the program's
// data folder (platform/DataFolder.h) first, then from Qt's own translation folder.
// Returns whether a file was found; a translator whose file is missing stays empty.
bool loadTranslation(QTranslator& translator, const QString& name);

// When the system language is German: prints "Install Language" and installs the Qt
// and program translations (whether their files are found or not). Returns whether
// it did.
bool installGermanTranslators();

// True when another copy of the program runs for this user: it holds lock, a lock file in
// the per-user folder (instanceLockPath()). Otherwise this copy holds lock from now on,
// until lock is destroyed; the lock of a copy that ended without removing it (a crash, a
// kill) is taken over. When no lock can be made at all, a warning line says so and the
// program starts.
bool singleInstanceCheck(QLockFile& lock);

} // namespace orthaven

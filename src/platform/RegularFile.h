#pragma once
// Scan files are read only when they are regular files (a link to one counts). Opening a
// named pipe waits for a writer, a device or a socket may never end, and a folder holds
// no data; so readers look at what a path names before they open it, and open it so that
// even a path swapped for a pipe meanwhile cannot make them wait.

#include <QFile>
#include <QString>

namespace orthaven {

// Why path names no regular file: "it is a folder, not a regular file" (a named pipe
// (FIFO), a device, a socket); empty for a regular file and for a path that names nothing
// (opening it tells why).
QString regularFileProblem(const QString& path);

// Opens file (its name set) for reading, only when it names a regular file, without
// waiting on whatever else it names. False otherwise, with why: regularFileProblem's text
// or the system's reason ("No such file or directory"). The open file no longer tells its
// name (QFile forgets the name of a file it opens from a handle): keep it beside.
bool openRegularFile(QFile& file, QIODevice::OpenMode mode, QString* why = nullptr);

} // namespace orthaven

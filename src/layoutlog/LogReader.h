#pragma once
// Reads a layout log back into a LayoutLogInfo. A file that is not a complete log of
// version 1.1 is refused, never half read.

#include "layoutlog/LayoutLogInfo.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace orthaven {

class LogReader
{
public:
    // Reads the file at once; ok() tells whether it is a complete layout log.
    explicit LogReader(const QString& path);
    // Reads the bytes of the log at path, as written there.
    LogReader(const QString& path, const QByteArray& text);

    bool ok() const { return success; }
    const LayoutLogInfo& info() const { return result; }
    // Why the read failed (empty after a successful read).
    const QString& errorText() const { return error; }

    // The same in one call: fills info and returns whether the read succeeded.
    static bool read(const QString& path, LayoutLogInfo& info);

private:
    bool parse(const QString& path, QIODevice& file);
    bool fail(const QString& why);

    LayoutLogInfo result;
    QString error;
    bool success = false;
};

} // namespace orthaven

#pragma once
// How serious Qt's own messages are on the program's diagnostic channel: Qt's warnings tell
// of Qt's state (a missing runtime folder, a font fallback), not of a result the user asked
// for, so they are details; only critical and fatal messages are errors.

#include "diag/Diagnostics.h"

#include <QtGlobal>

namespace orthaven::diag {

constexpr Severity qtMessageSeverity(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return Severity::Debug;
    case QtInfoMsg:
    case QtWarningMsg:
        return Severity::Info;
    case QtCriticalMsg:
    case QtFatalMsg:
        return Severity::Error;
    }
    return Severity::Error;
}

} // namespace orthaven::diag

#pragma once
// orthaven-layout run as a program by the tests: how it ended, what it printed, and the
// files it left in a folder.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>

namespace orthaven::test {

struct ProgramRun
{
    int exitCode = -1;    // -1 when crashed
    bool crashed = false; // ended by a signal, or never ended
    QString out;
    QString err;
};

// environment: variables set beside the test's own (ORTHAVEN_TEST_WRITE_FAULT, ...).
ProgramRun runLayout(const QStringList& arguments, const QString& workingFolder = {},
                     const std::map<QString, QString>& environment = {});
// Another program (a script of contrib/) the same way.
ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const QString& workingFolder = {},
                      const std::map<QString, QString>& environment = {});

} // namespace orthaven::test

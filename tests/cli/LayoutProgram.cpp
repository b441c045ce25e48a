#include "LayoutProgram.h"

#include <QProcess>

namespace orthaven::test {

ProgramRun runLayout(const QStringList& arguments, const QString& workingFolder,
                     const std::map<QString, QString>& environment)
{
    return runProgram(QStringLiteral(ORTHAVEN_LAYOUT_PROGRAM), arguments, workingFolder,
                      environment);
}

ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const QString& workingFolder, const std::map<QString, QString>& environment)
{
    QProcess process;
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment)
        variables.insert(name, value);
    process.setProcessEnvironment(variables);
    process.start(program, arguments);
    ProgramRun run;
    // The limit only keeps a hanging program from holding up the suite.
    if (!process.waitForStarted() || !process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        run.crashed = true;
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = run.crashed ? -1 : process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace orthaven::test

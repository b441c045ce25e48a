#include "cli/JobFile.h"

#include "cli/LayoutRunner.h"
#include "creator/ResultMessages.h"
#include "platform/InterruptHandler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace orthaven {

namespace {

std::string text(const QString& s)
{
    return s.toLocal8Bit().toStdString();
}

QString absoluteIn(const QDir& folder, const QString& path)
{
    return QDir::cleanPath(folder.absoluteFilePath(path));
}

} // namespace

QString jobLogPath(const CommandLine& job, const QString& folder)
{
    const QDir dir(folder);
    return absoluteIn(dir, job.outputFile.isEmpty() ? defaultLogName(job.view) : job.outputFile);
}

bool readJobFile(const QString& path, JobFile& file, QString& error)
{
    file = JobFile();
    QFile input(path);
    if (QFileInfo(path).isDir() || !input.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the job file %1").arg(path);
        return false;
    }
    const QString folder = QFileInfo(path).absolutePath();
    const QDir dir(folder);
    QStringList logs; // layout logs of the accepted jobs, for the duplicate check
    int lineNumber = 0;
    while (!input.atEnd()) {
        ++lineNumber;
        const QString line = QString::fromUtf8(input.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto refuse = [&](const QString& why) {
            file.problems.append(QStringLiteral("line %1: %2").arg(lineNumber).arg(why));
        };

        CommandLine job;
        QString why;
        if (!parseCommandLine(QProcess::splitCommand(line), job, why)) {
            refuse(why);
            continue;
        }
        if (job.help || job.version || job.list || !job.jobFile.isEmpty()) {
            refuse(
                QStringLiteral("--help, --version, --list and --jobs cannot stand in a job file"));
            continue;
        }
        for (QString& scanFile : job.inputFiles)
            scanFile = absoluteIn(dir, scanFile);
        job.outputFile = jobLogPath(job, folder);

        bool duplicate = false;
        for (const QString& log : logs)
            duplicate = duplicate || log.compare(job.outputFile, Qt::CaseInsensitive) == 0;
        if (duplicate) {
            refuse(QStringLiteral("Layout output file already in batch list!"));
            continue;
        }
        logs.append(job.outputFile);
        file.jobs.push_back({lineNumber, job});
    }
    return true;
}

int runJobFile(const CommandLine& options, std::ostream& out, std::ostream& err, bool errIsTerminal,
               int columns, ConsoleCapture* capture, bool& exitAtOnce)
{
    exitAtOnce = false;
    JobFile file;
    QString error;
    if (!readJobFile(options.jobFile, file, error)) {
        err << "orthaven-layout: " << text(error) << std::endl;
        return LayoutRunner::BadArguments;
    }
    for (const QString& problem : file.problems)
        err << "orthaven-layout: " << text(options.jobFile) << ' ' << text(problem) << std::endl;
    if (file.jobs.empty()) {
        err << "orthaven-layout: no job to run in " << text(options.jobFile) << std::endl;
        return LayoutRunner::BadArguments;
    }

    const int total = int(file.jobs.size());
    int written = 0;
    QStringList failedLines;
    for (int k = 0; k < total; ++k) {
        // A Ctrl+C that came too late to stop the job before finished it; it still ends
        // the batch here.
        if (const int signal = receivedInterrupt()) {
            err << text(layoutResultMessage(true, false, 0)) << std::endl;
            err << "Jobs stopped after " << written << " of " << total << " written" << std::endl;
            return 128 + signal;
        }
        FileJob job = file.jobs[std::size_t(k)];
        job.options.verbose = job.options.verbose || options.verbose;
        if (!job.options.threads)
            job.options.threads = options.threads;
        if (!job.options.memoryMegabytes)
            job.options.memoryMegabytes = options.memoryMegabytes;
        err << "Job " << k + 1 << " of " << total << " (line " << job.line
            << "): " << text(QDir::toNativeSeparators(job.options.outputFile)) << std::endl;
        LayoutRunner runner(job.options, out, err, errIsTerminal, columns, capture);
        const int code = runner.run();
        if (runner.mustExitAtOnce() || code >= 128) {
            exitAtOnce = runner.mustExitAtOnce();
            err << "Jobs stopped after " << written << " of " << total << " written" << std::endl;
            return code;
        }
        if (code == LayoutRunner::Success)
            ++written;
        else
            failedLines.append(QString::number(job.line));
    }

    out << "Jobs written: " << written << " of " << total << std::endl;
    if (!failedLines.isEmpty())
        err << "Failed jobs on lines " << text(failedLines.join(QStringLiteral(", "))) << std::endl;
    return failedLines.isEmpty() && file.problems.isEmpty() ? LayoutRunner::Success
                                                            : LayoutRunner::Failed;
}

} // namespace orthaven

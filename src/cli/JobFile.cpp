#include "cli/JobFile.h"

#include "cli/LayoutRunner.h"
#include "creator/ResultMessages.h"
#include "platform/InterruptHandler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <memory>
#include <vector>

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
        if (job.help || job.version || job.list || !job.jobFile.isEmpty() || job.shard ||
            job.merge) {
            refuse(QStringLiteral("--help, --version, --list, --jobs, --shard and --merge cannot "
                                  "stand in a job file"));
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
    std::vector<bool> done(std::size_t(total), false);
    for (int k = 0; k < total; ++k) {
        if (done[std::size_t(k)])
            continue;
        // A Ctrl+C that came too late to stop the job before finished it; it still ends
        // the batch here.
        if (const int signal = receivedInterrupt()) {
            err << text(layoutResultMessage(true, false, 0)) << std::endl;
            err << "Jobs stopped after " << written << " of " << total << " written" << std::endl;
            return 128 + signal;
        }
        // This job and the later ones of the same scan files, computed from one reading.
        std::vector<int> group;
        for (int j = k; j < total; ++j) {
            if (!done[std::size_t(j)] && file.jobs[std::size_t(j)].options.inputFiles ==
                                             file.jobs[std::size_t(k)].options.inputFiles) {
                group.push_back(j);
                done[std::size_t(j)] = true;
            }
        }
        std::vector<std::unique_ptr<LayoutRunner>> runners;
        std::vector<LayoutRunner*> shared;
        for (int j : group) {
            FileJob& job = file.jobs[std::size_t(j)];
            job.options.verbose = job.options.verbose || options.verbose;
            if (!job.options.threads)
                job.options.threads = options.threads;
            if (!job.options.memoryMegabytes)
                job.options.memoryMegabytes = options.memoryMegabytes;
            runners.push_back(std::make_unique<LayoutRunner>(job.options, out, err, errIsTerminal,
                                                             columns, capture));
            shared.push_back(runners.back().get());
        }
        const auto header = [&](int g) {
            const FileJob& job = file.jobs[std::size_t(group[std::size_t(g)])];
            err << "Job " << group[std::size_t(g)] + 1 << " of " << total << " (line " << job.line
                << "): " << text(QDir::toNativeSeparators(job.options.outputFile)) << std::endl;
        };
        std::vector<int> codes;
        if (group.size() == 1) {
            header(0);
            codes.push_back(runners[0]->run());
        } else {
            QStringList lines;
            for (int j : group)
                lines << QString::number(file.jobs[std::size_t(j)].line);
            err << "Jobs on lines " << text(lines.join(QStringLiteral(", ")))
                << ": one reading of their scans" << std::endl;
            codes = LayoutRunner::runShared(shared, header);
        }
        for (std::size_t g = 0; g < codes.size(); ++g) {
            const int code = codes[g];
            if (runners[g]->mustExitAtOnce() || code >= 128) {
                exitAtOnce = runners[g]->mustExitAtOnce();
                err << "Jobs stopped after " << written << " of " << total << " written"
                    << std::endl;
                return code;
            }
            if (code == LayoutRunner::Success)
                ++written;
            else
                failedLines.append(QString::number(file.jobs[std::size_t(group[g])].line));
        }
    }

    out << "Jobs written: " << written << " of " << total << std::endl;
    if (!failedLines.isEmpty())
        err << "Failed jobs on lines " << text(failedLines.join(QStringLiteral(", "))) << std::endl;
    return failedLines.isEmpty() && file.problems.isEmpty() ? LayoutRunner::Success
                                                            : LayoutRunner::Failed;
}

} // namespace orthaven

#pragma once
// The job file of orthaven-layout --jobs: several layout jobs, one per line, written like
// the program's own command line, checked like the batch list checks its jobs and run one
// after another.

#include "cli/CommandLine.h"

#include <QString>
#include <QStringList>

#include <ostream>
#include <vector>

namespace orthaven {

class ConsoleCapture;

struct FileJob
{
    int line = 0; // 1-based line of the job file
    CommandLine options;
};

struct JobFile
{
    std::vector<FileJob> jobs; // the jobs that can run, in file order
    QStringList problems;      // "line N: why" for every line that cannot
};

// Reads the job file at path. False, with the reason in error, when it cannot be read at
// all. Blank lines and lines starting with "#" are skipped; arguments holding blanks are
// quoted with ". Relative scan and output paths count from the job file's folder, and a
// job without --out writes its view's default log name there. A job whose layout log is an
// earlier job's (letter case ignored) is refused like the batch list refuses it.
bool readJobFile(const QString& path, JobFile& file, QString& error);

// The absolute path of the layout log a job writes.
QString jobLogPath(const CommandLine& job, const QString& folder);

// Runs the jobs of options.jobFile one after another with the same rules as a single run;
// a failed or refused job is reported and the next one runs. 0 when every job was
// written, 1 when any was not, 2 when the file gives no job, 128 + the signal's number
// when interrupted (the remaining jobs are not started). exitAtOnce as
// LayoutRunner::mustExitAtOnce.
int runJobFile(const CommandLine& options, std::ostream& out, std::ostream& err, bool errIsTerminal,
               int columns, ConsoleCapture* capture, bool& exitAtOnce);

} // namespace orthaven

// The job file of orthaven-layout --jobs: lines become jobs like the command line, paths
// count from the file's folder, and the batch list's rules refuse repeated outputs.

#include "cli/CommandLine.h"
#include "cli/JobFile.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

TEST(JobFile, ReadsOneJobPerLineWithPathsFromItsFolder)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath("jobs.txt"),
                                   "# plans of the ground floor\n"
                                   "\n"
                                   "--out plans/ground scans/a.ptx scans/b.ptx\n"
                                   "  --view front --type jpg \"scans/with blank.ptx\"  \n"
                                   "--view front --out FRONT_VIEW.log scans/c.ptx\n"
                                   "--clip-low 5 --clip-high 1 scans/a.ptx\n"
                                   "--list scans/a.ptx\n"
                                   "--out " +
                                       dir.filePath("elsewhere/x").toUtf8() + " /abs/scan.ptx\n");
    JobFile file;
    QString error;
    ASSERT_TRUE(readJobFile(path, file, error)) << error.toStdString();
    ASSERT_EQ(file.jobs.size(), 3u);

    EXPECT_EQ(file.jobs[0].line, 3);
    EXPECT_EQ(file.jobs[0].options.inputFiles,
              (QStringList{dir.filePath("scans/a.ptx"), dir.filePath("scans/b.ptx")}));
    EXPECT_EQ(file.jobs[0].options.outputFile, dir.filePath("plans/ground.log"));

    EXPECT_EQ(file.jobs[1].line, 4);
    EXPECT_EQ(file.jobs[1].options.view, 4u);
    EXPECT_EQ(file.jobs[1].options.imageType, "jpg");
    EXPECT_EQ(file.jobs[1].options.inputFiles, QStringList{dir.filePath("scans/with blank.ptx")});
    EXPECT_EQ(file.jobs[1].options.outputFile, dir.filePath("Front_View.log"))
        << "a job without --out writes its view's default name beside the job file";

    EXPECT_EQ(file.jobs[2].line, 8);
    EXPECT_EQ(file.jobs[2].options.inputFiles, QStringList{"/abs/scan.ptx"});
    EXPECT_EQ(file.jobs[2].options.outputFile, dir.filePath("elsewhere/x.log"));

    EXPECT_EQ(file.problems,
              (QStringList{"line 5: Layout output file already in batch list!",
                           "line 6: --clip-low must be below --clip-high",
                           "line 7: --help, --version, --list, --jobs, --shard and --merge cannot "
                           "stand in a job file"}));
}

TEST(JobFile, AMissingFileIsAnErrorAndAnEmptyOneHasNoJobs)
{
    QTemporaryDir dir;
    JobFile file;
    QString error;
    EXPECT_FALSE(readJobFile(dir.filePath("none.txt"), file, error));
    EXPECT_TRUE(error.contains("none.txt"));
    EXPECT_FALSE(readJobFile(dir.path(), file, error)) << "a folder is no job file";

    const QString empty = writeFile(dir.filePath("empty.txt"), "# nothing yet\n\n");
    ASSERT_TRUE(readJobFile(empty, file, error));
    EXPECT_TRUE(file.jobs.empty());
    EXPECT_TRUE(file.problems.isEmpty());
}

TEST(JobFile, OnlyVerboseMayStandBesideJobs)
{
    CommandLine options;
    QString error;
    EXPECT_TRUE(parseCommandLine({"--jobs", "jobs.txt", "--verbose"}, options, error))
        << error.toStdString();
    EXPECT_EQ(options.jobFile, "jobs.txt");
    for (const QStringList& extra :
         {QStringList{"scan.ptx"}, QStringList{"--view", "left"}, QStringList{"--out", "x.log"},
          QStringList{"--list"}, QStringList{"--invert"}}) {
        EXPECT_FALSE(parseCommandLine(QStringList{"--jobs", "jobs.txt"} + extra, options, error))
            << extra.join(' ').toStdString();
        EXPECT_TRUE(error.startsWith("--jobs takes the options of every job"));
    }
    EXPECT_FALSE(parseCommandLine({"--jobs"}, options, error));
}

// The job file of orthaven-layout --jobs: lines become jobs like the command line, paths
// count from the file's folder, and the batch list's rules refuse repeated outputs.

#include "cli/CommandLine.h"
#include "cli/JobFile.h"
#include "cli/JobLine.h"
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

namespace {

// Every field that decides what a job runs and draws, for comparing two jobs.
QStringList jobFields(const LayoutJob& j)
{
    const auto colour = [](const QColor& c) { return c.name(QColor::HexArgb); };
    QStringList fields{j.inputFiles.join('|'),
                       QString::number(j.view),
                       QString::number(j.azimuth, 'g', 17),
                       j.facade ? QString("%1 %2 %3 %4")
                                      .arg(j.facade->from.x)
                                      .arg(j.facade->from.y)
                                      .arg(j.facade->to.x)
                                      .arg(j.facade->to.y)
                                : QString("no facade"),
                       QString::number(j.clipLow, 'g', 17),
                       QString::number(j.clipHigh, 'g', 17),
                       j.outputFile,
                       j.imageType,
                       QString::number(j.resolution, 'g', 17),
                       QString::number(j.scannerDomain, 'g', 17),
                       QString::number(j.tileSize, 'g', 17),
                       QString::number(j.printScale),
                       QString(layerName(j.layer)),
                       QString::number(j.dxf) + " " + j.crs + " " +
                           (j.pdfPaper ? j.pdfPaper->name() : QString("no print")),
                       QString::number(j.invertColor) + QString::number(j.grid) +
                           QString::number(j.worldFiles),
                       colour(j.gridColor) + colour(j.textColor) + colour(j.scanPosColor1) +
                           colour(j.scanPosColor2),
                       QString::number(j.coordSystemSize)};
    for (qsizetype i = 0; i < j.scanList.size(); ++i)
        fields.append(j.scanList.testBit(i) ? "1" : "0");
    return fields;
}

} // namespace

TEST(JobFile, TheBatchListKeepsEveryJobWholeInAJobFile)
{
    TempAppData appData;
    LayoutJob plan;
    plan.inputFiles = {"/scans/with blank/a.ptx", "/scans/b \"quoted\".ptx"};
    plan.scanList = QBitArray(3, true);
    plan.scanList.clearBit(1);
    plan.view = Top;
    plan.azimuth = 27.125;
    plan.clipLow = 0.5;
    plan.clipHigh = 2.1;
    plan.outputFile = "/out/plan.log";
    plan.imageType = "jpg";
    plan.resolution = 0.005;
    plan.scannerDomain = 25;
    plan.tileSize = 30;
    plan.printScale = 50;
    plan.layer = LayoutLayer::Colour;
    plan.invertColor = true;
    plan.grid = false;
    plan.worldFiles = false;
    plan.gridColor = QColor(1, 2, 3, 4);
    plan.textColor = QColor(5, 6, 7, 8);
    plan.scanPosColor1 = QColor(9, 10, 11, 12);
    plan.scanPosColor2 = QColor(13, 14, 15, 16);
    plan.coordSystemSize = 90;
    plan.dxf = false;
    plan.crs = "EPSG:25832";
    plan.pdfPaper = Paper{1, true};
    LayoutJob facade = plan;
    facade.crs.clear(); // a coordinate system places plans only
    facade.outputFile = "/out/south.log";
    facade.scanList = QBitArray(2, true);
    setFacade(facade, FacadeLine{{12.5, 3.2}, {31.8, 13.0}}, -0.25, 0.75);

    const QString path = appData.path() + "/batch.txt";
    ASSERT_TRUE(writeBatchList({plan, facade}, path));
    QStringList problems;
    const QList<LayoutJob> read = readBatchList(path, defaultConfig(), problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(jobFields(read[0]), jobFields(plan));
    // All scans of a facade are checked: none are named, and the run takes every scan.
    EXPECT_TRUE(read[1].scanList.isEmpty());
    facade.scanList = QBitArray();
    // The band is kept as distances from the line; back in depths, it is the same within
    // rounding.
    EXPECT_NEAR(read[1].clipLow, facade.clipLow, 1e-12);
    EXPECT_NEAR(read[1].clipHigh, facade.clipHigh, 1e-12);
    LayoutJob readFacade = read[1];
    readFacade.clipLow = facade.clipLow;
    readFacade.clipHigh = facade.clipHigh;
    EXPECT_EQ(jobFields(readFacade), jobFields(facade));

    // The command line reads the same file; a line without planes is no batch job.
    JobFile file;
    QString error;
    ASSERT_TRUE(readJobFile(path, file, error));
    EXPECT_EQ(file.jobs.size(), 2u);
    writeFile(path, readFile(path) + "--out /out/c.log /scans/c.ptx\n");
    readBatchList(path, defaultConfig(), problems);
    EXPECT_EQ(problems, QStringList{"line 4: the batch list needs both clipping planes "
                                    "(--clip-low and --clip-high)"});
}

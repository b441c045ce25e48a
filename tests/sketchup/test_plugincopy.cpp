#include "sketchup/PluginCopyList.h"
#include "support/CaptureDiagnostics.h"
#include "support/TempAppData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const QStringList companionFiles{
    "orthaven.rbs",
    "orthavendata/createtoolbar.rbs",
    "orthavendata/base.rbs",
    "orthavendata/autodeloff_LG.png",
    "orthavendata/autodeloff_SM.png",
    "orthavendata/sel1_LG.png",
    "orthavendata/sel1_SM.png",
    "orthavendata/imp_LG.png",
    "orthavendata/imp_SM.png",
    "orthavendata/layout_LG.png",
    "orthavendata/layout_SM.png",
};

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// A program tree with the companion files (each holding its own name) below base.
void makeCompanionTree(const QString& base)
{
    for (const QString& file : companionFiles)
        writeFile(base + "/plugins/skpplugin/" + file, file.toUtf8());
}

} // namespace

TEST(PluginCopyList, CreatesTheDataFolderFirstWhenItIsMissing)
{
    QTemporaryDir sketchUp;
    const QString base = native("/opt/orthaven");
    const PluginCopyList list = buildPluginCopyList(base, native(sketchUp.path()));
    ASSERT_EQ(list.size(), 12u);
    const QString dataFolder = native(sketchUp.path() + "/Plugins/orthavendata/");
    EXPECT_EQ(list[0].destination, dataFolder);
    EXPECT_EQ(list[0].source, dataFolder);
    EXPECT_TRUE(list[0].isFolder());
    for (int i = 0; i < companionFiles.size(); ++i) {
        const PluginCopyEntry& entry = list[static_cast<std::size_t>(i + 1)];
        EXPECT_EQ(entry.source, native("/opt/orthaven/plugins/skpplugin/" + companionFiles[i]));
        EXPECT_EQ(entry.destination, native(sketchUp.path() + "/Plugins/" + companionFiles[i]));
        EXPECT_FALSE(entry.isFolder());
    }
}

TEST(PluginCopyList, LeavesOutAnExistingDataFolder)
{
    QTemporaryDir sketchUp;
    QDir().mkpath(sketchUp.path() + "/Plugins/orthavendata");
    const PluginCopyList list = buildPluginCopyList("base", native(sketchUp.path()));
    ASSERT_EQ(list.size(), 11u);
    EXPECT_EQ(list[0].destination, native(sketchUp.path() + "/Plugins/orthaven.rbs"));
}

TEST(PluginCopyList, CopiesEveryFileAndPrintsBothPaths)
{
    QTemporaryDir program;
    QTemporaryDir sketchUp;
    makeCompanionTree(program.path());
    QDir().mkpath(sketchUp.path() + "/Plugins");
    const PluginCopyList list =
        buildPluginCopyList(native(program.path()), native(sketchUp.path()));

    QList<int> steps;
    CaptureDiagnostics out;
    EXPECT_TRUE(runPluginCopyList(list, [&steps](int step) { steps.append(step); }));
    EXPECT_EQ(steps, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    for (const QString& file : companionFiles)
        EXPECT_EQ(readFile(sketchUp.path() + "/Plugins/" + file), file.toUtf8())
            << file.toStdString();
    // Two lines per file, none for the folder.
    const QStringList lines = out.lines();
    ASSERT_EQ(lines.size(), 22);
    EXPECT_EQ(lines[0], list[1].source);
    EXPECT_EQ(lines[1], list[1].destination);
    EXPECT_EQ(lines[21], list[11].destination);
}

TEST(PluginCopyList, ReplacesFilesOfAnEarlierInstallation)
{
    QTemporaryDir program;
    QTemporaryDir sketchUp;
    makeCompanionTree(program.path());
    writeFile(sketchUp.path() + "/Plugins/orthaven.rbs", "an older loader, longer than the new");
    writeFile(sketchUp.path() + "/Plugins/orthavendata/base.rbs", "old");
    CaptureDiagnostics out;
    EXPECT_TRUE(
        runPluginCopyList(buildPluginCopyList(native(program.path()), native(sketchUp.path()))));
    EXPECT_EQ(readFile(sketchUp.path() + "/Plugins/orthaven.rbs"), "orthaven.rbs");
    EXPECT_EQ(readFile(sketchUp.path() + "/Plugins/orthavendata/base.rbs"),
              "orthavendata/base.rbs");
}

TEST(PluginCopyList, StopsAtTheFirstFileThatCannotBeCopied)
{
    QTemporaryDir program;
    QTemporaryDir sketchUp;
    makeCompanionTree(program.path());
    QFile::remove(program.path() + "/plugins/skpplugin/orthavendata/base.rbs");
    QDir().mkpath(sketchUp.path() + "/Plugins/orthavendata");
    writeFile(sketchUp.path() + "/Plugins/orthavendata/base.rbs", "old");

    QList<int> steps;
    CaptureDiagnostics out;
    EXPECT_FALSE(
        runPluginCopyList(buildPluginCopyList(native(program.path()), native(sketchUp.path())),
                          [&steps](int step) { steps.append(step); }));
    EXPECT_EQ(steps, (QList<int>{1, 2, 3}));
    EXPECT_TRUE(QFileInfo::exists(sketchUp.path() + "/Plugins/orthaven.rbs"));
    EXPECT_TRUE(QFileInfo::exists(sketchUp.path() + "/Plugins/orthavendata/createtoolbar.rbs"));
    // The file of the earlier installation is still whole, no half copy lies beside it, and
    // nothing after it was written.
    EXPECT_EQ(readFile(sketchUp.path() + "/Plugins/orthavendata/base.rbs"), "old");
    EXPECT_EQ(QDir(sketchUp.path() + "/Plugins/orthavendata").entryList(QDir::Files),
              (QStringList{"base.rbs", "createtoolbar.rbs"}));
}

#ifdef Q_OS_LINUX
TEST(PluginCopyList, ACopyThatBreaksOffKeepsTheEarlierFile)
{
    // Opening this file works, reading it fails: the copy breaks off after it began.
    const QString unreadable = "/proc/self/mem";
    QTemporaryDir sketchUp;
    const QString destination = writeFile(sketchUp.path() + "/Plugins/orthaven.rbs", "old");
    CaptureDiagnostics out;
    EXPECT_FALSE(runPluginCopyList({{unreadable, destination}}));
    EXPECT_EQ(readFile(destination), "old");
    EXPECT_EQ(QDir(sketchUp.path() + "/Plugins").entryList(QDir::Files | QDir::Hidden),
              QStringList{"orthaven.rbs"});
}
#endif

TEST(PluginCopyList, CreatesOnlyOneFolderLevel)
{
    QTemporaryDir program;
    QTemporaryDir sketchUp; // no Plugins folder
    makeCompanionTree(program.path());
    QList<int> steps;
    CaptureDiagnostics out;
    EXPECT_FALSE(
        runPluginCopyList(buildPluginCopyList(native(program.path()), native(sketchUp.path())),
                          [&steps](int step) { steps.append(step); }));
    EXPECT_EQ(steps, (QList<int>{1}));
    EXPECT_FALSE(QFileInfo::exists(sketchUp.path() + "/Plugins"));
    EXPECT_TRUE(out.lines().isEmpty());
}

TEST(PluginCopyList, TheBuildPutsEveryCompanionFileBesideTheProgram)
{
    const QString base = native(QCoreApplication::applicationDirPath());
    QTemporaryDir sketchUp;
    for (const PluginCopyEntry& entry : buildPluginCopyList(base, native(sketchUp.path()))) {
        if (!entry.isFolder()) {
            EXPECT_TRUE(QFileInfo(entry.source).isFile()) << entry.source.toStdString();
        }
    }
}

// The workspace format of our FARO library stand-in, read through the reader: what it
// tolerates, and every kind of damage ending in "loading Workspace failed" with the
// stand-in's reason and no scans.

#include "FaroTestFiles.h"
#include "scan/ScanSourceFaro.h"
#include "support/CaptureDiagnostics.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const QByteArray scanBlock = "scan\n"
                             "name = A\n"
                             "rows = 2\n"
                             "columns = 3\n"
                             "position = 1 2 3\n"
                             "axis = 0 0 1\n"
                             "angle = 0.5\n"
                             "points = A.fwp\n"
                             "end\n";

QByteArray withLine(const QByteArray& key, const QByteArray& line)
{
    QByteArray block = scanBlock;
    const qsizetype at = block.indexOf(key + " =");
    const qsizetype end = block.indexOf('\n', at);
    return block.replace(at, end - at, line);
}

} // namespace

TEST(FaroWorkspace, ToleratesCommentsBlankLinesCrlfAndByteOrderMark)
{
    QTemporaryDir dir;
    const FaroTestScan a = faroScan(QStringLiteral("A"), 2, 3, 5.0);
    writeFile(faroPointsPath(dir.path(), a), faroPointsFile(2, 3, a.points));
    QByteArray text = "\xEF\xBB\xBForthaven-fws   1  \n# a comment\n\n" + scanBlock;
    text.replace("rows = 2", "  rows=+2  ");
    text.replace("position = 1 2 3", "position =  1.5e0   -2.25\t3");
    text.replace('\n', "\r\n");
    const QString path = writeFile(dir.filePath(QStringLiteral("site.fws")), text);

    ScanSourceFaro reader;
    CaptureDiagnostics out;
    ASSERT_TRUE(reader.fetchFiles({path})) << out.text();
    ASSERT_EQ(reader.scanCount(), 1);
    cv::Mat pose;
    reader.scanPose(0, pose);
    EXPECT_EQ(pose.at<double>(0, 3), 1.5);
    EXPECT_EQ(pose.at<double>(1, 3), -2.25);
    EXPECT_EQ(pose.at<double>(2, 3), 3.0);
    int rows = 0;
    int columns = 0;
    EXPECT_TRUE(reader.scanDimensions(0, rows, columns));
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(columns, 3);
}

TEST(FaroWorkspace, EmptyWorkspaceHasNoScans)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(QStringLiteral("empty.fws")), "orthaven-fws 1\n");
    ScanSourceFaro reader;
    EXPECT_TRUE(reader.fetchFiles({path}));
    EXPECT_EQ(reader.scanCount(), 0);
    QStringList names = {QStringLiteral("old")};
    reader.scanNames(names);
    EXPECT_TRUE(names.isEmpty());
    EXPECT_FALSE(reader.openScan(0));
}

TEST(FaroWorkspace, DamagedWorkspaceFailsToLoadWithItsReason)
{
    const QByteArray magic = "orthaven-fws 1\n";
    struct Case
    {
        const char* name;
        QByteArray text; // null: no file at all
        int status;
        QString reason; // after "<path>"
    };
    const Case cases[] = {
        {"missing file", QByteArray(), 1,
         ": cannot open the workspace file: No such file or directory"},
        {"empty file", "", 2, " line 1: not an Orthaven FARO workspace"},
        {"another format", "ptx 1\n" + scanBlock, 2, " line 1: not an Orthaven FARO workspace"},
        {"newer version", "orthaven-fws 2\n", 2,
         " line 1: workspace format version \"2\" is not supported (only 1)"},
        {"no version", "orthaven-fws\n", 2,
         " line 1: workspace format version \"\" is not supported (only 1)"},
        {"unknown key", magic + withLine("angle", "angel = 0.5"), 3,
         " line 8: unknown key \"angel\""},
        {"key twice", magic + withLine("rows", "rows = 2\nrows = 2"), 3,
         " line 5: a second \"rows\""},
        {"key missing", magic + withLine("points", ""), 3,
         " line 10: the scan of line 2 has no \"points\""},
        {"negative rows", magic + withLine("rows", "rows = -1"), 3,
         " line 4: rows must be a whole number from 0 to 1000000"},
        {"too many columns", magic + withLine("columns", "columns = 1000001"), 3,
         " line 5: columns must be a whole number from 0 to 1000000"},
        {"fractional rows", magic + withLine("rows", "rows = 2.5"), 3,
         " line 4: rows must be a whole number from 0 to 1000000"},
        {"huge rows", magic + withLine("rows", "rows = 99999999999999999999999"), 3,
         " line 4: rows must be a whole number from 0 to 1000000"},
        {"two numbers for a position", magic + withLine("position", "position = 1 2"), 3,
         " line 6: position must be three finite numbers"},
        {"infinite axis", magic + withLine("axis", "axis = 0 inf 1"), 3,
         " line 7: axis must be three finite numbers"},
        {"decimal comma", magic + withLine("angle", "angle = 0,5"), 3,
         " line 8: angle must be one finite number (radians)"},
        {"nan angle", magic + withLine("angle", "angle = nan"), 3,
         " line 8: angle must be one finite number (radians)"},
        {"empty name", magic + withLine("name", "name ="), 3,
         " line 3: a scan name has 1 to 1000 characters"},
        {"name too long", magic + withLine("name", "name = " + QByteArray(1001, 'n')), 3,
         " line 3: a scan name has 1 to 1000 characters"},
        {"block not closed", magic + scanBlock.chopped(4), 3,
         " line 2: the scan block is not closed by \"end\""},
        {"block inside a block", magic + "scan\n" + scanBlock, 3,
         " line 3: \"scan\" inside the scan block of line 2"},
        {"end without a block", magic + "end\n", 3, " line 2: \"end\" without \"scan\""},
        {"scan key outside a block", magic + "rows = 3\n", 3,
         " line 2: \"rows\" belongs inside a scan block"},
        {"line without a key", magic + "scan\nname A\n", 3,
         " line 3: expected \"scan\", \"end\" or \"key = value\""},
        {"unknown failing call", magic + "fail = points 0x80004005\n", 3,
         " line 2: \"fail\" takes a call name and a result code; calls here: open, count, "
         "before-load"},
        {"failure code that is no failure", magic + withLine("angle", "angle = 0\nfail = load 1"),
         3, " line 9: \"1\" is not a failure code (a negative 32-bit number such as 0x80004005)"},
        {"failure code too long", magic + withLine("angle", "angle = 0\nfail = load 0x180004005"),
         3,
         " line 9: \"0x180004005\" is not a failure code (a negative 32-bit number such as "
         "0x80004005)"},
        {"same call failing twice",
         magic + withLine("angle", "angle = 0\nfail = load 0x80004005\nfail = load 0x80004005"), 3,
         " line 10: a second \"fail\" for \"load\""},
        {"load-status out of range", magic + withLine("angle", "angle = 0\nload-status = 3e9"), 3,
         " line 9: load-status must be a 32-bit whole number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.fws"));
        if (!c.text.isNull())
            writeFile(path, c.text);
        ScanSourceFaro reader;
        CaptureDiagnostics out;
        EXPECT_FALSE(reader.fetchFiles({path}));
        EXPECT_EQ(out.lines(),
                  QStringList({"FARO stand-in: " + path + c.reason, "loading Workspace failed"}));
        EXPECT_EQ(reader.lastLibraryStatus(), c.status);
        EXPECT_EQ(reader.scanCount(), 0);
        EXPECT_FALSE(reader.openScan(0));
    }
}

TEST(FaroWorkspace, RefusesAFolderAndAnOversizedFile)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("folder.fws"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray big = "orthaven-fws 1\n";
    big += QByteArray(16 * 1024 * 1024, '#');
    const QString oversized = writeFile(dir.filePath(QStringLiteral("big.fws")), big);
    struct Case
    {
        QString path;
        int status; // 0: the reader refuses the path before the library sees it
        QString line;
    };
    const Case cases[] = {
        {folder, 0, "FARO workspace " + folder + ": it is a folder, not a regular file"},
        {oversized, 3,
         "FARO stand-in: " + oversized + ": a workspace file is at most 16777216 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        ScanSourceFaro reader;
        CaptureDiagnostics out;
        EXPECT_FALSE(reader.fetchFiles({c.path}));
        EXPECT_EQ(out.lines(), QStringList({c.line, "loading Workspace failed"}));
        EXPECT_EQ(reader.lastLibraryStatus(), c.status);
    }
}

TEST(FaroWorkspace, PointsPathsMayBeRelativeOrAbsolute)
{
    QTemporaryDir dir;
    const FaroTestScan a = faroScan(QStringLiteral("A"), 2, 3, 5.0);
    const QString elsewhere = dir.filePath(QStringLiteral("data/points of A.fwp"));
    writeFile(elsewhere, faroPointsFile(2, 3, a.points));
    writeFile(dir.filePath(QStringLiteral("sub/A.fwp")), faroPointsFile(2, 3, a.points));
    for (const QString& points : {elsewhere, QStringLiteral("../sub/A.fwp")}) {
        SCOPED_TRACE(points.toStdString());
        QByteArray text = "orthaven-fws 1\n" + withLine("points", "points = " + points.toUtf8());
        const QString path = writeFile(dir.filePath(QStringLiteral("ws/site.fws")), text);
        ScanSourceFaro reader;
        ASSERT_TRUE(reader.fetchFiles({path}));
        ASSERT_TRUE(reader.openScan(0));
        cv::Mat chunk;
        reader.readPoints(0, chunk, 1000);
        EXPECT_EQ(chunk.cols, 6);
        EXPECT_EQ(chunk.at<double>(0, 5), a.points[5][0]);
    }
}

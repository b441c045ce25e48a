// No reader waits on a named pipe: a scan path that is one, given on the command line or
// named inside an index, a project or a workspace, is refused by name with a line that
// says so, while listing or when the scan is opened. (Were a reader to open it, the test
// would hang: the test program's TIMEOUT then fails it.)

#include "FaroTestFiles.h"
#include "RieglTestFiles.h"
#include "scan/ScanSourceFactory.h"
#include "support/CaptureDiagnostics.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace orthaven;
using namespace orthaven::test;

TEST(Pipes, NoReaderWaitsOnANamedPipe)
{
#ifdef _WIN32
    GTEST_SKIP() << "named pipes in the file system are a POSIX thing";
#else
    QTemporaryDir dir;
    const auto pipe = [&dir](const QString& name) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0) << name.toStdString();
        return path;
    };
    const QString why = QStringLiteral(": it is a named pipe (FIFO), not a regular file");

    const QString index =
        writeFile(dir.filePath(QStringLiteral("index.ptg")), "PTG index file\r\nnamed.ptg\r\n");
    const QString rsp = writeFile(
        dir.filePath(QStringLiteral("project.rsp")),
        projectXml(popXml(translation(0, 0, 0)),
                   positionXml(QStringLiteral("ScanPos001"),
                               sopXml(translation(0, 0, 0)) + singleScansXml({"scan.p3s"}))));
    const FaroTestScan north = faroScan(QStringLiteral("North"), 2, 2, 1.0);
    const QString fws = writeFaroWorkspace(dir.filePath(QStringLiteral("faro")), {north});
    QFile::remove(faroPointsPath(dir.filePath(QStringLiteral("faro")), north));

    struct Case
    {
        const char* name;
        QString input;
        QString pipe;
        int scans; // listed; each then fails to open
        QString line;
    };
    const QString named = pipe(QStringLiteral("named.ptg"));
    const QString stream = pipe(QStringLiteral("SCANS/ScanPos001/SINGLESCANS/scan.p3s"));
    const QString points = pipe(QStringLiteral("faro/North.fwp"));
    const Case cases[] = {
        {"PTX file", pipe("a.ptx"), {}, 0, "Cannot open PTX file %1" + why},
        {"PTG file", pipe("b.ptg"), {}, 0, "Cannot open PTG file %1" + why},
        {"PTG file named by an index", index, named, 0, "Cannot open PTG file %1" + why},
        {"E57 file", pipe("c.e57"), {}, 0, "E57 file %1: cannot open the file" + why},
        {"Riegl project", pipe("d.rsp"), {}, 0, "Cannot open rsp file %1" + why},
        {"Riegl scan file", rsp, stream, 1, "Riegl scan file %1" + why},
        {"FARO workspace", pipe("e.fws"), {}, 0, "FARO workspace %1" + why},
        {"FARO points file", fws, points, 1,
         "FARO stand-in: cannot open the points file %1 of scan 0" + why},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<ScanSource> reader = createScanSource(c.input);
        ASSERT_TRUE(reader);
        CaptureDiagnostics out;
        reader->fetchFiles({c.input});
        ASSERT_EQ(reader->scanCount(), c.scans);
        for (int i = 0; i < c.scans; ++i) {
            EXPECT_FALSE(reader->openScan(i));
            cv::Mat chunk;
            EXPECT_FALSE(reader->readPoints(i, chunk, 1000));
        }
        EXPECT_TRUE(out.lines().contains(c.line.arg(c.pipe.isEmpty() ? c.input : c.pipe)))
            << out.text();
    }
#endif
}

// PTG files written by scanners and other people's software (ORTHAVEN_REAL_DATA_DIR/ptg):
// listed and read without a complaint. Skipped when there are none.

#include "scan/ScanSourcePTG.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"

#include <QDirIterator>

#include <gtest/gtest.h>

#include <cmath>

using namespace orthaven;
using namespace orthaven::test;

TEST(PtgRealData, ListsAndReadsEveryFileWithoutComplaint)
{
    QStringList paths;
    QDirIterator it(QStringLiteral(ORTHAVEN_REAL_DATA_DIR "/ptg"), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String(".ptg"), Qt::CaseInsensitive))
            paths.append(path);
    }
    if (paths.isEmpty())
        GTEST_SKIP() << "no real PTG data here";
    paths.sort();
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        CaptureDiagnostics out;
        ScanSourcePTG reader;
        ASSERT_TRUE(reader.fetchFiles({path}));
        EXPECT_GE(reader.scanCount(), 1);
        for (int i = 0; i < reader.scanCount(); ++i) {
            int rows = 0;
            int columns = 0;
            reader.scanDimensions(i, rows, columns);
            const ScanReadout first = readWholeScan(reader, i);
            ASSERT_TRUE(first.opened);
            EXPECT_FALSE(first.results.back());
            EXPECT_LE(qint64(first.points.size()), qint64(rows) * columns);
            reader.rewindPoints();
            const ScanReadout again = readOpenScan(reader, i);
            EXPECT_TRUE(again.points == first.points) << "a rewind reads the same points";
            cv::Mat pose;
            reader.scanPose(i, pose);
            EXPECT_TRUE(cv::checkRange(pose));
            reader.closeScan(i);
        }
        for (const QString& line : out.lines()) {
            EXPECT_FALSE(line.contains(QLatin1String("invalid")) ||
                         line.contains(QLatin1String("incomplete")) ||
                         line.contains(QLatin1String("Not a PTG")) ||
                         line.contains(QLatin1String("Cannot open")) ||
                         line.contains(QLatin1String("skipped")))
                << line.toStdString();
        }
    }
}

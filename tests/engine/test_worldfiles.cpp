#include "LayoutRun.h"

#include "layout/Views.h"
#include "layoutlog/LayoutFiles.h"
#include "layoutlog/LogReader.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace orthaven;
using namespace orthaven::test;

// Every tile's world file puts the image where the log's corners say it is, and the
// points where they are in the scene: in every view, near the origin and on a
// georeferenced site (millions of metres, millimetres kept).
TEST(WorldFiles, PlaceEveryTileWhereTheLogAndTheScanSayInEveryView)
{
    const cv::Vec3d sites[] = {{0, 0, 0}, {5412340.0, 5801230.0, 312.0}};
    // The scene in the scanner's frame: lopsided, so a mirrored placement would show.
    const double lo[3] = {1.0, 2.0, 1.0}, hi[3] = {4.0, 6.0, 3.0};
    for (const cv::Vec3d& site : sites) {
        for (const ViewInfo& info : views()) {
            SCOPED_TRACE(std::string(info.name) + (site[0] > 0 ? " georeferenced" : " local"));
            FakeScan scan;
            scan.name = QStringLiteral("s");
            scan.pose = FakeScanSource::translation(site[0], site[1], site[2]);
            scan.points = box(lo[0], hi[0], lo[1], hi[1], lo[2], hi[2]);
            LayoutRun run({scan});
            run.job.view = info.view;
            run.job.worldFiles = true;
            run.job.clipLow = -1.0e8;
            run.job.clipHigh = 1.0e8;
            ASSERT_TRUE(run.run());
            ASSERT_TRUE(run.succeeded());

            const LogReader reader(run.outputPath(QStringLiteral("site.log")));
            ASSERT_TRUE(reader.ok());
            const LayoutLogInfo& log = reader.info();
            const auto [h, vert] = planeAxes(info.view);
            const double r = 0.1;
            const int m = 100;
            int tilesWithPoints = 0;
            for (int t = 0; t < log.tileNames.size(); ++t) {
                const QString image = run.outputPath(log.tileNames[t]);
                const auto [A, D, B, E, C, F] =
                    readWorldFile(run.outputPath(worldFileName(log.tileNames[t])));
                EXPECT_EQ(D, 0.0);
                EXPECT_EQ(B, 0.0);
                EXPECT_NEAR(std::abs(A), r, 1e-12);
                EXPECT_NEAR(E, -r, 1e-12);
                // Outer edges of the image against the log's corners.
                const cv::Mat& lb = log.cornersLB[std::size_t(t)];
                const cv::Mat& ru = log.cornersRU[std::size_t(t)];
                EXPECT_NEAR(C - A / 2, lb.at<double>(h), 1e-4);
                EXPECT_NEAR(C + (m - 0.5) * A, ru.at<double>(h), 1e-4);
                EXPECT_NEAR(F - E / 2, ru.at<double>(vert), 1e-4);
                EXPECT_NEAR(F + (m - 0.5) * E, lb.at<double>(vert), 1e-4);

                // The points' pixels, placed by the world file, cover the scene's box.
                const QRect dark = darkArea(QImage(image));
                if (dark.isEmpty())
                    continue;
                ++tilesWithPoints;
                const double x0 = C + A * dark.left(), x1 = C + A * dark.right();
                const double y0 = F + E * dark.bottom(), y1 = F + E * dark.top();
                EXPECT_NEAR(std::min(x0, x1), site[h] + lo[h], 0.2);
                EXPECT_NEAR(std::max(x0, x1), site[h] + hi[h], 0.2);
                EXPECT_NEAR(y0, site[vert] + lo[vert], 0.2);
                EXPECT_NEAR(y1, site[vert] + hi[vert], 0.2);
            }
            EXPECT_EQ(tilesWithPoints, 1);
        }
    }
}

// A plan in a turned frame: its world files carry the rotation, so that every pixel of a
// box's points, placed by them, lands on the box in the project, where the box's edges
// run along the project's axes, not along the picture's.
TEST(WorldFiles, ATurnedPlanPlacesItsPixelsAtTheirProjectCoordinates)
{
    const cv::Vec3d site(5412340.0, 5801230.0, 0.0);
    FakeScan scan;
    scan.name = QStringLiteral("s");
    scan.pose = FakeScanSource::translation(site[0], site[1], site[2]);
    scan.points = box(1.0, 4.0, 2.0, 6.0, 1.0, 3.0);
    LayoutRun run({scan});
    run.job.azimuth = 30.0;
    run.job.worldFiles = true;
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    const LogReader reader(run.outputPath(QStringLiteral("site.log")));
    ASSERT_TRUE(reader.ok());
    double low[2] = {1e300, 1e300}, high[2] = {-1e300, -1e300};
    for (const QString& name : reader.info().tileNames) {
        const auto [A, D, B, E, C, F] = readWorldFile(run.outputPath(worldFileName(name)));
        const QImage image(run.outputPath(name));
        for (int row = 0; row < image.height(); ++row)
            for (int column = 0; column < image.width(); ++column)
                if (qGray(image.pixel(column, row)) < 128) {
                    const double at[2] = {A * column + B * row + C, D * column + E * row + F};
                    for (int k = 0; k < 2; ++k) {
                        low[k] = std::min(low[k], at[k]);
                        high[k] = std::max(high[k], at[k]);
                    }
                }
    }
    // The box spans x 1 … 4 and y 2 … 6 from the scanner: within two pixels, the share a
    // point gives its neighbours included.
    EXPECT_NEAR(low[0], site[0] + 1.0, 0.25);
    EXPECT_NEAR(high[0], site[0] + 4.0, 0.25);
    EXPECT_NEAR(low[1], site[1] + 2.0, 0.25);
    EXPECT_NEAR(high[1], site[1] + 6.0, 0.25);
}

// Without world files none is written, and those of the layout it replaces go with it.
TEST(WorldFiles, LeftOutOnRequestAndRemovedWithTheLayoutTheyBelongTo)
{
    FakeScan scan;
    scan.name = QStringLiteral("s");
    scan.pose = FakeScanSource::translation(0, 0, 0);
    scan.points = box(1.0, 14.0, 2.0, 6.0, 1.0, 3.0);
    LayoutRun run({scan});
    run.job.worldFiles = true;
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.outputFiles().contains(QStringLiteral("site_1_0.pgw")));
    run.job.worldFiles = false;
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    for (const QString& name : run.outputFiles())
        EXPECT_FALSE(name.endsWith(QLatin1String(".pgw"))) << name.toStdString();
}

// At a print scale the images carry the resolution that prints them at that scale; the
// log records the scale.
TEST(PrintScale, ImagesCarryTheResolutionOfTheScale)
{
    for (const QString& type :
         {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("tif")}) {
        SCOPED_TRACE(type.toStdString());
        FakeScan scan;
        scan.name = QStringLiteral("s");
        scan.pose = FakeScanSource::translation(0, 0, 0);
        scan.points = box(1.0, 4.0, 2.0, 6.0, 1.0, 3.0);
        LayoutRun run({scan});
        run.job.imageType = type;
        run.job.resolution = 0.02; // 1:50: 50 / 0.02 = 2500 pixels per metre of paper
        run.job.printScale = 50;
        ASSERT_TRUE(run.run());
        ASSERT_TRUE(run.succeeded());
        const QImage tile = run.image(QStringLiteral("site_0_0.") + type);
        ASSERT_FALSE(tile.isNull());
        // JPEG keeps whole dots per inch: 63.5 becomes 64.
        const double tolerance = type == QLatin1String("jpg") ? 2500.0 / 63.5 * 0.5 + 1 : 1.0;
        EXPECT_NEAR(tile.dotsPerMeterX(), 2500, tolerance);
        EXPECT_NEAR(tile.dotsPerMeterY(), 2500, tolerance);
        const LogReader reader(run.outputPath(QStringLiteral("site.log")));
        ASSERT_TRUE(reader.ok());
        EXPECT_EQ(reader.info().printScale, 50);
    }
}

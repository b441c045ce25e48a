#pragma once
// A small real layout for the overview picture tests: three scanner stations over a floor
// (or a wall, for the upright views) giving 2 × 1 tiles of 10 m, u 0 … 20 m and v 0 … 10 m.
// The thumbnail is 3000 × 1500 pixels, 150 pixels per metre; the picture's upper left
// corner, the strip above its bottom edge and the lower left corner stay empty (white, or
// black with inverted colours) so labels, list and coordinate symbol land on a clean ground.

#include "creator/OverviewSheet.h"
#include "engine/LayoutRun.h"

#include <QColor>
#include <QImage>
#include <QRect>

#include <functional>
#include <memory>

namespace orthaven::test {

struct Station
{
    QString name;
    double u; // where the scanner stands, in view coordinates (metres)
    double v;
};

// Alpha at (3, 4), Bravo at (14, 6), Charlie at (17, 3): on the Top thumbnail their
// markers are centred on the pixels (450, 900), (2100, 600) and (2550, 1050).
inline const Station sceneStations[3] = {
    {QStringLiteral("Alpha"), 3.0, 4.0},
    {QStringLiteral("Bravo"), 14.0, 6.0},
    {QStringLiteral("Charlie"), 17.0, 3.0},
};

// The world point at view coordinates (u, v) and the given depth.
inline cv::Vec3d worldAt(std::uint32_t view, double u, double v, double depth)
{
    const cv::Mat w =
        LayoutCreator::viewMatrixFor(view).inv() * (cv::Mat_<double>(4, 1) << u, v, depth, 1.0);
    return {w.at<double>(0), w.at<double>(1), w.at<double>(2)};
}

// Points of the rectangle u0 … u0 + du, v0 … v0 + dv (0.1 m apart) at depth 0, as seen
// from a scanner standing at world position origin.
inline std::vector<cv::Vec3d> viewPatch(std::uint32_t view, double u0, double v0, double du,
                                        double dv, const cv::Vec3d& origin)
{
    std::vector<cv::Vec3d> points;
    for (int i = 0; i < int(du * 10 + 0.5); ++i)
        for (int j = 0; j < int(dv * 10 + 0.5); ++j)
            points.push_back(worldAt(view, u0 + 0.1 * i, v0 + 0.1 * j, 0.0) - origin);
    return points;
}

// Alpha sees every patch, so the layout keeps its two tiles whichever other scan is left
// out or fails.
inline std::vector<FakeScan> sceneScans(std::uint32_t view)
{
    std::vector<FakeScan> scans;
    std::vector<cv::Vec3d> origins;
    for (const Station& s : sceneStations) {
        FakeScan scan;
        scan.name = s.name;
        origins.push_back(worldAt(view, s.u, s.v, 1.5));
        scan.pose =
            FakeScanSource::translation(origins.back()[0], origins.back()[1], origins.back()[2]);
        scans.push_back(scan);
    }
    scans[0].points = viewPatch(view, 6.5, 0.5, 3, 3, origins[0]) +
                      viewPatch(view, 12, 2, 6, 6, origins[0]) +
                      viewPatch(view, 15, 0.5, 1, 1, origins[0]);
    for (int k = 1; k < 3; ++k)
        scans[k].points = viewPatch(view, 13, 3, 1, 1, origins[k]);
    return scans;
}

class OverviewScene
{
public:
    explicit OverviewScene(std::uint32_t view = Top,
                           const std::function<void(std::vector<FakeScan>&)>& change = {})
    {
        std::vector<FakeScan> scans = sceneScans(view);
        if (change)
            change(scans);
        run = std::make_unique<LayoutRun>(std::move(scans));
        run->job.view = view;
        // One folder down, so a log naming "../" reaches a folder the test owns.
        run->job.outputFile = run->out.filePath(QStringLiteral("layout/site.log"));
        QDir().mkpath(run->out.filePath(QStringLiteral("layout")));
        config.scanPosColor1 = QColor(0, 0, 255);   // opaque, so a marker's centre is exact
        config.scanPosColor2 = QColor(255, 0, 255); //
    }

    // Runs the engine; false when it did not write a layout.
    bool layout()
    {
        run->run();
        if (!run->succeeded())
            return false;
        original = QImage(thumbnailPath()).convertToFormat(QImage::Format_RGB32);
        return !original.isNull();
    }

    OverviewInputs inputs() const
    {
        OverviewInputs in;
        in.view = run->job.view;
        in.scanList = run->job.scanList;
        in.usedFlags = run->creator.scanList;
        in.invertColor = run->job.invertColor;
        in.config = config;
        run->source.scanNames(in.scanNames);
        return in;
    }

    QString logPath() const { return run->outputPath(QStringLiteral("site.log")); }
    QString thumbnailPath() const
    {
        return run->outputPath(QStringLiteral("site_overview.") + run->job.imageType);
    }
    QString sheetPath() const
    {
        return run->outputPath(QStringLiteral("site_overview_scan_positions.") +
                               run->job.imageType);
    }

    bool drawSheet() const { return drawScanPositionSheet(logPath(), "X", "Y", inputs()); }
    bool annotate() const { return annotateThumbnail(logPath(), "X", "Y", inputs()); }

    QImage picture(const QString& path) const
    {
        return QImage(path).convertToFormat(QImage::Format_RGB32);
    }

    std::unique_ptr<LayoutRun> run;
    ConfigSettings config = defaultConfig();
    QImage original; // the engine's thumbnail, before anything was drawn on it
};

// How many pixels of area pass the test.
inline int countPixels(const QImage& image, const QRect& area,
                       const std::function<bool(QRgb)>& test)
{
    int n = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

inline bool isWhite(QRgb c)
{
    return c == qRgb(255, 255, 255);
}

// How many pixels of area on the sheet are clearly darker than the faded thumbnail
// beneath them: ink drawn over the picture.
inline int inkedPixels(const QImage& sheet, const QImage& thumbnail, const QRect& area)
{
    int n = 0;
    const QRect inside = area.intersected(sheet.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            n += qGray(sheet.pixel(x, y)) < (qGray(thumbnail.pixel(x, y)) + 255) / 2 - 30 ? 1 : 0;
    return n;
}

} // namespace orthaven::test

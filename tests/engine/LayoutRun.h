#pragma once
// One layout job of the engine tests: a private APPDATA, an output folder, a fake scan
// source and the engine, with helpers to run it and look at what it wrote.

#include "engine/LayoutCreator.h"
#include "layout/LayoutJob.h"
#include "support/CaptureDiagnostics.h"
#include "support/FakeScanSource.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <vector>

namespace orthaven::test {

// Points of a square patch lying flat (z = height) with its lower-left corner at (x0, y0),
// one point every step metres.
inline std::vector<cv::Vec3d> patch(double x0, double y0, double size, double step,
                                    double height = 0.0)
{
    std::vector<cv::Vec3d> points;
    const int count = int(size / step + 0.5);
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j)
            points.emplace_back(x0 + i * step, y0 + j * step, height);
    return points;
}

// The same for an upright patch in the x-z plane at depth y (for Front and Back views).
inline std::vector<cv::Vec3d> wall(double x0, double z0, double size, double step, double y = 0.0)
{
    std::vector<cv::Vec3d> points;
    for (const cv::Vec3d& p : patch(x0, z0, size, step))
        points.emplace_back(p[0], y, p[1]);
    return points;
}

inline std::vector<cv::Vec3d> operator+(std::vector<cv::Vec3d> a, const std::vector<cv::Vec3d>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class LayoutRun
{
public:
    explicit LayoutRun(std::vector<FakeScan> scans, int chunkPoints = 1000)
        : source(std::move(scans), chunkPoints)
    {
        job.inputFiles = {QStringLiteral("scans.ptx")};
        job.view = Top;
        job.scanList = QBitArray(source.scanCount(), true);
        job.clipLow = -100.0;
        job.clipHigh = 100.0;
        job.outputFile = out.filePath(QStringLiteral("site.log"));
        job.imageType = QStringLiteral("png");
        job.invertColor = false;
        job.resolution = 0.1;
        job.scannerDomain = 50.0;
        job.tileSize = 10.0;
        job.worldFiles = false; // the world-file and hand-off tests ask for them
        job.dxf = false;
        creator.setScanSource(&source);
    }

    // setup + layout; the console lines of the run are kept in lines.
    bool run()
    {
        const bool accepted = creator.setup(job);
        CaptureDiagnostics capture;
        creator.layout();
        lines = capture.lines();
        warnings = capture.lines(diag::Severity::Warning);
        errors = capture.lines(diag::Severity::Error);
        return accepted;
    }

    // A layout that was written says nothing of an error: no error line, no "ERROR".
    bool succeeded() const
    {
        return !creator.failed && !creator.interrupted && errors.isEmpty() &&
               !lines.join(QLatin1Char('\n')).contains(QLatin1String("ERROR"));
    }

    QString outputPath(const QString& name) const { return QDir(outputFolder()).filePath(name); }
    QString outputFolder() const { return QFileInfo(job.outputFile).absolutePath(); }

    // Hidden ones too: the layout's staging folder is one.
    QStringList outputFiles() const
    {
        return QDir(outputFolder())
            .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // Every file the run wrote, by name, with its bytes.
    std::map<QString, QByteArray> outputBytes() const
    {
        std::map<QString, QByteArray> files;
        for (const QString& name : QDir(outputFolder()).entryList(QDir::Files))
            files[name] = readFile(outputPath(name));
        return files;
    }

    // Everything in the output folder, hidden entries too: files with their bytes, folders
    // as "<folder>".
    std::map<QString, QByteArray> outputState() const
    {
        std::map<QString, QByteArray> state;
        const QDir dir(outputFolder());
        for (const QFileInfo& entry : dir.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::System | QDir::NoDotAndDotDot))
            state[entry.fileName()] =
                entry.isDir() ? QByteArray("<folder>") : readFile(entry.absoluteFilePath());
        return state;
    }

    QImage image(const QString& name) const { return QImage(outputPath(name)); }

    // Anything left in the temporary folder (sessions are removed after every run).
    QStringList temporaryLeftovers() const
    {
        return QDir(appData.path() + QStringLiteral("/Brandmoor/Orthaven/tmp"))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    TempAppData appData;
    QTemporaryDir out;
    FakeScanSource source;
    LayoutCreator creator;
    layoutdef job;
    QStringList lines;
    QStringList warnings;
    QStringList errors;
};

// Bounding box of the pixels darker than mid-grey (the points, on a white ground).
inline QRect darkArea(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

// Points on the surface of the box [x0, x1] × [y0, y1] × [z0, z1] of the scanner's frame,
// every 0.1 m.
inline std::vector<cv::Vec3d> box(double x0, double x1, double y0, double y1, double z0, double z1)
{
    std::vector<cv::Vec3d> points;
    for (double x = x0; x <= x1 + 1e-9; x += 0.1)
        for (double y = y0; y <= y1 + 1e-9; y += 0.1)
            for (double z = z0; z <= z1 + 1e-9; z += 0.1)
                if (x == x0 || y == y0 || z == z0 || x + 0.1 > x1 || y + 0.1 > y1 || z + 0.1 > z1)
                    points.emplace_back(x, y, z);
    return points;
}

// The world axes of a view's plane: the one named under its pictures, and height (y for Top).
inline std::pair<int, int> planeAxes(std::uint32_t view)
{
    switch (view) {
    case Top:
        return {0, 1};
    case Left:
    case Right:
        return {1, 2};
    default:
        return {0, 2};
    }
}

// The six numbers of a world file: A, D, B, E, C, F.
inline std::array<double, 6> readWorldFile(const QString& path)
{
    std::array<double, 6> numbers{};
    const QList<QByteArray> lines = readFile(path).split('\n');
    EXPECT_GE(lines.size(), 6) << path.toStdString();
    for (int i = 0; i < 6 && i < lines.size(); ++i) {
        bool ok = false;
        numbers[std::size_t(i)] = lines[i].trimmed().toDouble(&ok);
        EXPECT_TRUE(ok) << lines[i].toStdString();
    }
    return numbers;
}

} // namespace orthaven::test

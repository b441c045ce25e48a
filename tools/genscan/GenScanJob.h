#pragma once
// One run of the scan generator: the scene, the stations and the scanner model built from
// the options, and every station's scan written through the chosen format's writer.

#include "genscan/ScanWriter.h"
#include "genscan/ScannerModel.h"
#include "genscan/Scene.h"
#include "genscan/Station.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

namespace orthaven::genscan {

struct GenScanOptions
{
    QString outputFolder = QStringLiteral(".");
    QString format = QStringLiteral("ptx");
    QString baseName = QStringLiteral("scan");
    int stations = 3;
    int pointsPerColumn = 500;
    int columns = 1000;
    bool intensity = true;
    bool colour = false;
    bool ceiling = true;
    int storeys = 1;        // floors of the building, one above the other
    bool oneFile = false;   // all stations in one file, where the format allows it
    bool indexFile = false; // also an index file <baseName><extension> naming the scan files
    int pointFormat = -1;   // LAS point format; -1: 3 with colour, else 1
    double rangeNoise = 0.002;
    std::uint64_t seed = 1;
    Vec3 offset;       // georeferenced offset added to every pose translation
    double turn = 0.0; // degrees the scene is turned counter-clockwise in the project
};

struct StationReport
{
    int station = 0;
    QString file;
    int scanInFile = 0;
    int columns = 0;
    int pointsPerColumn = 0;
    std::array<double, 16> pose{};
    qint64 points = 0;  // grid cells, missing returns included
    qint64 missing = 0; // cells written as (0, 0, 0)
};

class GenScanJob
{
public:
    explicit GenScanJob(const GenScanOptions& options);

    // Empty when the options can be run, otherwise what is wrong with them.
    QString checkOptions() const;
    // Writes every scan; false with errorText on the first failure.
    bool run();

    const GenScanOptions& options() const { return opts; }
    const Scene& scene() const { return world; }
    const ScannerModel& scanner() const { return model; }
    const std::vector<Station>& stations() const { return placed; }
    const std::vector<StationReport>& reports() const { return done; }
    QStringList files() const;
    // The index file written, or empty.
    QString indexFile() const { return indexPath; }
    QString errorText() const { return error; }

private:
    QString fileFor(int station, const ScanWriter& writer) const;
    int lasPointFormat() const;

    GenScanOptions opts;
    Scene world;
    ScannerModel model;
    std::vector<Station> placed;
    std::vector<StationReport> done;
    QString indexPath;
    QString error;
};

} // namespace orthaven::genscan

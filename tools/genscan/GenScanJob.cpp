#include "genscan/GenScanJob.h"

#include "genscan/LasWriter.h"

#include <QDir>

#include <cmath>
#include <numbers>

namespace orthaven::genscan {

namespace {

constexpr int maxStations = 10000;
constexpr int maxStoreys = 100;
constexpr int maxGridSide = 1000000;

} // namespace

GenScanJob::GenScanJob(const GenScanOptions& options)
    : opts(options), world(Scene::rooms(options.ceiling, options.storeys))
{
    model.pointsPerColumn = opts.pointsPerColumn;
    model.columns = opts.columns;
    model.rangeNoise = opts.rangeNoise;
    model.seed = opts.seed;
    if (opts.stations > 0 && opts.stations <= maxStations)
        placed = placeStations(world, opts.stations, opts.seed, opts.offset,
                               opts.turn * std::numbers::pi / 180.0);
}

QString GenScanJob::checkOptions() const
{
    const std::unique_ptr<ScanWriter> writer = createScanWriter(opts.format);
    if (!writer) {
        return QStringLiteral("Unknown format \"%1\"; known: %2")
            .arg(opts.format, scanWriterFormats().join(QStringLiteral(", ")));
    }
    if (opts.indexFile && !writer->hasIndexFile())
        return QStringLiteral("The format \"%1\" has no index file").arg(opts.format);
    const bool las = writer->extension() == QLatin1String(".las");
    if (opts.pointFormat >= 0 && !las)
        return QStringLiteral("Only LAS files have a point format");
    if (las && !LasWriter::writesPointFormat(lasPointFormat()))
        return QStringLiteral("LAS point formats 0, 1, 2, 3, 6, 7 and 8 are written");
    if (las && opts.colour && !LasWriter::hasColour(lasPointFormat()))
        return QStringLiteral("LAS point format %1 has no colour").arg(lasPointFormat());
    if (opts.storeys < 1 || opts.storeys > maxStoreys)
        return QStringLiteral("The number of storeys must lie between 1 and %1").arg(maxStoreys);
    if (opts.stations < 1 || opts.stations > maxStations)
        return QStringLiteral("The number of stations must lie between 1 and %1").arg(maxStations);
    if (opts.pointsPerColumn < 1 || opts.pointsPerColumn > maxGridSide || opts.columns < 1 ||
        opts.columns > maxGridSide)
        return QStringLiteral("Points per column and columns must lie between 1 and %1")
            .arg(maxGridSide);
    if (!std::isfinite(opts.turn))
        return QStringLiteral("The turn must be a number of degrees");
    if (!(opts.rangeNoise >= 0 && opts.rangeNoise <= 1))
        return QStringLiteral("The range noise must lie between 0 and 1 m");
    if (opts.baseName.isEmpty() || opts.baseName.contains(QLatin1Char('/')) ||
        opts.baseName.contains(QLatin1Char('\\')))
        return QStringLiteral("The base name must be a plain file name");
    return {};
}

QString GenScanJob::fileFor(int station, const ScanWriter& writer) const
{
    const QString name =
        (opts.oneFile || writer.keepsScansTogether()) && writer.holdsSeveralScans()
            ? opts.baseName
            : QStringLiteral("%1_%2").arg(opts.baseName).arg(station, 3, 10, QLatin1Char('0'));
    return QDir(opts.outputFolder).filePath(name + writer.extension());
}

int GenScanJob::lasPointFormat() const
{
    return opts.pointFormat >= 0 ? opts.pointFormat : opts.colour ? 3 : 1;
}

QStringList GenScanJob::files() const
{
    QStringList list;
    for (const StationReport& r : done) {
        if (list.isEmpty() || list.last() != r.file)
            list.append(r.file);
    }
    return list;
}

bool GenScanJob::run()
{
    done.clear();
    indexPath.clear();
    error = checkOptions();
    if (!error.isEmpty())
        return false;
    if (!QDir().mkpath(opts.outputFolder)) {
        error = QStringLiteral("Cannot create the folder %1").arg(opts.outputFolder);
        return false;
    }
    std::unique_ptr<ScanWriter> writer = createScanWriter(opts.format);
    QString openFile;
    int scanInFile = 0;
    std::vector<ScanPoint> column;
    for (int s = 0; s < int(placed.size()); ++s) {
        const QString path = fileFor(s, *writer);
        if (path != openFile) {
            if (!openFile.isEmpty() && !writer->endFile()) {
                error = writer->errorText();
                return false;
            }
            if (!writer->beginFile(path)) {
                error = writer->errorText();
                return false;
            }
            openFile = path;
            scanInFile = 0;
        }
        StationReport report;
        report.station = s;
        report.file = path;
        report.scanInFile = scanInFile++;
        report.columns = opts.columns;
        report.pointsPerColumn = opts.pointsPerColumn;
        report.pose = placed[std::size_t(s)].pose();

        ScanInfo info;
        info.name = QStringLiteral("%1_%2").arg(opts.baseName).arg(s, 3, 10, QLatin1Char('0'));
        info.columns = opts.columns;
        info.pointsPerColumn = opts.pointsPerColumn;
        info.pose = report.pose;
        info.axis = {0.0, 0.0, 1.0};
        info.angle = placed[std::size_t(s)].yaw;
        info.intensity = opts.intensity;
        info.colour = opts.colour;
        info.station = s;
        info.pointFormat = lasPointFormat();
        bool ok = writer->beginScan(info);
        for (int c = 0; ok && c < opts.columns; ++c) {
            model.scanColumn(world, placed[std::size_t(s)], s, c, column);
            for (const ScanPoint& p : column)
                report.missing += p.hit ? 0 : 1;
            ok = writer->writeColumn(column);
        }
        ok = ok && writer->endScan();
        if (!ok) {
            error = writer->errorText();
            writer->endFile();
            return false;
        }
        report.points = qint64(opts.columns) * opts.pointsPerColumn;
        done.push_back(report);
    }
    if (!openFile.isEmpty() && !writer->endFile()) {
        error = writer->errorText();
        done.clear();
        return false;
    }
    if (opts.indexFile) {
        const QString path = QDir(opts.outputFolder).filePath(opts.baseName + writer->extension());
        if (!writer->writeIndexFile(path, files())) {
            error = writer->errorText();
            return false;
        }
        indexPath = path;
    }
    return true;
}

} // namespace orthaven::genscan

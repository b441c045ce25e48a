// orthaven-genscan: writes synthetic terrestrial scans of a small building (three rooms,
// doors, a window, columns) from several stations, for tests, the demo and benchmarks.

#include "genscan/GenScanJob.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <iostream>

using namespace orthaven::genscan;

namespace {

bool toInt(const QString& text, int& value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

bool toOffset(const QString& text, Vec3& offset)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    double v[3] = {0, 0, 0};
    for (int k = 0; k < parts.size(); ++k) {
        bool ok = false;
        v[k] = QLocale::c().toDouble(parts[k].trimmed(), &ok);
        if (!ok)
            return false;
    }
    offset = {v[0], v[1], v[2]};
    return true;
}

std::string number(double value)
{
    std::string text;
    appendNumber(text, value);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orthaven-genscan"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes synthetic laser scans of a three-room building."));
    parser.addHelpOption();
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Folder for the scan files (created)."),
                                    QStringLiteral("folder"), QStringLiteral("."));
    const QCommandLineOption format(
        {QStringLiteral("f"), QStringLiteral("format")},
        QStringLiteral("Scan format: %1.").arg(scanWriterFormats().join(QStringLiteral(", "))),
        QStringLiteral("name"), QStringLiteral("ptx"));
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Base name of the files (default scan)."),
                                  QStringLiteral("base"), QStringLiteral("scan"));
    const QCommandLineOption stations({QStringLiteral("s"), QStringLiteral("stations")},
                                      QStringLiteral("Number of stations (default 3)."),
                                      QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption rows(QStringLiteral("points-per-column"),
                                  QStringLiteral("Points per scan column (default 500)."),
                                  QStringLiteral("n"), QStringLiteral("500"));
    const QCommandLineOption columns(QStringLiteral("columns"),
                                     QStringLiteral("Scan columns (default 1000)."),
                                     QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption noIntensity(QStringLiteral("no-intensity"),
                                         QStringLiteral("Write no intensity values."));
    const QCommandLineOption colour(QStringLiteral("colour"),
                                    QStringLiteral("Write red, green and blue per point."));
    const QCommandLineOption noCeiling(QStringLiteral("no-ceiling"),
                                       QStringLiteral("Leave the rooms open to the sky."));
    const QCommandLineOption storeys(
        QStringLiteral("storeys"),
        QStringLiteral("Floors of the building, one above the other (default 1)."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of station places and range noise."),
                                  QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption noise(QStringLiteral("noise"),
                                   QStringLiteral("Range noise in metres (default 0.002)."),
                                   QStringLiteral("m"), QStringLiteral("0.002"));
    const QCommandLineOption offset(
        QStringLiteral("offset"),
        QStringLiteral("Georeferenced offset added to every pose, e.g. 500000,5400000,0."),
        QStringLiteral("x,y[,z]"));
    const QCommandLineOption turn(
        QStringLiteral("turn"),
        QStringLiteral("Turn the scene counter-clockwise about the vertical axis, degrees."),
        QStringLiteral("deg"), QStringLiteral("0"));
    const QCommandLineOption single(
        QStringLiteral("single-file"),
        QStringLiteral("All stations in one file (PTX, E57, RSP, LAS)."));
    const QCommandLineOption index(
        QStringLiteral("index"),
        QStringLiteral("Also write an index file <base>.ptg naming the scan files (PTG)."));
    const QCommandLineOption pointFormat(
        QStringLiteral("point-format"),
        QStringLiteral("LAS point format: 0 to 3 (LAS 1.2) or 6 to 8 (LAS 1.4); default 3 with "
                       "--colour, else 1."),
        QStringLiteral("n"));
    parser.addOptions({output, format, name, stations, rows, columns, noIntensity, colour,
                       noCeiling, storeys, seed, noise, offset, turn, single, index, pointFormat});
    parser.process(app);

    GenScanOptions options;
    options.outputFolder = parser.value(output);
    options.format = parser.value(format);
    options.baseName = parser.value(name);
    options.intensity = !parser.isSet(noIntensity);
    options.colour = parser.isSet(colour);
    options.ceiling = !parser.isSet(noCeiling);
    options.oneFile = parser.isSet(single);
    options.indexFile = parser.isSet(index);
    bool ok = toInt(parser.value(stations), options.stations) &&
              toInt(parser.value(rows), options.pointsPerColumn) &&
              toInt(parser.value(columns), options.columns) &&
              toInt(parser.value(storeys), options.storeys) &&
              (!parser.isSet(pointFormat) || toInt(parser.value(pointFormat), options.pointFormat));
    bool seedOk = false;
    options.seed = parser.value(seed).toULongLong(&seedOk);
    bool noiseOk = false;
    options.rangeNoise = QLocale::c().toDouble(parser.value(noise), &noiseOk);
    bool turnOk = false;
    options.turn = QLocale::c().toDouble(parser.value(turn), &turnOk);
    if (!ok || !seedOk || !noiseOk || !turnOk ||
        (parser.isSet(offset) && !toOffset(parser.value(offset), options.offset))) {
        std::cerr << "orthaven-genscan: options need numbers; see --help" << std::endl;
        return 2;
    }

    GenScanJob job(options);
    const QString problem = job.checkOptions();
    if (!problem.isEmpty()) {
        std::cerr << "orthaven-genscan: " << problem.toStdString() << std::endl;
        return 2;
    }
    if (!job.run()) {
        std::cerr << "orthaven-genscan: " << job.errorText().toStdString() << std::endl;
        return 1;
    }
    qint64 total = 0;
    for (const StationReport& r : job.reports()) {
        const auto& m = r.pose;
        std::cout << "station " << r.station << ": "
                  << QDir::toNativeSeparators(r.file).toStdString() << " scan " << r.scanInFile
                  << ", " << r.columns << " columns x " << r.pointsPerColumn << " points, "
                  << r.missing << " missing, position " << number(m[3]) << " " << number(m[7])
                  << " " << number(m[11]) << std::endl;
        total += r.points;
    }
    std::cout << job.reports().size() << " scans, " << total << " points in " << job.files().size()
              << " files" << std::endl;
    if (!job.indexFile().isEmpty())
        std::cout << "index file " << QDir::toNativeSeparators(job.indexFile()).toStdString()
                  << std::endl;
    return 0;
}

#include "cli/JobLine.h"

#include "cli/JobFile.h"
#include "layout/Views.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

namespace orthaven {

namespace {

QString number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString color(const QColor& c)
{
    return QStringLiteral("%1,%2,%3,%4").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

// As QProcess::splitCommand reads it back: blanks inside quotes, a quote as three quotes.
QString quoted(const QString& argument)
{
    if (!argument.isEmpty() && !argument.contains(QLatin1Char(' ')) &&
        !argument.contains(QLatin1Char('\t')) && !argument.contains(QLatin1Char('"')))
        return argument;
    return QLatin1Char('"') +
           QString(argument).replace(QStringLiteral("\""), QStringLiteral("\"\"\"")) +
           QLatin1Char('"');
}

} // namespace

void applyJobOptions(const CommandLine& options, const ConfigSettings& config, LayoutJob& job)
{
    job.view = options.view;
    job.imageType = options.imageType;
    job.printScale = options.printScale;
    job.layer = options.layer;
    job.worldFiles = options.worldFiles;
    job.dxf = options.dxf;
    job.crs = options.crs;
    job.pdfPaper.reset();
    if (options.pdf)
        job.pdfPaper = options.paper.value_or(Paper{});
    job.invertColor = options.invertColor.value_or(config.invertColor);
    job.resolution = options.resolution.value_or(config.resolution);
    job.scannerDomain = options.scannerDomain.value_or(config.scannerDomain);
    job.tileSize = options.tileSize.value_or(config.tileSize);
    job.grid = options.grid.value_or(config.grid);
    job.gridColor = options.gridColor.value_or(config.gridColor);
    job.textColor = options.textColor.value_or(config.textColor);
    job.scanPosColor1 = options.usedScanColor.value_or(config.scanPosColor1);
    job.scanPosColor2 = options.unusedScanColor.value_or(config.scanPosColor2);
    job.coordSystemSize = options.symbolSize.value_or(config.coordSystemSize);
    job.threads = options.threads.value_or(0);
    job.memoryBudgetBytes = options.memoryMegabytes.value_or(0) * 1024 * 1024;
    if (options.facade) {
        // The planes are distances from the line; the job keeps them as frame depths.
        setFacade(job, *options.facade, options.clipLow.value_or(FacadeLine::defaultLow),
                  options.clipHigh.value_or(FacadeLine::defaultHigh));
    } else {
        job.facade.reset();
        job.azimuth = options.azimuth.value_or(0.0);
        job.clipLow = options.clipLow.value_or(job.clipLow);
        job.clipHigh = options.clipHigh.value_or(job.clipHigh);
    }
}

QStringList jobArguments(const LayoutJob& job)
{
    using L = QLatin1String;
    QStringList a;
    if (job.facade) {
        const FacadeLine& line = *job.facade;
        a << L("--facade")
          << QStringList{number(line.from.x), number(line.from.y), number(line.to.x),
                         number(line.to.y)}
                 .join(QLatin1Char(','));
        a << L("--clip-low") << number(job.clipLow - line.depth()) << L("--clip-high")
          << number(job.clipHigh - line.depth());
    } else {
        const ViewInfo* view = viewInfo(job.view);
        a << L("--view") << QLatin1String(view ? view->optionName : viewInfo(Top)->optionName);
        a << L("--azimuth") << number(job.azimuth);
        a << L("--clip-low") << number(job.clipLow) << L("--clip-high") << number(job.clipHigh);
    }
    if (job.scanList.count(true) != job.scanList.size()) {
        QStringList scans;
        for (qsizetype i = 0; i < job.scanList.size(); ++i) {
            if (job.scanList.testBit(i))
                scans.append(QString::number(i));
        }
        a << L("--scans") << scans.join(QLatin1Char(','));
    }
    a << L("--out") << QDir::fromNativeSeparators(job.outputFile);
    a << L("--type") << job.imageType;
    a << L("--layer") << QLatin1String(layerName(job.layer));
    if (job.printScale > 0)
        a << L("--print-scale") << QString::number(job.printScale);
    if (!job.worldFiles)
        a << L("--no-world-files");
    if (!job.dxf)
        a << L("--no-dxf");
    if (!job.crs.isEmpty())
        a << L("--crs") << job.crs;
    if (job.pdfPaper)
        a << L("--pdf") << L("--paper") << job.pdfPaper->name();
    a << L("--resolution") << number(job.resolution) << L("--domain") << number(job.scannerDomain)
      << L("--tile") << number(job.tileSize);
    a << (job.invertColor ? L("--invert") : L("--no-invert"));
    a << (job.grid ? L("--grid") : L("--no-grid"));
    a << L("--grid-color") << color(job.gridColor) << L("--text-color") << color(job.textColor)
      << L("--used-scan-color") << color(job.scanPosColor1) << L("--unused-scan-color")
      << color(job.scanPosColor2) << L("--symbol-size") << QString::number(job.coordSystemSize);
    a << L("--");
    for (const QString& input : job.inputFiles)
        a << QDir::fromNativeSeparators(input);
    return a;
}

QString jobLine(const LayoutJob& job)
{
    QStringList words;
    for (const QString& argument : jobArguments(job))
        words.append(quoted(argument));
    return words.join(QLatin1Char(' '));
}

bool writeBatchList(const QList<LayoutJob>& jobs, const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString text = QStringLiteral("# The batch list of the Orthaven window: one layout job per "
                                  "line, as orthaven-layout --jobs reads it.\n");
    for (const LayoutJob& job : jobs)
        text += jobLine(job) + QLatin1Char('\n');
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

QList<LayoutJob> readBatchList(const QString& path, const ConfigSettings& config,
                               QStringList& problems)
{
    QList<LayoutJob> jobs;
    if (!QFileInfo::exists(path))
        return jobs;
    JobFile file;
    QString error;
    if (!readJobFile(path, file, error)) {
        problems.append(error);
        return jobs;
    }
    problems += file.problems;
    for (const FileJob& line : file.jobs) {
        const CommandLine& options = line.options;
        if (!options.facade && (!options.clipLow || !options.clipHigh)) {
            problems.append(QStringLiteral("line %1: the batch list needs both clipping planes "
                                           "(--clip-low and --clip-high)")
                                .arg(line.line));
            continue;
        }
        LayoutJob job;
        job.inputFiles = options.inputFiles;
        for (QString& input : job.inputFiles)
            input = QDir::toNativeSeparators(input);
        job.outputFile = QDir::toNativeSeparators(options.outputFile);
        // The flags of the scans named; none named: every scan, once the files are read.
        for (int index : options.scans) {
            if (index >= job.scanList.size())
                job.scanList.resize(index + 1);
            job.scanList.setBit(index);
        }
        applyJobOptions(options, config, job);
        jobs.append(job);
    }
    return jobs;
}

} // namespace orthaven

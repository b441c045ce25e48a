#include "cli/CommandLine.h"

#include "layout/ImageFormats.h"
#include "layout/LayoutJob.h"
#include "scan/ScanSourceFactory.h"

#include <QLocale>

#include <cmath>

namespace orthaven {

namespace {

// "a, b or c"
QString alternatives(const QStringList& words)
{
    if (words.size() < 2)
        return words.join(QString());
    return words.mid(0, words.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") +
           words.last();
}

// "top|left|back|right|front"
QString optionWords()
{
    QStringList names;
    for (const ViewInfo& info : views())
        names.append(QLatin1String(info.optionName));
    return names.join(QLatin1Char('|'));
}

// "png|jpg|tif"
QString typeWords()
{
    return imageFormatSuffixes().join(QLatin1Char('|'));
}

QString viewOptionNames()
{
    QStringList names;
    for (const ViewInfo& info : views())
        names.append(QLatin1String(info.optionName));
    return alternatives(names);
}

bool toNumber(const QString& text, double& value)
{
    bool ok = false;
    value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value);
}

bool toScanList(const QString& text, std::vector<int>& scans)
{
    scans.clear();
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts) {
        const QString trimmed = part.trimmed();
        bool ok = false;
        const int index = trimmed.toInt(&ok);
        if (!ok || index < 0 || trimmed.startsWith(QLatin1Char('+')))
            return false;
        scans.push_back(index);
    }
    return !scans.empty();
}

// The options that take a value, with what each does with it. Returns an empty text on
// success, otherwise why the value is refused.
QString applyValue(const QString& name, const QString& value, CommandLine& options)
{
    double number = 0.0;
    if (name == QLatin1String("--view")) {
        const QByteArray name = value.toLatin1();
        if (const ViewInfo* info = viewByOptionName(name.constData(), std::size_t(name.size()))) {
            options.view = info->view;
            return {};
        }
        return QStringLiteral("--view must be %1, not \"%2\"").arg(viewOptionNames(), value);
    }
    if (name == QLatin1String("--scans")) {
        if (!toScanList(value, options.scans))
            return QStringLiteral("--scans needs scan numbers separated by commas (e.g. 0,2,5), "
                                  "not \"%1\"")
                .arg(value);
        return {};
    }
    if (name == QLatin1String("--clip-low") || name == QLatin1String("--clip-high")) {
        if (!toNumber(value, number))
            return QStringLiteral("%1 needs a number of metres, not \"%2\"").arg(name, value);
        (name == QLatin1String("--clip-low") ? options.clipLow : options.clipHigh) = number;
        return {};
    }
    if (name == QLatin1String("--out")) {
        if (value.trimmed().isEmpty())
            return QStringLiteral("--out needs a file name");
        options.outputFile = value;
        // The same rule as the Layout Creator's file dialog: the ending is compared as it is.
        if (!options.outputFile.endsWith(QLatin1String(".log")))
            options.outputFile += QStringLiteral(".log");
        return {};
    }
    if (name == QLatin1String("--type")) {
        const ImageFormat* format = imageFormatFor(value);
        if (!format)
            return QStringLiteral("--type must be %1, not \"%2\"")
                .arg(alternatives(imageFormatSuffixes()), value);
        options.imageType = QLatin1String(format->suffix);
        return {};
    }
    if (name == QLatin1String("--print-scale")) {
        bool ok = false;
        const int scale = value.trimmed().toInt(&ok);
        if (!ok || scale < 1 || scale > 100000)
            return QStringLiteral("--print-scale needs a scale from 1 to 100000 (50 for 1:50), "
                                  "not \"%1\"")
                .arg(value);
        options.printScale = scale;
        return {};
    }
    if (name == QLatin1String("--layer")) {
        if (!layerByName(value.trimmed(), options.layer))
            return QStringLiteral("--layer must be density, intensity or colour, not \"%1\"")
                .arg(value);
        return {};
    }
    if (name == QLatin1String("--resolution")) {
        if (!toNumber(value, number) || number <= 0.0 || number > 10.0)
            return QStringLiteral("--resolution needs metres per pixel above 0 and at most 10, "
                                  "not \"%1\"")
                .arg(value);
        options.resolution = number;
        return {};
    }
    if (name == QLatin1String("--domain")) {
        if (!toNumber(value, number) || number <= 0.0)
            return QStringLiteral("--domain needs a scan radius in metres above 0, not \"%1\"")
                .arg(value);
        options.scannerDomain = number;
        return {};
    }
    if (name == QLatin1String("--tile")) {
        // Tiles are made of whole 10 m raw tiles.
        if (!toNumber(value, number) || number < 10.0 || number > 100000.0 ||
            std::fmod(number, 10.0) != 0.0)
            return QStringLiteral("--tile needs a whole multiple of 10 m, not \"%1\"").arg(value);
        options.tileSize = number;
        return {};
    }
    if (name == QLatin1String("--threads")) {
        bool ok = false;
        const int threads = value.trimmed().toInt(&ok);
        if (!ok || threads < 1 || threads > 1024)
            return QStringLiteral("--threads needs a number of threads from 1 to 1024, not \"%1\"")
                .arg(value);
        options.threads = threads;
        return {};
    }
    if (name == QLatin1String("--memory")) {
        bool ok = false;
        const qlonglong megabytes = value.trimmed().toLongLong(&ok);
        if (!ok || megabytes < 1 || megabytes > (qlonglong(1) << 40))
            return QStringLiteral("--memory needs a number of megabytes above 0, not \"%1\"")
                .arg(value);
        options.memoryMegabytes = megabytes;
        return {};
    }
    if (name == QLatin1String("--jobs")) {
        if (value.trimmed().isEmpty())
            return QStringLiteral("--jobs needs a job file");
        options.jobFile = value;
        return {};
    }
    return QStringLiteral("unknown option %1").arg(name);
}

bool takesValue(const QString& name)
{
    static const char* const names[] = {"--view",        "--scans", "--clip-low",   "--clip-high",
                                        "--out",         "--type",  "--resolution", "--domain",
                                        "--tile",        "--jobs",  "--threads",    "--memory",
                                        "--print-scale", "--layer"};
    for (const char* n : names) {
        if (name == QLatin1String(n))
            return true;
    }
    return false;
}

} // namespace

bool parseCommandLine(const QStringList& arguments, CommandLine& options, QString& error)
{
    options = CommandLine();
    error.clear();
    bool optionsEnded = false;
    for (int k = 0; k < arguments.size(); ++k) {
        const QString& argument = arguments[k];
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) ||
            argument == QLatin1String("-")) {
            options.inputFiles.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = argument;
        QString value;
        bool hasValue = false;
        const int equals = argument.indexOf(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && equals > 2) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
            hasValue = true;
        }

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.help = true;
        } else if (name == QLatin1String("--version")) {
            options.version = true;
        } else if (name == QLatin1String("--list")) {
            options.list = true;
        } else if (name == QLatin1String("--verbose") || name == QLatin1String("-v")) {
            options.verbose = true;
        } else if (name == QLatin1String("--invert")) {
            options.invertColor = true;
        } else if (name == QLatin1String("--no-invert")) {
            options.invertColor = false;
        } else if (name == QLatin1String("--no-world-files")) {
            options.worldFiles = false;
        } else if (takesValue(name)) {
            if (!hasValue) {
                // The next argument is the value even when it starts with "-" (a negative
                // clipping plane).
                if (k + 1 >= arguments.size()) {
                    error = QStringLiteral("%1 needs a value").arg(name);
                    return false;
                }
                value = arguments[++k];
            }
            error = applyValue(name, value, options);
            if (!error.isEmpty())
                return false;
            continue;
        } else {
            error = QStringLiteral("unknown option %1").arg(name);
            return false;
        }
        if (hasValue) {
            error = QStringLiteral("%1 takes no value").arg(name);
            return false;
        }
    }
    if (options.help || options.version)
        return true;
    if (!options.jobFile.isEmpty()) {
        // Each job of the file carries its own options; only --verbose, --threads and
        // --memory apply to all.
        CommandLine plain;
        plain.jobFile = options.jobFile;
        plain.verbose = options.verbose;
        plain.threads = options.threads;
        plain.memoryMegabytes = options.memoryMegabytes;
        const bool onlyJobs =
            options.inputFiles.isEmpty() && !options.list && options.view == plain.view &&
            options.scans.empty() && !options.clipLow && !options.clipHigh &&
            options.outputFile.isEmpty() && options.imageType == plain.imageType &&
            !options.resolution && !options.scannerDomain && !options.tileSize &&
            !options.invertColor && options.printScale == 0 && options.worldFiles &&
            options.layer == plain.layer;
        if (!onlyJobs) {
            error = QStringLiteral("--jobs takes the options of every job from its file; only "
                                   "--verbose, --threads and --memory may stand beside it");
            return false;
        }
        options = plain;
        return true;
    }
    if (options.inputFiles.isEmpty()) {
        error = QStringLiteral("no scan files given");
        return false;
    }
    if (options.clipLow && options.clipHigh && !(*options.clipLow < *options.clipHigh)) {
        error = QStringLiteral("--clip-low must be below --clip-high");
        return false;
    }
    return true;
}

QString usageText()
{
    return QStringLiteral(
               "Usage: orthaven-layout [options] SCAN_FILE...\n"
               "       orthaven-layout [--verbose] [--threads N] [--memory MB] --jobs FILE\n"
               "\n"
               "Computes one layout from the scans of the given files (all of one format: %1)\n"
               "and writes its tiles, overview thumbnail and layout log.\n"
               "\n"
               "Options:\n"
               "  --view %2  view direction (default top)\n"
               "  --scans N,N,...       scan numbers to use, as --list shows them (default all)\n"
               "  --clip-low M          lower clipping plane along the view's depth axis, metres\n"
               "  --clip-high M         upper clipping plane; both default to the depth range of\n"
               "                        the chosen scan positions widened by the scan radius,\n"
               "                        rounded outward and widened by 1 m\n"
               "  --out FILE[.log]      layout log to write (\".log\" appended when missing); the\n"
               "                        tiles and the thumbnail go beside it, named after its "
               "base\n"
               "                        name (default Layout.log, Left_View.log, ... by view)\n"
               "  --type %3    tile image type (default png)\n"
               "  --print-scale N       give the tiles the resolution that prints them at 1:N\n"
               "                        (50 for 1:50; default: none)\n"
               "  --no-world-files      write no world file (.pgw, .jgw, .tfw) beside each tile\n"
               "  --layer L             what the tiles show: density (default), intensity (grey)\n"
               "                        or colour (true colour) of the points\n"
               "  --resolution M        metres per pixel           (default from orthaven.cfg)\n"
               "  --domain M            scan radius in metres      (default from orthaven.cfg)\n"
               "  --tile M              tile size, a multiple of 10 m (default from orthaven.cfg)\n"
               "  --invert, --no-invert dark background with light points, or the reverse\n"
               "                        (default from orthaven.cfg)\n"
               "  --jobs FILE           run the jobs of FILE one after another: one job per line,\n"
               "                        written like this command line (see "
               "docs/orthaven-layout.md)\n"
               "  --list                print every scan: number, name and position (x y z in\n"
               "                        metres, project coordinates), then exit\n"
               "  --threads N           threads the layout may use (default: one per core)\n"
               "  --memory MB           memory for the tiles of a layout in megabytes (default: a\n"
               "                        quarter of the machine's memory); tiles beyond it are\n"
               "                        kept in temporary files, the layout is the same\n"
               "  -v, --verbose         show the engine's diagnostic lines and the peak memory\n"
               "  --version             show the program's version\n"
               "  -h, --help            show this text\n"
               "\n"
               "Exit codes: 0 success, 1 the layout (or a job of the file) failed, 2 bad "
               "arguments,\n"
               "3 another run is writing a layout of that name into the folder, 130 interrupted\n"
               "by Ctrl+C (128 + the signal's number).\n")
        .arg(supportedScanExtensions().join(QStringLiteral(", ")), optionWords(), typeWords());
}

} // namespace orthaven

#include "cli/CommandLine.h"

#include "engine/CoordinateSystem.h"
#include "layout/ImageFormats.h"
#include "layout/LayoutJob.h"
#include "scan/ScanSourceFactory.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace orthaven {

namespace {

// "a, b or c"; "a, b and c" with "and"
QString alternatives(const QStringList& words, const char* conjunction = "or")
{
    if (words.size() < 2)
        return words.join(QString());
    return words.mid(0, words.size() - 1).join(QStringLiteral(", ")) + QLatin1Char(' ') +
           QLatin1String(conjunction) + QLatin1Char(' ') + words.last();
}

QStringList viewOptionNames()
{
    QStringList names;
    for (const ViewInfo& info : views())
        names.append(QLatin1String(info.optionName));
    return names;
}

// A number in the C notation, finite and within the bounds (low excluded when open).
bool setNumber(const QString& text, std::optional<double>& field, double low = -HUGE_VAL,
               double high = HUGE_VAL, bool openLow = false)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value) || value < low || (openLow && value == low) || value > high)
        return false;
    field = value;
    return true;
}

template <typename Whole>
bool setWhole(const QString& text, Whole& field, qlonglong low, qlonglong high)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < low || value > high)
        return false;
    field = Whole(value);
    return true;
}

template <typename Field, typename Given> bool set(Field& field, Given value)
{
    field = value;
    return true;
}

// "X1,Y1,X2,Y2": two points in the C notation, far enough apart to give a direction.
bool setFacade(const QString& text, std::optional<FacadeLine>& facade)
{
    const QStringList parts = text.split(QLatin1Char(','));
    std::optional<double> v[4];
    for (qsizetype k = 0; k < parts.size() && k < 4; ++k)
        setNumber(parts[k], v[k]);
    if (parts.size() != 4 || !v[0] || !v[1] || !v[2] || !v[3])
        return false;
    const FacadeLine line{{*v[0], *v[1]}, {*v[2], *v[3]}};
    facade = line;
    return line.isUsable();
}

// "R,G,B,A": four whole numbers from 0 to 255, as the preferences take them.
bool setColor(const QString& text, std::optional<QColor>& color)
{
    const QStringList parts = text.split(QLatin1Char(','));
    int c[4] = {};
    for (qsizetype k = 0; k < parts.size() && k < 4; ++k) {
        if (!setWhole(parts[k], c[k], 0, 255))
            return false;
    }
    if (parts.size() != 4)
        return false;
    color = QColor(c[0], c[1], c[2], c[3]);
    return true;
}

bool setScans(const QString& text, std::vector<int>& scans)
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

// Where an option may stand.
enum class Reach
{
    Job,    // one job's option: on the command line or a line of a job file
    Shared, // also beside --jobs, for every job of the file that does not name its own
    Run,    // what the run does instead of a layout (--help, --list, --jobs ...)
};

// One row per option: everything the parser, the usage text and the --jobs rule know of
// it. apply takes the value (empty for a switch) into the options; when it refuses it,
// refusal says why, with %1 for the value.
struct OptionRow
{
    QStringList names; // short names (one letter) first: {"v", "verbose"}
    QString valueName; // shown in the usage text; empty for a switch
    QString help;      // lines of the usage text; empty: shown with the row above
    Reach reach;
    bool (*apply)(const QString& value, CommandLine& options);
    QString refusal = {};
};

using Options = CommandLine;
using Value = const QString&;

QString written(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The options in the order of the usage text.
const std::vector<OptionRow>& optionTable()
{
    using L = QLatin1String;
    static const std::vector<OptionRow> rows = {
        {{L("view")},
         viewOptionNames().join(QLatin1Char('|')),
         L("view direction (default top)"),
         Reach::Job,
         [](Value v, Options& o) {
             const QByteArray name = v.toLatin1();
             const ViewInfo* info = viewByOptionName(name.constData(), std::size_t(name.size()));
             o.view = info ? info->view : o.view;
             return info != nullptr;
         },
         QLatin1String("--view must be ") + alternatives(viewOptionNames()) + L(", not \"%1\"")},
        {{L("azimuth")},
         L("DEG"),
         L("turn the layout's frame by DEG degrees counter-clockwise\n"
           "about the vertical axis through the project origin\n"
           "(default 0)"),
         Reach::Job,
         [](Value v, Options& o) { return setNumber(v, o.azimuth, -360, 360); },
         "--azimuth needs degrees from -360 to 360, not \"%1\""},
        {{L("facade")},
         L("X1,Y1,X2,Y2"),
         L("the elevation of the vertical plane through two points\n"
           "(project metres), seen from the right of the line from\n"
           "the first to the second; the planes are then distances\n"
           "from the line (default -2 and 0.5)"),
         Reach::Job,
         [](Value v, Options& o) { return setFacade(v, o.facade); },
         "--facade needs two points X1,Y1,X2,Y2 in metres at least 1 cm apart, not \"%1\""},
        {{L("scans")},
         L("N,N,..."),
         L("scan numbers to use, as --list shows them (default all)"),
         Reach::Job,
         [](Value v, Options& o) { return setScans(v, o.scans); },
         "--scans needs scan numbers separated by commas (e.g. 0,2,5), not \"%1\""},
        {{L("clip-low")},
         L("M"),
         L("lower clipping plane along the view's depth axis, metres"),
         Reach::Job,
         [](Value v, Options& o) { return setNumber(v, o.clipLow); },
         "--clip-low needs a number of metres, not \"%1\""},
        {{L("clip-high")},
         L("M"),
         L("upper clipping plane; both default to the depth range of\n"
           "the chosen scan positions widened by the scan radius\n"
           "(of the points, for scans without a position: LAS),\n"
           "rounded outward and widened by 1 m"),
         Reach::Job,
         [](Value v, Options& o) { return setNumber(v, o.clipHigh); },
         "--clip-high needs a number of metres, not \"%1\""},
        {{L("out")},
         L("FILE[.log]"),
         L("layout log to write (\".log\" appended when missing); the\n"
           "tiles and the thumbnail go beside it, named after its base\n"
           "name (default Layout.log, Left_View.log, ... by view)"),
         Reach::Job,
         [](Value v, Options& o) {
             // The same rule as the Layout Creator's file dialog: the ending is compared as
             // it is.
             o.outputFile = v.endsWith(L(".log")) ? v : v + L(".log");
             return !v.trimmed().isEmpty();
         },
         "--out needs a file name"},
        {{L("type")},
         imageFormatSuffixes().join(QLatin1Char('|')),
         L("tile image type (default png)"),
         Reach::Job,
         [](Value v, Options& o) {
             const ImageFormat* format = imageFormatFor(v);
             o.imageType = format ? QString(L(format->suffix)) : o.imageType;
             return format != nullptr;
         },
         QLatin1String("--type must be ") + alternatives(imageFormatSuffixes()) +
             L(", not \"%1\"")},
        {{L("print-scale")},
         L("N"),
         L("give the tiles the resolution that prints them at 1:N\n"
           "(50 for 1:50; default: none)"),
         Reach::Job,
         [](Value v, Options& o) { return setWhole(v, o.printScale, 1, 100000); },
         "--print-scale needs a scale from 1 to 100000 (50 for 1:50), not \"%1\""},
        {{L("no-world-files")},
         {},
         L("write no world file (.pgw, .jgw, .tfw) beside each tile\n"
           "and no mosaic (.vrt) of all tiles"),
         Reach::Job,
         [](Value, Options& o) { return set(o.worldFiles, false); }},
        {{L("no-dxf")},
         {},
         L("write no drawing (.dxf) of the tile frames and scan positions"),
         Reach::Job,
         [](Value, Options& o) { return set(o.dxf, false); }},
        {{L("crs")},
         L("EPSG:N"),
         L("the projected coordinate system (metres) of a plan's\n"
           "project coordinates: a .prj beside each world file, the\n"
           "mosaic's SRS, GeoTIFF tiles with --type tif (default: none)"),
         Reach::Job,
         [](Value v, Options& o) {
             o.crs = v.trimmed();
             return !o.crs.isEmpty();
         },
         "--crs needs an EPSG code such as EPSG:25832"},
        {{L("pdf")},
         {},
         L("write the layout at its print scale into a PDF (needs\n"
           "--print-scale), on as many pages as it takes"),
         Reach::Job,
         [](Value, Options& o) { return set(o.pdf, true); }},
        {{L("paper")},
         L("SIZE"),
         L("paper of the PDF: A4 to A0, -portrait or -landscape\n"
           "(default A4-portrait)"),
         Reach::Job,
         [](Value v, Options& o) {
             o.paper = paperByName(v);
             return o.paper.has_value();
         },
         QLatin1String("--paper must be ") + alternatives(paperNames()) + L(", not \"%1\"")},
        {{L("layer")},
         L("L"),
         L("what the tiles show: density (default), intensity (grey)\n"
           "or colour (true colour) of the points"),
         Reach::Job,
         [](Value v, Options& o) { return layerByName(v.trimmed(), o.layer); },
         "--layer must be density, intensity or colour, not \"%1\""},
        {{L("resolution")},
         L("M"),
         L("metres per pixel           (default from orthaven.cfg)"),
         Reach::Job,
         [](Value v, Options& o) { return setNumber(v, o.resolution, 0, 10, true); },
         "--resolution needs metres per pixel above 0 and at most 10, not \"%1\""},
        {{L("domain")},
         L("M"),
         L("scan radius in metres      (default from orthaven.cfg)"),
         Reach::Job,
         [](Value v, Options& o) { return setNumber(v, o.scannerDomain, 0, HUGE_VAL, true); },
         "--domain needs a scan radius in metres above 0, not \"%1\""},
        {{L("tile")},
         L("M"),
         L("tile size, a multiple of 10 m (default from orthaven.cfg)"),
         Reach::Job,
         [](Value v, Options& o) {
             // Tiles are made of whole 10 m raw tiles.
             return setNumber(v, o.tileSize, 10, 100000) && std::fmod(*o.tileSize, 10.0) == 0;
         },
         "--tile needs a whole multiple of 10 m, not \"%1\""},
        {{L("invert")},
         {},
         L("dark background with light points, or the reverse\n"
           "(default from orthaven.cfg)"),
         Reach::Job,
         [](Value, Options& o) { return set(o.invertColor, true); }},
        {{L("no-invert")},
         {},
         {},
         Reach::Job,
         [](Value, Options& o) { return set(o.invertColor, false); }},
        {{L("grid")},
         {},
         L("draw the tile grid and metre labels on the overview\n"
           "thumbnail, or not (default from orthaven.cfg)"),
         Reach::Job,
         [](Value, Options& o) { return set(o.grid, true); }},
        {{L("no-grid")}, {}, {}, Reach::Job, [](Value, Options& o) { return set(o.grid, false); }},
        {{L("grid-color")},
         L("R,G,B,A"),
         L("colour of that grid: red, green, blue and alpha from 0\n"
           "to 255 (default from orthaven.cfg, as the colours below)"),
         Reach::Job,
         [](Value v, Options& o) { return setColor(v, o.gridColor); },
         "--grid-color needs four numbers from 0 to 255 (R,G,B,A), not \"%1\""},
        {{L("text-color")},
         L("R,G,B,A"),
         L("colour of the texts of the overview pictures"),
         Reach::Job,
         [](Value v, Options& o) { return setColor(v, o.textColor); },
         "--text-color needs four numbers from 0 to 255 (R,G,B,A), not \"%1\""},
        {{L("used-scan-color")},
         L("R,G,B,A"),
         L("colour of the used scan positions on them"),
         Reach::Job,
         [](Value v, Options& o) { return setColor(v, o.usedScanColor); },
         "--used-scan-color needs four numbers from 0 to 255 (R,G,B,A), not \"%1\""},
        {{L("unused-scan-color")},
         L("R,G,B,A"),
         L("colour of the unused scan positions on them"),
         Reach::Job,
         [](Value v, Options& o) { return setColor(v, o.unusedScanColor); },
         "--unused-scan-color needs four numbers from 0 to 255 (R,G,B,A), not \"%1\""},
        {{L("symbol-size")},
         L("PX"),
         L("length of the coordinate symbol's arrows on the overview\n"
           "pictures, pixels (default from orthaven.cfg)"),
         Reach::Job,
         [](Value v, Options& o) { return setWhole(v, o.symbolSize, 1, 10000); },
         "--symbol-size needs a number of pixels from 1 to 10000, not \"%1\""},
        {{L("jobs")},
         L("FILE"),
         L("run the jobs of FILE one after another: one job per line,\n"
           "written like this command line (see docs/orthaven-layout.md)"),
         Reach::Run,
         [](Value v, Options& o) {
             o.jobFile = v;
             return !v.trimmed().isEmpty();
         },
         "--jobs needs a job file"},
        {{L("list")},
         {},
         L("print every scan: number, name and position (x y z in\n"
           "metres, project coordinates; - - - for none), then exit"),
         Reach::Run,
         [](Value, Options& o) { return set(o.list, true); }},
        {{L("levels")},
         {},
         L("print the levels of the chosen scans, the largest share\n"
           "first: \"Level <height in m> <share of the points in %>\";\n"
           "for an elevation (--view, --facade) also the surfaces\n"
           "along its depth axis: \"Depth <m> <share in %>\"; then exit"),
         Reach::Run,
         [](Value, Options& o) { return set(o.levels, true); }},
        {{L("preview")},
         L("FILE"),
         L("write the plan of the chosen scans with the layout's tile\n"
           "grid and planes to FILE (.png, .jpg or .tif) without\n"
           "making the layout"),
         Reach::Run,
         [](Value v, Options& o) {
             o.previewFile = v;
             return imageFormatFor(QFileInfo(v).suffix()) != nullptr;
         },
         QLatin1String("--preview needs a file ending in .") +
             imageFormatSuffixes().join(QLatin1String(", .")) + L(", not \"%1\"")},
        {{L("v"), L("verbose")},
         {},
         L("show the engine's diagnostic lines and the peak memory"),
         Reach::Shared,
         [](Value, Options& o) { return set(o.verbose, true); }},
        {{L("threads")},
         L("N"),
         L("threads the layout may use (default: one per core)"),
         Reach::Shared,
         [](Value v, Options& o) { return setWhole(v, o.threads, 1, 1024); },
         "--threads needs a number of threads from 1 to 1024, not \"%1\""},
        {{L("memory")},
         L("MB"),
         L("memory for the tiles of a layout in megabytes (default: a\n"
           "quarter of the machine's memory); tiles beyond it are\n"
           "kept in temporary files, the layout is the same"),
         Reach::Shared,
         [](Value v, Options& o) { return setWhole(v, o.memoryMegabytes, 1, 1LL << 40); },
         "--memory needs a number of megabytes above 0, not \"%1\""},
        {{L("version")},
         {},
         L("show the program's version"),
         Reach::Run,
         [](Value, Options& o) { return set(o.version, true); }},
        {{L("h"), L("help")},
         {},
         L("show this text"),
         Reach::Run,
         [](Value, Options& o) { return set(o.help, true); }},
    };
    return rows;
}

const OptionRow* rowFor(const QString& name)
{
    for (const OptionRow& row : optionTable()) {
        if (row.names.contains(name))
            return &row;
    }
    return nullptr;
}

// "--threads N": an option's name with its value, as the usage text writes it.
QString withValue(const OptionRow& row)
{
    const QString name = written(row.names.last());
    return row.valueName.isEmpty() ? name : name + QLatin1Char(' ') + row.valueName;
}

// The options that may stand beside --jobs, as "[--threads N]" or as "--threads".
QStringList sharedOptions(bool bracketed)
{
    QStringList shared;
    for (const OptionRow& row : optionTable()) {
        if (row.reach == Reach::Shared)
            shared.append(bracketed ? QLatin1Char('[') + withValue(row) + QLatin1Char(']')
                                    : written(row.names.last()));
    }
    return shared;
}

// What the parser refused, said of the first argument it concerns as the user wrote it:
// an unknown option, a value given to a switch, or an option without its value.
QString refusal(const QStringList& arguments)
{
    for (qsizetype k = 0; k < arguments.size(); ++k) {
        const QString& argument = arguments[k];
        if (argument == QLatin1String("--"))
            break;
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
            continue;
        if (!argument.startsWith(QLatin1String("--"))) {
            // One dash: one or more one-letter switches ("-v", "-vh").
            bool known = true;
            for (const QChar letter : argument.mid(1))
                known = known && rowFor(QString(letter));
            if (!known)
                return QStringLiteral("unknown option %1").arg(argument);
            continue;
        }
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        const OptionRow* row = rowFor(name.mid(2));
        if (!row)
            return QStringLiteral("unknown option %1").arg(name);
        const bool hasValue = argument.contains(QLatin1Char('='));
        if (row->valueName.isEmpty() && hasValue)
            return QStringLiteral("%1 takes no value").arg(name);
        // The next argument is the value even when it starts with "-" (a negative
        // clipping plane).
        if (!row->valueName.isEmpty() && !hasValue && ++k >= arguments.size())
            return QStringLiteral("%1 needs a value").arg(name);
    }
    return {};
}

} // namespace

bool parseCommandLine(const QStringList& arguments, CommandLine& options, QString& error)
{
    options = CommandLine();
    error.clear();
    QCommandLineParser parser;
    for (const OptionRow& row : optionTable())
        parser.addOption(QCommandLineOption(row.names, row.help, row.valueName));
    // The parser takes the first argument for the program's name.
    if (!parser.parse(QStringList(QStringLiteral("orthaven-layout")) + arguments)) {
        error = refusal(arguments);
        if (error.isEmpty())
            error = parser.errorText();
        return false;
    }

    // Every option in the order given, so that a later one wins.
    std::map<const OptionRow*, qsizetype> valuesTaken;
    bool onlyShared = true; // nothing but what may stand beside --jobs
    for (const QString& name : parser.optionNames()) {
        const OptionRow& row = *rowFor(name);
        const QString value =
            row.valueName.isEmpty() ? QString() : parser.values(name).at(valuesTaken[&row]++);
        if (!row.apply(value, options)) {
            error = QString(row.refusal).replace(QLatin1String("%1"), value);
            // "0,02" typed as a German writes it: the value with a point would do.
            CommandLine probe;
            if (value.count(QLatin1Char(',')) == 1 && !value.contains(QLatin1Char('.')) &&
                row.apply(QString(value).replace(QLatin1Char(','), QLatin1Char('.')), probe))
                error += QStringLiteral(" (numbers take a point as the decimal separator: %1)")
                             .arg(QString(value).replace(QLatin1Char(','), QLatin1Char('.')));
            return false;
        }
        onlyShared =
            onlyShared && (row.reach == Reach::Shared || row.names.contains(QLatin1String("jobs")));
    }
    options.inputFiles = parser.positionalArguments();

    if (options.help || options.version)
        return true;
    if (!options.jobFile.isEmpty()) {
        // Each job of the file carries its own options.
        if (!onlyShared || !options.inputFiles.isEmpty()) {
            error = QStringLiteral("--jobs takes the options of every job from its file; only "
                                   "%1 may stand beside it")
                        .arg(alternatives(sharedOptions(false), "and"));
            return false;
        }
        return true;
    }
    if (options.inputFiles.isEmpty()) {
        error = QStringLiteral("no scan files given");
        return false;
    }
    if (options.facade) {
        // A facade is a front view in the frame of its line.
        if (options.azimuth || (parser.isSet(QStringLiteral("view")) && options.view != Front)) {
            error = QStringLiteral("--facade makes a front view along its line: leave out "
                                   "--view and --azimuth");
            return false;
        }
        options.view = Front;
    }
    if (options.pdf && options.printScale == 0) {
        error = QStringLiteral("--pdf prints the layout at its print scale: add --print-scale N");
        return false;
    }
    if (options.paper && !options.pdf) {
        error = QStringLiteral("--paper chooses the paper of the PDF: add --pdf");
        return false;
    }
    if (!options.crs.isEmpty()) {
        // Known before anything is read: a code PROJ does not know, or one that cannot
        // describe a plan's metres.
        if (options.view != Top || options.facade) {
            error = QStringLiteral("--crs places plans: the distances and heights of an "
                                   "elevation are in no map's coordinate system");
            return false;
        }
        QString why;
        const std::optional<CoordinateSystem> system = coordinateSystem(options.crs, &why);
        if (!system) {
            error = QStringLiteral("--crs: %1").arg(why);
            return false;
        }
        options.crs = system->code;
    }
    if (options.list && (options.levels || !options.previewFile.isEmpty())) {
        error = QStringLiteral("--list cannot stand beside --levels or --preview");
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
    // The option column is as wide as most options with their values; a longer one moves
    // its help to the right.
    constexpr qsizetype column = 24;
    QString options;
    const std::vector<OptionRow>& rows = optionTable();
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const OptionRow& row = rows[k];
        if (row.help.isEmpty())
            continue;
        QStringList names;
        for (const QString& name : row.names)
            names.append(written(name));
        QString left = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (!row.valueName.isEmpty())
            left += QLatin1Char(' ') + row.valueName;
        // Switches described with this row: "--invert, --no-invert".
        for (std::size_t next = k + 1; next < rows.size() && rows[next].help.isEmpty(); ++next)
            left += QStringLiteral(", ") + written(rows[next].names.last());
        left += QString(std::max<qsizetype>(column - left.size(), 2), QLatin1Char(' '));
        const QString indent(left.size(), QLatin1Char(' '));
        options += left + QString(row.help).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent) +
                   QLatin1Char('\n');
    }
    return QStringLiteral(
               "Usage: orthaven-layout [options] SCAN_FILE...\n"
               "  or:  orthaven-layout %1 --jobs FILE\n"
               "\n"
               "Computes one layout from the scans of the given files and writes its tiles,\n"
               "overview thumbnail and layout log.\n"
               "The files are all of one format: %2.\n"
               "\n"
               "Options:\n"
               "%3"
               "\n"
               "Exit codes: 0 success, 1 the layout (or a job of the file) failed, 2 bad "
               "arguments,\n"
               "3 another run is writing a layout of that name into the folder, 130 interrupted\n"
               "by Ctrl+C (128 + the signal's number).\n")
        .arg(sharedOptions(true).join(QLatin1Char(' ')),
             supportedScanExtensions().join(QStringLiteral(", ")), options);
}

} // namespace orthaven

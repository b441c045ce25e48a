#pragma once
// The command line of orthaven-layout, parsed into the options of one job. Parsing only
// looks at the text; what needs the scans (scan numbers, default planes) is checked by
// the runner. The options are one table in CommandLine.cpp: names, value, help text and
// what each does, read by Qt's parser, the usage text and the --jobs rule alike.

#include "layout/LayoutJob.h" // LayoutLayer
#include "layout/Views.h"     // defaultLogName: the log file name offered for a view

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace orthaven {

struct CommandLine
{
    QStringList inputFiles;
    std::uint32_t view = 0;           // a LayoutView
    std::optional<double> azimuth;    // --azimuth: degrees the frame is turned
    std::optional<FacadeLine> facade; // --facade: a front view along the line
    std::vector<int> scans;           // empty: every scan
    std::optional<double> clipLow;
    std::optional<double> clipHigh;
    QString outputFile; // as given, ".log" appended when it was missing; empty: default
    QString imageType = QStringLiteral("png");
    int printScale = 0;                       // --print-scale 50: 1:50; 0: none
    bool worldFiles = true;                   // --no-world-files leaves them (and the mosaic) out
    bool dxf = true;                          // --no-dxf leaves the drawing out
    QString crs;                              // --crs EPSG:N, as PROJ names it; empty: none
    bool pdf = false;                         // --pdf: the layout at its print scale
    std::optional<Paper> paper;               // --paper A1-landscape (default A4-portrait)
    LayoutLayer layer = LayoutLayer::Density; // --layer
    std::optional<double> resolution;         // metres per pixel
    std::optional<double> scannerDomain;      // metres
    std::optional<double> tileSize;           // metres
    std::optional<bool> invertColor;
    // The overview pictures (default from orthaven.cfg).
    std::optional<bool> grid;
    std::optional<QColor> gridColor;
    std::optional<QColor> textColor;
    std::optional<QColor> usedScanColor;
    std::optional<QColor> unusedScanColor;
    std::optional<int> symbolSize;               // pixels of the coordinate symbol's arrows
    std::optional<int> threads;                  // worker threads (default: all cores)
    std::optional<std::int64_t> memoryMegabytes; // tiles kept in memory (default: a quarter)
    QString jobFile; // --jobs: run the jobs of this file one after another
    bool list = false;
    bool levels = false; // --levels: print the levels of the site instead of a layout
    QString previewFile; // --preview: write the plan preview instead of a layout
    bool help = false;
    bool version = false;
    bool verbose = false;
};

// Fills options from the arguments (without the program name). False with a one-line
// reason in error when an option is unknown, lacks its value or has a value that no job
// can use. "--" ends the options; "--name=value" and "--name value" are both accepted.
bool parseCommandLine(const QStringList& arguments, CommandLine& options, QString& error);

// The text of --help, made from the table of options (the man page is made from it).
QString usageText();

} // namespace orthaven

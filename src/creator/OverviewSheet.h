#pragma once
// The two overview pictures of a finished layout: the scan-position sheet written beside
// the thumbnail, and the thumbnail itself annotated with grid, metre labels and scan markers.

#include "layout/LayoutJob.h"
#include "layoutlog/LayoutLogInfo.h"
#include "settings/ConfigSettings.h"

#include <QBitArray>
#include <QByteArray>
#include <QDate>
#include <QImage>
#include <QLineF>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

class QFontMetrics;
class QPainter;

namespace orthaven {

// Everything the pictures are drawn from besides the layout log.
struct OverviewInputs
{
    std::uint32_t view = Top; // the job's view
    QBitArray scanList;       // the job's selection
    QBitArray usedFlags;      // the engine's copy of scanList: scans that failed to load cleared
    bool invertColor = false; // light-on-dark thumbnails: plain texts and symbol in white
    ConfigSettings config;    // grid switch, colours, coordinate symbol size
    QStringList scanNames;    // the reader's display names, by scan index
    QBitArray noPosition;     // scans the reader knows no position of: no marker
    // The date the sheet's title block names; when not set, the day the layout log was
    // written (today when even that is unknown).
    QDate date;
};

// Scale of a thumbnail: the edge of one tile in metres and the pixels per metre.
struct OverviewScale
{
    double tileEdge = 0.0;
    double pxPerMetre = 0.0;
};

// One scan position as the pictures show it. centre is the pixel the marker is centred on.
struct ScanMarker
{
    int index = 0;
    QPoint centre;
    bool used = false; // checked and loaded
    QString label;     // "_" and its index, then, when used, the scan's file name without
                       // folders ("_3 station.ptx (000)")
};

// Where the sheet draws a marker's label: below and right of its marker when there is
// room, otherwise beside or above it, otherwise moved down or up until it is clear of the
// other labels, the markers and the sheet's own texts; always inside the picture.
struct PlacedLabel
{
    int index = 0;      // the scan's index
    QString text;       // the label, elided in the middle when wider than the picture
    QRect box;          // what the text covers
    QPoint baseline;    // the start of its baseline
    QPoint marker;      // the centre of its marker
    bool moved = false; // away from its marker: a leader line joins them
};

// A metre label of the grid: its text and the start of its baseline.
struct GridLabel
{
    QString text;
    QPoint position;
};

// One line of the sheet's list of unused scans.
struct UnusedScanLine
{
    QString text;              // "_" index, a blank, the scan's file name without folders
    bool failedToLoad = false; // checked but not loaded: listed in red after the others
};

// The scale bar under the sheet's drawing: a round length (1, 2 or 5 times a power of ten
// metres) of about a fifth of the sheet's width.
struct ScaleBar
{
    double metres = 0.0;
    int pixels = 0; // metres at the sheet's scale, rounded to whole pixels
    QString text;   // "5 m", "0.2 m", "200 m"
};

// Where the sheet draws its scale bar and title block: in a strip added under the
// drawing, which so keeps every pixel of the thumbnail it shows.
struct SheetStrip
{
    QRect area;                       // the strip, the full width of the sheet
    QRect bar;                        // the scale bar; its width is the bar's length
    QRect block;                      // the title block
    QStringList lines;                // its lines, shortened to their column when too wide
    std::vector<QPoint> lineBaseline; // the start of each line's baseline
};

// The log and the thumbnail both pictures are drawn from.
struct OverviewSource
{
    QString logPath;
    LayoutLogInfo log;
    QString thumbnailPath; // the thumbnail the log names, in its folder
    QImage thumbnail;      // RGB32
};

// The source as the files give it: the log at logPath and the thumbnail it names; or
// the log's bytes (as written to logPath) and the thumbnail's pixels in memory. Nothing,
// with one line on standard output, when the pictures cannot be drawn from it (see below).
std::optional<OverviewSource> loadOverviewSource(const QString& logPath);
std::optional<OverviewSource> overviewSource(const QString& logPath, const QByteArray& logText,
                                             const QImage& thumbnail);

// The two pictures. Both read the log at logPath and the thumbnail it names (in the log's
// folder); they return whether their picture was written. Every reason for not drawing
// (unreadable log, layout without tiles, missing thumbnail, no way to draw text) is one
// line on standard output, and leaves every file as it was. A picture that was drawn but
// could not be written whole (a full disk) also sets writeFailure to the cause.
bool drawScanPositionSheet(const QString& logPath, const QString& hLabel, const QString& vLabel,
                           const OverviewInputs& inputs, QString* writeFailure = nullptr);
bool annotateThumbnail(const QString& logPath, const QString& hLabel, const QString& vLabel,
                       const OverviewInputs& inputs, QString* writeFailure = nullptr);
// The same from a source in memory; several may be drawn at once from one source.
bool drawScanPositionSheet(const OverviewSource& source, const QString& hLabel,
                           const QString& vLabel, const OverviewInputs& inputs,
                           QString* writeFailure = nullptr);
bool annotateThumbnail(const OverviewSource& source, const QString& hLabel, const QString& vLabel,
                       const OverviewInputs& inputs, QString* writeFailure = nullptr);

// The thumbnail named by the log, in the log's folder; empty when the name is empty or
// reaches into another folder.
QString overviewThumbnailPath(const QString& logPath, const LayoutLogInfo& log);
// plan_overview.png gives plan_overview_scan_positions.png in the same folder.
QString scanPositionSheetPath(const QString& thumbnailPath);

// Nothing when the log has no tiles or the numbers give no usable scale.
std::optional<OverviewScale> overviewScale(const LayoutLogInfo& log, int imageWidth);

// Where and how each scan of the log is marked on a picture of imageSize.
std::vector<ScanMarker> scanMarkers(const LayoutLogInfo& log, const OverviewInputs& inputs,
                                    QSize imageSize);
// The metre labels along the bottom (one per tile column) and the left edge (one per row).
std::vector<GridLabel> gridLabels(const LayoutLogInfo& log, std::uint32_t view, QSize imageSize);
// Places the labels of markers, in index order, for text of the given metrics on a
// picture of imageSize; keepClear holds what no label may cover (texts already on the
// picture). The same inputs give the same places.
std::vector<PlacedLabel> placeMarkerLabels(const std::vector<ScanMarker>& markers,
                                           const QFontMetrics& metrics, QSize imageSize,
                                           const std::vector<QRect>& keepClear = {});
// The scans that were not checked, then those checked but not loaded.
std::vector<UnusedScanLine> unusedScanLines(const LayoutLogInfo& log, const OverviewInputs& inputs);
// The scale bar of a sheet of the given width; nothing when the scale is not usable.
std::optional<ScaleBar> scaleBar(double pxPerMetre, int sheetWidth);
// The lines of the sheet's title block: the layout's name, view, the azimuth of a turned
// frame, clipping planes, resolution, tile size, layer, scans used, the tiles' print scale
// when one was chosen, and the date.
QStringList sheetTitleLines(const LayoutLogInfo& log, const OverviewInputs& inputs,
                            const QDate& date);
// The date a title block names: the inputs' when set, otherwise the day the log was
// written (today when even that is unknown).
QDate layoutDate(const QString& logPath, const OverviewInputs& inputs);
// Lays out the strip under a drawing of drawingSize for a bar and title lines of the
// given metrics.
SheetStrip sheetStrip(QSize drawingSize, const ScaleBar& bar, const QStringList& lines,
                      const QFontMetrics& metrics);

// A metre value as the labels show it: millimetres at most, never an exponent ("20",
// "-12.5", "5400020"), in the notation of the language of the texts ("-12,5" in German).
QString metreText(double metres);

// The drawing steps, on a painter that is active on image. The labels keep clear of the
// rectangles in keepClear.
void drawScanMarkers(const LayoutLogInfo& log, const OverviewInputs& inputs, bool withLabels,
                     const QImage& image, QPainter& painter,
                     const std::vector<QRect>& keepClear = {});
void drawGrid(QPainter& painter, const QImage& image, const LayoutLogInfo& log,
              const OverviewInputs& inputs);
// Two arrows from an origin near the lower left corner (the horizontal one pointing left
// when reversed), in the painter's current pen and brush, labelled hLabel and vLabel.
void drawCoordinateSymbol(int baselineY, int size, bool reversed, const QString& hLabel,
                          const QString& vLabel, QPainter& painter);

// The arrow a top view in a turned frame carries in its upper right corner: length pixels
// from its tail to its tip, pointing to the project's +Y (the north of the project grid).
// Nothing for the project's own frame and for elevations.
std::optional<QLineF> gridNorthArrow(const LayoutLogInfo& log, std::uint32_t view, QSize imageSize,
                                     int length);
// The arrow with its head and the label "Y" beyond its tip, in the current pen and brush.
void drawGridNorthArrow(const QLineF& arrow, QPainter& painter);

// Text needs the font system of a QGuiApplication; a program that has only a
// QCoreApplication cannot draw the pictures.
bool canDrawOverviewPictures();

} // namespace orthaven

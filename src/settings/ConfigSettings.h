#pragma once
// The user's layout and overview preferences as kept in the configuration file
// orthaven.cfg, with the built-in defaults and the file's reader and writer.

#include "layout/LayoutLimits.h"

#include <QColor>
#include <QString>
#include <QStringList>

namespace orthaven {

// What the Layout Creator hands on beside the tiles, as the user last chose it.
struct HandOffChoices
{
    bool dxf = true;  // "Dxf": the drawing of tile frames and scan positions
    QString pdfPaper; // "PdfPaper": "A3-landscape"; empty ("none"): no PDF
    QString crs;      // "Crs": "EPSG:25832"; empty ("none"): no coordinate system

    bool operator==(const HandOffChoices&) const = default;
};

struct ConfigSettings
{
    double version = 1.0;
    double scannerDomain = 30.0; // metres; "Scan Radius"
    double tileSize = 20.0;      // metres; "Image Size"
    double resolution = 0.01;    // metres per pixel; "Image Resolution"
    int intensityMethod = 0;     // read when present, never written
    bool invertColor = false;
    bool grid = true;
    QColor gridColor{192, 192, 192, 128};
    QColor textColor{0, 0, 0, 255};
    QColor scanPosColor1{0, 255, 0, 64}; // used scan positions on the overview sheet
    QColor scanPosColor2{255, 0, 0, 64}; // unused scan positions
    int coordSystemSize = 150;           // pixels
    HandOffChoices handOff;              // the Layout Creator's; a file without them: defaults

    bool operator==(const ConfigSettings&) const = default;
};

ConfigSettings defaultConfig();

// Applies the keys found in the file at path to settings (the caller starts from the
// defaults, so a missing key keeps its default). Numbers are in the C notation; a line of
// a key whose value cannot be read ("Resolution = 0,01", "Resolution  = 0.02" with the
// equals sign where the value belongs, a colour with a word among its components) is
// ignored with a warning line, and the field keeps what it held; a colour component
// beyond 0 … 255 is taken as the nearest of them. unusable, when given, receives for each
// such line a text for the user: the line, its number and what the key takes. False when
// the file cannot be opened.
bool readConfig(const QString& path, ConfigSettings& settings, QStringList* unusable = nullptr);

// Writes the twenty-one lines of the file. The file is replaced atomically: a failed
// write leaves the previous file as it was. Returns true in every case.
bool writeConfig(const ConfigSettings& settings, const QString& path);

// The same write, telling whether the file really was replaced (false when its folder is
// missing or not writable, or the disk is full).
bool saveConfig(const ConfigSettings& settings, const QString& path);

// The text that writeConfig puts into the file.
QByteArray configText(const ConfigSettings& settings);

// The 1-based number of the last line of the file at path that sets key ("TileSize"), with
// the line itself in text; 0 when no line does or the file cannot be read.
int configKeyLine(const QString& path, const char* key, QString* text = nullptr);

// problem (of layoutGeometryProblem) as a user meets it outside the preferences: its
// message, then the line of the configuration file at path that holds the value.
// Translated in the context "LayoutPrefForm".
QString configProblemMessage(const GeometryProblem& problem, const QString& path);

// Shortest form of a real with at most six significant digits ("0.01", "30", "400").
QString formatShortReal(double value);

} // namespace orthaven

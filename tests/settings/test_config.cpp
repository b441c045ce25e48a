#include "diag/Diagnostics.h"
#include "settings/ConfigSettings.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using orthaven::test::readFile;
using orthaven::test::writeFile;

namespace {

const QByteArray defaultFileText = "# Orthaven Config File\n"
                                   "Version = 1.0\n"
                                   "# Tile Parameter\n"
                                   "# Resolution in m\n"
                                   "Resolution = 0.01\n"
                                   "# Domain of the Scanner data in m\n"
                                   "ScannerDomain = 30\n"
                                   "# size of a tiles in m\n"
                                   "TileSize = 20\n"
                                   "InvertColor = 0\n"
                                   "# Thumbnail Parameter\n"
                                   "Grid = 1\n"
                                   "GridColor = 192 192 192 128\n"
                                   "TextColor = 0 0 0 255\n"
                                   "ScanPosColor1 = 0 255 0 64\n"
                                   "ScanPosColor2 = 255 0 0 64\n"
                                   "CoordSystemSize = 150\n";
// What the Layout Creator remembers follows; a file without it reads as the defaults.
const QByteArray handOffText = "# Layout Creator: what goes beside the tiles\n"
                               "Dxf = 1\n"
                               "PdfPaper = none\n"
                               "Crs = none\n";

ConfigSettings readText(const QByteArray& text)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath("orthaven.cfg"), text);
    ConfigSettings settings = defaultConfig();
    EXPECT_TRUE(readConfig(path, settings));
    return settings;
}

} // namespace

TEST(ConfigFile, WritesDefaultsByteForByte)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("orthaven.cfg");
    EXPECT_TRUE(writeConfig(defaultConfig(), path));
    EXPECT_EQ(readFile(path), defaultFileText + handOffText);
}

TEST(ConfigFile, DefaultTextReadsBackAsDefaults)
{
    const ConfigSettings read = readText(defaultFileText);
    EXPECT_EQ(read, defaultConfig());
    EXPECT_EQ(read.intensityMethod, 0);
}

TEST(ConfigFile, RoundTripsEveryWrittenField)
{
    ConfigSettings s = defaultConfig();
    s.resolution = 0.005;
    s.scannerDomain = 400;
    s.tileSize = 40;
    s.invertColor = true;
    s.grid = false;
    s.gridColor = QColor(1, 2, 3, 4);
    s.textColor = QColor(250, 251, 252, 253);
    s.scanPosColor1 = QColor(10, 20, 30, 40);
    s.scanPosColor2 = QColor(50, 60, 70, 80);
    s.handOff = {false, QStringLiteral("A1-landscape"), QStringLiteral("EPSG:25832")};
    QTemporaryDir dir;
    const QString path = dir.filePath("orthaven.cfg");
    writeConfig(s, path);
    const QByteArray text = readFile(path);
    EXPECT_TRUE(text.contains("\nResolution = 0.005\n"));
    EXPECT_TRUE(text.contains("\nScannerDomain = 400\n"));
    EXPECT_FALSE(text.contains('\r'));
    ConfigSettings back = defaultConfig();
    ASSERT_TRUE(readConfig(path, back));
    EXPECT_EQ(back, s);
}

TEST(ConfigFile, WritesRealsInShortestForm)
{
    EXPECT_EQ(formatShortReal(0.01), "0.01");
    EXPECT_EQ(formatShortReal(0.005), "0.005");
    EXPECT_EQ(formatShortReal(0.1), "0.1");
    EXPECT_EQ(formatShortReal(400), "400");
    EXPECT_EQ(formatShortReal(30), "30");
    EXPECT_EQ(formatShortReal(1.0 / 3.0), "0.333333");
}

TEST(ConfigFile, FixedLinesAreWrittenWhateverTheRecordHolds)
{
    const ConfigSettings read =
        readText("Version = 2.5\nCoordSystemSize = 200\nIntensityMethod = 2\n");
    EXPECT_DOUBLE_EQ(read.version, 2.5);
    EXPECT_EQ(read.coordSystemSize, 200);
    EXPECT_EQ(read.intensityMethod, 2);
    const QByteArray written = configText(read);
    EXPECT_TRUE(written.contains("\nVersion = 1.0\n"));
    EXPECT_TRUE(written.endsWith("\nCoordSystemSize = 150\n" + handOffText));
    EXPECT_FALSE(written.contains("IntensityMethod"));
    EXPECT_EQ(written.count('\n'), 21);
}

struct QuirkyLine
{
    const char* text;
    double resolution;
    bool grid;
    bool invertColor;
    double tileSize;
    int warnings; // lines ignored because their value cannot be read
};

class ConfigQuirks : public ::testing::TestWithParam<QuirkyLine>
{
};

TEST_P(ConfigQuirks, ReadsLineAsTheFileFormatDefines)
{
    const QuirkyLine& q = GetParam();
    QStringList warnings;
    const diag::ScopedSink sink([&warnings](diag::Severity severity, std::string_view line) {
        if (severity == diag::Severity::Warning)
            warnings.append(QString::fromUtf8(line.data(), qsizetype(line.size())));
    });
    const ConfigSettings read = readText(q.text);
    EXPECT_DOUBLE_EQ(read.resolution, q.resolution) << q.text;
    EXPECT_EQ(read.grid, q.grid) << q.text;
    EXPECT_EQ(read.invertColor, q.invertColor) << q.text;
    EXPECT_DOUBLE_EQ(read.tileSize, q.tileSize) << q.text;
    EXPECT_EQ(warnings.size(), q.warnings) << warnings.join('\n').toStdString();
    for (const QString& warning : std::as_const(warnings))
        EXPECT_TRUE(warning.contains(" line ") && warning.endsWith("; the line is ignored"))
            << warning.toStdString();
}

// A value that cannot be read never becomes 0: the line is ignored with a warning, and
// the field keeps its default.
INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigQuirks,
    ::testing::Values(
        // piece 2 is the equals sign here: no number, whatever follows
        QuirkyLine{"Resolution  = 0.02\n", 0.01, true, false, 20, 1},
        QuirkyLine{"Resolution = 0.02 extra\n", 0.02, true, false, 20, 0},
        QuirkyLine{"Grid=0\n", 0.01, true, false, 20, 0},
        QuirkyLine{"grid = 0\n", 0.01, true, false, 20, 0},
        QuirkyLine{"Grid = 0\n", 0.01, false, false, 20, 0},
        QuirkyLine{"Grid = no\n", 0.01, true, false, 20, 1},
        QuirkyLine{"InvertColor = 7\n", 0.01, true, true, 20, 0},
        QuirkyLine{"TileSize = 30\nTileSize = 30\nTileSize = 40\n", 0.01, true, false, 40, 0},
        // the file keeps the C notation: a decimal comma is not read, whatever the locale
        QuirkyLine{"Resolution = 0,02\n", 0.01, true, false, 20, 1},
        QuirkyLine{"Resolution = 0.005\nResolution = nan\n", 0.005, true, false, 20, 1},
        QuirkyLine{"# Resolution = 0.5\n", 0.01, true, false, 20, 0},
        QuirkyLine{"Resolution = 0.02\r\nGrid = 0\r\n", 0.02, false, false, 20, 0},
        QuirkyLine{"TileSize = 30", 0.01, true, false, 30, 0},
        // too few pieces: ignored rather than read past the end of the line
        QuirkyLine{"Resolution =\nTileSize = \n", 0.01, true, false, 20, 2},
        QuirkyLine{"Resolution =0.5\n", 0.01, true, false, 20, 1},
        QuirkyLine{"", 0.01, true, false, 20, 0}));

TEST(ConfigFile, ColourLinesNeedFourComponents)
{
    const ConfigSettings read = readText("GridColor = 1 2 3\n"
                                         "TextColor = 9 8 7 6 5\n"
                                         "ScanPosColor1 = 300 -5 0 10\n"
                                         "ScanPosColor2 = 1 2 x 4\n"
                                         "GridColor \n");
    EXPECT_EQ(read.gridColor, defaultConfig().gridColor);
    EXPECT_EQ(read.textColor, QColor(9, 8, 7, 6));
    // out-of-range components are brought into 0..255; a word among them spoils the line
    EXPECT_EQ(read.scanPosColor1, QColor(255, 0, 0, 10));
    EXPECT_EQ(read.scanPosColor2, defaultConfig().scanPosColor2);
}

TEST(ConfigFile, EmptyFileGivesDefaultsAndMissingFileFails)
{
    EXPECT_EQ(readText(""), defaultConfig());
    ConfigSettings s = defaultConfig();
    s.tileSize = 99;
    EXPECT_FALSE(readConfig("/nonexistent-folder/orthaven.cfg", s));
    EXPECT_EQ(s.tileSize, 99);
}

TEST(ConfigFile, ReplacesAnExistingFileCompletely)
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir.filePath("orthaven.cfg"), QByteArray(5000, 'x') + "\nTileSize = 40\n");
    writeConfig(defaultConfig(), path);
    EXPECT_EQ(readFile(path), defaultFileText + handOffText);
    // no temporary file is left beside it
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"orthaven.cfg"});
}

TEST(ConfigFile, WriteIntoMissingFolderReportsTrueAndWritesNothing)
{
    QTemporaryDir dir;
    // a file stands where the folder should be: nothing can be created below it
    const QString blocker = writeFile(dir.filePath("blocker"), "x");
    EXPECT_TRUE(writeConfig(defaultConfig(), blocker + "/orthaven.cfg"));
    EXPECT_EQ(readFile(blocker), "x");
}

TEST(ConfigFile, SaveConfigTellsWhetherTheFileWasWritten)
{
    QTemporaryDir dir;
    const QString blocker = writeFile(dir.filePath("blocker"), "x");
    EXPECT_FALSE(saveConfig(defaultConfig(), blocker + "/orthaven.cfg"));
    EXPECT_FALSE(saveConfig(defaultConfig(), dir.path())) << "a folder is not a file";

    const QString path = dir.filePath("orthaven.cfg");
    EXPECT_TRUE(saveConfig(defaultConfig(), path));
    EXPECT_EQ(readFile(path), defaultFileText + handOffText);
}

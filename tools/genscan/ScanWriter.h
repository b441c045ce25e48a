#pragma once
// One writer per scan format behind one interface: the generator hands every format the
// same scans, column by column, so layouts made from different formats can be compared.

#include "genscan/BufferedFile.h"
#include "genscan/ScannerModel.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace orthaven::genscan {

struct ScanInfo
{
    QString name; // of the scan, for formats that name their scans ("scan_000")
    int columns = 0;
    int pointsPerColumn = 0;
    std::array<double, 16> pose{}; // row-major, column-vector convention
    // The pose's rotation as FARO workspaces store it: an axis and an angle (radians).
    std::array<double, 3> axis{0.0, 0.0, 1.0};
    double angle = 0.0;
    bool intensity = true;
    bool colour = false;
    int station = 0;      // the station's number in the run
    int pointFormat = -1; // LAS: the point record format of the file
};

class ScanWriter
{
public:
    virtual ~ScanWriter();

    // File name ending with the dot, e.g. ".ptx".
    virtual QString extension() const = 0;
    // Whether one file may hold several scans one after another.
    virtual bool holdsSeveralScans() const = 0;
    // Whether every scan of a run goes into one file whatever the options say (a
    // workspace lists all scans of a project).
    virtual bool keepsScansTogether() const { return false; }

    // Call order: beginFile, then for every scan of the file beginScan, writeColumn once
    // per column, endScan; then endFile. Each returns false on failure, with errorText.
    virtual bool beginFile(const QString& path) = 0;
    virtual bool beginScan(const ScanInfo& info) = 0;
    virtual bool writeColumn(const std::vector<ScanPoint>& points) = 0;
    virtual bool endScan() = 0;
    // Makes the file complete on disk; nothing is left behind when an earlier step failed.
    virtual bool endFile() = 0;

    // Formats with an index file, a text file naming the scan files of a project, write
    // it after the last scan file. The base has none.
    virtual bool hasIndexFile() const { return false; }
    virtual bool writeIndexFile(const QString& path, const QStringList& scanFiles);

    QString errorText() const { return error; }

protected:
    // Flushes the file (see BufferedFile::flush); on failure its reason becomes the
    // writer's error unless one is already set.
    bool flushFile(BufferedFile& file, bool always = false);
    // Commits the file; the same error rule.
    bool commitFile(BufferedFile& file);

    QString error;
};

// The writer of a format named as on the command line ("ptx", "ptg"); null for an unknown
// name.
std::unique_ptr<ScanWriter> createScanWriter(const QString& format);
QStringList scanWriterFormats();

// The shortest decimal text that reads back as exactly this double, without exponent
// ("0.10000000149011612", "500000", "-3.5"), independent of the locale.
void appendNumber(std::string& out, double value);
void appendNumber(std::string& out, float value);
void appendNumber(std::string& out, long long value);

} // namespace orthaven::genscan

#pragma once
// Writes scans as a Riegl project: a ".rsp" XML laid out like RiSCAN's (POP, scan
// positions with their SOP, SCANS/ScanPosNNN/SINGLESCANS/ folders) and one point-stream
// file of our scanifc stand-in per scan beside it (docs/formats.md).

#include "genscan/ScanWriter.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace orthaven::genscan {

class RieglWriter : public ScanWriter
{
public:
    QString extension() const override { return QStringLiteral(".rsp"); }
    bool holdsSeveralScans() const override { return true; }
    bool beginFile(const QString& path) override;
    bool beginScan(const ScanInfo& info) override;
    bool writeColumn(const std::vector<ScanPoint>& points) override;
    bool endScan() override;
    bool endFile() override;

    // The translation the project's POP carries for these poses (row-major 4 × 4): the
    // first pose's translation rounded to whole kilometres, per axis, where taking it out
    // of every SOP and multiplying back gives every pose to the last bit; else 0.
    static std::array<double, 3> projectOffset(const std::vector<std::array<double, 16>>& poses);

    // A matrix number as RiSCAN writes it: shortest exact text, exponents as "E-005".
    static void appendNumber(std::string& out, double value);

private:
    struct Position
    {
        QString name;       // ScanPos001, …: its folder too
        QString streamFile; // file name in its SINGLESCANS folder
        std::array<double, 16> pose{};
    };

    void removeWrittenStreams();
    QByteArray projectText() const;

    QString projectPath;
    QString projectFolder;
    QString projectName;
    std::vector<Position> positions;
    QStringList writtenStreams;
    BufferedFile stream;
    ScanInfo scan;
    int columnsWritten = 0;
    bool inFile = false;
    bool inScan = false;
};

} // namespace orthaven::genscan

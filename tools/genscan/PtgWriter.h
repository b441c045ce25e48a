#pragma once
// Writes scans as Leica PTG files, one scan per file: the key-record header, the column
// offset table, then per column a row mask and one record per point that has a return.
// Also writes the PTG index file that names the scan files of a project.

#include "genscan/ScanWriter.h"

namespace orthaven::genscan {

class PtgWriter : public ScanWriter
{
public:
    // doubleCoordinates: x, y, z as 64-bit doubles ("%%properties" bit value 2) instead
    // of 32-bit floats (bit value 1).
    explicit PtgWriter(bool doubleCoordinates = false);

    QString extension() const override { return QStringLiteral(".ptg"); }
    bool holdsSeveralScans() const override { return false; }
    bool beginFile(const QString& path) override;
    bool beginScan(const ScanInfo& info) override;
    bool writeColumn(const std::vector<ScanPoint>& points) override;
    bool endScan() override;
    bool endFile() override;

    bool hasIndexFile() const override { return true; }
    bool writeIndexFile(const QString& path, const QStringList& scanFiles) override;

private:
    void appendKey(const char* key);

    bool doubles;
    BufferedFile out;
    ScanInfo scan;
    std::vector<qint64> columnOffsets;
    qint64 tableOffset = 0;
    int columnsWritten = 0;
    bool inScan = false;
    bool scanWritten = false;
};

} // namespace orthaven::genscan

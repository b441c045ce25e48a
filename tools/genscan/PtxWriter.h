#pragma once
// Writes scans as PTX text: a ten-line header per scan (columns, points per column,
// scanner position, axes, then the pose one column per line) and one point per line.

#include "genscan/ScanWriter.h"

namespace orthaven::genscan {

class PtxWriter : public ScanWriter
{
public:
    QString extension() const override { return QStringLiteral(".ptx"); }
    bool holdsSeveralScans() const override { return true; }
    bool beginFile(const QString& path) override;
    bool beginScan(const ScanInfo& info) override;
    bool writeColumn(const std::vector<ScanPoint>& points) override;
    bool endScan() override;
    bool endFile() override;

private:
    BufferedFile out;
    ScanInfo scan;
    int columnsWritten = 0;
    bool inScan = false;
};

} // namespace orthaven::genscan

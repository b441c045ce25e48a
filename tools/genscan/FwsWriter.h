#pragma once
// Writes a FARO workspace in the format of our library stand-in: one ".fws" text file that
// lists every scan of the run (name, grid, position, rotation axis and angle, points file)
// and one binary points file per scan beside it ("<base>_000.fwp", …).

#include "genscan/ScanWriter.h"

#include <memory>

namespace orthaven::genscan {

class FwsWriter : public ScanWriter
{
public:
    QString extension() const override { return QStringLiteral(".fws"); }
    bool holdsSeveralScans() const override { return true; }
    bool keepsScansTogether() const override { return true; }
    bool beginFile(const QString& path) override;
    // Fails when the pose is not exactly what the workspace's position, axis and angle
    // give back.
    bool beginScan(const ScanInfo& info) override;
    bool writeColumn(const std::vector<ScanPoint>& points) override;
    bool endScan() override;
    // Writes the workspace last; after any failure it removes the points files instead.
    bool endFile() override;

private:
    bool failWith(const QString& text);
    void discard();

    BufferedFile workspace;
    BufferedFile points;
    QString basePath;       // workspace path without ".fws"
    std::string text;       // the workspace file
    QStringList pointFiles; // points files already complete on disk
    ScanInfo scan;
    int scanIndex = 0;
    int columnsWritten = 0;
    bool inScan = false;
    bool failed = false;
};

} // namespace orthaven::genscan

#pragma once
// Builds workspaces of our FARO stand-in for the reader's tests: the ".fws" text and one
// points file per scan, with any extra lines (failure keys, damage) a test wants.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <vector>

namespace orthaven::test {

struct FaroTestScan
{
    QString name;
    int rows = 0;
    int columns = 0;
    std::vector<cv::Vec3d> points; // column by column; rows × columns of them
    cv::Vec3d position{0, 0, 0};
    cv::Vec3d axis{0, 0, 1};
    double angle = 0;
    QStringList extraLines; // written inside the scan block, e.g. "load-status = 3"
};

// The bytes of a points file: header and points as the stand-in reads them.
QByteArray faroPointsFile(int rows, int columns, const std::vector<cv::Vec3d>& points);

// The workspace text for the scans, each naming "<name>.fwp" as its points file.
QByteArray faroWorkspaceText(const std::vector<FaroTestScan>& scans,
                             const QStringList& workspaceLines = {});

// Writes the workspace (fileName in folder) and the points files; returns its path.
QString writeFaroWorkspace(const QString& folder, const std::vector<FaroTestScan>& scans,
                           const QStringList& workspaceLines = {},
                           const QString& fileName = QStringLiteral("site.fws"));

// The scan's points file path as faroWorkspaceText names it.
QString faroPointsPath(const QString& folder, const FaroTestScan& scan);

// A scan of rows × columns distinct, exactly representable points starting from base.
FaroTestScan faroScan(const QString& name, int rows, int columns, double base);

} // namespace orthaven::test

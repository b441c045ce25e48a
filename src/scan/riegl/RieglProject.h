#pragma once
// A Riegl project file (".rsp", XML) as the Riegl reader needs it: the path of one scan
// file per "singlescans" element and the pose POP · SOP of each, where POP places the
// project and SOP the scan position that holds the scan.

#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <vector>

class QDomElement;

namespace orthaven {

class RieglProject
{
public:
    // Larger files are refused rather than built into a document tree.
    static constexpr qint64 maxFileSize = qint64(128) << 20;
    // Real projects nest about ten levels deep; the document tree gets slow far below
    // the depths a damaged or hostile file can reach.
    static constexpr int maxDepth = 256;

    // Reads the project. False, after printing why, when the file cannot be read or parsed
    // or a scan would have no sound pose; then it holds no scan.
    bool read(const QString& projectPath);

    const QStringList& scanPaths() const { return paths; }
    const std::vector<cv::Mat>& scanPoses() const { return poses; }

    // A plain scan file, as opposed to a monitoring preview ("….mon.rxp") or an archived
    // copy, whose name carries "@" and a date ("…_old@20160315-120347-357.rxp").
    static bool isPlainScanFile(const QString& fileName);

private:
    bool walk(const QDomElement& root, const QString& projectFolder);

    QStringList paths;
    std::vector<cv::Mat> poses;
};

} // namespace orthaven

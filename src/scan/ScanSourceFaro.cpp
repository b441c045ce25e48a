#include "scan/ScanSourceFaro.h"

#include "scan/faro/FaroAxisAngle.h"
#include "scan/faro/FaroLibrary.h"

#include <algorithm>
#include <iostream>
#include <limits>

namespace orthaven {

ScanSourceFaro::ScanSourceFaro() : ScanSourceFaro(createFaroLibrary()) {}

ScanSourceFaro::ScanSourceFaro(std::unique_ptr<FaroLibrary> faroLibrary)
    : library(std::move(faroLibrary))
{
    // Every later call raises FaroComError (E_POINTER); the task reports it when it lists
    // the scans, so the program goes on without the workspace.
    if (!library)
        std::cout << "FARO library could not be created" << std::endl;
}

ScanSourceFaro::~ScanSourceFaro()
{
    library.reset();
    workspaceFound = false;
}

FaroLibrary& ScanSourceFaro::lib() const
{
    if (!library)
        throw FaroComError(faro::pointerError, faro::libraryInterfaceId);
    return *library;
}

void ScanSourceFaro::check(HResult hresult, const char* interfaceId) const
{
    if (hresult < 0)
        throw FaroComError(hresult, interfaceId);
}

bool ScanSourceFaro::fetchFiles(const QStringList& files)
{
    fileList = files;
    workspaceFound = false;
    numScans = 0;
    openFlags = QBitArray();
    columnCursor = 0;
    rewindPending = true;

    // A workspace path ends in ".fws", exactly so: "site.FWS" is not one. (A ".fws"
    // earlier in the path, as in a folder "old.fws/", does not matter.)
    QString workspace;
    for (const QString& path : files) {
        if (!path.endsWith(QLatin1String(".fws"), Qt::CaseSensitive))
            continue;
        if (workspaceFound) {
            std::cout << "ScanSourceFaro::fetchFiles ... only one fws file allowed" << std::endl;
            return false;
        }
        workspaceFound = true;
        workspace = path;
    }
    if (!workspaceFound) {
        std::cout << "Actually we only support Faro Workspace files" << std::endl;
        return false;
    }

    std::int32_t status = 0;
    check(lib().loadWorkspace(workspace, status));
    lastStatus = status;
    if (status != 0) {
        std::cout << "loading Workspace failed" << std::endl;
        return false;
    }
    std::int32_t count = 0;
    check(lib().scanCount(count));
    numScans = std::max<std::int32_t>(count, 0);
    openFlags = QBitArray(numScans);
    return true;
}

void ScanSourceFaro::scanNames(QStringList& names) const
{
    if (!workspaceFound)
        return;
    QStringList result;
    result.reserve(numScans);
    for (int i = 0; i < numScans; ++i) {
        std::unique_ptr<FaroScanObject> object;
        check(lib().scanObject(i, object));
        if (!object)
            throw FaroComError(faro::pointerError, faro::scanObjectInterfaceId);
        QString name;
        check(object->name(name), faro::scanObjectInterfaceId);
        // Kept as the library's UTF-16 text: a round trip through an 8-bit code page
        // would turn every character outside it into "?".
        result.append(name + QStringLiteral(".fls"));
    }
    names = result;
}

bool ScanSourceFaro::openScan(int i)
{
    if (i < 0 || i >= numScans)
        return false;
    if (openFlags.testBit(i))
        return true;
    check(lib().prepareScanLoad(0));
    std::int32_t status = 0;
    check(lib().loadScan(i, status));
    lastStatus = status;
    if (status != 0)
        return false;
    openFlags.setBit(i);
    return true;
}

bool ScanSourceFaro::closeScan(int i)
{
    if (i < 0 || i >= numScans)
        return false;
    if (!openFlags.testBit(i))
        return true;
    std::int32_t status = 0;
    check(lib().unloadScan(i, status));
    openFlags.clearBit(i);
    return true;
}

bool ScanSourceFaro::scanDimensions(int i, int& rows, int& columns)
{
    rows = 0;
    columns = 0;
    if (!openScan(i))
        return false;
    std::int32_t r = 0;
    std::int32_t c = 0;
    check(lib().scanRows(i, r));
    check(lib().scanColumns(i, c));
    rows = std::max<std::int32_t>(r, 0);
    columns = std::max<std::int32_t>(c, 0);
    return true;
}

bool ScanSourceFaro::restartAndOpen(int i)
{
    // The cursor is shared by all scans; only a pending rewind sends it back to column 0.
    if (rewindPending) {
        columnCursor = 0;
        rewindPending = false;
    }
    return openScan(i);
}

ScanSourceFaro::ColumnRange ScanSourceFaro::nextColumns(int i, int wanted, bool avoidLonePoint)
{
    std::int32_t rows = 0;
    std::int32_t columns = 0;
    check(lib().scanRows(i, rows));
    check(lib().scanColumns(i, columns));
    ColumnRange r;
    r.rows = std::max<std::int32_t>(rows, 0);
    r.columns = std::max<std::int32_t>(columns, 0);
    r.start = columnCursor;
    r.end = r.start;
    if (r.rows == 0)
        return r; // columns without points: nothing to deliver
    qint64 end = std::min<qint64>(r.columns, qint64(r.start) + std::max(wanted, 0));
    if ((end - r.start) * r.rows > maxChunkPoints) {
        end = r.start + maxChunkPoints / r.rows;
        if (end == r.start) {
            std::cout << "FARO scan " << i << ": a scan column of " << r.rows
                      << " points does not fit into a chunk of " << maxChunkPoints << " points"
                      << std::endl;
        }
    }
    // With one point per column, a chunk that left a single column for the next call
    // would make that call's chunk a one-point placeholder and its point would be lost.
    if (avoidLonePoint && r.rows == 1 && r.columns - end == 1 && end - r.start >= 3)
        --end;
    r.end = int(end);
    return r;
}

bool ScanSourceFaro::readColumn(int i, int column, int rows, bool polar,
                                std::vector<double>& values, std::vector<std::int32_t>& flags)
{
    std::int32_t status = 0;
    if (polar)
        check(lib().polarColumn(i, 0, column, rows, values.data(), flags.data(), status));
    else
        check(lib().cartesianColumn(i, 0, column, rows, values.data(), flags.data(), status));
    lastStatus = status;
    if (status != 0) {
        // The buffer holds nothing of this column; its points are not made up.
        std::cout << "FARO scan " << i << " column " << column << " not delivered (status "
                  << status << ")" << std::endl;
        return false;
    }
    return true;
}

bool ScanSourceFaro::readPoints(int i, cv::Mat& chunk, int maxColumns)
{
    if (!restartAndOpen(i))
        return false;
    const ColumnRange r = nextColumns(i, maxColumns, true);
    if (r.end <= r.start) {
        chunk = placeholderChunk();
        return false;
    }
    std::vector<double> xyz(3 * std::size_t(r.rows));
    std::vector<std::int32_t> flags(std::size_t(r.rows));
    cv::Mat points(4, (r.end - r.start) * r.rows, CV_64F);
    double* const xs = points.ptr<double>(0);
    double* const ys = points.ptr<double>(1);
    double* const zs = points.ptr<double>(2);
    double* const ws = points.ptr<double>(3);
    int n = 0;
    for (int c = r.start; c < r.end; ++c) {
        if (!readColumn(i, c, r.rows, false, xyz, flags))
            continue;
        for (int j = 0; j < r.rows; ++j, ++n) {
            xs[n] = xyz[3 * std::size_t(j)];
            ys[n] = xyz[3 * std::size_t(j) + 1];
            zs[n] = xyz[3 * std::size_t(j) + 2];
            ws[n] = 1.0;
        }
    }
    columnCursor = r.end;
    if (n < 2)
        chunk = placeholderChunk();
    else if (n == points.cols)
        chunk = points;
    else
        chunk = points.colRange(0, n).clone();
    return true;
}

bool ScanSourceFaro::readPolarDataFromScan(int i, cv::Mat& polar, int columns)
{
    if (!restartAndOpen(i))
        return false;
    const ColumnRange r = nextColumns(i, columns, false);
    if (r.end <= r.start) {
        polar = cv::Mat::ones(3, 1, CV_64F);
        return false;
    }
    std::vector<double> values(3 * std::size_t(r.rows));
    std::vector<std::int32_t> flags(std::size_t(r.rows));
    cv::Mat out(3, (r.end - r.start) * r.rows, CV_64F);
    int n = 0;
    for (int c = r.start; c < r.end; ++c) {
        // A column the library did not deliver keeps its place as NaN, so that a depth
        // image stays aligned with the scan grid.
        const bool delivered = readColumn(i, c, r.rows, true, values, flags);
        for (int j = 0; j < r.rows; ++j, ++n) {
            for (int k = 0; k < 3; ++k) {
                out.at<double>(k, n) = delivered ? values[3 * std::size_t(j) + std::size_t(k)]
                                                 : std::numeric_limits<double>::quiet_NaN();
            }
        }
    }
    columnCursor = r.end;
    polar = out;
    return true;
}

template <class Take>
bool ScanSourceFaro::readListColumns(int i, std::vector<cv::Mat>& list, int maxColumns, bool polar,
                                     Take take)
{
    if (!restartAndOpen(i))
        return false;
    const ColumnRange r = nextColumns(i, maxColumns, false);
    list.clear();
    if (r.end <= r.start)
        return false;
    std::vector<double> values(3 * std::size_t(r.rows));
    std::vector<std::int32_t> flags(std::size_t(r.rows));
    list.reserve(std::size_t(r.end - r.start) * std::size_t(r.rows));
    for (int c = r.start; c < r.end; ++c) {
        if (!readColumn(i, c, r.rows, polar, values, flags))
            continue;
        for (int j = 0; j < r.rows; ++j)
            list.push_back(take(values.data() + 3 * std::size_t(j)));
    }
    columnCursor = r.end;
    return r.end != r.columns;
}

bool ScanSourceFaro::readPointList(int i, std::vector<cv::Mat>& list, int maxColumns)
{
    return readListColumns(i, list, maxColumns, false, [](const double* p) {
        return cv::Mat((cv::Mat_<double>(4, 1) << p[0], p[1], p[2], 1.0));
    });
}

bool ScanSourceFaro::readPolarPointList(int i, std::vector<cv::Mat>& list, int maxColumns)
{
    return readListColumns(i, list, maxColumns, true, [](const double* p) {
        return cv::Mat((cv::Mat_<double>(3, 1) << p[0], p[1], p[2]));
    });
}

void ScanSourceFaro::scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const
{
    if (i < 0 || i >= numScans)
        return;
    double x = 0;
    double y = 0;
    double z = 0;
    std::int32_t status = 0;
    check(lib().scanPosition(i, x, y, z, status));
    double ax = 0;
    double ay = 0;
    double az = 0;
    double angle = 0;
    status = 0;
    check(lib().scanOrientation(i, ax, ay, az, angle, status));

    const std::array<double, 9> m = faroAxisAngleRotation(ax, ay, az, angle);
    // Allocated parts of the right shape are kept (and with them whatever shares them).
    rotation.create(3, 3, CV_64F);
    translation.create(3, 1, CV_64F);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            rotation.at<double>(r, c) = m[std::size_t(3 * r + c)];
    }
    translation.at<double>(0, 0) = x;
    translation.at<double>(1, 0) = y;
    translation.at<double>(2, 0) = z;
}

void ScanSourceFaro::scanPose(int i, cv::Mat& pose) const
{
    if (i < 0 || i >= numScans)
        return;
    cv::Mat rotation(3, 3, CV_64F);
    cv::Mat translation(3, 1, CV_64F);
    scanPoseParts(i, rotation, translation);
    cv::Mat result = cv::Mat::eye(4, 4, CV_64F);
    rotation.copyTo(result(cv::Rect(0, 0, 3, 3)));
    translation.copyTo(result(cv::Rect(3, 0, 1, 3)));
    pose = result;
}

} // namespace orthaven

#include "scan/ScanSourceFaro.h"

#include "diag/Diagnostics.h"
#include "platform/RegularFile.h"
#include "scan/faro/FaroAxisAngle.h"
#include "scan/faro/FaroLibrary.h"

#include <algorithm>
#include <limits>

namespace orthaven {

ScanSourceFaro::ScanSourceFaro() : ScanSourceFaro(createFaroLibrary()) {}

ScanSourceFaro::ScanSourceFaro(std::unique_ptr<FaroLibrary> faroLibrary)
    : library(std::move(faroLibrary))
{
    // Every later call raises FaroComError (E_POINTER), which fails the listing of the
    // scans, so the program goes on without the workspace.
    if (!library)
        diag::error("FARO library could not be created");
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

bool ScanSourceFaro::findScans(const QStringList& files)
{
    fileList = files;
    workspaceFound = false;
    numScans = 0;
    openFlags = QBitArray();
    columnCursor = 0;
    rewindPending = true;
    lastGridScan = -1;
    undeliveredColumns = 0;

    // A workspace path ends in ".fws", exactly so: "site.FWS" is not one. (A ".fws"
    // earlier in the path, as in a folder "old.fws/", does not matter.)
    QString workspace;
    for (const QString& path : files) {
        if (!path.endsWith(QLatin1String(".fws"), Qt::CaseSensitive))
            continue;
        if (workspaceFound) {
            diag::error("ScanSourceFaro::fetchFiles ... only one fws file allowed");
            return false;
        }
        workspaceFound = true;
        workspace = path;
    }
    if (!workspaceFound) {
        diag::error("Actually we only support Faro Workspace files");
        return false;
    }

    // A pipe or a device would hold the library in its load call for good: such a path
    // never reaches it.
    if (const QString problem = regularFileProblem(workspace); !problem.isEmpty()) {
        diag::error("FARO workspace ", workspace.toStdString(), ": ", problem.toStdString());
        diag::error("loading Workspace failed");
        return false;
    }
    std::int32_t status = 0;
    check(lib().loadWorkspace(workspace, status));
    lastStatus = status;
    if (status != 0) {
        diag::error("loading Workspace failed");
        return false;
    }
    std::int32_t count = 0;
    check(lib().scanCount(count));
    numScans = std::max<std::int32_t>(count, 0);
    openFlags = QBitArray(numScans);
    return true;
}

void ScanSourceFaro::nameScans(QStringList& names) const
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

bool ScanSourceFaro::open(int i)
{
    if (i < 0 || i >= numScans)
        return false;
    if (openFlags.testBit(i))
        return true;
    check(lib().prepareScanLoad(0));
    std::int32_t status = 0;
    check(lib().loadScan(i, status));
    lastStatus = status;
    if (status != 0) {
        // The library itself says nothing: its status is all the cause there is to show.
        diag::warning("FARO scan ", i, " did not load: the library answered status ", status);
        return false;
    }
    openFlags.setBit(i);
    return true;
}

bool ScanSourceFaro::close(int i)
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

bool ScanSourceFaro::isOpen(int i) const
{
    return i >= 0 && i < numScans && i < openFlags.size() && openFlags.testBit(i);
}

bool ScanSourceFaro::dimensionsOf(int i, int& rows, int& columns)
{
    rows = 0;
    columns = 0;
    if (!open(i))
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
        undeliveredColumns = 0;
    }
    return open(i);
}

ScanSourceFaro::ColumnRange ScanSourceFaro::nextColumns(int i, int wanted)
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
            diag::error("FARO scan ", i, ": a scan column of ", r.rows,
                        " points does not fit into a chunk of ", maxChunkPoints, " points");
        }
    }
    r.end = int(end);
    lastGridScan = i;
    lastGrid = r;
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
        diag::warning("FARO scan ", i, " column ", column, " not delivered (status ", status, ")");
        ++undeliveredColumns;
        return false;
    }
    return true;
}

ScanSource::ReadStep ScanSourceFaro::readNext(const ReadRequest& request, ScanChunk& piece)
{
    const int i = request.scan;
    if (!restartAndOpen(i))
        return ReadStep::End;
    const ColumnRange r = nextColumns(i, request.maxColumns);
    if (r.end <= r.start)
        return ReadStep::End;
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
    if (r.end == r.columns && undeliveredColumns > 0) {
        noteDamage(i,
                   QT_TRANSLATE_NOOP("ScanNote",
                                     "FARO scan %1: %2 columns were not delivered by the library"),
                   {std::to_string(i), std::to_string(undeliveredColumns)});
    }
    if (n > 0)
        piece.points = n == points.cols ? points : points.colRange(0, n).clone();
    return ReadStep::Chunk;
}

qint64 ScanSourceFaro::pointsLeft(int i) const
{
    if (i != lastGridScan)
        return -1;
    return qint64(std::max(lastGrid.columns - columnCursor, 0)) * lastGrid.rows;
}

bool ScanSourceFaro::polarColumns(int i, cv::Mat& polar, int columns)
{
    if (!restartAndOpen(i))
        return false;
    const ColumnRange r = nextColumns(i, columns);
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
    const ColumnRange r = nextColumns(i, maxColumns);
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

bool ScanSourceFaro::pointList(int i, std::vector<cv::Mat>& list, int maxColumns)
{
    return readListColumns(i, list, maxColumns, false, [](const double* p) {
        return cv::Mat((cv::Mat_<double>(4, 1) << p[0], p[1], p[2], 1.0));
    });
}

bool ScanSourceFaro::polarPointList(int i, std::vector<cv::Mat>& list, int maxColumns)
{
    return readListColumns(i, list, maxColumns, true, [](const double* p) {
        return cv::Mat((cv::Mat_<double>(3, 1) << p[0], p[1], p[2]));
    });
}

bool ScanSourceFaro::poseOf(int i, cv::Mat& pose) const
{
    if (i < 0 || i >= numScans)
        return false;
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
    cv::Mat result = cv::Mat::eye(4, 4, CV_64F);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            result.at<double>(r, c) = m[std::size_t(3 * r + c)];
    }
    result.at<double>(0, 3) = x;
    result.at<double>(1, 3) = y;
    result.at<double>(2, 3) = z;
    pose = result;
    return true;
}

} // namespace orthaven

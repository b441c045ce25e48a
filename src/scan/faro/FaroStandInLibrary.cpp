#include "scan/faro/FaroStandInLibrary.h"

#include "diag/Diagnostics.h"
#include "platform/RegularFile.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace orthaven {

namespace {

class StandInScanObject : public FaroScanObject
{
public:
    StandInScanObject(const QString& name, HResult nameResult) : scanName(name), result(nameResult)
    {
    }

    HResult name(QString& name) override
    {
        if (result != faro::okResult)
            return result;
        name = scanName;
        return faro::okResult;
    }

private:
    QString scanName;
    HResult result;
};

quint32 littleEndian32(const char* bytes)
{
    return qFromLittleEndian<quint32>(bytes);
}

double littleEndianDouble(const char* bytes)
{
    const quint64 bits = qFromLittleEndian<quint64>(bytes);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// What the stand-in says is why a workspace or a scan does not load: the one line that
// names the cause, so it is a warning, shown without --verbose too.
void say(const QString& text)
{
    diag::warning("FARO stand-in: ", text.toStdString());
}

} // namespace

FaroStandInLibrary::FaroStandInLibrary() = default;

FaroStandInLibrary::~FaroStandInLibrary() = default;

HResult FaroStandInLibrary::workspaceCallResult(const char* call) const
{
    const auto it = workspace.failures.find(QLatin1String(call));
    return it == workspace.failures.end() ? faro::okResult : it->second;
}

HResult FaroStandInLibrary::scanCallResult(std::int32_t scan, const char* call) const
{
    if (scan < 0 || std::size_t(scan) >= workspace.scans.size())
        return faro::invalidArgError;
    const std::map<QString, HResult>& failures = workspace.scans[std::size_t(scan)].failures;
    const auto it = failures.find(QLatin1String(call));
    return it == failures.end() ? faro::okResult : it->second;
}

HResult FaroStandInLibrary::loadWorkspace(const QString& path, std::int32_t& status)
{
    loaded.clear();
    const FaroWorkspaceFile::Status read = workspace.read(path);
    if (read != FaroWorkspaceFile::Read) {
        say(workspace.problem());
        status = read;
        return faro::okResult;
    }
    const HResult injected = workspaceCallResult("open");
    if (injected != faro::okResult) {
        workspace = FaroWorkspaceFile();
        return injected;
    }
    loaded.resize(workspace.scans.size());
    status = 0;
    return faro::okResult;
}

HResult FaroStandInLibrary::scanCount(std::int32_t& count)
{
    if (const HResult injected = workspaceCallResult("count"))
        return injected;
    count = std::int32_t(workspace.scans.size());
    return faro::okResult;
}

HResult FaroStandInLibrary::prepareScanLoad(std::int32_t)
{
    return workspaceCallResult("before-load");
}

HResult FaroStandInLibrary::loadScan(std::int32_t scan, std::int32_t& status)
{
    if (const HResult r = scanCallResult(scan, "load"))
        return r;
    const FaroWorkspaceScan& entry = workspace.scans[std::size_t(scan)];
    if (entry.loadStatus != 0) {
        status = entry.loadStatus;
        return faro::okResult;
    }
    std::unique_ptr<QFile>& slot = loaded[std::size_t(scan)];
    if (slot) {
        status = 0;
        return faro::okResult;
    }

    // Unbuffered: a column is one read of its own, straight from the file as it is now.
    auto file = std::make_unique<QFile>(entry.pointsPath);
    QString why;
    if (!openRegularFile(*file, QIODevice::ReadOnly | QIODevice::Unbuffered, &why)) {
        say(QStringLiteral("cannot open the points file %1 of scan %2: %3")
                .arg(entry.pointsPath)
                .arg(scan)
                .arg(why));
        status = PointsFileMissing;
        return faro::okResult;
    }
    char header[pointsHeaderSize];
    const bool headerRead = file->read(header, pointsHeaderSize) == pointsHeaderSize;
    if (!headerRead || std::memcmp(header, pointsMagic, 8) != 0 ||
        littleEndian32(header + 8) != quint32(entry.rows) ||
        littleEndian32(header + 12) != quint32(entry.columns)) {
        say(QStringLiteral("%1 is not the points file of a scan of %2 × %3 points")
                .arg(entry.pointsPath)
                .arg(entry.rows)
                .arg(entry.columns));
        status = PointsFileMismatch;
        return faro::okResult;
    }
    const qint64 expected =
        pointsHeaderSize + qint64(entry.rows) * qint64(entry.columns) * bytesPerPoint;
    if (file->size() != expected) {
        say(QStringLiteral("the points file %1 holds %2 bytes instead of %3")
                .arg(entry.pointsPath)
                .arg(file->size())
                .arg(expected));
        status = PointsFileWrongSize;
        return faro::okResult;
    }
    slot = std::move(file);
    status = 0;
    return faro::okResult;
}

HResult FaroStandInLibrary::unloadScan(std::int32_t scan, std::int32_t& status)
{
    if (const HResult r = scanCallResult(scan, "unload"))
        return r;
    std::unique_ptr<QFile>& slot = loaded[std::size_t(scan)];
    status = slot ? 0 : ScanNotLoaded;
    slot.reset();
    return faro::okResult;
}

HResult FaroStandInLibrary::scanRows(std::int32_t scan, std::int32_t& rows)
{
    if (const HResult r = scanCallResult(scan, "rows"))
        return r;
    rows = workspace.scans[std::size_t(scan)].rows;
    return faro::okResult;
}

HResult FaroStandInLibrary::scanColumns(std::int32_t scan, std::int32_t& columns)
{
    if (const HResult r = scanCallResult(scan, "columns"))
        return r;
    columns = workspace.scans[std::size_t(scan)].columns;
    return faro::okResult;
}

HResult FaroStandInLibrary::scanPosition(std::int32_t scan, double& x, double& y, double& z,
                                         std::int32_t& status)
{
    if (const HResult r = scanCallResult(scan, "position"))
        return r;
    const FaroWorkspaceScan& entry = workspace.scans[std::size_t(scan)];
    x = entry.position[0];
    y = entry.position[1];
    z = entry.position[2];
    status = 0;
    return faro::okResult;
}

HResult FaroStandInLibrary::scanOrientation(std::int32_t scan, double& ax, double& ay, double& az,
                                            double& angle, std::int32_t& status)
{
    if (const HResult r = scanCallResult(scan, "orientation"))
        return r;
    const FaroWorkspaceScan& entry = workspace.scans[std::size_t(scan)];
    ax = entry.axis[0];
    ay = entry.axis[1];
    az = entry.axis[2];
    angle = entry.angle;
    status = 0;
    return faro::okResult;
}

HResult FaroStandInLibrary::scanObject(std::int32_t scan, std::unique_ptr<FaroScanObject>& object)
{
    if (const HResult r = scanCallResult(scan, "object"))
        return r;
    const FaroWorkspaceScan& entry = workspace.scans[std::size_t(scan)];
    if (entry.nullObject) {
        object.reset();
        return faro::okResult;
    }
    object = std::make_unique<StandInScanObject>(entry.name, scanCallResult(scan, "name"));
    return faro::okResult;
}

HResult FaroStandInLibrary::readColumn(std::int32_t scan, std::int32_t firstRow,
                                       std::int32_t column, std::int32_t rowCount, double* xyz,
                                       std::int32_t* flags, std::int32_t& status, const char* call)
{
    if (const HResult r = scanCallResult(scan, call))
        return r;
    if (!xyz || !flags)
        return faro::pointerError;
    const FaroWorkspaceScan& entry = workspace.scans[std::size_t(scan)];
    if (firstRow < 0 || rowCount < 0 || qint64(firstRow) + rowCount > entry.rows || column < 0 ||
        column >= entry.columns)
        return faro::invalidArgError;
    QFile* file = loaded[std::size_t(scan)].get();
    if (!file) {
        status = ScanNotLoaded;
        return faro::okResult;
    }
    const qint64 offset =
        pointsHeaderSize + (qint64(column) * entry.rows + firstRow) * bytesPerPoint;
    const qint64 length = qint64(rowCount) * bytesPerPoint;
    columnBytes.resize(std::size_t(length));
    if (!file->seek(offset) || file->read(columnBytes.data(), length) != length) {
        status = ColumnUnreadable;
        return faro::okResult;
    }
    for (qint64 k = 0; k < 3 * qint64(rowCount); ++k)
        xyz[k] = littleEndianDouble(columnBytes.data() + 8 * k);
    for (std::int32_t j = 0; j < rowCount; ++j)
        flags[j] = 0;
    status = 0;
    return faro::okResult;
}

HResult FaroStandInLibrary::cartesianColumn(std::int32_t scan, std::int32_t firstRow,
                                            std::int32_t column, std::int32_t rowCount, double* xyz,
                                            std::int32_t* flags, std::int32_t& status)
{
    return readColumn(scan, firstRow, column, rowCount, xyz, flags, status, "points");
}

HResult FaroStandInLibrary::polarColumn(std::int32_t scan, std::int32_t firstRow,
                                        std::int32_t column, std::int32_t rowCount, double* values,
                                        std::int32_t* flags, std::int32_t& status)
{
    const HResult r = readColumn(scan, firstRow, column, rowCount, values, flags, status, "polar");
    if (r != faro::okResult || status != 0)
        return r;
    // Range, polar angle from the scanner's up axis, azimuth; a point at the origin (a
    // missing return) has range and angles 0.
    for (std::int32_t j = 0; j < rowCount; ++j) {
        double* v = values + 3 * std::ptrdiff_t(j);
        const double x = v[0];
        const double y = v[1];
        const double z = v[2];
        const double range = std::sqrt(x * x + y * y + z * z);
        v[0] = range;
        v[1] = range > 0 ? std::acos(z / range) : 0.0;
        v[2] = range > 0 ? std::atan2(y, x) : 0.0;
    }
    return faro::okResult;
}

} // namespace orthaven

#pragma once
// Builds PTG files byte by byte for the reader's tests: key records, values and whole
// scans with row masks and point records of a chosen layout, little-endian throughout.

#include <QByteArray>

#include <opencv2/core.hpp>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace orthaven::test {

class PtgBytes
{
public:
    PtgBytes& start(); // "PTG", a zero byte, the magic number 0x928FA3C7
    PtgBytes& raw(const QByteArray& data);
    PtgBytes& int32(qint32 value);
    PtgBytes& int64(qint64 value);
    PtgBytes& float32(float value);
    PtgBytes& float64(double value);
    // A key record: its length with the zero byte, the text, the zero byte.
    PtgBytes& key(const QByteArray& text);
    PtgBytes& keyInt(const QByteArray& text, qint32 value) { return key(text).int32(value); }
    PtgBytes& keyDouble(const QByteArray& text, double value) { return key(text).float64(value); }
    PtgBytes& keyString(const QByteArray& text, const QByteArray& value);
    PtgBytes& transform(const std::array<double, 16>& d);

    QByteArray bytes;
};

// The 16 "%%transform" values of the identity, in file order.
std::array<double, 16> identityTransform();

struct PtgScan
{
    int columns = 0;
    int rows = 0;
    qint32 properties = 0;
    // Bytes per point record: the coordinates (floats, or doubles with bit value 2), then
    // filler bytes up to this size. 0: 12 or 24, plus 4 for bit value 4, plus 3 for 8.
    int recordSize = 0;
    std::optional<std::array<double, 16>> transform = identityTransform();
    QByteArray keysBeforeEnd; // more key records, written just before "%%header_end"
    // The point of row j of column c, or nothing for a missing return (no mask bit).
    std::function<std::optional<cv::Vec3d>(int c, int j)> cell;
};

struct PtgFile
{
    QByteArray bytes;
    qint64 tableOffset = 0;
    std::vector<qint64> columnOffsets;
    std::vector<cv::Vec3d> points; // every point with a mask bit, in stored order
};

PtgFile ptgFile(const PtgScan& scan);

// Cells holding (c, j + 0.5, base) for every row of every column: float values, and the
// coordinates say where a point came from.
std::function<std::optional<cv::Vec3d>(int, int)> fullGrid(double base = 1.25);

} // namespace orthaven::test

#include "PtgTestFiles.h"

#include <cstring>

namespace orthaven::test {

namespace {

// The test machines are little-endian, as the format is.
template <class T> void append(QByteArray& out, T value)
{
    char b[sizeof(T)];
    std::memcpy(b, &value, sizeof(T));
    out.append(b, qsizetype(sizeof(T)));
}

} // namespace

PtgBytes& PtgBytes::start()
{
    bytes.append("PTG", 4);
    return int32(qint32(0x928FA3C7u));
}

PtgBytes& PtgBytes::raw(const QByteArray& data)
{
    bytes.append(data);
    return *this;
}

PtgBytes& PtgBytes::int32(qint32 value)
{
    append(bytes, value);
    return *this;
}

PtgBytes& PtgBytes::int64(qint64 value)
{
    append(bytes, value);
    return *this;
}

PtgBytes& PtgBytes::float32(float value)
{
    append(bytes, value);
    return *this;
}

PtgBytes& PtgBytes::float64(double value)
{
    append(bytes, value);
    return *this;
}

PtgBytes& PtgBytes::key(const QByteArray& text)
{
    int32(qint32(text.size() + 1));
    bytes.append(text);
    bytes.append('\0');
    return *this;
}

PtgBytes& PtgBytes::keyString(const QByteArray& text, const QByteArray& value)
{
    key(text).int32(qint32(value.size()));
    bytes.append(value);
    return *this;
}

PtgBytes& PtgBytes::transform(const std::array<double, 16>& d)
{
    key("%%transform");
    for (double v : d)
        float64(v);
    return *this;
}

std::array<double, 16> identityTransform()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

PtgFile ptgFile(const PtgScan& scan)
{
    const bool doubles = (scan.properties & 2) != 0;
    int recordSize = scan.recordSize;
    if (recordSize == 0) {
        recordSize = doubles ? 24 : 12;
        recordSize += (scan.properties & 4) ? 4 : 0;
        recordSize += (scan.properties & 8) ? 3 : 0;
    }
    const int coordinateBytes = doubles ? 24 : 12;

    PtgBytes out;
    out.start()
        .key("%%header_begin")
        .keyInt("%%version", 1)
        .keyString("%%sw_name", "test writer")
        .keyInt("%%cols", scan.columns)
        .keyInt("%%rows", scan.rows);
    if (scan.transform)
        out.transform(*scan.transform);
    out.keyInt("%%properties", scan.properties).raw(scan.keysBeforeEnd).key("%%header_end");

    PtgFile file;
    file.tableOffset = out.bytes.size();
    const qsizetype tableAt = out.bytes.size();
    out.bytes.append(qsizetype(scan.columns) * 8, '\0');
    const qsizetype maskBytes = (qsizetype(scan.rows) + 7) / 8;
    for (int c = 0; c < scan.columns; ++c) {
        file.columnOffsets.push_back(out.bytes.size());
        const qsizetype maskAt = out.bytes.size();
        out.bytes.append(maskBytes, '\0');
        QByteArray records;
        for (int j = 0; j < scan.rows; ++j) {
            const std::optional<cv::Vec3d> p = scan.cell ? scan.cell(c, j) : std::nullopt;
            if (!p)
                continue;
            // Row j is bit 7 - j % 8 of byte j / 8.
            out.bytes[maskAt + j / 8] = char(out.bytes[maskAt + j / 8] | (0x80 >> (j % 8)));
            const qsizetype recordAt = records.size();
            for (int k = 0; k < 3; ++k) {
                if (doubles)
                    append(records, (*p)[k]);
                else
                    append(records, float((*p)[k]));
            }
            // Filler that makes nonsense of the next point if a reader misjudges the size.
            records.append(recordSize - coordinateBytes, char(0xA7));
            Q_ASSERT(records.size() - recordAt == recordSize);
            file.points.push_back(
                doubles ? *p : cv::Vec3d(float((*p)[0]), float((*p)[1]), float((*p)[2])));
        }
        out.bytes.append(records);
    }
    for (int c = 0; c < scan.columns; ++c) {
        const qint64 offset = file.columnOffsets[std::size_t(c)];
        std::memcpy(out.bytes.data() + tableAt + 8 * c, &offset, 8);
    }
    file.bytes = out.bytes;
    return file;
}

std::function<std::optional<cv::Vec3d>(int, int)> fullGrid(double base)
{
    return [base](int c, int j) { return std::optional<cv::Vec3d>(cv::Vec3d(c, j + 0.5, base)); };
}

} // namespace orthaven::test

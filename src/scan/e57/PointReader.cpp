#include "scan/e57/PointReader.h"

#include "scan/e57/Endian.h"
#include "scan/e57/PagedFile.h"
#include "scan/e57/Quaternion.h"

#include <QByteArray>

#include <array>
#include <cmath>
#include <cstring>

namespace orthaven::e57 {

ScanFields scanFields(const PointSet& points)
{
    ScanFields f;
    const int cx = fieldIndex(points, "cartesianX");
    const int cy = fieldIndex(points, "cartesianY");
    const int cz = fieldIndex(points, "cartesianZ");
    const int sr = fieldIndex(points, "sphericalRange");
    const int sa = fieldIndex(points, "sphericalAzimuth");
    const int se = fieldIndex(points, "sphericalElevation");
    if (cx >= 0 && cy >= 0 && cz >= 0) {
        f.coordinates = Coordinates::Cartesian;
        f.coordinate[0] = cx;
        f.coordinate[1] = cy;
        f.coordinate[2] = cz;
        f.invalidState = fieldIndex(points, "cartesianInvalidState");
    } else if (sr >= 0 && sa >= 0 && se >= 0) {
        f.coordinates = Coordinates::Spherical;
        f.coordinate[0] = sr;
        f.coordinate[1] = sa;
        f.coordinate[2] = se;
        f.invalidState = fieldIndex(points, "sphericalInvalidState");
    }
    f.intensity = fieldIndex(points, "intensity");
    f.colour[0] = fieldIndex(points, "colorRed");
    f.colour[1] = fieldIndex(points, "colorGreen");
    f.colour[2] = fieldIndex(points, "colorBlue");
    if (f.colour[0] < 0 || f.colour[1] < 0 || f.colour[2] < 0)
        f.colour[0] = f.colour[1] = f.colour[2] = -1;
    f.rowIndex = fieldIndex(points, "rowIndex");
    f.columnIndex = fieldIndex(points, "columnIndex");
    // An invalid state that is not an integer says nothing we could read.
    if (f.invalidState >= 0 &&
        points.fields[std::size_t(f.invalidState)].type != FieldType::Integer)
        f.invalidState = -1;
    return f;
}

bool listScans(PagedFile& file, std::vector<Scan>& scans, std::string& error,
               std::vector<ListNote>& notes)
{
    scans.clear();
    notes.clear();
    const FileHeader& header = file.header();
    // open() made sure the section lies within the file, which bounds this buffer.
    QByteArray xml(qsizetype(header.xmlLogicalLength), Qt::Uninitialized);
    if (!file.read(file.logicalOffset(header.xmlPhysicalOffset), xml.data(),
                   header.xmlLogicalLength)) {
        error = file.error();
        return false;
    }
    std::vector<Scan> found;
    if (!parseXmlSection(xml, found, error))
        return false;
    for (std::size_t k = 0; k < found.size(); ++k) {
        Scan& scan = found[k];
        std::array<double, 9> rotation;
        if (!quaternionRotation(scan.rotation[0], scan.rotation[1], scan.rotation[2],
                                scan.rotation[3], rotation)) {
            error = "scan " + std::to_string(k) + ": the rotation of its pose has length 0";
            return false;
        }
        if (!scan.hasPoints)
            continue;
        SectionBounds bounds;
        if (!checkSection(file, scan.points, bounds, error)) {
            error = "scan " + std::to_string(k) + ": " + error;
            return false;
        }
        if (scanFields(scan.points).coordinates == Coordinates::None) {
            if (scan.points.recordCount > 0)
                notes.push_back({int(k), "scan " + std::to_string(k) +
                                             " has neither cartesian nor spherical "
                                             "coordinates: it gives no points"});
            scan.hasPoints = false;
        }
    }
    scans = std::move(found);
    return true;
}

bool PointReader::open(PagedFile& file, const Scan& scan, bool wantIntensity, bool wantColour)
{
    problem.clear();
    remaining = 0;
    nonFinite = 0;
    stateStream = intensityStream = colourStream = -1;
    layout = scanFields(scan.points);
    if (!scan.hasPoints || layout.coordinates == Coordinates::None)
        return true; // a scan without points: nothing to read
    std::vector<int> wanted = {layout.coordinate[0], layout.coordinate[1], layout.coordinate[2]};
    if (layout.invalidState >= 0) {
        stateStream = int(wanted.size());
        wanted.push_back(layout.invalidState);
    }
    if (wantIntensity && layout.intensity >= 0) {
        intensityStream = int(wanted.size());
        wanted.push_back(layout.intensity);
    }
    if (wantColour && layout.colour[0] >= 0) {
        colourStream = int(wanted.size());
        wanted.insert(wanted.end(), {layout.colour[0], layout.colour[1], layout.colour[2]});
    }
    if (!vector.open(file, scan.points, wanted)) {
        problem = vector.error();
        return false;
    }
    // Cartesian floats of one precision, with an invalid state that one word load reads,
    // and no channels: one pass over the bytestreams does it all.
    const auto& fields = scan.points.fields;
    const Field& x = fields[std::size_t(layout.coordinate[0])];
    onePass = layout.coordinates == Coordinates::Cartesian && intensityStream < 0 &&
              colourStream < 0 &&
              (layout.invalidState < 0 || fields[std::size_t(layout.invalidState)].bits() <= 56);
    for (const int c : layout.coordinate) {
        const Field& f = fields[std::size_t(c)];
        onePass = onePass && f.type == FieldType::Float && f.singlePrecision == x.singlePrecision;
    }
    remaining = scan.points.recordCount;
    return true;
}

namespace {

template <class Float> struct FloatBits;
template <> struct FloatBits<float>
{
    using Bits = std::uint32_t;
    static constexpr Bits exponent = 0x7F800000u;
};
template <> struct FloatBits<double>
{
    using Bits = std::uint64_t;
    static constexpr Bits exponent = 0x7FF0000000000000u;
};

} // namespace

template <class Float, bool WithState>
std::size_t PointReader::readFloats(std::size_t records, const Output& out)
{
    using Bits = typename FloatBits<Float>::Bits;
    constexpr Bits exponent = FloatBits<Float>::exponent;
    unsigned offset = 0;
    const unsigned char* p[3];
    for (std::size_t c = 0; c < 3; ++c)
        p[c] = vector.values(c, offset);
    std::uint64_t bit = 0;
    const unsigned char* state = nullptr;
    std::uint64_t mask = 0;
    std::uint64_t zero = 0;
    std::uint64_t width = 0;
    if constexpr (WithState) {
        unsigned first = 0;
        state = vector.values(std::size_t(stateStream), first);
        bit = first;
        const Field& f = vector.field(std::size_t(stateStream));
        width = std::uint64_t(f.bits());
        mask = width == 0 ? 0 : (std::uint64_t(1) << width) - 1;
        zero = std::uint64_t(0) - std::uint64_t(f.minimum); // beyond mask when 0 is no value
    }
    std::size_t n = 0;
    std::int64_t notFinite = 0;
    for (std::size_t i = 0; i < records; ++i) {
        const Bits bx = loadLittleEndian<Bits>(p[0] + sizeof(Bits) * i);
        const Bits by = loadLittleEndian<Bits>(p[1] + sizeof(Bits) * i);
        const Bits bz = loadLittleEndian<Bits>(p[2] + sizeof(Bits) * i);
        bool valid = true;
        if constexpr (WithState) {
            // 0 is a point; 1 is a direction only, 2 no return.
            valid =
                ((loadLittleEndian<std::uint64_t>(state + (bit >> 3)) >> (bit & 7)) & mask) == zero;
            bit += width;
        }
        const bool finite = ((bx & exponent) != exponent) & ((by & exponent) != exponent) &
                            ((bz & exponent) != exponent);
        Float x;
        Float y;
        Float z;
        std::memcpy(&x, &bx, sizeof x);
        std::memcpy(&y, &by, sizeof y);
        std::memcpy(&z, &bz, sizeof z);
        out.x[n] = double(x);
        out.y[n] = double(y);
        out.z[n] = double(z);
        n += std::size_t(valid & finite);
        notFinite += std::int64_t(valid & !finite);
    }
    nonFinite += notFinite;
    return n;
}

std::int64_t PointReader::read(std::size_t records, const Output& out)
{
    if (std::int64_t(records) > remaining)
        records = std::size_t(remaining);
    if (records == 0)
        return 0;
    if (onePass) {
        // Every bytestream's bytes for the batch first: a packet read for one field can
        // move the pending bytes of another, not once all are there.
        bool ok = true;
        for (std::size_t c = 0; ok && c < 3; ++c)
            ok = vector.require(c, records);
        if (ok && stateStream >= 0)
            ok = vector.require(std::size_t(stateStream), records);
        for (std::size_t c = 0; ok && c < 3; ++c)
            ok = vector.require(c, records);
        if (!ok) {
            problem = vector.error();
            remaining = 0;
            return -1;
        }
        const bool single = vector.field(0).singlePrecision;
        const bool withState = stateStream >= 0;
        std::size_t n = 0;
        if (single)
            n = withState ? readFloats<float, true>(records, out)
                          : readFloats<float, false>(records, out);
        else
            n = withState ? readFloats<double, true>(records, out)
                          : readFloats<double, false>(records, out);
        for (std::size_t c = 0; c < 3; ++c)
            vector.skip(c, records);
        if (withState)
            vector.skip(std::size_t(stateStream), records);
        remaining -= std::int64_t(records);
        return std::int64_t(n);
    }
    // The invalid state first: the values of the other fields are then written only for
    // the records that are points (0; 1 is a direction only, 2 no return).
    const unsigned char* valid = nullptr;
    bool ok = true;
    if (stateStream >= 0) {
        keep.resize(records);
        ok = vector.readZeros(std::size_t(stateStream), records, keep.data());
        valid = keep.data();
    }
    std::size_t n = records;
    double* const coordinates[3] = {out.x, out.y, out.z};
    for (std::size_t c = 0; ok && c < 3; ++c)
        ok = vector.readDoubles(c, records, coordinates[c], valid, &n);
    // Values of the channels asked for that the file has, and where they go.
    std::array<double*, 4> channels{};
    std::size_t channelCount = 0;
    if (intensityStream >= 0 && out.intensity) {
        channels[channelCount++] = out.intensity;
        ok = ok && vector.readDoubles(std::size_t(intensityStream), records, out.intensity, valid);
    }
    for (int c = 0; c < 3 && colourStream >= 0; ++c) {
        if (!out.colour[c])
            continue;
        channels[channelCount++] = out.colour[c];
        ok = ok && vector.readDoubles(std::size_t(colourStream + c), records, out.colour[c], valid);
    }
    if (!ok) {
        problem = vector.error();
        remaining = 0;
        return -1;
    }
    remaining -= std::int64_t(records);

    if (layout.coordinates == Coordinates::Spherical) {
        for (std::size_t i = 0; i < n; ++i) {
            const double range = out.x[i];
            const double azimuth = out.y[i];
            const double elevation = out.z[i];
            const double horizontal = range * std::cos(elevation);
            out.x[i] = horizontal * std::cos(azimuth);
            out.y[i] = horizontal * std::sin(azimuth);
            out.z[i] = range * std::sin(elevation);
        }
    }
    // Coordinates that are not finite numbers are damage: such points are left out. The
    // check runs without a branch; the moving only when there is one.
    bool allFinite = true;
    for (std::size_t i = 0; i < n; ++i)
        allFinite &= std::isfinite(out.x[i]) & std::isfinite(out.y[i]) & std::isfinite(out.z[i]);
    if (allFinite)
        return std::int64_t(n);
    std::size_t m = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(out.x[i]) || !std::isfinite(out.y[i]) || !std::isfinite(out.z[i])) {
            ++nonFinite;
            continue;
        }
        for (double* values : coordinates)
            values[m] = values[i];
        for (std::size_t c = 0; c < channelCount; ++c)
            channels[c][m] = channels[c][i];
        ++m;
    }
    return std::int64_t(m);
}

} // namespace orthaven::e57

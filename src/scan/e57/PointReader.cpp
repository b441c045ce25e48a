#include "scan/e57/PointReader.h"

#include "scan/e57/PagedFile.h"
#include "scan/e57/Quaternion.h"

#include <QByteArray>

#include <cmath>

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
               std::vector<std::string>& notes)
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
                notes.push_back("scan " + std::to_string(k) +
                                " has neither cartesian nor spherical coordinates: it gives "
                                "no points");
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
    remaining = scan.points.recordCount;
    return true;
}

std::int64_t PointReader::read(std::size_t records, const Output& out)
{
    if (std::int64_t(records) > remaining)
        records = std::size_t(remaining);
    if (records == 0)
        return 0;
    bool ok = vector.readDoubles(0, records, out.x) && vector.readDoubles(1, records, out.y) &&
              vector.readDoubles(2, records, out.z);
    if (ok && stateStream >= 0) {
        states.resize(records);
        ok = vector.readIntegers(std::size_t(stateStream), records, states.data());
    }
    if (ok && intensityStream >= 0 && out.intensity)
        ok = vector.readDoubles(std::size_t(intensityStream), records, out.intensity);
    for (int c = 0; ok && colourStream >= 0 && c < 3; ++c) {
        if (out.colour[c])
            ok = vector.readDoubles(std::size_t(colourStream + c), records, out.colour[c]);
    }
    if (!ok) {
        problem = vector.error();
        remaining = 0;
        return -1;
    }
    remaining -= std::int64_t(records);

    // Keep the points with valid coordinates, moving them forward in place.
    const bool spherical = layout.coordinates == Coordinates::Spherical;
    if (!spherical && (intensityStream < 0 || !out.intensity) && colourStream < 0) {
        // The common case, without a branch per point: every point is written, and the
        // next one overwrites it unless it is kept.
        const bool checkState = stateStream >= 0;
        std::size_t n = 0;
        std::int64_t notFinite = 0;
        for (std::size_t i = 0; i < records; ++i) {
            const double x = out.x[i];
            const double y = out.y[i];
            const double z = out.z[i];
            const bool valid = !checkState || states[i] == 0;
            const bool finite = std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
            out.x[n] = x;
            out.y[n] = y;
            out.z[n] = z;
            n += std::size_t(valid && finite);
            notFinite += std::int64_t(valid && !finite);
        }
        nonFinite += notFinite;
        return std::int64_t(n);
    }
    const bool channels[4] = {intensityStream >= 0 && out.intensity != nullptr,
                              colourStream >= 0 && out.colour[0] != nullptr,
                              colourStream >= 0 && out.colour[1] != nullptr,
                              colourStream >= 0 && out.colour[2] != nullptr};
    double* const extra[4] = {out.intensity, out.colour[0], out.colour[1], out.colour[2]};
    std::size_t n = 0;
    for (std::size_t i = 0; i < records; ++i) {
        // 0 is a valid point; 1 (a direction only) and 2 (no return) are not points.
        if (stateStream >= 0 && states[i] != 0)
            continue;
        double x = out.x[i];
        double y = out.y[i];
        double z = out.z[i];
        if (spherical) {
            const double range = x;
            const double azimuth = y;
            const double elevation = z;
            const double horizontal = range * std::cos(elevation);
            x = horizontal * std::cos(azimuth);
            y = horizontal * std::sin(azimuth);
            z = range * std::sin(elevation);
        }
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
            ++nonFinite;
            continue;
        }
        out.x[n] = x;
        out.y[n] = y;
        out.z[n] = z;
        for (int c = 0; c < 4; ++c) {
            if (channels[c])
                extra[c][n] = extra[c][i];
        }
        ++n;
    }
    return std::int64_t(n);
}

} // namespace orthaven::e57

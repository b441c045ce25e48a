#pragma once
// The scans of an E57 file and their points: lists the scans of the XML section with
// their binary sections checked, and decodes a scan's records into points, leaving out
// the records whose coordinates are marked invalid (and, as damage, those that are not
// finite). Spherical coordinates become cartesian ones.

#include "scan/e57/CompressedVector.h"
#include "scan/e57/XmlSection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orthaven::e57 {

class PagedFile;

enum class Coordinates
{
    None,
    Cartesian, // cartesianX, cartesianY, cartesianZ
    Spherical  // sphericalRange, sphericalAzimuth, sphericalElevation
};

// Where the values a reader uses sit in a record: indices into PointSet::fields, -1 when
// the prototype has no such field.
struct ScanFields
{
    Coordinates coordinates = Coordinates::None;
    int coordinate[3] = {-1, -1, -1}; // x, y, z, or range, azimuth, elevation
    int invalidState = -1;            // cartesianInvalidState or sphericalInvalidState
    int intensity = -1;
    int colour[3] = {-1, -1, -1}; // colorRed, colorGreen, colorBlue
    int rowIndex = -1;
    int columnIndex = -1;
};

// Cartesian coordinates where the prototype has all three, else spherical ones.
ScanFields scanFields(const PointSet& points);

// Something found in one scan of a file that is listed all the same.
struct ListNote
{
    int scan = 0; // in the file
    std::string text;
};

// Reads the XML section of an open file and checks the binary section of every scan with
// points. False with error when the file cannot be listed; notes receives a line for each
// scan that is listed without points although it has records (no coordinates).
bool listScans(PagedFile& file, std::vector<Scan>& scans, std::string& error,
               std::vector<ListNote>& notes);

class PointReader
{
public:
    // Where read() puts the values of the points it keeps; each array holds at least as
    // many values as records are read at a time. intensity and colour may be null.
    struct Output
    {
        double* x = nullptr;
        double* y = nullptr;
        double* z = nullptr;
        double* intensity = nullptr; // the field's values as stored
        double* colour[3] = {nullptr, nullptr, nullptr};
    };

    // Prepares the scan's records for reading from the first one. False with error().
    bool open(PagedFile& file, const Scan& scan, bool wantIntensity = false,
              bool wantColour = false);
    const ScanFields& fields() const { return layout; }

    std::int64_t recordsLeft() const { return remaining; }
    // Decodes the next `records` records (at most recordsLeft()) and writes the points
    // among them whose coordinates are valid, in record order. Returns how many were
    // written, or -1 with error().
    std::int64_t read(std::size_t records, const Output& out);

    // Records left out so far because their coordinates are not finite numbers.
    std::int64_t nonFiniteRecords() const { return nonFinite; }
    const std::string& error() const { return problem; }

private:
    // x, y, z floats and the invalid state decoded together, in one pass (most files).
    template <class Float, bool WithState>
    std::size_t readFloats(std::size_t records, const Output& out);
    bool onePass = false;
    CompressedVectorReader vector;
    ScanFields layout;
    // Which of the wanted streams of `vector` holds what (-1: not read).
    int stateStream = -1;
    int intensityStream = -1;
    int colourStream = -1; // the first of three
    std::int64_t remaining = 0;
    std::int64_t nonFinite = 0;
    std::vector<unsigned char> keep; // per record of a batch: its coordinates are valid
    std::string problem;
};

} // namespace orthaven::e57

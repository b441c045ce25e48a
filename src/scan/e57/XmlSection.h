#pragma once
// The XML section of an E57 file, as far as point reading needs it: the scans of `data3D`
// with their names, poses, index bounds and the prototype of their point records. Images
// (`images2D`) and everything else are passed over.

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace orthaven::e57 {

// The namespace of the standard's own elements.
inline constexpr char e57Namespace[] = "http://www.astm.org/COMMIT/E57/2010-e57-v1.0";

enum class FieldType
{
    Integer,       // minimum + an unsigned value of bits() bits
    ScaledInteger, // the same integer times scale plus offset
    Float          // IEEE 754 single or double, 4 or 8 bytes
};

// One terminal element of a record prototype; each has a bytestream of its own.
struct Field
{
    QString name;          // as written, prefix included ("cartesianX", "nor:normalX")
    bool standard = false; // an element of the standard at the top of the prototype
    FieldType type = FieldType::Float;
    bool singlePrecision = false;
    std::int64_t minimum = std::numeric_limits<std::int64_t>::min();
    std::int64_t maximum = std::numeric_limits<std::int64_t>::max();
    double scale = 1.0;
    double offset = 0.0;
    // The range a Float field's values lie in, when its element gives one.
    bool floatBounds = false;
    double floatMinimum = 0.0;
    double floatMaximum = 0.0;

    // Bits per value in the bytestream: enough for maximum - minimum (0 when they are
    // equal, 64 for the whole range), or 32 and 64 for floats.
    int bits() const;
    // The smallest and largest value the field can hold, as read (for integers, scaled);
    // false for a Float field without a range.
    bool range(double& low, double& high) const;
};

// A compressed vector: where its binary section is and what its records hold.
struct PointSet
{
    std::uint64_t fileOffset = 0; // physical offset of the binary section
    std::int64_t recordCount = 0;
    std::vector<Field> fields; // in bytestream order
    std::int64_t bitsPerRecord() const;
};

struct Scan
{
    QString name; // empty when the file gives none
    // Pose: rotation quaternion (w, x, y, z) and translation; the identity without one.
    std::array<double, 4> rotation{1.0, 0.0, 0.0, 0.0};
    std::array<double, 3> translation{0.0, 0.0, 0.0};
    bool hasPoints = false;
    PointSet points;
    // Grid extent from indexBounds (-1: not given).
    std::int64_t rowMaximum = -1;
    std::int64_t columnMaximum = -1;
};

// Reads the section; false with error, a text that follows "E57 file <path>: ".
bool parseXmlSection(const QByteArray& xml, std::vector<Scan>& scans, std::string& error);

// Index of the standard field `name` at the top of the prototype, or -1.
int fieldIndex(const PointSet& points, const char* name);

} // namespace orthaven::e57

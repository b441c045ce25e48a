#pragma once
// Builds small E57 files for the reader's tests: hand-made record prototypes with chosen
// field types, values and packet sizes, the XML section that describes them, and the
// pages with their checksums. Tests damage the result on purpose.

#include <QByteArray>

#include <opencv2/core.hpp>

#include <functional>
#include <vector>

namespace orthaven::test {

// One field of a record prototype and its values, record by record.
struct E57Field
{
    QByteArray name;              // "cartesianX"
    QByteArray type = "Float";    // "Float", "Integer" or "ScaledInteger"
    bool single = false;          // Float: single precision
    qint64 minimum = 0;           // Integer and ScaledInteger
    qint64 maximum = 0;           //
    double scale = 1.0;           // ScaledInteger
    double offset = 0.0;          //
    std::vector<double> floats;   // the values of a Float field
    std::vector<qint64> integers; // the (raw) values of the others

    static E57Field floating(const QByteArray& name, std::vector<double> values,
                             bool single = false);
    static E57Field integer(const QByteArray& name, qint64 minimum, qint64 maximum,
                            std::vector<qint64> values);
};

struct E57ScanPlan
{
    QByteArray name;    // no <name> when empty
    QByteArray poseXml; // the children of <pose>; no pose when empty
    QByteArray moreXml; // further children of the scan's structure
    std::vector<E57Field> fields;
    bool withPoints = true;
    qint64 recordCount = -1;           // -1: as many as the fields have values
    int streamBytesPerPacket = 30000;  // at most this many bytes of a bytestream per packet
    bool indexAndEmptyPackets = false; // an empty packet first and an index packet last
};

struct E57FilePlan
{
    std::vector<E57ScanPlan> scans;
    std::function<void(QByteArray& xml)> editXml; // changes the XML text before it is paged
};

struct E57Image
{
    QByteArray bytes;                   // the file
    std::vector<qint64> sectionOffsets; // physical offset of each scan's binary section
    qint64 xmlOffset = 0;               // physical
};

E57Image e57File(const E57FilePlan& plan);
// The physical offset of a logical one (1024-byte pages).
qint64 e57Physical(qint64 logical);
// Sets the checksum of every page again, after a test changed bytes of the file.
void e57FixChecksums(QByteArray& bytes);

// cartesianX, cartesianY, cartesianZ as doubles holding the points.
std::vector<E57Field> cartesianFields(const std::vector<cv::Vec3d>& points);
// "<rotation …><w …>w</w>…</rotation><translation …>…</translation>"
QByteArray e57PoseXml(double w, double x, double y, double z, double tx, double ty, double tz);

} // namespace orthaven::test

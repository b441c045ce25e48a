#include "RieglTestFiles.h"

#include <QtEndian>

#include <bit>
#include <cstdint>

namespace orthaven::test {

namespace {

void appendUint32(QByteArray& out, std::uint32_t value)
{
    char bytes[4];
    qToLittleEndian<quint32>(value, bytes);
    out.append(bytes, 4);
}

} // namespace

QByteArray matrixXml(const cv::Mat& m)
{
    QByteArray text = "<matrix rows=\"4\" cols=\"4\"> ";
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            text += QByteArray::number(m.at<double>(r, c), 'g', 17);
            text += c < 3 ? " " : "   ";
        }
    }
    return text + "</matrix>";
}

QByteArray popXml(const cv::Mat& m)
{
    return "\t<pop name=\"POP\" kind=\"POP\">\n\t\t<freeze>0</freeze>\n\t\t" + matrixXml(m) +
           "\n\t</pop>\n";
}

QByteArray sopXml(const cv::Mat& m)
{
    return "\t\t\t<sop name=\"SOP\" kind=\"SOP\">\n\t\t\t\t" + matrixXml(m) + "\n\t\t\t</sop>\n";
}

QByteArray singleScansXml(const QStringList& files, const QString& fold)
{
    QByteArray text = "\t\t\t<singlescans name=\"SINGLESCANS\" kind=\"SINGLESCANS\" fold=\"" +
                      fold.toUtf8() + "\">\n";
    for (const QString& file : files) {
        text += "\t\t\t\t<scan name=\"x\" kind=\"ScanAcquiredX\"><file>" + file.toUtf8() +
                "</file></scan>\n";
    }
    return text + "\t\t\t</singlescans>\n";
}

QByteArray positionXml(const QString& fold, const QByteArray& inner)
{
    return "\t\t<scanposition name=\"" + fold.toUtf8() + "\" kind=\"PositionX\" fold=\"" +
           fold.toUtf8() + "\">\n" + inner + "\t\t</scanposition>\n";
}

QByteArray projectXml(const QByteArray& pop, const QByteArray& positions)
{
    return "<?xml version=\"1.0\" standalone=\"no\"?>\n"
           "<!DOCTYPE project SYSTEM \"./project.dtd\" [ <!-- test --> ]>\n"
           "<project name=\"test\" kind=\"ProjectX\" fold=\"test.RiSCAN\">\n" +
           pop + "\t<scanpositions name=\"SCANS\" kind=\"SCANS\" fold=\"SCANS\">\n" + positions +
           "\t</scanpositions>\n</project>\n";
}

QByteArray pointStream(const std::vector<std::vector<cv::Vec3d>>& frames)
{
    QByteArray bytes("\x89P3S\r\n\x1a\n", 8);
    appendUint32(bytes, 1);
    appendUint32(bytes, 16);
    for (const std::vector<cv::Vec3d>& frame : frames) {
        bytes += "FRAM";
        appendUint32(bytes, std::uint32_t(frame.size()));
        for (const cv::Vec3d& p : frame) {
            for (int c = 0; c < 3; ++c)
                appendUint32(bytes, std::bit_cast<std::uint32_t>(float(p[c])));
        }
    }
    return bytes;
}

std::vector<cv::Vec3d> floatPoints(int count, double base)
{
    std::vector<cv::Vec3d> points;
    points.reserve(std::size_t(count));
    for (int k = 0; k < count; ++k) {
        // Quarters stay exact in a float up to 2^21.
        points.emplace_back(double(float(base + k * 0.25)), double(float(-base - k * 0.5)),
                            double(float(0.125 * (k % 97))));
    }
    return points;
}

cv::Mat translation(double x, double y, double z)
{
    cv::Mat m = cv::Mat::eye(4, 4, CV_64F);
    m.at<double>(0, 3) = x;
    m.at<double>(1, 3) = y;
    m.at<double>(2, 3) = z;
    return m;
}

cv::Mat quarterTurn(double x, double y, double z)
{
    cv::Mat m = translation(x, y, z);
    m.at<double>(0, 0) = 0;
    m.at<double>(0, 1) = -1;
    m.at<double>(1, 0) = 1;
    m.at<double>(1, 1) = 0;
    return m;
}

cv::Mat times(const cv::Mat& a, const cv::Mat& b)
{
    cv::Mat p(4, 4, CV_64F);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.at<double>(r, k) * b.at<double>(k, c);
            p.at<double>(r, c) = sum;
        }
    }
    return p;
}

} // namespace orthaven::test

#include "PtxTestFiles.h"

#include <QLocale>

#include <charconv>

namespace orthaven::test {

namespace {

void appendNumber(QByteArray& out, double value)
{
    char text[64];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    out.append(text, int(r.ptr - text));
}

} // namespace

QList<QByteArray> identityPoseLines()
{
    return {"1 0 0 0", "0 1 0 0", "0 0 1 0", "0 0 0 1"};
}

QByteArray ptxHeader(const QByteArray& line1, const QByteArray& line2,
                     const QList<QByteArray>& poseLines)
{
    QByteArray text = line1 + '\n' + line2 + '\n' + "0 0 0\n1 0 0\n0 1 0\n0 0 1\n";
    for (const QByteArray& line : poseLines)
        text += line + '\n';
    return text;
}

QByteArray ptxHeader(int columns, int pointsPerColumn, const QList<QByteArray>& poseLines)
{
    return ptxHeader(QByteArray::number(columns), QByteArray::number(pointsPerColumn), poseLines);
}

QByteArray ptxPointLines(const std::vector<cv::Vec3d>& points, const QByteArray& tail)
{
    QByteArray text;
    for (const cv::Vec3d& p : points) {
        appendNumber(text, p[0]);
        text += ' ';
        appendNumber(text, p[1]);
        text += ' ';
        appendNumber(text, p[2]);
        text += tail;
        text += '\n';
    }
    return text;
}

std::vector<cv::Vec3d> distinctPoints(int count, double base)
{
    std::vector<cv::Vec3d> points;
    points.reserve(std::size_t(count));
    for (int k = 0; k < count; ++k)
        points.emplace_back(base + k * 0.125, -0.5 * k - 0.375, 0.001 * k + 1.1);
    return points;
}

cv::Mat poseOf(const QList<QByteArray>& poseLines)
{
    cv::Mat pose = cv::Mat::zeros(4, 4, CV_64F);
    for (int k = 0; k < 4 && k < poseLines.size(); ++k) {
        const QList<QByteArray> numbers = poseLines[k].simplified().split(' ');
        for (int r = 0; r < 4 && r < numbers.size(); ++r)
            pose.at<double>(r, k) = QLocale::c().toDouble(QString::fromLatin1(numbers[r]));
    }
    return pose;
}

} // namespace orthaven::test

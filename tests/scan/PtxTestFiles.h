#pragma once
// Builds small PTX texts for the reader's tests: headers with chosen lines, point lines
// with exactly known values.

#include <QByteArray>
#include <QList>

#include <opencv2/core.hpp>

#include <vector>

namespace orthaven::test {

// Lines 7-10 of an identity pose.
QList<QByteArray> identityPoseLines();

// A ten-line header: the two count lines as given, four scanner lines, four pose lines.
QByteArray ptxHeader(const QByteArray& line1, const QByteArray& line2,
                     const QList<QByteArray>& poseLines = identityPoseLines());
QByteArray ptxHeader(int columns, int pointsPerColumn,
                     const QList<QByteArray>& poseLines = identityPoseLines());

// One "x y z<tail>" line per point, numbers in shortest round-trip form.
QByteArray ptxPointLines(const std::vector<cv::Vec3d>& points, const QByteArray& tail = {});

// count points with distinct, exactly representable coordinates, starting from base.
std::vector<cv::Vec3d> distinctPoints(int count, double base);

// The pose that the given pose lines describe (line k = column k).
cv::Mat poseOf(const QList<QByteArray>& poseLines);

} // namespace orthaven::test

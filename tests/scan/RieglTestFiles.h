#pragma once
// Builds small Riegl projects for the reader's tests: project XML laid out as RiSCAN
// writes it, and point-stream files of the scanifc stand-in with exactly known points.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <vector>

namespace orthaven::test {

// A 4 × 4 matrix element, numbers in exact round-trip form, RiSCAN's blank layout.
QByteArray matrixXml(const cv::Mat& m);
QByteArray popXml(const cv::Mat& m);
QByteArray sopXml(const cv::Mat& m);
// A "singlescans" holding one "scan" per file name.
QByteArray singleScansXml(const QStringList& files, const QString& fold = "SINGLESCANS");
// A "scanposition": its fold (also its name), then the inner elements as given.
QByteArray positionXml(const QString& fold, const QByteArray& inner);
// The whole project: the root "project" holding the given children inside one
// "scanpositions" (fold "SCANS"), after the prolog and DOCTYPE of real projects.
QByteArray projectXml(const QByteArray& pop, const QByteArray& positions);

// The bytes of a point-stream file: header, then one frame per entry.
QByteArray pointStream(const std::vector<std::vector<cv::Vec3d>>& frames);
// count points whose coordinates are distinct float values, starting from base.
std::vector<cv::Vec3d> floatPoints(int count, double base);

// A pure translation, and a turn about z by a quarter with a translation.
cv::Mat translation(double x, double y, double z);
cv::Mat quarterTurn(double x, double y, double z);
// a · b, for expected poses.
cv::Mat times(const cv::Mat& a, const cv::Mat& b);

} // namespace orthaven::test

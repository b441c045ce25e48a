#pragma once
// The one contract every ScanSource keeps, as a reusable test body: given a way to create
// the reader, its input files and what each scan must deliver, it checks counts, names,
// poses, chunk shapes, the end of a scan, rewinding, the same points with the intensity and
// colour channels asked for, switching between scans, that no call failed, and that
// indices outside the scans are refused.
//
//   TEST(PtgReader, KeepsTheContract) {
//       ScanSourceContract c;
//       c.label = "two PTG scans";
//       c.createReader = [] { return std::make_unique<ScanSourcePTG>(); };
//       c.inputFiles = {a, b};
//       c.scans = {{pointsOfA, poseOfA}, {pointsOfB, poseOfB}};
//       checkScanSourceContract(c);
//   }

#include "scan/ScanSource.h"

#include <QStringList>

#include <opencv2/core.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orthaven::test {

struct ContractScan
{
    std::vector<cv::Vec3d> points; // every point, in delivery order
    cv::Mat pose;                  // 4 × 4, CV_64F
    int rows = -1;                 // expected scanDimensions; -1 leaves them unchecked
    int columns = -1;
};

struct ScanSourceContract
{
    std::string label;
    std::function<std::unique_ptr<ScanSource>()> createReader;
    QStringList inputFiles;
    std::vector<ContractScan> scans;
    int maxColumns = 1000; // what the engine passes
    int maxPointsPerChunk = ScanSource::maxChunkPoints;
    double pointTolerance = 0.0; // 0: bit for bit
    double poseTolerance = 0.0;
    bool distinctNames = true;
    bool singleOpenScan = true;      // opening a scan closes the open one (all but FARO)
    bool dimensionsOpenScan = false; // scanDimensions loads the scan first (FARO)
};

void checkScanSourceContract(const ScanSourceContract& contract);

// Scan i read the way the engine reads it: openScan, then readPoints until a call returns
// false or delivers fewer than two columns (safety stop after maxCalls calls).
struct ScanReadout
{
    bool opened = false;
    std::vector<cv::Vec3d> points;
    std::vector<int> chunkColumns; // columns of every chunk, the last one included
    std::vector<bool> results;     // result of every readPoints call
};
ScanReadout readWholeScan(ScanSource& reader, int i, int maxColumns = 1000, int maxCalls = 100000);
// The same without openScan: continues (or, after rewindPoints, restarts) the open scan.
ScanReadout readOpenScan(ScanSource& reader, int i, int maxColumns = 1000, int maxCalls = 100000);

// Appends the points of a 4 × N chunk.
void appendChunk(const cv::Mat& chunk, std::vector<cv::Vec3d>& points);

} // namespace orthaven::test

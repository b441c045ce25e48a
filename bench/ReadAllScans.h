#pragma once
// The read every benchmark times: each scan of a reader opened and pulled through
// readPoints in the chunks the layout engine asks for, then rewound and closed.

#include "scan/ScanSource.h"

#include <opencv2/core.hpp>

namespace orthaven::bench {

struct ReadTotals
{
    long long points = 0;
    double checksum = 0; // keeps the compiler from dropping the reads
};

inline ReadTotals readAllScans(ScanSource& reader)
{
    ReadTotals totals;
    for (int i = 0; i < reader.scanCount(); ++i) {
        if (!reader.openScan(i))
            continue;
        cv::Mat pose;
        reader.scanPose(i, pose);
        cv::Mat chunk;
        bool more = true;
        while (more) {
            more = reader.readPoints(i, chunk, 1000);
            if (chunk.cols < 2)
                break;
            totals.points += chunk.cols;
            totals.checksum += chunk.at<double>(0, chunk.cols - 1);
        }
        reader.rewindPoints();
        reader.closeScan(i);
    }
    return totals;
}

} // namespace orthaven::bench

// The layout log, read back as the overview pictures read it.

#include "FuzzSupport.h"

#include "layoutlog/LogReader.h"

using namespace orthaven;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeInput(data, size, QStringLiteral("Layout.log"));
    LayoutLogInfo info;
    if (LogReader::read(path, info)) {
        for (const cv::Mat& pose : info.scanPoses)
            fuzz::touch(pose.data, pose.total() * pose.elemSize());
    }
    return 0;
}

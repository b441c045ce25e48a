// The point-stream files behind our stand-in of Riegl's scan library: opened through the
// library's functions and read frame after frame to the end of the stream, with requests
// of changing sizes.

#include "FuzzSupport.h"

#include "scan/riegl/Scanifc.h"

#include <QFile>

#include <cstdlib>
#include <iostream>
#include <vector>

using namespace orthaven;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeInput(data, size, QStringLiteral("input.p3s"));
    const QByteArray uri = "file:" + path.toLatin1();
    ScanifcStream stream = 0;
    if (scanifc_point3dstream_open(uri.constData(), 0, &stream) != 0)
        return 0;
    // The Riegl reader asks for 30000 points; shorter requests end inside frames.
    constexpr std::uint32_t wants[] = {30000, 1, 2, 7, 1000};
    static std::vector<ScanifcPoint> points(30000);
    static std::vector<ScanifcAttributes> attributes(30000);
    static std::vector<ScanifcTime> times(30000);
    for (std::size_t call = 0;; ++call) {
        const std::uint32_t want = wants[call % std::size(wants)];
        std::uint32_t got = 0;
        std::int32_t endOfFrame = 0;
        if (scanifc_point3dstream_read(stream, want, points.data(), attributes.data(), times.data(),
                                       &got, &endOfFrame) != 0)
            break;
        if (got > want) {
            std::cerr << "asked for " << want << " points, got " << got << std::endl;
            std::abort();
        }
        fuzz::touch(points.data(), got * sizeof(ScanifcPoint));
    }
    scanifc_point3dstream_close(stream);
    return 0;
}

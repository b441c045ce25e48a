// Our stand-in for Riegl's scan interface library: the three point-stream functions the
// Riegl reader calls, reading the point-stream files of PointStreamFile. A build that
// links the vendor's library leaves this file out.

#include "diag/Diagnostics.h"
#include "scan/riegl/PointStreamFile.h"
#include "scan/riegl/RieglPath.h"
#include "scan/riegl/Scanifc.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace orthaven {

namespace {

// Streams are handed out as numbers, never as addresses: an unknown, closed or made-up
// handle finds nothing in the table instead of memory that is gone.
struct StreamTable
{
    std::mutex lock;
    std::map<ScanifcStream, std::shared_ptr<PointStreamFile>> streams;
    ScanifcStream lastHandle = 0;
};

StreamTable& table()
{
    static StreamTable instance;
    return instance;
}

std::shared_ptr<PointStreamFile> findStream(ScanifcStream stream)
{
    StreamTable& t = table();
    const std::lock_guard<std::mutex> guard(t.lock);
    const auto found = t.streams.find(stream);
    return found == t.streams.end() ? nullptr : found->second;
}

} // namespace

extern "C" int scanifc_point3dstream_open(const char* uri, std::int32_t, ScanifcStream* stream)
{
    if (!stream)
        return PointStreamFile::InvalidCall;
    *stream = 0;
    const QString path = rieglPathFromUri(uri);
    if (path.isEmpty()) {
        diag::error("Point stream library: cannot open \"", (uri ? uri : ""),
                    "\": only file: URIs are read");
        return PointStreamFile::InvalidCall;
    }
    auto file = std::make_shared<PointStreamFile>();
    const PointStreamFile::Result opened = file->open(path);
    if (opened != PointStreamFile::Success)
        return opened;

    StreamTable& t = table();
    const std::lock_guard<std::mutex> guard(t.lock);
    do {
        ++t.lastHandle;
    } while (t.lastHandle == 0 || t.streams.count(t.lastHandle) != 0);
    t.streams[t.lastHandle] = std::move(file);
    *stream = t.lastHandle;
    return PointStreamFile::Success;
}

extern "C" int scanifc_point3dstream_read(ScanifcStream stream, std::uint32_t want,
                                          ScanifcPoint* points, ScanifcAttributes* attributes,
                                          ScanifcTime* times, std::uint32_t* got,
                                          std::int32_t* endOfFrame)
{
    if (got)
        *got = 0;
    if (endOfFrame)
        *endOfFrame = 0;
    const std::shared_ptr<PointStreamFile> file = findStream(stream);
    if (!file || !points || !got || !endOfFrame)
        return PointStreamFile::InvalidCall;
    std::uint32_t delivered = 0;
    bool frameEnded = false;
    const PointStreamFile::Result result = file->read(want, points, delivered, frameEnded);
    // The stand-in's files carry nothing but coordinates.
    if (attributes && delivered > 0)
        std::memset(attributes, 0, sizeof(ScanifcAttributes) * delivered);
    if (times && delivered > 0)
        std::memset(times, 0, sizeof(ScanifcTime) * delivered);
    *got = delivered;
    *endOfFrame = frameEnded ? 1 : 0;
    return result;
}

extern "C" int scanifc_point3dstream_close(ScanifcStream stream)
{
    StreamTable& t = table();
    const std::lock_guard<std::mutex> guard(t.lock);
    return t.streams.erase(stream) == 1 ? PointStreamFile::Success : PointStreamFile::InvalidCall;
}

} // namespace orthaven

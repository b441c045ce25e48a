#pragma once
// Reads the point-stream files of our scanifc stand-in: a 16-byte header, then frames of
// x, y, z float records (docs/formats.md, "Point stream"). A read never crosses the end of
// a frame, and says when it reached it, as the vendor's library does for a scan's frame.

#include "scan/riegl/Scanifc.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace orthaven {

class PointStreamFile
{
public:
    // Results of the stand-in's functions, as they return them.
    enum Result : int
    {
        Success = 0,
        EndOfStream = 1,   // no frame follows
        InvalidCall = 2,   // unknown stream, missing buffer, unusable URI
        DamagedStream = 3, // the file ends inside a frame, a frame tag is wrong, a read failed
        CannotOpen = 4,    // missing, unreadable or a folder
        NotAPointStream = 5
    };

    static constexpr char magic[8] = {'\x89', 'P', '3', 'S', '\r', '\n', '\x1a', '\n'};
    static constexpr char frameTag[4] = {'F', 'R', 'A', 'M'};
    static constexpr std::uint32_t version = 1;
    static constexpr std::uint32_t headerSize = 16;
    static constexpr std::uint32_t maxHeaderSize = 4096;
    static constexpr int recordSize = 12;

    // Opens the file and checks its header; otherwise prints why and returns CannotOpen or
    // NotAPointStream.
    Result open(const QString& path);
    // Up to `want` points of the current frame (the next one when none is current).
    Result read(std::uint32_t want, ScanifcPoint* points, std::uint32_t& got, bool& endOfFrame);

private:
    Result startFrame();
    Result fail(const std::string& why);

    QFile file;
    std::string printablePath;
    std::vector<char> bytes;
    std::uint32_t frameSize = 0;
    std::uint32_t frameLeft = 0;
    int frameIndex = -1;
    bool inFrame = false;
    bool damaged = false;
    bool damageAfterThisRead = false;
    std::string damage;
};

} // namespace orthaven

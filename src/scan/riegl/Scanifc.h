#pragma once
// The three functions of Riegl's scan interface library that the Riegl reader calls, with
// the call shapes it relies on. Our stand-in (ScanifcStandIn.cpp) backs them unless the
// build links the vendor's library instead; ScanifcApi lets a test put its own behind them.

#include <cstdint>

namespace orthaven {

struct ScanifcPoint // one point, scanner coordinates in metres
{
    float x;
    float y;
    float z;
};

struct ScanifcAttributes // per-point data the reader does not look at
{
    std::uint8_t bytes[16];
};

using ScanifcTime = std::uint64_t;    // per-point time stamp, not looked at either
using ScanifcStream = std::uintptr_t; // an open stream; 0 is none

extern "C" {

// Opens the points of a scan file. uri: "file:" and the path, 8-bit, zero-terminated;
// syncToPps: 0. Result 0 = opened and *stream identifies it; any other result = failure.
int scanifc_point3dstream_open(const char* uri, std::int32_t syncToPps, ScanifcStream* stream);

// Delivers up to `want` points into the three buffers (each for `want` entries) and sets
// *got and *endOfFrame. Result 0 = success; any other result = no more data.
int scanifc_point3dstream_read(ScanifcStream stream, std::uint32_t want, ScanifcPoint* points,
                               ScanifcAttributes* attributes, ScanifcTime* times,
                               std::uint32_t* got, std::int32_t* endOfFrame);

int scanifc_point3dstream_close(ScanifcStream stream);
}

// The library as a table of its functions.
struct ScanifcApi
{
    int (*open)(const char*, std::int32_t, ScanifcStream*) = nullptr;
    int (*read)(ScanifcStream, std::uint32_t, ScanifcPoint*, ScanifcAttributes*, ScanifcTime*,
                std::uint32_t*, std::int32_t*) = nullptr;
    int (*close)(ScanifcStream) = nullptr;
};

// The library this program is linked with.
inline ScanifcApi linkedScanifc()
{
    return {&scanifc_point3dstream_open, &scanifc_point3dstream_read, &scanifc_point3dstream_close};
}

} // namespace orthaven

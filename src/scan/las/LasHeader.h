#pragma once
// The public header block of a LAS file (versions 1.0 to 1.4) and the layout of its point
// records (formats 0 to 10), as far as a reader of coordinates, intensity, colour and
// point source IDs needs them. All numbers are little-endian.

#include "scan/BinaryBlockReader.h"

#include <array>
#include <cstdint>
#include <string>

namespace orthaven::las {

// Where a point record format keeps what we read (byte offsets within a record).
struct PointLayout
{
    int minimumLength = 0;     // the record's fields; a file may add extra bytes after them
    int sourceId = 0;          // uint16 point source ID
    int classFlags = 0;        // the byte holding the withheld flag ...
    std::uint8_t withheld = 0; // ... and its bit
    int colour = -1;           // uint16 red, green, blue; -1 for a format without colour
};

// The layout of point format 0 … 10; null for any other number.
const PointLayout* pointLayout(int format);

struct Header
{
    int versionMajor = 0;
    int versionMinor = 0;
    int headerSize = 0;
    int pointFormat = 0; // 0 … 10
    int recordLength = 0;
    std::uint64_t pointOffset = 0; // of the first point record
    std::uint64_t pointCount = 0;  // the 64-bit count of 1.4 where it is given, else the 32-bit one
    std::array<double, 3> scale{};
    std::array<double, 3> offset{};
    bool compressed = false; // LAZ: the compressed bit of the point format, or the LASzip record
};

// Reads and checks the header of an open file: signature, version, sizes, point format,
// record length, scale and offset, and that the point records the header promises lie
// within the file. False with problem (an English text, no path) when the file cannot be
// read as LAS; a compressed file reads as one with compressed set and nothing checked
// after the point format.
bool readHeader(BinaryBlockReader& file, Header& header, std::string& problem);

} // namespace orthaven::las

#pragma once
// Reads the records of an E57 compressed vector from its binary section: a 32-byte
// section header, then packets. Data packets carry one buffer per field of the record
// prototype; a field's buffers, packet after packet, make up its bytestream, in which
// values may run on from one packet into the next. Index and empty packets are passed
// over. Only the fields asked for are decoded; the bytestreams of the others are checked
// (their pages' checksums) and dropped.

#include "scan/e57/XmlSection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orthaven::e57 {

class PagedFile;

// Where a binary section lies, in logical offsets.
struct SectionBounds
{
    std::uint64_t start = 0;
    std::uint64_t end = 0;       // first byte after it
    std::uint64_t dataStart = 0; // its first packet
};

// Reads and checks the section header of `points`: a compressed vector section that lies
// within the file and is large enough for its records. False with error.
bool checkSection(PagedFile& file, const PointSet& points, SectionBounds& bounds,
                  std::string& error);

class CompressedVectorReader
{
public:
    // wanted: the fields (indices into points.fields) whose values will be read.
    bool open(PagedFile& file, const PointSet& points, const std::vector<int>& wanted);

    // The next `count` values of wanted field k (an index into `wanted`), as doubles:
    // integers as they are, scaled integers times scale plus offset, floats widened.
    // With keep, only the values whose keep byte is 1 are written, one after the other;
    // kept says how many.
    bool readDoubles(std::size_t k, std::size_t count, double* out,
                     const unsigned char* keep = nullptr, std::size_t* kept = nullptr);
    // The next `count` values of Integer field k as keep bytes: 1 where the value is 0.
    bool readZeros(std::size_t k, std::size_t count, unsigned char* keep);

    // For decoders that take several fields in one pass: makes the bytes of the next
    // `count` values of field k present (reading packets as needed), …
    bool require(std::size_t k, std::size_t count);
    // … then gives where they begin (the first value at bit bitOffset of that byte, for
    // bitpacked fields); valid until the next require or read of any field, …
    const unsigned char* values(std::size_t k, unsigned& bitOffset) const;
    // … and goes past them once they are decoded.
    void skip(std::size_t k, std::size_t count);

    const Field& field(std::size_t k) const { return *streams[k].field; }
    const std::string& error() const { return problem; }

private:
    struct Stream
    {
        const Field* field = nullptr;
        std::vector<unsigned char> bytes; // pending bytes, then unpackSlack zero bytes
        std::size_t begin = 0;            // first pending byte
        std::size_t end = 0;              // after the last one
        unsigned bitOffset = 0;           // of the next value in bytes[begin]
        std::uint64_t valuesRead = 0;
    };

    bool fail(std::string text);
    // Makes `bytes` bytes (the value bits still to come) pending in stream s, reading
    // packets as needed.
    bool ensure(Stream& s, std::uint64_t bytes);
    bool readPacket();
    void consume(Stream& s, std::uint64_t bits);
    // The raw unsigned values of the next count values of s (integer fields).
    bool unpack(Stream& s, std::size_t count);

    PagedFile* file = nullptr;
    const PointSet* set = nullptr;
    SectionBounds bounds;
    std::uint64_t cursor = 0;  // logical offset of the next packet
    std::vector<int> streamOf; // per field of the prototype: index in streams, or -1
    std::vector<Stream> streams;
    std::vector<std::uint16_t> lengths;
    std::vector<std::uint64_t> raw;
    std::string problem;
};

} // namespace orthaven::e57

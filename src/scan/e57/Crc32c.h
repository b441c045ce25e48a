#pragma once
// CRC-32C (Castagnoli), the checksum that closes every page of an E57 file. Header-only
// and free of Qt and OpenCV, so that the scan generator's E57 writer computes exactly the
// checksums the reader checks.

#include "scan/e57/Endian.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace orthaven::e57 {

namespace detail {

// Eight tables for slicing by eight bytes: table k gives the effect of a byte that lies k
// bytes further back.
constexpr std::array<std::array<std::uint32_t, 256>, 8> makeCrc32cTables()
{
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1u) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
    }
    return t;
}

inline constexpr auto crc32cTables = makeCrc32cTables();

} // namespace detail

// The CRC-32C of length bytes, continued from crc (the result of the bytes before them; 0
// for a fresh checksum). crc32c("123456789") is 0xE3069283.
inline std::uint32_t crc32c(const void* data, std::size_t length, std::uint32_t crc = 0)
{
    const auto& t = detail::crc32cTables;
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (; length >= 8; length -= 8, p += 8) {
        const std::uint64_t word = loadLittleEndian<std::uint64_t>(p);
        const std::uint32_t lo = std::uint32_t(word) ^ crc;
        const std::uint32_t hi = std::uint32_t(word >> 32);
        crc = t[7][lo & 0xFFu] ^ t[6][(lo >> 8) & 0xFFu] ^ t[5][(lo >> 16) & 0xFFu] ^
              t[4][lo >> 24] ^ t[3][hi & 0xFFu] ^ t[2][(hi >> 8) & 0xFFu] ^
              t[1][(hi >> 16) & 0xFFu] ^ t[0][hi >> 24];
    }
    for (; length > 0; --length, ++p)
        crc = t[0][(crc ^ *p) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

// The same checksum, computed with the processor's CRC-32C instruction where it has one
// (the reader's hot path; in the core library only).
std::uint32_t pageChecksum(const void* data, std::size_t length);

} // namespace orthaven::e57

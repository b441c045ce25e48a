#pragma once
// The bitpack codec of E57 compressed vectors: an Integer or ScaledInteger value is stored
// as value - minimum in just enough bits for maximum - minimum, the values one after the
// other from the least significant bit of each byte up, across byte (and packet)
// boundaries; floats are stored whole, little-endian. Header-only: the scan generator
// packs with the same code.

#include "scan/e57/Endian.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace orthaven::e57 {

// Bytes that must be readable after the last byte unpackBits takes a value from: it loads
// 64-bit words, two for widths above 56 bits.
inline constexpr std::size_t unpackSlack = 16;

// count values of `width` bits (0 … 64), the first starting at bit bitOffset (0 … 7) of
// p[0], as unsigned numbers. Whole-byte widths at a byte boundary are plain loads; every
// other width takes one or two word loads per value, never a loop over bits.
inline void unpackBits(const unsigned char* p, unsigned bitOffset, int width, std::size_t count,
                       std::uint64_t* out)
{
    if (width == 0) {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = 0;
        return;
    }
    if (bitOffset == 0) {
        switch (width) {
        case 8:
            for (std::size_t i = 0; i < count; ++i)
                out[i] = p[i];
            return;
        case 16:
            for (std::size_t i = 0; i < count; ++i)
                out[i] = loadLittleEndian<std::uint16_t>(p + 2 * i);
            return;
        case 32:
            for (std::size_t i = 0; i < count; ++i)
                out[i] = loadLittleEndian<std::uint32_t>(p + 4 * i);
            return;
        case 64:
            for (std::size_t i = 0; i < count; ++i)
                out[i] = loadLittleEndian<std::uint64_t>(p + 8 * i);
            return;
        default:
            break;
        }
    }
    const std::uint64_t mask = width == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << width) - 1;
    std::uint64_t bit = bitOffset;
    if (width <= 56) {
        // The value and its shift fit in one 64-bit word read from its first byte.
        for (std::size_t i = 0; i < count; ++i, bit += std::uint64_t(width))
            out[i] = (loadLittleEndian<std::uint64_t>(p + (bit >> 3)) >> (bit & 7)) & mask;
        return;
    }
    for (std::size_t i = 0; i < count; ++i, bit += std::uint64_t(width)) {
        const unsigned char* at = p + (bit >> 3);
        const unsigned shift = unsigned(bit & 7);
        std::uint64_t value = loadLittleEndian<std::uint64_t>(at) >> shift;
        if (shift != 0)
            value |= loadLittleEndian<std::uint64_t>(at + 8) << (64 - shift);
        out[i] = value & mask;
    }
}

// Packs values into a byte string in the order unpackBits reads them; whole 64-bit words
// go out as they fill up, the rest with flush().
class BitPacker
{
public:
    // value must be below 2^width.
    void put(std::string& out, std::uint64_t value, int width)
    {
        while (width > 0) {
            const int take = width < 64 - used ? width : 64 - used;
            const std::uint64_t part =
                take == 64 ? value : value & ((std::uint64_t(1) << take) - 1);
            word |= part << used;
            used += take;
            value = take == 64 ? 0 : value >> take;
            width -= take;
            if (used == 64) {
                appendLittleEndian<std::uint64_t>(out, word);
                word = 0;
                used = 0;
            }
        }
    }

    // Writes out the bits still held, the last byte filled up with zero bits.
    void flush(std::string& out)
    {
        for (int k = 0; k < used; k += 8)
            out += char((word >> k) & 0xFF);
        word = 0;
        used = 0;
    }

private:
    std::uint64_t word = 0;
    int used = 0;
};

} // namespace orthaven::e57

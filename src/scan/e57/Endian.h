#pragma once
// Little-endian loads and stores: E57 stores every binary number little-endian (except the
// page checksums, which are big-endian). Header-only, shared with the scan generator.

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

namespace orthaven::e57 {

template <class T> T loadLittleEndian(const void* p)
{
    std::array<unsigned char, sizeof(T)> b;
    std::memcpy(b.data(), p, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        std::reverse(b.begin(), b.end());
    T value;
    std::memcpy(&value, b.data(), sizeof(T));
    return value;
}

template <class T> void storeLittleEndian(void* p, T value)
{
    std::array<unsigned char, sizeof(T)> b;
    std::memcpy(b.data(), &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        std::reverse(b.begin(), b.end());
    std::memcpy(p, b.data(), sizeof(T));
}

template <class T> void appendLittleEndian(std::string& out, T value)
{
    char b[sizeof(T)];
    storeLittleEndian(b, value);
    out.append(b, sizeof(T));
}

inline std::uint32_t loadBigEndian32(const void* p)
{
    const auto* b = static_cast<const unsigned char*>(p);
    return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 |
           std::uint32_t(b[3]);
}

inline void storeBigEndian32(void* p, std::uint32_t value)
{
    auto* b = static_cast<unsigned char*>(p);
    b[0] = static_cast<unsigned char>(value >> 24);
    b[1] = static_cast<unsigned char>(value >> 16);
    b[2] = static_cast<unsigned char>(value >> 8);
    b[3] = static_cast<unsigned char>(value);
}

} // namespace orthaven::e57

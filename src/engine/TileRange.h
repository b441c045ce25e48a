#pragma once
// A rectangle of tile indices (raw tiles during rasterisation and normalisation, output
// tiles afterwards), empty until the first tile widens it.

#include <algorithm>
#include <cstdint>
#include <limits>

namespace orthaven {

struct TileRange
{
    std::int32_t minU = std::numeric_limits<std::int32_t>::max();
    std::int32_t maxU = std::numeric_limits<std::int32_t>::min();
    std::int32_t minV = std::numeric_limits<std::int32_t>::max();
    std::int32_t maxV = std::numeric_limits<std::int32_t>::min();

    bool isEmpty() const { return minU > maxU || minV > maxV; }

    void widen(std::int32_t U, std::int32_t V)
    {
        minU = std::min(minU, U);
        maxU = std::max(maxU, U);
        minV = std::min(minV, V);
        maxV = std::max(maxV, V);
    }

    bool contains(std::int32_t U, std::int32_t V) const
    {
        return U >= minU && U <= maxU && V >= minV && V <= maxV;
    }

    std::int64_t countU() const { return isEmpty() ? 0 : std::int64_t(maxU) - minU + 1; }
    std::int64_t countV() const { return isEmpty() ? 0 : std::int64_t(maxV) - minV + 1; }
    std::int64_t tileCount() const { return countU() * countV(); }

    // 1-based position of (U, V) when the range is visited U by U, V by V within each U.
    std::int64_t ordinal(std::int32_t U, std::int32_t V) const
    {
        return (std::int64_t(U) - minU) * countV() + (std::int64_t(V) - minV) + 1;
    }

    bool operator==(const TileRange&) const = default;
};

} // namespace orthaven

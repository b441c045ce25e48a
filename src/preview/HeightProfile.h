#pragma once
// Points counted per centimetre along one axis: the height profile of a site (project z) or
// a depth profile along a view's axis. Horizontal surfaces (floors, ceilings, slabs, steps
// of the terrain) stand out of a height profile as peaks, its levels; walls stand out of a
// depth profile the same way. The rule is in docs/site-preview.md.

#include <cstdint>
#include <vector>

namespace orthaven {

struct HeightProfile
{
    static constexpr double binSize = 0.01; // metres
    // Values further apart than this are not counted (a broken pose would otherwise ask for
    // bins by the billion): 2 km.
    static constexpr std::int64_t maxBins = 200000;

    // Bin k counts the values in [(firstBin + k) · binSize, (firstBin + k + 1) · binSize).
    std::int64_t firstBin = 0;
    std::vector<std::uint64_t> counts;
    // Of the points counted, those that lay below the scanner that measured them (seen from
    // above: floors) and those above it (seen from below: ceilings); as long as counts.
    // Points of scans without a position, and every point of a depth profile, are in neither.
    std::vector<std::uint64_t> below;
    std::vector<std::uint64_t> above;
    std::uint64_t outside = 0; // values beyond maxBins of the first one

    static std::int64_t binOf(double value);
    // Counts value; side: -1 below its scanner, +1 above it, 0 not known.
    void add(double value, int side = 0);
    std::uint64_t total() const;
    bool isEmpty() const { return counts.empty(); }
    // The lower edge of bin k, metres.
    double binLow(std::int64_t k) const { return double(firstBin + k) * binSize; }
    double low() const { return binLow(0); }
    double high() const { return binLow(std::int64_t(counts.size())); }
    // Bin k of the profile holding value, or -1 when it lies outside.
    std::int64_t indexOf(double value) const;
    // Drops the empty bins at both ends (growing leaves room there).
    void trim();

private:
    // Makes room for bin b; false when it would stretch the profile beyond maxBins.
    bool reach(std::int64_t b);
};

// Which way a surface faces, judged by where its scanners stood.
enum class Facing : std::uint8_t
{
    Unknown, // seen from both sides, or by scans without a position
    Up,      // seen from above: a floor, a slab's top, a table, the terrain
    Down,    // seen from below: a ceiling, a slab's underside
};

struct Level
{
    double height = 0.0; // metres: the mean of the surface's points
    double share = 0.0;  // of all points counted, 0 … 1
    Facing facing = Facing::Unknown;
};

// The rule that makes a peak a level.
struct LevelRule
{
    int smoothing = 2;      // cm either side of a bin that are averaged (triangular weights)
    int surface = 5;        // cm either side of a peak whose points belong to its surface
    int surroundings = 50;  // cm either side of a peak that tell the background
    double minShare = 0.01; // of all points at least
    double minContrast = 4; // a surface at least this many times as dense as the median bin
                            // of its surroundings
    int minSeparation = 10; // cm: of two peaks closer than this, the larger one stays
};

// The levels of profile, the largest share first.
std::vector<Level> findLevels(const HeightProfile& profile, const LevelRule& rule = {});

// A pair of clipping planes, metres.
struct Slab
{
    double low = 0.0;
    double high = 0.0;
};

// What a top view of one storey keeps, from a level taken as its floor.
struct StoreyRule
{
    double aboveFloor = 0.05;   // the floor itself stays out
    double belowCeiling = 0.05; // and so does the ceiling
    double cutHeight = 1.0;     // a plan's cut: walls, doors and windows below it are drawn
    double minHeadroom = 1.0;   // a ceiling lies at least this far above its floor
    double storeyHeight = 3.0;  // when no ceiling is found above the floor
};

// The storey over levels[floor]: from just above it to just below the next ceiling, the
// lowest level above it that does not face up (facing unknown counts as a ceiling).
Slab storeySlab(const std::vector<Level>& levels, std::size_t floor, const StoreyRule& rule = {});
// A plan of the storey: from just above the floor to the cut height above it.
Slab planCut(const Level& floor, const StoreyRule& rule = {});

} // namespace orthaven

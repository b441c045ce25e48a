#include "preview/HeightProfile.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace orthaven {

std::int64_t HeightProfile::binOf(double value)
{
    return std::int64_t(std::floor(value * 100.0));
}

std::uint64_t HeightProfile::total() const
{
    return std::accumulate(counts.begin(), counts.end(), std::uint64_t(0));
}

std::int64_t HeightProfile::indexOf(double value) const
{
    if (!std::isfinite(value) || std::abs(value) > 1e12)
        return -1;
    const std::int64_t k = binOf(value) - firstBin;
    return k >= 0 && k < std::int64_t(counts.size()) ? k : -1;
}

bool HeightProfile::reach(std::int64_t b)
{
    const auto size = std::int64_t(counts.size());
    if (size == 0) {
        firstBin = b;
        counts.assign(1, 0);
        below.assign(1, 0);
        above.assign(1, 0);
        return true;
    }
    if (b >= firstBin && b < firstBin + size)
        return true;
    const std::int64_t newEnd = std::max(b + 1, firstBin + size);
    if (newEnd - std::min(b, firstBin) > maxBins)
        return false;
    // Twice the room in the direction of growth, so that a profile grows in few steps.
    std::int64_t first = firstBin;
    std::int64_t end = firstBin + size;
    if (b < firstBin)
        first = std::max(newEnd - maxBins, std::min(b, firstBin - size));
    else
        end = std::min(firstBin + maxBins, std::max(b + 1, firstBin + 2 * size));
    const auto grown = [&](const std::vector<std::uint64_t>& v) {
        std::vector<std::uint64_t> g(std::size_t(end - first), 0);
        std::copy(v.begin(), v.end(), g.begin() + (firstBin - first));
        return g;
    };
    counts = grown(counts);
    below = grown(below);
    above = grown(above);
    firstBin = first;
    return true;
}

void HeightProfile::add(double value, int side)
{
    if (!std::isfinite(value) || std::abs(value) > 1e12 || !reach(binOf(value))) {
        ++outside;
        return;
    }
    const auto k = std::size_t(binOf(value) - firstBin);
    ++counts[k];
    if (side < 0)
        ++below[k];
    else if (side > 0)
        ++above[k];
}

void HeightProfile::trim()
{
    const auto used = [](std::uint64_t c) { return c != 0; };
    const auto begin = std::find_if(counts.begin(), counts.end(), used);
    if (begin == counts.end()) {
        *this = HeightProfile{};
        return;
    }
    const auto from = begin - counts.begin();
    const auto to = counts.rend() - std::find_if(counts.rbegin(), counts.rend(), used);
    const auto cut = [&](std::vector<std::uint64_t>& v) {
        v = std::vector<std::uint64_t>(v.begin() + from, v.begin() + to);
    };
    cut(counts);
    cut(below);
    cut(above);
    firstBin += from;
}

namespace {

struct Peak
{
    std::int64_t bin = 0;
    std::uint64_t points = 0; // of its surface
    Level level;
};

} // namespace

std::vector<Level> findLevels(const HeightProfile& profile, const LevelRule& rule)
{
    const auto n = std::int64_t(profile.counts.size());
    const std::uint64_t total = profile.total();
    if (total == 0)
        return {};
    // Sums over [a, b] of the bins, clamped to the profile.
    std::vector<std::uint64_t> prefix(std::size_t(n) + 1, 0);
    for (std::int64_t k = 0; k < n; ++k)
        prefix[std::size_t(k + 1)] = prefix[std::size_t(k)] + profile.counts[std::size_t(k)];
    const auto sum = [&](std::int64_t a, std::int64_t b) {
        a = std::clamp<std::int64_t>(a, 0, n);
        b = std::clamp<std::int64_t>(b + 1, 0, n);
        return a < b ? prefix[std::size_t(b)] - prefix[std::size_t(a)] : std::uint64_t(0);
    };
    const auto sumOf = [&](const std::vector<std::uint64_t>& v, std::int64_t a, std::int64_t b) {
        std::uint64_t s = 0;
        for (std::int64_t k = std::max<std::int64_t>(a, 0); k <= b && k < n; ++k)
            s += v[std::size_t(k)];
        return s;
    };

    // Smoothed with triangular weights, so that a surface split over two bins is one peak.
    std::vector<double> smooth(std::size_t(n), 0.0);
    for (std::int64_t k = 0; k < n; ++k) {
        double s = 0.0;
        for (int d = -rule.smoothing; d <= rule.smoothing; ++d) {
            if (k + d >= 0 && k + d < n)
                s += double(rule.smoothing + 1 - std::abs(d)) *
                     double(profile.counts[std::size_t(k + d)]);
        }
        smooth[std::size_t(k)] = s;
    }

    std::vector<Peak> peaks;
    for (std::int64_t k = 0; k < n; ++k) {
        const double here = smooth[std::size_t(k)];
        const double before = k > 0 ? smooth[std::size_t(k - 1)] : 0.0;
        const double after = k + 1 < n ? smooth[std::size_t(k + 1)] : 0.0;
        if (!(here > before && here >= after))
            continue;
        // A peak is the highest point of its surface: a bump on the shoulder of a larger peak
        // would otherwise take that peak's points for its own.
        bool highest = true;
        for (std::int64_t j = std::max<std::int64_t>(k - rule.surface, 0);
             j <= k + rule.surface && j < n && highest; ++j)
            highest = smooth[std::size_t(j)] <= here;
        if (!highest)
            continue;
        const std::uint64_t points = sum(k - rule.surface, k + rule.surface);
        const double share = double(points) / double(total);
        if (share < rule.minShare)
            continue;
        // The surroundings without the surface: their typical bin (the median, which other
        // surfaces close by do not lift) against the surface's mean bin.
        std::vector<std::uint64_t> around;
        for (std::int64_t j = std::max<std::int64_t>(k - rule.surroundings, 0);
             j <= k + rule.surroundings && j < n; ++j) {
            if (std::abs(j - k) > rule.surface)
                around.push_back(profile.counts[std::size_t(j)]);
        }
        const std::int64_t surfaceBins =
            std::min(k + rule.surface, n - 1) - std::max<std::int64_t>(k - rule.surface, 0) + 1;
        if (!around.empty()) {
            const auto middle = around.begin() + std::ptrdiff_t(around.size() / 2);
            std::nth_element(around.begin(), middle, around.end());
            if (double(points) / double(surfaceBins) < rule.minContrast * double(*middle))
                continue;
        }
        Peak peak;
        peak.bin = k;
        peak.points = points;
        // The height: the mean of the points near the peak.
        double weighted = 0.0;
        std::uint64_t near = 0;
        for (std::int64_t j = std::max<std::int64_t>(k - rule.smoothing - 1, 0);
             j <= k + rule.smoothing + 1 && j < n; ++j) {
            const std::uint64_t c = profile.counts[std::size_t(j)];
            weighted += double(c) * (profile.binLow(j) + HeightProfile::binSize / 2);
            near += c;
        }
        peak.level.height = weighted / double(near);
        peak.level.share = share;
        const std::uint64_t below = sumOf(profile.below, k - rule.surface, k + rule.surface);
        const std::uint64_t above = sumOf(profile.above, k - rule.surface, k + rule.surface);
        if (below + above > 0) {
            const double fromAbove = double(below) / double(below + above);
            peak.level.facing = fromAbove >= 0.75   ? Facing::Up
                                : fromAbove <= 0.25 ? Facing::Down
                                                    : Facing::Unknown;
        }
        peaks.push_back(peak);
    }

    // The largest first; a smaller peak close to a larger one is part of its surface.
    std::stable_sort(peaks.begin(), peaks.end(),
                     [](const Peak& a, const Peak& b) { return a.points > b.points; });
    std::vector<Peak> kept;
    for (const Peak& p : peaks) {
        const bool near = std::any_of(kept.begin(), kept.end(), [&](const Peak& q) {
            return std::abs(q.bin - p.bin) < rule.minSeparation;
        });
        if (!near)
            kept.push_back(p);
    }
    std::vector<Level> levels;
    for (const Peak& p : kept)
        levels.push_back(p.level);
    return levels;
}

Slab storeySlab(const std::vector<Level>& levels, std::size_t floor, const StoreyRule& rule)
{
    if (floor >= levels.size())
        return {};
    const double f = levels[floor].height;
    double ceiling = f + rule.storeyHeight + rule.belowCeiling;
    bool found = false;
    for (const Level& l : levels) {
        if (l.facing != Facing::Up && l.height >= f + rule.minHeadroom &&
            (!found || l.height < ceiling)) {
            ceiling = l.height;
            found = true;
        }
    }
    return {f + rule.aboveFloor, ceiling - rule.belowCeiling};
}

Slab planCut(const Level& floor, const StoreyRule& rule)
{
    return {floor.height + rule.aboveFloor, floor.height + rule.cutHeight};
}

} // namespace orthaven

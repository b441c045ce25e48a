#include "preview/PlanDensity.h"

#include <algorithm>
#include <cmath>

namespace orthaven {

namespace {

// floor(a / 2^shift) for negative a as well.
std::int64_t coarser(std::int64_t a, int shift)
{
    return a >> shift; // arithmetic shift: rounds toward minus infinity
}

// Where a grid of maxCells starts so that [low, high] lies in its middle.
std::int64_t centred(std::int64_t low, std::int64_t high)
{
    return low - (PlanDensity::maxCells - (high - low + 1)) / 2;
}

} // namespace

PlanDensity::PlanDensity() = default;

double PlanDensity::cellSize() const
{
    return std::ldexp(finestCell, level);
}

void PlanDensity::add(double x, double y)
{
    const double size = cellSize();
    const double fx = std::floor(x / size);
    const double fy = std::floor(y / size);
    // Far beyond any site on Earth: a broken coordinate, not a place.
    if (!(std::abs(fx) < 1e15 && std::abs(fy) < 1e15))
        return;
    auto cx = std::int64_t(fx);
    auto cy = std::int64_t(fy);
    if (!any || cx < originX || cx >= originX + maxCells || cy < originY ||
        cy >= originY + maxCells)
        include(cx, cy);
    ++cells[std::size_t((cy - originY) * maxCells + (cx - originX))];
    lowX = std::min(lowX, cx);
    highX = std::max(highX, cx);
    lowY = std::min(lowY, cy);
    highY = std::max(highY, cy);
}

void PlanDensity::include(std::int64_t& cx, std::int64_t& cy)
{
    if (!any) {
        any = true;
        cells.assign(std::size_t(maxCells) * maxCells, 0);
        lowX = highX = cx;
        lowY = highY = cy;
        originX = centred(cx, cx);
        originY = centred(cy, cy);
        return;
    }
    // The box of what is held and the new cell, coarsened until it fits.
    std::int64_t x0 = std::min(lowX, cx), x1 = std::max(highX, cx);
    std::int64_t y0 = std::min(lowY, cy), y1 = std::max(highY, cy);
    int shift = 0;
    while (coarser(x1, shift) - coarser(x0, shift) >= maxCells ||
           coarser(y1, shift) - coarser(y0, shift) >= maxCells)
        ++shift;
    x0 = coarser(x0, shift);
    x1 = coarser(x1, shift);
    y0 = coarser(y0, shift);
    y1 = coarser(y1, shift);
    const std::int64_t newOriginX = centred(x0, x1);
    const std::int64_t newOriginY = centred(y0, y1);
    std::vector<std::uint64_t> moved(cells.size(), 0);
    for (std::int64_t r = lowY; r <= highY; ++r) {
        for (std::int64_t c = lowX; c <= highX; ++c) {
            const std::uint64_t n = cells[std::size_t((r - originY) * maxCells + (c - originX))];
            if (n == 0)
                continue;
            const std::int64_t to =
                (coarser(r, shift) - newOriginY) * maxCells + (coarser(c, shift) - newOriginX);
            moved[std::size_t(to)] += n;
        }
    }
    cells = std::move(moved);
    level += shift;
    originX = newOriginX;
    originY = newOriginY;
    lowX = coarser(lowX, shift);
    highX = coarser(highX, shift);
    lowY = coarser(lowY, shift);
    highY = coarser(highY, shift);
    cx = coarser(cx, shift);
    cy = coarser(cy, shift);
}

int PlanDensity::width() const
{
    return any ? int(highX - lowX + 1) : 0;
}

int PlanDensity::height() const
{
    return any ? int(highY - lowY + 1) : 0;
}

std::uint64_t PlanDensity::count(int column, int row) const
{
    if (!any || column < 0 || row < 0 || column >= width() || row >= height())
        return 0;
    const std::int64_t cx = lowX + column;
    const std::int64_t cy = highY - row;
    return cells[std::size_t((cy - originY) * maxCells + (cx - originX))];
}

std::uint64_t PlanDensity::maxCount() const
{
    return cells.empty() ? 0 : *std::max_element(cells.begin(), cells.end());
}

double PlanDensity::west() const
{
    return double(lowX) * cellSize();
}

double PlanDensity::north() const
{
    return double(highY + 1) * cellSize();
}

} // namespace orthaven

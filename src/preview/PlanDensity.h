#pragma once
// The top view of a whole site as a coarse density grid: points counted per square cell of
// the project's ground plane. The cells start at 1 cm and double in size whenever the
// points reach beyond maxCells of them, so the grid holds any site in bounded memory and
// ends at the finest cell that takes all of it. The same points in the same order give the
// same grid.

#include <cstdint>
#include <vector>

namespace orthaven {

class PlanDensity
{
public:
    static constexpr int maxCells = 1024; // per side
    static constexpr double finestCell = 0.01;

    PlanDensity();

    // Counts a point at project (x, y), metres.
    void add(double x, double y);

    bool isEmpty() const { return !any; }
    double cellSize() const; // metres
    // The cells that hold points: columns west to east, rows north to south.
    int width() const;
    int height() const;
    std::uint64_t count(int column, int row) const;
    std::uint64_t maxCount() const;
    // The west and north edges of the cells that hold points, project metres.
    double west() const;
    double north() const;

private:
    // Makes cell (cx, cy) of the current size part of the grid, coarsening it as needed.
    void include(std::int64_t& cx, std::int64_t& cy);

    int level = 0;                    // cells of finestCell · 2^level
    std::int64_t originX = 0;         // cell index of grid column 0
    std::int64_t originY = 0;         // cell index of grid row 0 (the south one)
    std::vector<std::uint64_t> cells; // maxCells × maxCells, row by row from the south
    bool any = false;
    // The cells that hold points, as cell indices.
    std::int64_t lowX = 0, highX = 0, lowY = 0, highY = 0;
};

} // namespace orthaven

#pragma once
// The layout printed at its print scale: a PDF of as many sheets of the chosen paper as the
// layout needs, neighbouring sheets sharing a strip of the drawing, each sheet with its
// place in the layout, a scale bar and the title block. The tiles are drawn at their own
// pixels and embedded without loss, so a length measured on the printed sheet is the
// length in the scene divided by the scale.

#include "creator/OverviewSheet.h"
#include "layout/PaperSizes.h"

#include <QRectF>
#include <QString>

#include <functional>

namespace orthaven {

// How a layout falls onto sheets of paper; all lengths in millimetres of paper.
struct PrintSheets
{
    static constexpr double margin = 10.0;  // kept free at every edge of the sheet
    static constexpr double footer = 24.0;  // the strip under the drawing
    static constexpr double overlap = 10.0; // shared by neighbouring sheets

    QRectF drawing;    // where a sheet shows the layout, from the sheet's upper-left corner
    QRectF footerArea; // the strip under it: place, scale bar, title block
    QSizeF layout;     // the whole layout on paper
    int columns = 0;   // sheets across, from the left
    int rows = 0;      // sheets down, from the top
    // The part of the layout (from its upper-left corner on paper) that a sheet shows.
    QRectF window(int column, int row) const;
};

// The sheets of a layout width × height metres printed at 1:scale on paper: one across
// when it fits the drawing area, otherwise as many as the drawing area, less the overlap,
// takes. No sheets (0 × 0) for numbers that give none.
PrintSheets printSheets(double widthMetres, double heightMetres, int scale, const Paper& paper);

// Writes the PDF of the layout whose log is logPath to pdfPath, reading each tile (a file
// name of the log) where tilePath says it lies. True when the PDF was written. A print that
// cannot be drawn (an unreadable log or tile, no font system) is one line on standard
// output and writes nothing; one drawn but not written whole (a full disk) also sets
// writeFailure.
bool drawPrint(const QString& logPath, const QString& pdfPath, const Paper& paper, int scale,
               const OverviewInputs& inputs,
               const std::function<QString(const QString& tileName)>& tilePath,
               QString* writeFailure = nullptr);

} // namespace orthaven

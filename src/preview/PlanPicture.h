#pragma once
// The plan of a site preview as a picture: its density cells grey on white, north up, with
// the scan positions and what a job makes of the site drawn over it (tile grid, clipping
// planes, facade line). The command line writes it; the Layout Creator's plan shows it.

#include "preview/SitePreview.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

class QPainter;

namespace orthaven {

// One pixel per cell of the plan: light grey by the density of all points, and dark by the
// density of the sample's points off the levels (walls, columns, furniture) that job's
// planes keep, so that the slice a layout would show stands out over floors and ceilings.
// Logarithmic scales; white is empty. With a factor above 1, factor × factor cells make one
// pixel (a picture smaller than the plan keeps its thin walls whole).
QImage planImage(const SitePreview& preview, int factor = 1, const LayoutJob* job = nullptr);
// Project metres to the pixels of planImage (of the factor).
QTransform planToImage(const PlanDensity& plan, int factor = 1);
// The part of the ground plane a picture of the plan should show: the plan's cells, the
// scan positions and the overlay, project metres (y up).
QRectF planBounds(const SitePreview& preview, const PlanOverlay& overlay);
// Maps bounds into a device rectangle of the given size, north up, same scale on both axes,
// centred.
QTransform fitPlan(const QRectF& bounds, const QSizeF& device);

// Draws the overlay and the scan positions; toDevice maps project metres to the painter's
// coordinates. Line widths and markers keep their size in pixels whatever the scale.
void drawPlanOverlay(QPainter& painter, const QTransform& toDevice, const PlanOverlay& overlay,
                     const std::vector<PreviewScan>& positions);

// The plan of job (its slice, overlay and the scan positions), showing planBounds at the
// plan's cell size or coarser, so that its longer edge has at most maxEdge pixels.
QImage planPicture(const SitePreview& preview, const LayoutJob& job, int maxEdge = 1024);
// Draws planImage (made with factor) where toDevice puts its cells.
void drawPlanImage(QPainter& painter, const QTransform& toDevice, const PlanDensity& plan,
                   const QImage& image, int factor = 1);
// The factor for a picture of pixelSize metres per pixel: the largest that keeps its
// pixels no larger than that.
int planFactor(const PlanDensity& plan, double pixelSize);

} // namespace orthaven

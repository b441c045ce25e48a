#include "preview/PlanPicture.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <optional>

namespace orthaven {

namespace {

const QColor tileColour(0, 90, 200);
const QColor planeColour(230, 110, 0);
const QColor facadeColour(0, 150, 60);
const QColor scanColour(200, 0, 0);

QPointF mapped(const QTransform& t, PlanePoint p)
{
    return t.map(QPointF(p.x, p.y));
}

} // namespace

QImage planImage(const SitePreview& preview, int factor, const LayoutJob* job)
{
    const std::optional<JobSlab> slab = job ? std::optional<JobSlab>(*job) : std::nullopt;
    const PlanDensity& plan = preview.plan;
    factor = std::max(factor, 1);
    const int w = std::max((plan.width() + factor - 1) / factor, 1);
    const int h = std::max((plan.height() + factor - 1) / factor, 1);
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (plan.isEmpty())
        return image;
    const auto at = [w](int c, int r) { return std::size_t(r) * std::size_t(w) + std::size_t(c); };
    std::vector<std::uint64_t> all(std::size_t(w) * std::size_t(h), 0);
    for (int r = 0; r < plan.height(); ++r) {
        for (int c = 0; c < plan.width(); ++c)
            all[at(c / factor, r / factor)] += plan.count(c, r);
    }
    // The sample's points off every level, per pixel.
    std::vector<std::uint64_t> upright(all.size(), 0);
    const double pixel = plan.cellSize() * factor;
    const PointSample& sample = preview.sample;
    const double band = 0.05;
    for (std::size_t k = 0; k < sample.size(); ++k) {
        const double x = sample.x(k), y = sample.y(k), z = sample.z(k);
        if (slab && !slab->keeps(x, y, z))
            continue;
        const bool onLevel =
            std::any_of(preview.levels.begin(), preview.levels.end(),
                        [&](const Level& l) { return std::abs(z - l.height) < band; });
        if (onLevel)
            continue;
        const double c = std::floor((x - plan.west()) / pixel);
        const double r = std::floor((plan.north() - y) / pixel);
        if (c >= 0 && r >= 0 && c < w && r < h)
            ++upright[at(int(c), int(r))];
    }
    const double allTop = std::log1p(double(*std::max_element(all.begin(), all.end())));
    const double uprightTop = std::log1p(double(*std::max_element(upright.begin(), upright.end())));
    for (int r = 0; r < h; ++r) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(r));
        for (int c = 0; c < w; ++c) {
            const std::uint64_t n = all[at(c, r)];
            // Everything a light grey, even a single point well off white; what stands
            // upright from there to black.
            double grey = n > 0 ? 235.0 - 55.0 * std::log1p(double(n)) / allTop : 255.0;
            // The densest pixel around: thin walls drawn a pixel bolder on either side.
            std::uint64_t u = 0;
            for (int dr = std::max(r - 1, 0); dr <= std::min(r + 1, h - 1); ++dr) {
                for (int dc = std::max(c - 1, 0); dc <= std::min(c + 1, w - 1); ++dc)
                    u = std::max(u, upright[at(dc, dr)]);
            }
            if (u > 0 && uprightTop > 0.0)
                grey = std::min(grey, 170.0 - 170.0 * std::log1p(double(u)) / uprightTop);
            if (grey >= 255.0)
                continue;
            const int g = int(std::lround(grey));
            line[c] = qRgb(g, g, g);
        }
    }
    return image;
}

QTransform planToImage(const PlanDensity& plan, int factor)
{
    const double pixel = plan.cellSize() * std::max(factor, 1);
    // x' = (x - west) / pixel, y' = (north - y) / pixel
    return QTransform(1.0 / pixel, 0.0, 0.0, -1.0 / pixel, -plan.west() / pixel,
                      plan.north() / pixel);
}

int planFactor(const PlanDensity& plan, double pixelSize)
{
    if (plan.isEmpty() || !(pixelSize > 0.0))
        return 1;
    return std::max(1, int(std::floor(pixelSize / plan.cellSize())));
}

void drawPlanOverlay(QPainter& painter, const QTransform& toDevice, const PlanOverlay& overlay,
                     const std::vector<PreviewScan>& positions)
{
    painter.save();
    painter.setTransform(QTransform());
    // The grid crisp, one pixel wide; the rest smooth.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(tileColour, 1.0));
    for (const PlanSegment& s : overlay.tileEdges)
        painter.drawLine(mapped(toDevice, s.from), mapped(toDevice, s.to));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(planeColour, 2.0));
    for (const PlanSegment& s : overlay.planes)
        painter.drawLine(mapped(toDevice, s.from), mapped(toDevice, s.to));
    if (overlay.facade) {
        const QPointF a = mapped(toDevice, overlay.facade->from);
        const QPointF b = mapped(toDevice, overlay.facade->to);
        painter.setPen(QPen(facadeColour, 2.0));
        painter.drawLine(a, b);
        painter.setBrush(facadeColour);
        painter.drawEllipse(a, 3.0, 3.0);
        painter.drawEllipse(b, 3.0, 3.0);
    }
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    for (const PreviewScan& m : positions) {
        const QPointF p = mapped(toDevice, {m.x, m.y});
        painter.setPen(QPen(scanColour, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(p, 4.0, 4.0);
        painter.drawText(p + QPointF(6.0, -4.0), QString::number(m.index));
    }
    painter.restore();
}

QRectF planBounds(const SitePreview& preview, const PlanOverlay& overlay)
{
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    const auto take = [&](double x, double y) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    };
    const PlanDensity& plan = preview.plan;
    if (!plan.isEmpty()) {
        take(plan.west(), plan.north());
        take(plan.west() + plan.width() * plan.cellSize(),
             plan.north() - plan.height() * plan.cellSize());
    }
    for (const PreviewScan& m : preview.positions)
        take(m.x, m.y);
    for (const auto* segments : {&overlay.tileEdges, &overlay.planes}) {
        for (const PlanSegment& s : *segments) {
            take(s.from.x, s.from.y);
            take(s.to.x, s.to.y);
        }
    }
    if (overlay.facade) {
        take(overlay.facade->from.x, overlay.facade->from.y);
        take(overlay.facade->to.x, overlay.facade->to.y);
    }
    if (!(x0 <= x1 && y0 <= y1))
        return QRectF(0.0, 0.0, 1.0, 1.0);
    // Never narrower than a metre, so that a single line has room around it.
    const double w = std::max(x1 - x0, 1.0);
    const double h = std::max(y1 - y0, 1.0);
    return QRectF((x0 + x1 - w) / 2, (y0 + y1 - h) / 2, w, h);
}

QTransform fitPlan(const QRectF& bounds, const QSizeF& device)
{
    const double scale =
        std::min(device.width() / bounds.width(), device.height() / bounds.height());
    const double dx = (device.width() - bounds.width() * scale) / 2;
    const double dy = (device.height() - bounds.height() * scale) / 2;
    // x' = dx + (x - left) · scale, y' = dy + (top - y) · scale with top the north edge
    return QTransform(scale, 0.0, 0.0, -scale, dx - bounds.left() * scale,
                      dy + (bounds.top() + bounds.height()) * scale);
}

void drawPlanImage(QPainter& painter, const QTransform& toDevice, const PlanDensity& plan,
                   const QImage& image, int factor)
{
    if (plan.isEmpty())
        return;
    painter.save();
    // Pixels to project metres, then to the device.
    painter.setTransform(planToImage(plan, factor).inverted() * toDevice);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QPointF(0.0, 0.0), image);
    painter.restore();
}

QImage planPicture(const SitePreview& preview, const LayoutJob& job, int maxEdge)
{
    const PlanOverlay overlay = planOverlay(preview, job);
    const QRectF bounds = planBounds(preview, overlay);
    const double cell = preview.plan.isEmpty() ? 0.01 : preview.plan.cellSize();
    const double longest = std::max(bounds.width(), bounds.height());
    const double perPixel = std::max(cell, longest / std::max(maxEdge - 16, 1));
    // A margin of 8 pixels keeps markers and labels at the edge whole.
    const QSize size(int(std::ceil(bounds.width() / perPixel)) + 16,
                     int(std::ceil(bounds.height() / perPixel)) + 16);
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const QTransform toPicture =
        fitPlan(bounds, QSizeF(size) - QSizeF(16, 16)) * QTransform::fromTranslate(8.0, 8.0);
    QPainter painter(&picture);
    const int factor = planFactor(preview.plan, perPixel);
    drawPlanImage(painter, toPicture, preview.plan, planImage(preview, factor, &job), factor);
    drawPlanOverlay(painter, toPicture, overlay, preview.positions);
    painter.end();
    return picture;
}

} // namespace orthaven

#include "creator/ProfileStrip.h"

#include "layout/NumberText.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace orthaven {

namespace {

const QColor barColour(120, 120, 120);
const QColor slabColour(0, 120, 215, 40);
const QColor handleColour(230, 110, 0);
const QColor levelColour(0, 90, 200);
constexpr int margin = 8; // pixels above and below the values, where handles beyond wait

} // namespace

ProfileStrip::ProfileStrip(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(false);
    setCursor(Qt::SizeVerCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

QSize ProfileStrip::sizeHint() const
{
    return {130, 260};
}

QSize ProfileStrip::minimumSizeHint() const
{
    return {100, 120};
}

void ProfileStrip::setProfile(const HeightProfile& profile, const std::vector<Level>& levels)
{
    shownProfile = profile;
    snaps = levels;
    if (profile.isEmpty()) {
        shownLow = 0.0;
        shownHigh = 1.0;
    } else {
        // The profile with a tenth of its range around it, at least half a metre.
        const double extra = std::max((profile.high() - profile.low()) / 10.0, 0.5);
        shownLow = profile.low() - extra;
        shownHigh = profile.high() + extra;
    }
    update();
}

void ProfileStrip::setPlanes(double low, double high)
{
    planeLow = low;
    planeHigh = high;
    update();
}

QRect ProfileStrip::plot() const
{
    return rect().adjusted(0, margin, -1, -margin);
}

int ProfileStrip::rowOf(double value) const
{
    const QRect p = plot();
    const double t = (shownHigh - value) / (shownHigh - shownLow);
    return std::clamp(p.top() + int(std::lround(t * p.height())), 0, height() - 1);
}

double ProfileStrip::valueAt(int row) const
{
    const QRect p = plot();
    const double t = double(row - p.top()) / std::max(p.height(), 1);
    return shownHigh - t * (shownHigh - shownLow);
}

void ProfileStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect p = plot();
    const int rows = p.height();

    // One bar per pixel row: the points of the bins in it, on a logarithmic scale.
    std::vector<double> sums(std::size_t(std::max(rows, 0)), 0.0);
    for (std::size_t k = 0; k < shownProfile.counts.size(); ++k) {
        const int r =
            rowOf(shownProfile.binLow(std::int64_t(k)) + HeightProfile::binSize / 2) - p.top();
        if (r >= 0 && r < rows)
            sums[std::size_t(r)] += double(shownProfile.counts[k]);
    }
    // A logarithmic scale from a tenth of the typical row up, so that the rows of walls
    // show as a band and the levels stand out of it.
    std::vector<double> filled;
    for (double v : sums) {
        if (v > 0.0)
            filled.push_back(v);
    }
    painter.setPen(barColour);
    if (!filled.empty()) {
        const auto middle = filled.begin() + std::ptrdiff_t(filled.size() / 2);
        std::nth_element(filled.begin(), middle, filled.end());
        const double floorValue = std::log(*middle / 10.0);
        const double range =
            std::max(std::log(*std::max_element(filled.begin(), filled.end())) - floorValue, 1e-9);
        const int room = p.width() - 40;
        for (int r = 0; r < rows; ++r) {
            const double v = sums[std::size_t(r)];
            if (v <= 0.0)
                continue;
            const double length = std::clamp((std::log(v) - floorValue) / range, 0.02, 1.0) * room;
            painter.drawLine(p.left() + 40, p.top() + r, p.left() + 40 + int(length), p.top() + r);
        }
    }

    // The slab between the planes, and the levels with their heights.
    const int yHigh = rowOf(planeHigh);
    const int yLow = rowOf(planeLow);
    painter.fillRect(QRect(0, yHigh, width(), yLow - yHigh + 1), slabColour);
    QFont small = font();
    small.setPixelSize(9);
    painter.setFont(small);
    const QLocale notation = locale();
    painter.setPen(levelColour);
    std::vector<int> labelled; // rows of the labels drawn: a label needs room of its own
    for (const Level& l : snaps) {
        const int y = rowOf(l.height);
        painter.drawLine(0, y, 36, y);
        if (std::any_of(labelled.begin(), labelled.end(),
                        [y](int other) { return std::abs(other - y) < 11; }))
            continue;
        labelled.push_back(y);
        painter.drawText(QRect(0, y - 11, 40, 11), Qt::AlignLeft | Qt::AlignBottom,
                         formatUserFixed(l.height, 2, notation));
    }
    // The handles: a line across and a grip at the right.
    painter.setRenderHint(QPainter::Antialiasing);
    for (int y : {yHigh, yLow}) {
        painter.setPen(QPen(handleColour, 2.0));
        painter.drawLine(0, y, width(), y);
        painter.setBrush(handleColour);
        painter.drawPolygon(QPolygon(
            {QPoint(width() - 1, y - 5), QPoint(width() - 1, y + 5), QPoint(width() - 9, y)}));
    }
    painter.setPen(palette().mid().color());
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ProfileStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The nearer handle; a press between them on the slab takes the nearer one too.
    const int y = int(event->position().y());
    dragging = std::abs(y - rowOf(planeHigh)) <= std::abs(y - rowOf(planeLow)) ? Handle::High
                                                                               : Handle::Low;
    dragTo(y);
}

void ProfileStrip::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging != Handle::None)
        dragTo(int(event->position().y()));
}

void ProfileStrip::mouseReleaseEvent(QMouseEvent*)
{
    dragging = Handle::None;
}

void ProfileStrip::dragTo(int row)
{
    double value = valueAt(row);
    // The nearest level within a few pixels takes the handle.
    int nearest = snapPixels + 1;
    for (const Level& l : snaps) {
        const int distance = std::abs(rowOf(l.height) - row);
        if (distance < nearest) {
            nearest = distance;
            value = l.height;
        }
    }
    // Centimetres, the profile's grain.
    value = std::round(value * 100.0) / 100.0;
    if (dragging == Handle::High)
        planeHigh = std::max(value, planeLow + HeightProfile::binSize);
    else
        planeLow = std::min(value, planeHigh - HeightProfile::binSize);
    update();
    emit planesChanged(planeLow, planeHigh);
}

} // namespace orthaven

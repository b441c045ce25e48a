#include "creator/PlanView.h"

#include "layout/NumberText.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace orthaven {

PlanView::PlanView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::CrossCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize PlanView::sizeHint() const
{
    return {360, 260};
}

QSize PlanView::minimumSizeHint() const
{
    return {160, 120};
}

void PlanView::setPreview(std::shared_ptr<const SitePreview> shown)
{
    preview = std::move(shown);
    picture = QImage();
    pictureFactor = 0;
    firstPoint.reset();
    update();
}

void PlanView::setJob(const LayoutJob& shownJob)
{
    job = shownJob;
    shownOverlay = preview ? planOverlay(*preview, job) : PlanOverlay{};
    picture = QImage(); // the slice follows the planes
    update();
}

QTransform PlanView::toWidget() const
{
    if (!preview)
        return {};
    // The site and the scan positions fill the view; the grid and the planes may reach
    // beyond it.
    return fitPlan(planBounds(*preview, PlanOverlay{}), QSizeF(size()) - QSizeF(16, 16)) *
           QTransform::fromTranslate(8.0, 8.0);
}

PlanePoint PlanView::toProject(const QPointF& pixel) const
{
    const QPointF p = toWidget().inverted().map(pixel);
    return {p.x(), p.y()};
}

void PlanView::resizeEvent(QResizeEvent*)
{
    picture = QImage(); // drawn again at the new scale
}

void PlanView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!preview) {
        painter.setPen(palette().mid().color());
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        return;
    }
    const QTransform t = toWidget();
    const int factor = planFactor(preview->plan, 1.0 / std::max(t.m11(), 1e-9));
    if (picture.isNull() || factor != pictureFactor) {
        picture = planImage(*preview, factor, &job);
        pictureFactor = factor;
    }
    drawPlanImage(painter, t, preview->plan, picture, factor);
    drawPlanOverlay(painter, t, shownOverlay, preview->positions);
    if (firstPoint) {
        // The facade being picked: from its first point to the pointer.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0, 150, 60), 2.0, Qt::DashLine));
        const QPointF a = t.map(QPointF(firstPoint->x, firstPoint->y));
        painter.drawLine(a, pointer);
        painter.setBrush(QColor(0, 150, 60));
        painter.drawEllipse(a, 3.0, 3.0);
    }
    // Where the pointer is, in project metres.
    if (underMouse()) {
        const PlanePoint p = toProject(pointer);
        const QLocale notation = locale();
        const QString where = formatUserFixed(p.x, 2, notation) + QStringLiteral("  ") +
                              formatUserFixed(p.y, 2, notation);
        painter.setPen(Qt::black);
        painter.drawText(rect().adjusted(4, 0, -4, -2), Qt::AlignLeft | Qt::AlignBottom, where);
    }
    painter.setPen(palette().mid().color());
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PlanView::mousePressEvent(QMouseEvent* event)
{
    if (!preview)
        return;
    if (event->button() == Qt::RightButton) {
        firstPoint.reset();
        update();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    // Centimetres: as the fields write them, so that fields and plan agree.
    PlanePoint p = toProject(event->position());
    p = {std::round(p.x * 100.0) / 100.0, std::round(p.y * 100.0) / 100.0};
    if (!firstPoint) {
        firstPoint = p;
        pointer = event->position();
        update();
        return;
    }
    const FacadeLine line{*firstPoint, p};
    if (!line.isUsable())
        return; // the same place twice: wait for a second point
    firstPoint.reset();
    update();
    emit facadePicked(line);
}

void PlanView::mouseMoveEvent(QMouseEvent* event)
{
    pointer = event->position();
    update();
}

void PlanView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && firstPoint) {
        firstPoint.reset();
        update();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace orthaven

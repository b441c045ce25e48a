#pragma once
// The plan of a site preview in the Layout Creator: the site from above with its scan
// positions and what the job would make of it (tile grid, clipping planes, facade line).
// Two clicks pick a facade: the first point, then the second; Escape or the right button
// forgets a first point.

#include "preview/PlanPicture.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <memory>
#include <optional>

namespace orthaven {

class PlanView : public QWidget
{
    Q_OBJECT
public:
    explicit PlanView(QWidget* parent = nullptr);

    void setPreview(std::shared_ptr<const SitePreview> preview);
    // The job whose slice, tile grid and planes are drawn.
    void setJob(const LayoutJob& job);
    const PlanOverlay& overlay() const { return shownOverlay; }
    // Project metres to widget pixels, as the plan is drawn now.
    QTransform toWidget() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Two clicks on the plan, at least a centimetre apart: the facade from the first point
    // to the second, project metres.
    void facadePicked(const FacadeLine& line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    PlanePoint toProject(const QPointF& pixel) const;

    std::shared_ptr<const SitePreview> preview;
    LayoutJob job;
    PlanOverlay shownOverlay;
    QImage picture; // of the plan at pictureFactor
    int pictureFactor = 0;
    std::optional<PlanePoint> firstPoint;
    QPointF pointer; // where the mouse is, for the line being picked
};

} // namespace orthaven

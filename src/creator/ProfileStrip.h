#pragma once
// A profile of the site as a strip: points per centimetre of height (or of depth along a
// view's axis) as bars, the value rising upward, with the two clipping planes as handles
// that can be dragged. A handle dragged near a level snaps to it. The strip shows the
// profile's range; a plane beyond it waits at the edge.

#include "preview/HeightProfile.h"

#include <QLocale>
#include <QWidget>

#include <vector>

namespace orthaven {

class ProfileStrip : public QWidget
{
    Q_OBJECT
public:
    // Pixels within which a dragged handle snaps to a level, and within which a press
    // takes a handle.
    static constexpr int snapPixels = 6;

    explicit ProfileStrip(QWidget* parent = nullptr);

    void setProfile(const HeightProfile& profile, const std::vector<Level>& levels);
    // The planes on show; planesChanged is not emitted.
    void setPlanes(double low, double high);
    double low() const { return planeLow; }
    double high() const { return planeHigh; }

    // The values at the strip's top and bottom edges, and the pixel row of a value.
    double topValue() const { return shownHigh; }
    double bottomValue() const { return shownLow; }
    int rowOf(double value) const;
    double valueAt(int row) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user dragged a handle; low < high.
    void planesChanged(double low, double high);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Handle
    {
        None,
        Low,
        High
    };
    void dragTo(int row);
    QRect plot() const;

    HeightProfile shownProfile;
    std::vector<Level> snaps;
    double shownLow = 0.0;
    double shownHigh = 1.0;
    double planeLow = 0.0;
    double planeHigh = 1.0;
    Handle dragging = Handle::None;
};

} // namespace orthaven

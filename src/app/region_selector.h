#pragma once

#include <QImage>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "capture/region.h"

class QEventLoop;

namespace fk {

class Capture;
class Desktop;
struct GrabCapabilities;
class EventPump;

// The screen held still, shown over every monitor in a window no window manager handles, for a
// region to be chosen on it: the area outside the selection dimmed, a crosshair with a
// magnifier of the pixels under the pointer, the selection's size and position in pixels. Drag
// to select, drag its edges to adjust, arrow keys move it by one pixel (with Shift they resize
// it); Enter or a double click takes it, Esc or a right click cancels; a click without dragging
// takes the window under the pointer.
class RegionSelector : public QWidget {
    Q_OBJECT
public:
    RegionSelector(EventPump& pump, Desktop& desktop);
    ~RegionSelector() override;

    // Shows the frozen screen and waits until the user has chosen: the region in screen
    // coordinates, none when cancelled. Throws EWaitsEnded when the program closes meanwhile.
    std::optional<ScreenRect> choose(const FrozenScreen& frozen);
    bool isChoosing() const { return m_frozen != nullptr; }
    // Makes, unseen, what the first choosing would make before its picture shows: the window,
    // its backing store's memory and the fonts of its labels, by painting `frozen` there once.
    void prepare(const FrozenScreen& frozen);
    // Ends the choosing as Esc does.
    void cancel();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag { None, Pending, New, Move, Resize };
    enum Edge { kLeft = 1, kRight = 2, kTop = 4, kBottom = 8 };

    // Positions in the frozen picture's pixels, from its top left.
    QPoint pixelAt(const QPointF& widgetPos) const;
    QRectF toWidget(const QRect& pixels) const;
    int edgesAt(const QPoint& pixel) const;
    void finish(std::optional<QRect> pixels);
    void takeFrozen(const FrozenScreen& frozen);
    void dropFrozen();
    void tryGrab();
    // Repaints what moved: the overlay as it was painted last, and as it is now.
    void refresh();
    QRegion overlayRegion() const;
    QRect magnifierBox() const;
    QString pointerText() const;
    void paintSelection(QPainter& p, const QRect& dirty);
    void paintMagnifier(QPainter& p);
    void paintLabel(QPainter& p, const QRectF& box, const QString& text);
    void setSelection(const QRect& pixels);

    EventPump& m_pump;
    Desktop& m_desktop;
    const FrozenScreen* m_frozen = nullptr;
    QImage m_image;      // the frozen picture, over the grab's own memory where it can be
    double m_ratio = 1;  // device pixels per widget unit
    QTimer m_grabRetry;
    bool m_grabbed = false;

    QPoint m_pointer{-1, -1};
    QRect m_selection;  // empty while there is none
    Drag m_drag = Drag::None;
    int m_edges = 0;
    QPoint m_pressAt;
    QRect m_pressSelection;
    QRegion m_painted;  // the overlay's places as last painted

    bool m_done = false;
    std::optional<QRect> m_result;
    QEventLoop* m_loop = nullptr;
};

// Readies the selector while the program idles, so that its first choosing shows as fast as the
// later ones: where grabs come through shared memory, one grab of the whole desktop, let go at
// once, leaves its segment for the next grab to take, and the selector is prepared with it.
// Where a grab would hide the program's windows or ask the user, nothing is done.
void prepareSelector(RegionSelector& selector, Capture& capture, const GrabCapabilities& grab);

}  // namespace fk

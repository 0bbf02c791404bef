// What the region selector draws over the frozen screen, and which places each change repaints:
// only those, so that the pointer's moves never repaint the whole desktop.
#include <QPaintEvent>
#include <QPainter>

#include "app/region_selector.h"

namespace fk {

namespace {

constexpr int kZoomedPixels = 15;  // the magnifier shows this many pixels across...
constexpr int kZoom = 8;           // ...each this many units wide
constexpr int kMagnifierGap = 24;  // between the pointer and the magnifier
constexpr int kLabelHeight = 20;
constexpr int kHandle = 6;
const QColor kAccent(61, 174, 233);
const QColor kDim(0, 0, 0, 120);

}  // namespace

QRect RegionSelector::magnifierBox() const {
    // Beside the pointer, on the side where it fits.
    const int size = kZoomedPixels * kZoom;
    const QPointF at = toWidget(QRect(m_pointer, QSize(1, 1))).topLeft();
    int x = int(at.x()) + kMagnifierGap, y = int(at.y()) + kMagnifierGap;
    if (x + size > width())
        x = int(at.x()) - kMagnifierGap - size;
    if (y + size + kLabelHeight > height())
        y = int(at.y()) - kMagnifierGap - size - kLabelHeight;
    return {x, y, size, size};
}

QString RegionSelector::pointerText() const {
    const int x = m_frozen->area.x + std::min(m_pointer.x(), m_image.width() - 1);
    const int y = m_frozen->area.y + std::min(m_pointer.y(), m_image.height() - 1);
    return QString("%1, %2").arg(x).arg(y);
}

QRegion RegionSelector::overlayRegion() const {
    const QRectF pointer = toWidget(QRect(m_pointer, QSize(1, 1)));
    QRegion region;
    region += QRect(0, int(pointer.y()) - 1, width(), int(pointer.height()) + 2);
    region += QRect(int(pointer.x()) - 1, 0, int(pointer.width()) + 2, height());
    region += magnifierBox().adjusted(-2, -2, 2, 2 + kLabelHeight);
    if (!m_selection.isEmpty()) {
        const QRect s = toWidget(m_selection).toAlignedRect();
        region += s.adjusted(-kHandle, -kHandle - kLabelHeight, kHandle, kHandle);
        // The label is as wide as its text may be.
        region += QRect(s.left(), s.top() - kLabelHeight - 2, 240, kLabelHeight + 2);
        region += QRect(s.left(), s.bottom() + 2, 240, kLabelHeight + 2);
    }
    return region;
}

void RegionSelector::refresh() {
    const QRegion now = overlayRegion();
    update(now + m_painted);
    m_painted = now;
}

void RegionSelector::paintEvent(QPaintEvent* event) {
    if (!m_frozen)
        return;
    QPainter p(this);
    const QRect dirty = event->rect();
    const QRectF source(dirty.x() * m_ratio, dirty.y() * m_ratio, dirty.width() * m_ratio,
                        dirty.height() * m_ratio);
    // Dimmed as it is painted: a darkened copy of the whole desktop would cost its memory and
    // the time to make it before the first picture shows.
    p.drawImage(QRectF(dirty), m_image, source);
    p.fillRect(dirty, kDim);
    paintSelection(p, dirty);

    // The crosshair through the pointer's pixel.
    const QRectF pointer = toWidget(QRect(m_pointer, QSize(1, 1)));
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.drawLine(QPointF(0, pointer.center().y()), QPointF(width(), pointer.center().y()));
    p.drawLine(QPointF(pointer.center().x(), 0), QPointF(pointer.center().x(), height()));
    paintMagnifier(p);
    m_painted = overlayRegion();
}

void RegionSelector::paintSelection(QPainter& p, const QRect& dirty) {
    if (m_selection.isEmpty())
        return;
    const QRectF box = toWidget(m_selection);
    const QRectF shown = box & QRectF(dirty);
    if (!shown.isEmpty())
        p.drawImage(shown, m_image,
                    QRectF(shown.x() * m_ratio, shown.y() * m_ratio, shown.width() * m_ratio,
                           shown.height() * m_ratio));
    p.setPen(QPen(kAccent, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box.adjusted(-0.5, -0.5, 0.5, 0.5));
    p.setBrush(kAccent);
    for (double x : {box.left(), box.center().x(), box.right()})
        for (double y : {box.top(), box.center().y(), box.bottom()})
            if (x != box.center().x() || y != box.center().y())
                p.drawRect(QRectF(x - kHandle / 2.0, y - kHandle / 2.0, kHandle, kHandle));
    const QString size = QString("%1 × %2").arg(m_selection.width()).arg(m_selection.height());
    const QString at = QString("%1, %2")
                           .arg(m_frozen->area.x + m_selection.x())
                           .arg(m_frozen->area.y + m_selection.y());
    // Above the selection, or inside it where it touches the top.
    const double top = box.top() >= kLabelHeight + 2 ? box.top() - kLabelHeight - 2 : box.top() + 2;
    paintLabel(p, QRectF(box.left(), top, 0, kLabelHeight), size + "   (" + at + ")");
}

void RegionSelector::paintMagnifier(QPainter& p) {
    const QRect box = magnifierBox();
    const int half = kZoomedPixels / 2;
    // Pixels beyond the picture's edges come out black.
    const QImage pixels =
        m_image.copy(m_pointer.x() - half, m_pointer.y() - half, kZoomedPixels, kZoomedPixels);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(box, pixels);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.drawRect(QRect(box.x() + half * kZoom, box.y() + half * kZoom, kZoom, kZoom));
    p.setPen(QPen(kAccent, 2));
    p.drawRect(box);
    paintLabel(p, QRectF(box.left(), box.bottom() + 2, 0, kLabelHeight), pointerText());
}

void RegionSelector::paintLabel(QPainter& p, const QRectF& at, const QString& text) {
    const QRectF box(at.left(), at.top(), p.fontMetrics().horizontalAdvance(text) + 12,
                     kLabelHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 190));
    p.drawRoundedRect(box, 4, 4);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace fk

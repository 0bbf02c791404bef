// The region selector's life and input: showing the frozen screen, the keyboard and pointer taken
// for it, and what each press, drag and key does to the selection.
#include "app/region_selector.h"

#include <QApplication>
#include <QBackingStore>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>
#include <algorithm>

#include "capture/capture.h"
#include "platform/capabilities.h"
#include "platform/desktop.h"
#include "platform/event_pump.h"

namespace fk {

namespace {

const char* const kTitle = QT_TRANSLATE_NOOP("fk::RegionSelector", "Fotokran: снимок области");

// How near an edge a press takes that edge, in device pixels.
constexpr int kEdgeReach = 6;

QImage imageOf(const Bitmap& picture) {
    // A grab's rows lie top row first, one after the other: shown as they are, without a copy.
    if (picture.rowOrder() == RowOrder::TopDown && picture.pixelFormat() == PixelFormat::Device)
        return QImage(picture.scanLine(0), picture.width(), picture.height(),
                      qsizetype(picture.stride()), QImage::Format_RGB32);
    QImage image(picture.width(), picture.height(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const Color c = picture.pixel(x, y);
            image.setPixel(x, y, qRgb(c.red, c.green, c.blue));
        }
    return image;
}

}  // namespace

RegionSelector::RegionSelector(EventPump& pump, Desktop& desktop)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint),
      m_pump(pump),
      m_desktop(desktop) {
    setObjectName("RegionSelector");
    setWindowTitle(tr(kTitle));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    m_grabRetry.setInterval(10);
    connect(&m_grabRetry, &QTimer::timeout, this, &RegionSelector::tryGrab);
}

RegionSelector::~RegionSelector() = default;

void RegionSelector::changeEvent(QEvent* event) {
    // Made once while the program idles, it follows a change of language as the windows do.
    if (event->type() == QEvent::LanguageChange)
        setWindowTitle(tr(kTitle));
    QWidget::changeEvent(event);
}

void RegionSelector::takeFrozen(const FrozenScreen& frozen) {
    m_frozen = &frozen;
    m_image = imageOf(frozen.picture);
    m_ratio = std::max(1.0, qApp->devicePixelRatio());
    m_image.setDevicePixelRatio(m_ratio);
    m_selection = {};
    m_drag = Drag::None;
    m_result.reset();
    m_done = false;
    m_painted = {};
    const ScreenRect& a = frozen.area;
    setGeometry(QRectF(a.x / m_ratio, a.y / m_ratio, a.width / m_ratio, a.height / m_ratio)
                    .toAlignedRect());
    m_pointer = pixelAt(mapFromGlobal(QCursor::pos()));
}

void RegionSelector::dropFrozen() {
    m_frozen = nullptr;
    m_image = {};
}

void RegionSelector::prepare(const FrozenScreen& frozen) {
    if (isChoosing())
        return;
    takeFrozen(frozen);
    create();
    // Painted into the store the first showing paints into, never flushed to the display: a
    // store of the window's size is kept when it shows.
    if (QBackingStore* store = backingStore()) {
        store->resize(size());
        const QRegion all(rect());
        store->beginPaint(all);
        render(store->paintDevice(), QPoint(), all, RenderFlag::DrawWindowBackground);
        store->endPaint();
    }
    dropFrozen();
}

void prepareSelector(RegionSelector& selector, Capture& capture, const GrabCapabilities& grab) {
    if (grab.sharedMemory && grab.ownWindows != OwnWindows::HiddenForGrab)
        selector.prepare(capture.freezeScreen(false));
}

std::optional<ScreenRect> RegionSelector::choose(const FrozenScreen& frozen) {
    takeFrozen(frozen);
    const ScreenRect& a = frozen.area;

    struct Closed {
        RegionSelector& s;
        ~Closed() {
            s.m_grabRetry.stop();
            s.releaseKeyboard();
            s.releaseMouse();
            s.hide();
            s.m_grabbed = false;
            s.dropFrozen();
            // Gone from the screen before the picture is written.
            s.m_desktop.flush();
        }
    } closed{*this};
    show();
    raise();
    activateWindow();
    tryGrab();
    if (!m_done) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    m_pump.processEventsFor(0);  // throws when the program is closing
    if (!m_result)
        return std::nullopt;
    return ScreenRect{a.x + m_result->x(), a.y + m_result->y(), m_result->width(),
                      m_result->height()};
}

void RegionSelector::cancel() {
    if (isChoosing())
        finish(std::nullopt);
}

void RegionSelector::finish(std::optional<QRect> pixels) {
    m_result = pixels;
    m_done = true;
    if (m_loop)
        m_loop->quit();
}

void RegionSelector::tryGrab() {
    // The keys and the pointer can be taken once the window shows; until then, again shortly.
    QWindow* window = windowHandle();
    if (!m_grabbed && window && window->isExposed()) {
        grabKeyboard();
        grabMouse();
        m_grabbed = window->setKeyboardGrabEnabled(true);
        if (m_grabbed)
            window->setMouseGrabEnabled(true);
    }
    if (m_grabbed)
        m_grabRetry.stop();
    else if (!m_grabRetry.isActive())
        m_grabRetry.start();
}

QPoint RegionSelector::pixelAt(const QPointF& widgetPos) const {
    // Up to the width and height themselves: a drag may end past the last pixel.
    const int x = int(widgetPos.x() * m_ratio), y = int(widgetPos.y() * m_ratio);
    return {std::clamp(x, 0, m_image.width()), std::clamp(y, 0, m_image.height())};
}

QRectF RegionSelector::toWidget(const QRect& pixels) const {
    return {pixels.x() / m_ratio, pixels.y() / m_ratio, pixels.width() / m_ratio,
            pixels.height() / m_ratio};
}

int RegionSelector::edgesAt(const QPoint& p) const {
    const QRect& s = m_selection;
    if (s.isEmpty() || !s.adjusted(-kEdgeReach, -kEdgeReach, kEdgeReach, kEdgeReach).contains(p))
        return 0;
    int edges = 0;
    if (std::abs(p.x() - s.left()) <= kEdgeReach)
        edges |= kLeft;
    else if (std::abs(p.x() - (s.right() + 1)) <= kEdgeReach)
        edges |= kRight;
    if (std::abs(p.y() - s.top()) <= kEdgeReach)
        edges |= kTop;
    else if (std::abs(p.y() - (s.bottom() + 1)) <= kEdgeReach)
        edges |= kBottom;
    return edges;
}

void RegionSelector::setSelection(const QRect& pixels) {
    m_selection = pixels.normalized() & m_image.rect();
}

void RegionSelector::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        return finish(std::nullopt);
    if (event->button() != Qt::LeftButton)
        return;
    m_pressAt = pixelAt(event->position());
    m_pressSelection = m_selection;
    m_edges = edgesAt(m_pressAt);
    if (m_edges)
        m_drag = Drag::Resize;
    else if (m_selection.contains(m_pressAt))
        m_drag = Drag::Move;
    else
        m_drag = Drag::Pending;
}

void RegionSelector::mouseMoveEvent(QMouseEvent* event) {
    m_pointer = pixelAt(event->position());
    const QPoint delta = m_pointer - m_pressAt;
    switch (m_drag) {
        case Drag::Pending:
            if (delta.manhattanLength() < QApplication::startDragDistance())
                break;
            m_drag = Drag::New;
            [[fallthrough]];
        case Drag::New: {
            // From the pressed pixel's corner to the pointer's.
            const QPoint a = m_pressAt, b = m_pointer;
            setSelection(QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                               QSize(std::abs(b.x() - a.x()), std::abs(b.y() - a.y()))));
            break;
        }
        case Drag::Move: {
            QRect moved = m_pressSelection.translated(delta);
            moved.moveLeft(std::clamp(moved.left(), 0, m_image.width() - moved.width()));
            moved.moveTop(std::clamp(moved.top(), 0, m_image.height() - moved.height()));
            m_selection = moved;
            break;
        }
        case Drag::Resize: {
            QRect r = m_pressSelection;
            if (m_edges & kLeft)
                r.setLeft(r.left() + delta.x());
            if (m_edges & kRight)
                r.setRight(r.right() + delta.x());
            if (m_edges & kTop)
                r.setTop(r.top() + delta.y());
            if (m_edges & kBottom)
                r.setBottom(r.bottom() + delta.y());
            setSelection(r);
            break;
        }
        case Drag::None:
            break;
    }
    refresh();
}

void RegionSelector::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const Drag drag = std::exchange(m_drag, Drag::None);
    if (drag != Drag::Pending)
        return refresh();
    // A click without dragging: the window under the pointer.
    const QPoint at = pixelAt(event->position());
    if (const auto w = windowAt(*m_frozen, m_frozen->area.x + at.x(), m_frozen->area.y + at.y()))
        finish(QRect(w->x - m_frozen->area.x, w->y - m_frozen->area.y, w->width, w->height));
}

void RegionSelector::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_selection.contains(pixelAt(event->position())))
        finish(m_selection);
}

void RegionSelector::keyPressEvent(QKeyEvent* event) {
    const bool resize = event->modifiers() & Qt::ShiftModifier;
    QPoint step;
    switch (event->key()) {
        case Qt::Key_Escape:
            return finish(std::nullopt);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!m_selection.isEmpty())
                finish(m_selection);
            return;
        case Qt::Key_Left:
            step = {-1, 0};
            break;
        case Qt::Key_Right:
            step = {1, 0};
            break;
        case Qt::Key_Up:
            step = {0, -1};
            break;
        case Qt::Key_Down:
            step = {0, 1};
            break;
        default:
            return QWidget::keyPressEvent(event);
    }
    if (m_selection.isEmpty()) {
        // Without a selection the pointer moves, to start one at an exact pixel.
        QCursor::setPos(
            mapToGlobal(toWidget(QRect(m_pointer + step, QSize(1, 1))).center()).toPoint());
        return;
    }
    QRect r = m_selection;
    if (resize) {
        r.setWidth(std::max(1, r.width() + step.x()));
        r.setHeight(std::max(1, r.height() + step.y()));
        setSelection(r);
    } else {
        r.translate(step);
        if (m_image.rect().contains(r))
            m_selection = r;
    }
    refresh();
}

}  // namespace fk

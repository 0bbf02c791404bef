#include "app/countdown_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "app/program_icon.h"

namespace fk {

namespace {

constexpr QSize kSize(160, 64);
constexpr int kMargin = 16;

}  // namespace

CountdownWindow::CountdownWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName("CountdownWindow");
    setWindowTitle(tr(kTitle));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kSize);
}

void CountdownWindow::showSeconds(int seconds) {
    m_seconds = seconds;
    // The bottom right corner, clear of a panel along the bottom edge.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        move(free.right() + 1 - kMargin - width(), free.bottom() + 1 - kMargin - height());
    }
    update();
    if (!isVisible())
        show();
}

void CountdownWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(32, 40, 52));
    p.setPen(QColor(61, 174, 233));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    QFont big = font();
    big.setPixelSize(30);
    big.setBold(true);
    p.setFont(big);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 4, width(), 38), Qt::AlignCenter, QString::number(m_seconds));
    QFont small = font();
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(QColor(200, 208, 220));
    p.drawText(QRect(0, 42, width(), 18), Qt::AlignCenter, tr("Esc — отменить снимок"));
}

void CountdownWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        setWindowTitle(tr(kTitle));
        update();
    }
    QWidget::changeEvent(event);
}

QIcon countdownIcon(int seconds) {
    QPixmap pixmap = programPixmap(64);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(QRect(14, 14, 50, 50));
    QFont f;
    f.setPixelSize(seconds > 99 ? 18 : 30);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(14, 14, 50, 50), Qt::AlignCenter, QString::number(seconds));
    return QIcon(pixmap);
}

}  // namespace fk

#include "app/link_label.h"

#include <QMouseEvent>

namespace fk {

LinkLabel::LinkLabel(const QString& text, QString url, QWidget* parent)
    : QLabel(text, parent), m_url(std::move(url)) {
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    setPalette(pal);
}

void LinkLabel::setUnderline(bool on) {
    QFont f = font();
    if (f.underline() == on)
        return;
    f.setUnderline(on);
    setFont(f);
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event) {
    setUnderline(true);
    QLabel::mouseMoveEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
    setUnderline(false);
    QLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked(m_url);
    QLabel::mouseReleaseEvent(event);
}

}  // namespace fk

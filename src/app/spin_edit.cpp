#include "app/spin_edit.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QWheelEvent>

#include "base/text.h"

namespace fk {

namespace {

QToolButton* makeArrow(QWidget* parent, Qt::ArrowType arrow, const char* name) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setArrowType(arrow);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setCursor(Qt::ArrowCursor);
    return b;
}

}  // namespace

SpinEdit::SpinEdit(QWidget* parent) : TextBox(parent) {
    m_up = makeArrow(this, Qt::UpArrow, "SpinUp");
    m_down = makeArrow(this, Qt::DownArrow, "SpinDown");
    connect(m_up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepBy(-1); });
    setText("0");
}

int32_t SpinEdit::value() const {
    return tryStrToInt(text().toStdString()).value_or(0);
}

void SpinEdit::setValue(int32_t value) {
    setText(QString::number(value));
}

void SpinEdit::stepBy(int steps) {
    if (isReadOnly())
        return;
    // Wraps around like the 32-bit value it is.
    setValue(int32_t(uint32_t(value()) + uint32_t(steps)));
}

void SpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        stepBy(1);
        return;
    }
    if (event->key() == Qt::Key_Down) {
        stepBy(-1);
        return;
    }
    TextBox::keyPressEvent(event);
}

void SpinEdit::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return TextBox::wheelEvent(event);
    stepBy(delta > 0 ? 1 : -1);
    event->accept();
}

void SpinEdit::resizeEvent(QResizeEvent* event) {
    TextBox::resizeEvent(event);
    const int w = 15;
    const int h = height() / 2;
    m_up->setGeometry(width() - w - 1, 1, w, h - 1);
    m_down->setGeometry(width() - w - 1, h, w, height() - h - 1);
    setTextMargins(0, 0, w, 0);
}

}  // namespace fk

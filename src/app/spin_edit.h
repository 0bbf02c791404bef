#pragma once

#include <cstdint>

#include "app/text_box.h"

class QToolButton;

namespace fk {

// An editable number with up and down buttons (also the arrow keys and the mouse wheel). Its
// text is free: the value is the text as a signed 32-bit integer, 0 when it is none, and a step
// writes the plain decimal value. There are no bounds; the steps wrap at the ends of the range.
class SpinEdit : public TextBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    int32_t value() const;
    void setValue(int32_t value);
    void stepBy(int steps);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* m_up;
    QToolButton* m_down;
};

}  // namespace fk

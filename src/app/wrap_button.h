#pragma once

#include <QPushButton>

namespace fk {

// A push button whose caption breaks onto further lines where it is wider than the button,
// as the tall command buttons of the main window need; its text stays one caption.
class WrapButton : public QPushButton {
    Q_OBJECT
public:
    explicit WrapButton(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace fk

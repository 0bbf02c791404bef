#pragma once

#include <QIcon>
#include <QWidget>

namespace fk {

// The seconds a delayed shot still waits, small at a corner of the primary screen, in a window
// that takes no focus and that no window manager handles. The shots leave it out.
class CountdownWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kTitle =
        QT_TRANSLATE_NOOP("fk::CountdownWindow", "Fotokran: отсчет");

    CountdownWindow();
    void showSeconds(int seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int m_seconds = 0;
};

// The tray icon with the seconds left drawn over it.
QIcon countdownIcon(int seconds);

}  // namespace fk

#pragma once

#include <QLineEdit>
#include <functional>

namespace fk {

// A line edit whose length limit applies to typed characters only: a text put in by the program
// (a loaded setting, a computed number) is never cut. A key filter may drop typed characters.
class TextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr);

    void setTypedLimit(int characters) { m_typedLimit = characters; }
    int typedLimit() const { return m_typedLimit; }
    // Called with each typed character; returning false drops it.
    void setKeyFilter(std::function<bool(QChar)> filter) { m_keyFilter = std::move(filter); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_typedLimit = 0;  // 0: no limit
    std::function<bool(QChar)> m_keyFilter;
};

}  // namespace fk

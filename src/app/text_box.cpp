#include "app/text_box.h"

#include <QKeyEvent>
#include <algorithm>

namespace fk {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {}

void TextBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    // Shortcuts (paste among them), Delete, Backspace and navigation carry no printable text.
    const bool shortcut =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool printable =
        !typed.isEmpty() && !shortcut &&
        std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.isPrint(); });
    if (printable) {
        if (m_keyFilter &&
            !std::all_of(typed.begin(), typed.end(), [this](QChar c) { return m_keyFilter(c); })) {
            event->accept();
            return;
        }
        if (m_typedLimit > 0 && !isReadOnly() &&
            text().size() - selectedText().size() + typed.size() > m_typedLimit) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace fk

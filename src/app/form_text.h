#pragma once

#include <QLineEdit>
#include <QString>
#include <string>

namespace fk {

// Between the controls' texts and the plain strings that capture and settings take.
inline std::string text(const QLineEdit* edit) {
    return edit->text().toStdString();
}
inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace fk

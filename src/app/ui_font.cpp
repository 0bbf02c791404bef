#include "app/ui_font.h"

#include <QGuiApplication>

namespace fk {

QFont uiFont() {
    QFont font = QGuiApplication::font();
    font.setPixelSize(kUiFontPixels);
    return font;
}

}  // namespace fk

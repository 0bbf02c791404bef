#pragma once

#include <QIcon>
#include <QPixmap>

namespace fk {

// Fotokran's picture: a camera hanging from a crane's hook ("фотокран"), drawn at any size.
QPixmap programPixmap(int size);
// The window and tray icon, in the usual icon sizes.
QIcon programIcon();

}  // namespace fk

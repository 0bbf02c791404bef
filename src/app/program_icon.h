#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace fk {

// Fotokran's picture: a camera hanging from a crane's hook ("фотокран"), drawn at any size.
// The image needs no running application, so the build can export the installed icons.
QImage programImage(int size);
QPixmap programPixmap(int size);
// The window and tray icon, in the usual icon sizes.
QIcon programIcon();

}  // namespace fk

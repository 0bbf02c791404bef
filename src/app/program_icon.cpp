#include "app/program_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace fk {

QImage programImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);

    // Background tile.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(38, 92, 160));
    p.drawRoundedRect(QRectF(2, 2, 124, 124), 22, 22);

    // Crane jib and the rope down to the hook.
    p.setPen(QPen(QColor(250, 196, 40), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(18, 18), QPointF(96, 18));
    p.drawLine(QPointF(18, 18), QPointF(18, 40));
    p.setPen(QPen(QColor(230, 230, 230), 3));
    p.drawLine(QPointF(78, 18), QPointF(78, 40));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(71, 36, 14, 14), 180 * 16, 180 * 16);

    // Camera body, viewfinder bump and lens.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 245, 245));
    p.drawRoundedRect(QRectF(26, 54, 92, 58), 10, 10);
    p.drawRoundedRect(QRectF(62, 46, 32, 14), 4, 4);
    p.setBrush(QColor(30, 40, 56));
    p.drawEllipse(QPointF(72, 83), 21, 21);
    p.setBrush(QColor(90, 160, 230));
    p.drawEllipse(QPointF(72, 83), 13, 13);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(67, 78), 4, 4);
    p.setBrush(QColor(220, 60, 50));
    p.drawEllipse(QPointF(106, 64), 4, 4);
    p.end();
    return image;
}

QPixmap programPixmap(int size) {
    return QPixmap::fromImage(programImage(size));
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(programPixmap(size));
    return icon;
}

}  // namespace fk

// Writes the program's icon as PNG files in the hicolor layout: OUT/<n>x<n>/apps/<name>.png.
#include <QDir>
#include <QString>
#include <cstdio>

#include "app/program_icon.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fotokran_icon_export OUT_FOLDER ICON_NAME\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/%2x%2/apps").arg(out).arg(size);
        const QString file = folder + "/" + name + ".png";
        if (!QDir().mkpath(folder) || !fk::programImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "fotokran_icon_export: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

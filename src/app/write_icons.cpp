// Writes the program's icon as the PNG files of a freedesktop icon theme, for the package:
//
//   zorv_write_icons FOLDER    FOLDER/<n>x<n>/apps/zorvupdater.png for n = 16 ... 256
#include "button_art.h"

#include <QDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zorv_write_icons FOLDER\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = root.filePath(folder + QStringLiteral("/zorvupdater.png"));
        if (!root.mkpath(folder) || !app::AppIconImage(size).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

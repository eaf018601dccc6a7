#include "frmmain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zorvupdater"));
    app::frmMain window;
    window.show();
    return QApplication::exec();
}

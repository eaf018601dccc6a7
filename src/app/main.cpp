#include "button_art.h"
#include "frmmain.h"
#include "runtime_dir.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    app::ProvideRuntimeDir(QDir::tempPath());
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zorvupdater"));
    QApplication::setWindowIcon(app::AppIcon());
    app::frmMain window;
    window.show();
    return QApplication::exec();
}

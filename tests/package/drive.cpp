// Loaded into the packaged program (LD_PRELOAD) by the package test, which cannot reach a
// window on Qt's offscreen platform from outside: once the main window's "&Update" button is
// shown and enabled, it is clicked once, with the mouse, as a person would.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

void ClickUpdateWhenShown() {
    auto* look = new QTimer(qApp);
    QObject::connect(look, &QTimer::timeout, look, [look] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* button = window->findChild<QWidget*>(QStringLiteral("cmdDownload"));
            if (button && button->isVisible() && button->isEnabled()) {
                look->stop();
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
    });
    look->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(ClickUpdateWhenShown)

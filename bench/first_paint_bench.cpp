// The main window's first paint: the time from creating the window to the end of the first
// paint of its four owner-drawn buttons, each round in a fresh process (fonts, styles and
// pictures loaded anew), on the display that QT_QPA_PLATFORM/DISPLAY name (run it under
// xvfb-run for a real X display).
//
//   zorv_first_paint_bench [ROUNDS]      (default: 7)
#include "bench_support.h"
#include "frmmain.h"
#include "rkbuttons_h.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <cstdio>

namespace {

// Counts the first paint of each watched widget.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QList<QWidget*> widgets) : pending_(widgets.begin(), widgets.end()) {
        for (QWidget* w : widgets)
            w->installEventFilter(this);
    }
    bool done() const { return pending_.isEmpty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, this, [this, watched] { pending_.remove(watched); });
        return false;
    }

private:
    QSet<QObject*> pending_;
};

// One round in this process: prints the milliseconds to the first complete paint.
int runOnce(int argc, char** argv) {
    QApplication application(argc, argv);
    QElapsedTimer clock;
    clock.start();
    app::frmMain window;
    PaintWatch watch({window.cmdDownload, window.cmdRun, window.cmdStop, window.CmdExit});
    window.show();
    QDeadlineTimer deadline(10000);
    while (!watch.done() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    if (!watch.done())
        return 1;
    std::printf("%.3f\n", clock.nsecsElapsed() / 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--once")
        return runOnce(argc, argv);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 7;
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        rusage usage{};
        double wall = 0;
        const QByteArray out =
            bench::runChild({QString::fromLocal8Bit(argv[0]), "--once"}, usage, wall);
        bool ok = false;
        const double value = out.trimmed().toDouble(&ok);
        if (!ok) {
            std::fprintf(stderr, "round %d: the window did not paint\n", r + 1);
            return 1;
        }
        ms.push_back(value);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("first paint of the main window with its four buttons: min %.1f ms, median "
                "%.1f ms, max %.1f ms (%d rounds; target: under 200 ms on xvfb)\n",
                ms.front(), bench::median(ms), ms.back(), rounds);
    return 0;
}

// Runs every group of the drawing engine's tests in one application.
#include "painter_tests.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    using namespace painter_tests;
    int failed = 0;
    for (auto run : {RunColorTests, RunOutlineTests, RunLayoutTests, RunRenderTests, RunStateTests})
        failed += run(argc, argv);
    return failed;
}

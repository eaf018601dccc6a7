// Runs the button widget's test classes in one application.
#include <QApplication>

int RunPropertyTests(int argc, char** argv);
int RunBagTests(int argc, char** argv);
int RunInputTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Button widget tests"));
    int failures = 0;
    failures += RunPropertyTests(argc, argv);
    failures += RunBagTests(argc, argv);
    failures += RunInputTests(argc, argv);
    return failures == 0 ? 0 : 1;
}

// The start-up baseline: a bare Qt program that shows one window and exits once it is on
// screen.
#include <QApplication>
#include <QTest>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(489, 440);
    window.show();
    std::_Exit(QTest::qWaitForWindowExposed(&window) ? 0 : 1);
}

// The start-up rows' baselines: a bare Qt program that shows one window and exits once it is
// on screen; with --japanese-label the window holds one label of Japanese text, so the
// program also loads the font configuration and a Japanese face, as any window with Japanese
// text must.
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(489, 440);
    if (QApplication::arguments().contains(QStringLiteral("--japanese-label"))) {
        (new QLabel(QStringLiteral("作者: 開発チーム"), &window))->move(20, 20);
    }
    window.show();
    std::_Exit(QTest::qWaitForWindowExposed(&window) ? 0 : 1);
}

// The start-up row's measured program: starts as the editor does (main.cpp) and exits once
// the splash is on screen. A process of its own that links what the editor links, so the
// benchmark library's loading does not count against it.
#include <QApplication>
#include <QTest>

#include <cstdlib>
#include <memory>

#include "app/program.h"
#include "app/standard_texts.h"
#include "info/splash_window.h"
#include "platform/qt_dialogs.h"
#include "platform/registry.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondrel"));
    ondrel::loadJapaneseStandardTexts(app);
    ondrel::useJapaneseFormats();
    ondrel::QtDialogs dialogs;
    const std::unique_ptr<ondrel::Registry> registry = ondrel::makeSystemRegistry();
    ondrel::Program program(dialogs, *registry);
    program.start();
    const bool shown =
        program.frmSplash() != nullptr && QTest::qWaitForWindowExposed(program.frmSplash());
    std::_Exit(shown ? 0 : 1);
}

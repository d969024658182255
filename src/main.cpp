#include <QApplication>

#include <memory>

#include "app/program.h"
#include "app/standard_texts.h"
#include "platform/qt_dialogs.h"
#include "platform/registry.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondrel"));
    ondrel::loadJapaneseStandardTexts(app);
    ondrel::useJapaneseFormats();
    ondrel::QtDialogs dialogs;
    const std::unique_ptr<ondrel::Registry> registry = ondrel::makeSystemRegistry();
    ondrel::Program program(dialogs, *registry);
    // A file named on the command line (the desktop's "open with") opens after the fresh
    // document; any further names are not used.
    program.start(QApplication::arguments().value(1));
    return QApplication::exec();
}

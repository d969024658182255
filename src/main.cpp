#include <QApplication>

#include <memory>

#include "app/program.h"
#include "platform/qt_dialogs.h"
#include "platform/registry.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondrel"));
    ondrel::QtDialogs dialogs;
    const std::unique_ptr<ondrel::Registry> registry = ondrel::makeSystemRegistry();
    ondrel::Program program(dialogs, *registry);
    program.start();
    return QApplication::exec();
}

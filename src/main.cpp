#include <QApplication>

#include "app/program.h"
#include "platform/qt_dialogs.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondrel"));
    ondrel::QtDialogs dialogs;
    ondrel::Program program(dialogs);
    program.start();
    return QApplication::exec();
}

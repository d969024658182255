#include "info/help_command.h"

#include <QDir>

#include "platform/dialogs.h"

namespace ondrel {

void ShowHelpFile(Dialogs& dialogs) {
    dialogs.showHelp(
        QDir::cleanPath(QDir::current().absoluteFilePath(QStringLiteral("./help/help.hlp"))));
}

}  // namespace ondrel

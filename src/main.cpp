#include <QApplication>

#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/program.h"
#include "app/standard_texts.h"
#include "platform/qt_dialogs.h"
#include "platform/registry.h"

int main(int argc, char* argv[]) {
    const QByteArrayList given = ondrel::argumentList(argc, argv);
    // --help and --version answer before anything needs a display; an unknown option is
    // judged once Qt has taken out its own.
    const ondrel::CommandLine asked = ondrel::parseCommandLine(given);
    if (asked.request != ondrel::CommandLine::Request::UnknownOption) {
        if (const std::optional<int> status = ondrel::answerOnConsole(asked)) {
            return *status;
        }
    }
    // Qt takes its own options out of the arguments before "--" only.
    int qtArgc = 1 + static_cast<int>(asked.optionsEnd);
    QApplication app(qtArgc, argv);
    const ondrel::CommandLine line =
        ondrel::parseCommandLine(ondrel::argumentList(qtArgc, argv) + given.mid(asked.optionsEnd));
    if (const std::optional<int> status = ondrel::answerOnConsole(line)) {
        return *status;
    }
    QApplication::setApplicationName(QStringLiteral("Ondrel"));
    ondrel::loadJapaneseStandardTexts(app);
    ondrel::useJapaneseFormats();
    ondrel::QtDialogs dialogs;
    const std::unique_ptr<ondrel::Registry> registry = ondrel::makeSystemRegistry();
    ondrel::Program program(dialogs, *registry);
    // The first file named opens after the fresh document, each further one in a window of
    // its own.
    program.start(line.files.value(0));
    ondrel::openInWindowsOfTheirOwn(dialogs, line.files.mid(1));
    return QApplication::exec();
}

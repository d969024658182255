#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <optional>

namespace ondrel {

class Dialogs;

// What the command line asks for. Options come before the files; "--" ends them, so that a
// file whose name starts with "-" can be named. Qt's own options (-platform, -reverse, …)
// are Qt's: QApplication takes them out of the arguments before "--".
struct CommandLine {
    enum class Request { Edit, Help, Version, UnknownOption };
    Request request = Request::Edit;
    // The files to edit, in order: the first in this window, each further one in a window of
    // its own.
    QByteArrayList files;
    // The option not understood, for UnknownOption.
    QString unknownOption;
    // How many arguments come before "--" (all of them when there is none): the ones Qt may
    // read its options from.
    qsizetype optionsEnd = 0;
};

// The arguments after the program's name, as the system gave them.
QByteArrayList argumentList(int argc, char* argv[]);

// Reads the arguments as the system gave them (without the program's name). --help and
// --version (or -h and -v) win over anything else before "--".
CommandLine parseCommandLine(const QByteArrayList& arguments);

// What --help and --version print: the usage line and the options, and the version.
QString commandLineHelp();
QString versionText();

// Prints the answer to --help or --version on standard output, or the unknown option and the
// help on standard error; returns the program's exit status then, nothing when the line asks
// for editing.
std::optional<int> answerOnConsole(const CommandLine& line);

// Starts a new Ondrel for each file, which opens it in a window of its own; a start that
// fails is reported.
void openInWindowsOfTheirOwn(Dialogs& dialogs, const QByteArrayList& files);

}  // namespace ondrel

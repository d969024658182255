#include "app/command_line.h"

#include <QFile>

#include <cstdio>

#include "documents/file_name.h"
#include "platform/dialogs.h"

namespace ondrel {

QByteArrayList argumentList(int argc, char* argv[]) {
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QByteArray(argv[i]);
    }
    return arguments;
}

CommandLine parseCommandLine(const QByteArrayList& arguments) {
    CommandLine line;
    line.optionsEnd = arguments.indexOf("--");
    if (line.optionsEnd < 0) {
        line.optionsEnd = arguments.size();
    }
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        if (i > line.optionsEnd) {
            line.files << argument;
        } else if (i == line.optionsEnd) {
            continue;  // the "--" itself
        } else if (argument == "--help" || argument == "-h") {
            line.request = CommandLine::Request::Help;
            return line;
        } else if (argument == "--version" || argument == "-v") {
            line.request = CommandLine::Request::Version;
            return line;
        } else if (argument.startsWith('-') && argument.size() > 1) {
            // Later arguments are still read: --help or --version may follow.
            if (line.unknownOption.isEmpty()) {
                line.unknownOption = QFile::decodeName(argument);
            }
        } else {
            line.files << argument;
        }
    }
    if (!line.unknownOption.isEmpty()) {
        line.request = CommandLine::Request::UnknownOption;
    }
    return line;
}

QString commandLineHelp() {
    return QStringLiteral(
        "使い方: ondrel [オプション] [--] [ファイル…]\n"
        "Perl の CGI スクリプトを書くためのテキストエディタです。\n"
        "名前を挙げたファイルを開きます。二つ目からのファイルは、それぞれ別のウィンドウで"
        "開きます。\n"
        "\n"
        "  -h, --help     この説明を表示して終了します\n"
        "  -v, --version  バージョンを表示して終了します\n"
        "  --             これより後の引数はすべてファイル名として扱います"
        "（名前が - で始まるファイル）\n"
        "\n"
        "Qt のオプション（-platform、-reverse、-style など）も使えます。\n");
}

QString versionText() {
    return QStringLiteral("Ondrel " ONDREL_VERSION "\n");
}

std::optional<int> answerOnConsole(const CommandLine& line) {
    switch (line.request) {
        case CommandLine::Request::Help:
            std::fputs(commandLineHelp().toUtf8().constData(), stdout);
            return 0;
        case CommandLine::Request::Version:
            std::fputs(versionText().toUtf8().constData(), stdout);
            return 0;
        case CommandLine::Request::UnknownOption:
            std::fputs((QStringLiteral("ondrel: 不明なオプションです: ") + line.unknownOption +
                        QStringLiteral("\n") + commandLineHelp())
                           .toUtf8()
                           .constData(),
                       stderr);
            return 2;
        case CommandLine::Request::Edit:
            break;
    }
    return std::nullopt;
}

void openInWindowsOfTheirOwn(Dialogs& dialogs, const QByteArrayList& files) {
    for (const QByteArray& file : files) {
        if (!dialogs.startEditor(file)) {
            dialogs.message(
                QStringLiteral("新しいウィンドウで開けませんでした。\r\n") + fileNameText(file),
                QStringLiteral("エラー！"), MessageButtons::Ok, MessageIcon::Critical,
                MessageAnswer::Ok);
        }
    }
}

}  // namespace ondrel

// The real program in a real X window (run under xvfb-run), driven only by X input through
// xdotool and the clipboard through xclip. Every wait is on a condition (a
// window, a file, the process) with a time limit and a message saying what did not happen.
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <signal.h>

#include "test_main.h"

using namespace ondrel;

namespace {

constexpr int kTimeoutMs = 15000;

struct Result {
    int exitCode = -1;
    QString output;
};

Result run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
}

Result xdotool(const QStringList& arguments) {
    return run(QStringLiteral("xdotool"), arguments);
}

// The visible top-level windows of the program, as X window ids.
QStringList visibleWindows(qint64 pid) {
    return xdotool({"search", "--onlyvisible", "--pid", QString::number(pid), "."})
        .output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

template <typename Condition>
bool waitFor(Condition condition) {
    return QTest::qWaitFor(condition, kTimeoutMs);
}

// Waits for a visible window whose title matches the pattern: its id, or "" if none came.
QString awaitWindow(const QString& pattern) {
    return xdotool({"search", "--sync", "--onlyvisible", "--name", pattern}).output;
}

// Starts the program on the X display.
void startProgram(QProcess& process, const QString& folder, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(ONDREL_BINARY), arguments);
}

// The bytes an item of the Project or Basic settings menus inserts, from the file that the
// snippet tests hold every insertion to.
QByteArray savedInsertion(const char* item) {
    const QByteArray all = readBytes(testData("snippets.cp932"));
    const QByteArray marker = QByteArray("=== ") + item + "\r\n";
    const qsizetype start = all.indexOf(marker) + marker.size();
    const qsizetype end = all.indexOf("=== ", start);
    return all.mid(start, (end < 0 ? all.size() - 2 : end) - start);
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_app;
    QProcess m_clipboard;
    qint64 m_pid = 0;

    void keys(const QStringList& sequence) {
        QCOMPARE(xdotool(QStringList{"key", "--delay", "120"} + sequence).exitCode, 0);
    }

    // Opens a menu path by access keys, waiting for each popup before the next key, and then
    // for the menus to close and the windows the command opens (a dialog) to stand in their place.
    void menu(const QStringList& sequence, int opens = 0) {
        const int before = visibleWindows(m_pid).size();
        int popups = 0;
        for (int i = 0; i < sequence.size(); ++i) {
            // The first key opens a menu, and a key marked with a trailing "+" a submenu; the last
            // key runs the command and closes every menu.
            QString key = sequence[i];
            const bool opensMenu = i == 0 || key.endsWith(QLatin1Char('+'));
            key.chop(key.endsWith(QLatin1Char('+')) ? 1 : 0);
            keys({key});
            if (opensMenu) {
                ++popups;
                QVERIFY2(waitFor([&] { return visibleWindows(m_pid).size() >= before + popups; }),
                         qPrintable(QStringLiteral("no menu after ") +
                                    sequence.mid(0, i + 1).join(' ')));
            }
        }
        QVERIFY2(waitFor([&] { return visibleWindows(m_pid).size() == before + opens; }),
                 qPrintable(QStringLiteral("menus still open after ") + sequence.join(' ')));
    }

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run under xvfb-run: no DISPLAY");
        for (const char* tool : {"xdotool", "xclip"}) {
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        }
    }

    void wholeSession() {
        startProgram(m_app, m_dir.path(), {});
        QVERIFY2(m_app.waitForStarted(kTimeoutMs), "the program did not start");
        m_pid = m_app.processId();

        const QString mainWindow = awaitWindow(QStringLiteral("^Ondrel \\[project\\]$"));
        QVERIFY2(
            !mainWindow.isEmpty() && waitFor([&] { return visibleWindows(m_pid).size() == 1; }),
            "the splash did not hand over to a window titled \"Ondrel [project]\"");
        QCOMPARE(xdotool({"windowfocus", "--sync", mainWindow}).exitCode, 0);

        // A fixed snippet, a routine and a settings block, through menus opened by access keys.
        // A menu opens with its first item highlighted; a repeated access key moves on to the
        // next item that has it, and opens it when it is a submenu.
        const QStringList paths[] = {{"alt+p", "Return+", "f"},  // 関数や宣言 > ライブラリ取り込み
                                     {"alt+s", "t"},         // 時間の取得
                                     {"alt+s", "h+", "a"}};  // 変数定義 > アクセスカウンタ
        for (const QStringList& path : paths) {
            menu(path);
            if (QTest::currentTestFailed()) {
                return;
            }
        }

        QCOMPARE(xdotool({"type", "--delay", "30", QStringLiteral("print 1;")}).exitCode, 0);
        keys({"Return"});
        const QString pasted = QStringLiteral("日本語テキスト");
        m_clipboard.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-quiet"});
        QVERIFY(m_clipboard.waitForStarted(kTimeoutMs));
        m_clipboard.write(pasted.toUtf8());
        QVERIFY(m_clipboard.waitForBytesWritten(kTimeoutMs));
        m_clipboard.closeWriteChannel();
        QVERIFY2(
            waitFor([&] {
                return run(QStringLiteral("xclip"), {"-o", "-selection", "clipboard"}).output ==
                       pasted;
            }),
            "xclip did not take the clipboard");
        keys({"ctrl+v"});

        // Save As through the real file dialog.
        const QString saved = m_dir.filePath(QStringLiteral("out.cgi"));
        // ファイル(&F) and 書式(&F) share their access key, and Alt+F moves between them; the
        // File menu is reached from the Edit menu, whose key is its own.
        menu({"alt+e", "Left", "a"}, 1);
        QThread::msleep(500);
        keys({"ctrl+a"});
        QCOMPARE(xdotool({"type", "--delay", "20", saved}).exitCode, 0);
        keys({"Return"});
        QVERIFY2(waitFor([&] { return QFile::exists(saved); }), "the file was not saved");
        QVERIFY2(!awaitWindow("^Ondrel \\[" + QRegularExpression::escape(saved) + "\\]$").isEmpty(),
                 "the caption did not change to the saved path");

        // 日本語テキスト in code page 932, and the CR LF every save adds.
        const QByteArray expected = "#!/usr/local/bin/perl\r\n\r\n" +
                                    savedInsertion("mnufile_get") + savedInsertion("mnuget_time") +
                                    savedInsertion("mnuaccesscnt") + "print 1;\r\n" +
                                    QByteArray::fromHex("93fa967b8cea8365834c83588367") + "\r\n";
        QCOMPARE(readBytes(saved), expected);

        // Exit, answered Yes (the default button), ends the process. With no window manager on
        // the virtual display, the focus goes back to the main window by hand once the dialog
        // has closed.
        QCOMPARE(xdotool({"windowfocus", "--sync", mainWindow}).exitCode, 0);
        menu({"alt+e", "Left", "x"}, 1);
        const QString question = awaitWindow(QStringLiteral("^終了$"));
        QVERIFY2(!question.isEmpty(), "no exit question titled 終了");
        QCOMPARE(xdotool({"windowfocus", "--sync", question}).exitCode, 0);
        keys({"Return"});
        QVERIFY2(m_app.waitForFinished(kTimeoutMs), "the program did not end after Exit and Yes");
        QCOMPARE(m_app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_app.exitCode(), 0);
    }

    // "ondrel -- -reverse b.cgi": a file named like a Qt option, and one more in a window of
    // its own, from a second process.
    void filesInWindowsOfTheirOwn() {
        for (const char* name : {"-reverse", "b.cgi"}) {
            writeBytes(m_dir.filePath(QString::fromLatin1(name)), "print 1;\r\n");
        }
        QProcess first;
        startProgram(first, m_dir.path(), {"--", "-reverse", "b.cgi"});
        const QString other = awaitWindow(QStringLiteral("^Ondrel \\[.*/b\\.cgi\\]$"));
        QVERIFY2(!awaitWindow(QStringLiteral("^Ondrel \\[.*/-reverse\\]$")).isEmpty() &&
                     !other.isEmpty(),
                 "no window for each file");
        const qint64 second = xdotool({"getwindowpid", other}).output.toLongLong();
        QVERIFY(second > 0 && second != first.processId());
        ::kill(static_cast<pid_t>(second), SIGTERM);
        first.kill();
        first.waitForFinished();
    }

    void cleanupTestCase() {
        for (QProcess* process : {&m_app, &m_clipboard}) {
            process->kill();  // nothing when it has ended
            process->waitForFinished();
        }
    }
};

ONDREL_TEST_GUILESS_MAIN(EndToEndTest)
#include "test_e2e.moc"

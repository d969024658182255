// The recovery copy outlives its program: killed, or ended by a signal, it is offered at the
// next start and puts the text back byte for byte. The program whose copy is tested is this
// test binary itself, started again in a child mode.
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>

#include <sys/stat.h>
#include <csignal>
#include <memory>

#include "cp932_text.h"
#include "documents/file_commands.h"
#include "documents/recovery.h"
#include "fixture.h"

using namespace ondrel;

namespace {

const QByteArray kFileName = QByteArray("/srv/cgi-bin/掲示板\xff.cgi");

// Every character code page 932 defines (NUL, CR and LF among them), as UTF-8.
QByteArray everyCharacter() {
    return decodeCp932(everyCp932Character().join()).text.toUtf8();
}

void append(TextBox& box, QByteArrayView bytes) {
    box.replaceUtf8(box.utf8Length(), box.utf8Length(), bytes);
}

// The child: edits a document through the text area, so that the copy, the journal, an undo's
// own records and a journal folded into a new copy all take part, then says "ready" (with the
// milliseconds its last change took to reach the disk, when it waits for that) and runs until
// it is killed or signalled.
int runChild(bool waitForDisk) {
    QWidget window;
    TextBox box(&window);
    Recovery recovery(box, [] { return RecoveryFile{kFileName, "identity"}; });
    recovery.endOnSignals([] { QCoreApplication::exit(0); });
    // (The parent judges the time it took.)
    const auto settle = [&] {
        return QTest::qWaitFor([&] { return !waitForDisk || recovery.isCurrent(); }, 5000);
    };
    box.setText(QStringLiteral("#!/usr/local/bin/perl\r\n"));
    const QByteArray characters = everyCharacter();
    append(box, characters.repeated(5 * 512 * 1024 / characters.size()));
    settle();
    box.replaceUtf8(3, 3, QByteArrayView("\0\r\n\r", 4));
    box.replaceUtf8(10, 20, "");
    settle();
    box.replaceUtf8(100, 100, characters.repeated(3 * 1024 * 1024 / characters.size()));
    settle();
    append(box, "abc\r");
    box.undo();
    box.replaceUtf8(0, 5, "");
    box.undo();
    QElapsedTimer sinceLastChange;
    sinceLastChange.start();
    settle();
    const qint64 latency = sinceLastChange.elapsed();
    writeBytes(qEnvironmentVariable("ONDREL_RECOVERY_EXPECTED"), box.utf8Text().toByteArray());
    std::printf("ready %lld\n", static_cast<long long>(latency));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

}  // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void copyOutlivesItsProgram_data() { addRowsFromFile("recovery_ends.tsv"); }
    void copyOutlivesItsProgram() {
        const int signal = field("signal").toInt();
        const QString firstAnswer = field("answer");
        const QDir folder(QFile::decodeName(RecoveryStore::folderPath()));
        const QStringList journalsBefore = folder.entryList({QStringLiteral("*.journal")});
        const QString expectedPath = QDir::home().filePath(QStringLiteral("expected"));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ONDREL_RECOVERY_CHILD"),
                           signal == SIGKILL ? QStringLiteral("wait") : QStringLiteral("go"));
        environment.insert(QStringLiteral("ONDREL_RECOVERY_EXPECTED"), expectedPath);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForReadyRead(60000));
        const QList<QByteArray> ready = child.readLine().trimmed().split(' ');
        QCOMPARE(ready.value(0), QByteArray("ready"));
        if (signal == SIGKILL) {
            QVERIFY2(ready.value(1).toInt() <= 2000, ready.value(1));
        }

        const auto start = [](const QString& answer) {
            auto program = std::make_unique<Fixture>();
            program->dialogs.push(ScriptedDialogs::named(answer));
            QCoreApplication::processEvents();  // the offer, posted when the window is up
            return program;
        };

        // A running program's copy is private to its user and offered to nobody.
        const QStringList files = folder.entryList(QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString& name : QStringList{QString()} + files) {
            struct stat info {};
            QCOMPARE(::lstat(QFile::encodeName(folder.filePath(name)).constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, name.isEmpty() ? 0700U : 0600U);
        }
        QCOMPARE(start("yes")->dialogs.calls().size(), 0);

        ::kill(static_cast<pid_t>(child.processId()), signal);
        QVERIFY(child.waitForFinished(60000));
        // Ended by the program itself after a catchable signal.
        QCOMPARE(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 signal != SIGKILL);

        if (signal == SIGKILL) {
            // A batch the kill cut short, as a power cut leaves it: an insertion whose seal
            // does not match is not applied.
            QStringList journals = folder.entryList({QStringLiteral("*.journal")});
            for (const QString& name : journalsBefore) {
                journals.removeOne(name);
            }
            QFile journal(folder.filePath(journals.value(0)));
            QVERIFY(journal.open(QIODevice::Append));
            journal.write(QByteArray("I") + QByteArray(8, 0) +
                          QByteArray("\3\0\0\0\0\0\0\0abcC", 12) + QByteArray(16, 0));
        }
        std::unique_ptr<Fixture> program = start(firstAnswer);
        QCOMPARE(program->dialogs.calls().size(), 1);
        const ScriptedDialogs::Call question = program->dialogs.calls().front();
        QVERIFY2(question.text.contains(QStringLiteral("掲示板")), qPrintable(question.text));
        QVERIFY(question.text.contains(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d"))));
        QCOMPARE(question.buttons, MessageButtons::YesNoCancelNoAccessKeys);
        QCOMPARE(question.defaultButton, MessageAnswer::Yes);
        if (firstAnswer == "cancel") {
            QCOMPARE(program->window.files().fileName(), QByteArray());
            program = start("yes");
            QCOMPARE(program->dialogs.calls().size(), 1);
        }
        if (firstAnswer != "no") {
            const QByteArray expected = readBytes(expectedPath);
            QVERIFY(expected.contains(everyCharacter()));
            QVERIFY(program->text().utf8Text() == expected);
            QCOMPARE(program->window.files().fileName(), kFileName);
            QVERIFY(program->window.windowTitle().contains(QStringLiteral("掲示板\\xff.cgi")));
            program->text().undo();
            QVERIFY(program->text().isModified());
        }
        // Restored or deleted, it is offered no more.
        QCOMPARE(start("yes")->dialogs.calls().size(), 0);
    }

    // A state folder that is a link (planted by someone else, say) is never written through.
    void linkedFolderIsRefused() {
        QTemporaryDir state;
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), state.filePath(QStringLiteral("ondrel"))));
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
        QWidget window;
        TextBox box(&window);
        Recovery recovery(box, [] { return RecoveryFile{}; });
        qputenv("XDG_STATE_HOME", saved);
        append(box, "text");
        QVERIFY(box.isModified());
        QVERIFY(!recovery.writeNow());
        QVERIFY(QDir(elsewhere.path()).isEmpty());
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("ONDREL_RECOVERY_CHILD")) {
        QApplication app(argc, argv);
        return runChild(qgetenv("ONDREL_RECOVERY_CHILD") == "wait");
    }
    isolateEnvironment();
    QApplication app(argc, argv);
    RecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_recovery.moc"

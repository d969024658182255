#include <Qsci/qsciscintilla.h>

#include <QPushButton>
#include <QScopeGuard>

#include "cp932_text.h"
#include "documents/cp932.h"
#include "documents/document_file.h"
#include "documents/file_commands.h"
#include "documents/perl_check.h"
#include "documents/syntax_note.h"
#include "fixture.h"

using namespace ondrel;
using Sci = QsciScintillaBase;

namespace {

// True while the process runs; a zombie has ended and only waits to be reaped.
bool running(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && close + 2 < text.size() && text[close + 2] != 'Z';
}

// The pids a script wrote to the file "pids" beside it; none when it wrote none.
QList<qint64> pidsWritten(const QTemporaryDir& dir) {
    QList<qint64> pids;
    for (const QByteArray& word : readBytes(dir.filePath(QStringLiteral("pids"))).split(' ')) {
        if (word.toLongLong() > 0) {
            pids.append(word.toLongLong());
        }
    }
    return pids;
}

}  // namespace

class PerlCheckTest : public QObject {
    Q_OBJECT
private slots:
    void verdicts_data() { addRowsFromFile("perl_verdicts.tsv"); }
    void verdicts() {
        const QString file = field("file");
        const QString outcome = field("outcome");
        const QString message = field("message");
        const QStringList outcomes = {"clean",     "warnings",     "errors",
                                      "timed out", "perl missing", "root"};
        QTemporaryDir dir;
        const auto clear = qScopeGuard([&] { removeTree(dir.path()); });
        writeBytes(dir.filePath(QStringLiteral("lib.pl")),
                   "sub greeting() { 'hi' }\nsub fail { die 'failed' }\n1;\n");
        // The file's name in code page 932, as a script copied from a Windows zip has it.
        const QByteArray name = QFile::encodeName(dir.path()) + '/' + encodeCp932(file).bytes;
        QVERIFY(writeWholeFile(name, encodeCp932(field("script")).bytes).ok());
        QList<PerlVerdict> verdicts;
        PerlCheck check({field("perl"), 1000, !field("root").isEmpty()},
                        [&](const PerlVerdict& v) { verdicts.append(v); });

        QCOMPARE(check.start(name), outcome != "not checked");
        if (outcome != "not checked") {
            QTRY_COMPARE_WITH_TIMEOUT(verdicts.size(), 1, 5000);
            QCOMPARE(outcomes.value(int(verdicts[0].outcome)), outcome);
            QStringList found;
            for (const PerlMessage& each : verdicts[0].messages) {
                found.append(QString::number(each.line));
            }
            QCOMPARE(found.join(u' '), field("lines"));
            QVERIFY2(message.isEmpty() || verdicts[0].messages[0].text.contains(message),
                     qPrintable(verdicts.value(0).messages.value(0).text));
        }
        QVERIFY(!check.running());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("ran"))));
        for (const qint64 pid : pidsWritten(dir)) {
            QTRY_VERIFY_WITH_TIMEOUT(!running(pid), 1000);
        }
    }

    // A save made while the older check runs: the older stops, and only the newer reports.
    void newerSaveCancelsOlder() {
        QTemporaryDir dir;
        const QString slow = dir.filePath(QStringLiteral("slow.cgi"));
        const QString broken = dir.filePath(QStringLiteral("broken.cgi"));
        writeBytes(slow, "BEGIN { open my $f, '>', 'pids'; print $f $$; close $f; sleep 60 }\n");
        writeBytes(broken, "my $x = ;\n");
        QList<PerlVerdict> verdicts;
        PerlCheck check({QStringLiteral("perl"), 30000, false},
                        [&](const PerlVerdict& v) { verdicts.append(v); });
        QVERIFY(check.start(QFile::encodeName(slow)));
        QTRY_COMPARE_WITH_TIMEOUT(pidsWritten(dir).size(), 1, 5000);
        QVERIFY(check.start(QFile::encodeName(broken)));
        QTRY_COMPARE_WITH_TIMEOUT(verdicts.size(), 1, 5000);
        QCOMPARE(verdicts[0].outcome, PerlVerdict::Outcome::Errors);
        QTRY_VERIFY_WITH_TIMEOUT(!running(pidsWritten(dir)[0]), 1000);
        QTest::qWait(100);
        QCOMPARE(verdicts.size(), 1);
    }

    // The verdict on the text area: underlined lines, a tip, a note that takes the caret to the
    // first line named and goes at the next edit; the caret stays where it was until then.
    void shownOnTheTextArea() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.cgi"));
        const QByteArray script(
            "#!/usr/local/bin/perl\r\nuse strict;\r\n$a1 = 1;\r\n  $b1 = 2;\r\n");
        writeBytes(path, script);
        QWidget window;
        window.resize(480, 300);
        TextBox text(&window);
        text.widget()->setGeometry(0, 0, 480, 300);
        SyntaxNote syntaxNote(text, {QStringLiteral("perl"), 1000, false});
        window.show();
        text.setText(QString::fromLatin1(script));
        text.select(5, 5);
        auto* note = text.widget()->findChild<QPushButton*>(QStringLiteral("perlCheckNote"));

        syntaxNote.check(QFile::encodeName(path));
        QTRY_VERIFY_WITH_TIMEOUT(note->isVisible(), 5000);
        QVERIFY2(note->toolTip().startsWith(
                     QStringLiteral("構文エラー 2 件: 3 行目 Global symbol \"$a1\"")),
                 qPrintable(note->toolTip()));
        QVERIFY(note->geometry().bottom() < text.widget()->viewport()->geometry().bottom());
        QCOMPARE(text.caretPosition(), 5);
        QsciScintilla* editor = text.widget();
        QList<int> marked;
        for (int line = 0; line < 5; ++line) {
            const long indent = editor->SendScintilla(Sci::SCI_GETLINEINDENTPOSITION, line);
            if (editor->SendScintilla(Sci::SCI_INDICATORVALUEAT, SyntaxNote::kIndicator, indent)) {
                marked.append(line + 1);
            }
        }
        QCOMPARE(marked, QList<int>({3, 4}));
        emit editor->SCN_DWELLSTART(int(editor->SendScintilla(Sci::SCI_GETLINEINDENTPOSITION, 3)),
                                    0, 0);
        QVERIFY(editor->SendScintilla(Sci::SCI_CALLTIPACTIVE));
        editor->SendScintilla(Sci::SCI_CALLTIPCANCEL);
        emit editor->SCN_DWELLSTART(1, 0, 0);
        QVERIFY(!editor->SendScintilla(Sci::SCI_CALLTIPACTIVE));

        note->click();
        QCOMPARE(editor->SendScintilla(Sci::SCI_LINEFROMPOSITION,
                                       editor->SendScintilla(Sci::SCI_GETCURRENTPOS)),
                 2L);
        QVERIFY(note->isVisible());
        text.replaceSelection(QStringLiteral("x"));
        QVERIFY(!note->isVisible());
    }

    // Save As of a Perl script is followed by the check, which as root only says it is off.
    void afterSaveAs() {
        Fixture f;
        f.text().setText(QStringLiteral("my $x = ;"));
        f.dialogs.pushText(f.path("t.cgi"));
        f.choose("mnuNameSave");
        auto* note = f.text().widget()->findChild<QPushButton*>(QStringLiteral("perlCheckNote"));
        QTRY_VERIFY_WITH_TIMEOUT(note->isVisible(), 15000);
        QCOMPARE(note->toolTip().section(u' ', 0, 0),
                 PerlCheck::runningAsRoot() ? "root" : "構文エラー");
        // Opening a file gives the text area another document, and the note goes with the old.
        QVERIFY(f.window.files().openFile(QFile::encodeName(f.path("t.cgi"))));
        QTRY_VERIFY(!note->isVisible());
    }
};

ONDREL_TEST_MAIN(PerlCheckTest)
#include "test_perl_check.moc"

#include <Qsci/qsciscintilla.h>

#include <QPushButton>
#include <QTemporaryDir>

#include "documents/cp932.h"
#include "documents/file_commands.h"
#include "documents/perl_check.h"
#include "documents/syntax_note.h"
#include "cp932_text.h"
#include "fixture.h"
#include "test_files.h"
#include "test_main.h"

using namespace ondrel;
using Outcome = PerlVerdict::Outcome;
using Sci = QsciScintillaBase;

namespace {

constexpr int kNotChecked = -1;

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

QByteArray cp932(const char* utf8) {
    return encodeCp932(QString::fromUtf8(utf8)).bytes;
}

PerlCheck::Settings quick() {
    return {QStringLiteral("perl"), 1000, false};
}

}  // namespace

class PerlCheckTest : public QObject {
    Q_OBJECT
private slots:
    // Each script is saved beside lib.pl and checked by the real perl, in a second at most.
    void verdicts_data() {
        addColumns<std::tuple<QString, QByteArray, QString, bool, int, QList<int>, QString>>();
        const auto row = [](const char* name, const char* file, const QByteArray& script,
                            int outcome, QList<int> lines, const char* text) {
            addRow(name, QString::fromLatin1(file), script, QStringLiteral("perl"), false, outcome,
                   lines, QString::fromUtf8(text));
        };
        row("syntax errors, with CR LF", "t.cgi",
            "#!/usr/local/bin/perl\r\nuse strict;\r\n$a1 = 1;\r\nmy $x = ;\r\n",
            int(Outcome::Errors), {3, 4}, "Global symbol \"$a1\"");
        row("a quote of source across lines is one message", "t.pl",
            "my $x = 1;\nif ($x)\n{ print 1 }\nelsif\n{ print 2 }\n", int(Outcome::Errors), {5},
            "syntax error at t.pl line 5, near \"elsif\n{\"");
        row("perl's hint stays with its message", "t.pl", "my $x = 1\n\"a\nb\";\n",
            int(Outcome::Errors), {2, 3}, "(Missing semicolon on previous line?)");
        row("-T and -w on the #! line", "t.cgi",
            "#!/usr/local/bin/perl -wT\r\nmy @a = (1);\r\nmy $y = @a[0];\r\n",
            int(Outcome::Warnings), {3}, "Scalar value @a[0]");
        row("require of a file beside it", "t.cgi",
            "#!/usr/bin/perl\nBEGIN { require './lib.pl' }\nuse strict;\nmy $x = greeting;\n",
            int(Outcome::Clean), {}, "");
        row("an error in the file it loads", "t.pm", "BEGIN { require './lib.pl'; fail(); }\n",
            int(Outcome::Errors), {0, 1}, "failed at ./lib.pl line 2.");
        row("Japanese message", "t.cgi",
            cp932("#!/usr/bin/perl\nBEGIN { die \"設定がありません\" }\n"), int(Outcome::Errors),
            {2, 2}, "設定がありません at t.cgi line 2.");
        row("endless BEGIN, in two processes", "t.cgi",
            "#!/usr/bin/perl\nBEGIN { my $kid = fork; if ($kid) { open my $f, '>', 'pids';"
            " print $f \"$$ $kid\"; close $f } 1 while 1 }\n",
            int(Outcome::TimedOut), {}, "");
        row("#! names another program", "t.cgi", "#!/bin/sh\ntouch ran\n", kNotChecked, {}, "");
        row("not a Perl file", "t.txt", "print 1;\n", kNotChecked, {}, "");
        addRow("perl missing", QStringLiteral("t.pl"), QByteArray("print 1;\n"),
               QStringLiteral("/nonexistent/perl"), false, int(Outcome::PerlMissing), QList<int>{},
               QString());
        addRow("root", QStringLiteral("t.pl"), QByteArray("BEGIN { open my $f, '>', 'ran' }\n"),
               QStringLiteral("perl"), true, int(Outcome::Root), QList<int>{}, QString());
    }
    void verdicts() {
        const auto [name, script, perl, root, outcome, lines, text] =
            fetchRow<std::tuple<QString, QByteArray, QString, bool, int, QList<int>, QString>>();
        QTemporaryDir dir;
        writeBytes(dir.filePath(QStringLiteral("lib.pl")),
                   "sub greeting() { 'hi' }\nsub fail { die 'failed' }\n1;\n");
        writeBytes(dir.filePath(name), script);
        QList<PerlVerdict> verdicts;
        PerlCheck check({perl, 1000, root}, [&](const PerlVerdict& v) { verdicts.append(v); });

        QCOMPARE(check.start(dir.filePath(name)), outcome != kNotChecked);
        if (outcome != kNotChecked) {
            QTRY_COMPARE_WITH_TIMEOUT(verdicts.size(), 1, 5000);
            QCOMPARE(int(verdicts[0].outcome), outcome);
            QList<int> found;
            for (const PerlMessage& message : verdicts[0].messages) {
                found.append(message.line);
            }
            QCOMPARE(found, lines);
            if (!text.isEmpty()) {
                QVERIFY2(verdicts[0].messages[0].text.contains(text),
                         qPrintable(verdicts[0].messages[0].text));
            }
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
        QVERIFY(check.start(slow));
        QTRY_COMPARE_WITH_TIMEOUT(pidsWritten(dir).size(), 1, 5000);
        QVERIFY(check.start(broken));
        QTRY_COMPARE_WITH_TIMEOUT(verdicts.size(), 1, 5000);
        QCOMPARE(verdicts[0].outcome, Outcome::Errors);
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
        SyntaxNote syntaxNote(text, quick());
        window.show();
        text.setText(QString::fromLatin1(script));
        text.select(5, 5);
        auto* note = text.widget()->findChild<QPushButton*>(QStringLiteral("perlCheckNote"));

        syntaxNote.check(path);
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
        QTemporaryDir dir;
        Fixture f;
        f.text().setText(QStringLiteral("my $x = ;"));
        f.dialogs.pushText(dir.filePath(QStringLiteral("t.cgi")));
        f.choose("mnuNameSave");
        auto* note = f.text().widget()->findChild<QPushButton*>(QStringLiteral("perlCheckNote"));
        QTRY_VERIFY_WITH_TIMEOUT(note->isVisible(), 15000);
        QCOMPARE(
            note->toolTip().section(QLatin1Char(' '), 0, 0),
            PerlCheck::runningAsRoot() ? QStringLiteral("root") : QStringLiteral("構文エラー"));
        // Opening a file gives the text area another document, and the note goes with the old.
        QVERIFY(f.window.files().openFile(dir.filePath(QStringLiteral("t.cgi"))));
        QTRY_VERIFY(!note->isVisible());
    }
};

ONDREL_TEST_MAIN(PerlCheckTest)
#include "test_perl_check.moc"

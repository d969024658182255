#include <Qsci/qsciscintilla.h>

#include "cp932_text.h"
#include "documents/cp932.h"
#include "editing/backslash_marks.h"
#include "fixture.h"
#include "test_files.h"
#include "test_main.h"
#include "text/perl_backslash.h"
#include "text/perl_line_states.h"

using namespace ondrel;

namespace {

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// The marks of each line of a document, moved with their lines as the text area moves them.
using LineMarks = QList<std::vector<ByteRange>>;

int scanLines(PerlLineStates& states, const QList<QByteArray>& lines, LineMarks& marks) {
    marks.resize(lines.size());
    return states.scan(
        1 << 20, [&](int line) { return view(lines[line]); },
        [&](int line, const std::vector<ByteRange>& found) { marks[line] = found; });
}

}  // namespace

class PerlBackslashTest : public QObject {
    Q_OBJECT
private slots:
    // In each fragment the characters between « and » must be marked, and no other.
    void marks_data() {
        addColumns<std::tuple<QString>>();
        const auto row = [](const char* name, const char* fragment) { addRow(name, fragment); };
        row("double quotes", "print \"«表»示\";");
        row("double quotes, compensated", "print \"表\\示 ソ\\フト\";");
        row("every character the issue names",
            "$a = \"«ソ»«表»«能»«予»«十»«申»«構»«貼»«暴»«―»«Ⅸ»«噂»«欺»«圭»«蚕»«曾»«箪»«禄»«兔»\";");
        row("ordinary Japanese", "print \"アイウ漢字ー\";");
        row("escaped quote before it", "print \"a\\\"«表»示\";");
        row("backslash before it", "print \"\\«表»示\";");
        row("escapes its closing quote", "print \"«表»\"; print '«表»示';");
        row("string across lines", "print \"a\n«表»示\nb\";\n'表示';");
        row("backticks", "$x = `echo «表»示`;");
        row("qq nests braces", "qq{a{b}«能»力}");
        row("q nests braces", "q{a{b}«表»}");
        row("qx", "qx(ls «表»示)");
        row("m with any delimiter", "$x =~ m!«表»示!;");
        row("qr", "qr/«申»請/i");
        row("s, both parts", "s/«表»示/«能»力/g;");
        row("s with braces over two lines", "s{«表»x} # why\n{«能»y}g; '表示'");
        row("tr and y", "tr/«ソ»a/«十»b/; y/«予»c/d/;");
        row("s modifiers are not an operator", "$x =~ m/a/s; '表示';");
        row("single quotes inside", "print '表示ソフト';");
        row("single quote before its close", "$a = '«ソ»';");
        row("single quote, compensated", "$a = 'ソ\\'; $b = q(表\\);");
        row("q before its close", "$a = q(«表»);");
        row("qw", "@a = qw(ソ\\ 表示 «能»);");
        row("comment", "# \"表\" 'ソ'\nprint 1; # \"能\"");
        row("hash inside a string", "print \"#«表»示\";");
        row("pod", "=pod\n\"表\"\n=cut\nprint \"«表»示\";");
        row("after __END__", "print 1;\n__END__\nprint \"表示\";");
        row("after __DATA__", "__DATA__\n\"表示\"");
        row("bare here-document", "print <<EOT;\n«表»示 \"\nEOT\nprint '表示';");
        row("quoted here-document", "print <<\"EOT\";\n«能»力\nEOT");
        row("single-quoted here-document", "print <<'EOT';\n表示'\nEOT\nprint \"«表»示\";");
        row("indented here-document", "print <<~EOT;\n  «表»示\n  EOT\n'表示'");
        row("two here-documents on a line", "f(<<A, <<'B');\n«表»示\nA\n表示\nB\n\"«能»力\"");
        row("here-document while a string is open", "f(<<A, \"x\n«表»示\nA\n«能»力\");");
        row("division", "$a = $b / 2; $c = '表示'; # /");
        row("defined-or", "$a = $b // 2; $c = '表示'; # /");
        row("pattern after an opening bracket", "split(/«表»示/, $x);");
        row("pattern after split", "@a = split /«表»示/, $x;");
        row("pattern after an operator", "if ($x =~ /a/ && $y) { print '表示' }");
        row("punctuation variables", "$x = $'; $y = $\"; print $#a; print \"«表»示\";");
        row("hash keys named like operators", "$h{s} = 1; %h = (y => '表示');");
        row("method named s", "$q->s('表示');");
        row("file test", "if (-s $f) { print '表示' }");
        // Every text the menus insert, as committed beside the snippet tests: none is marked.
        const QString all = decodeCp932(readBytes(QFINDTESTDATA("data/snippets.cp932"))).text;
        for (const QString& item : all.split(QStringLiteral("=== "), Qt::SkipEmptyParts)) {
            QTest::newRow(qPrintable(item.section(u'\r', 0, 0))) << item.section(u'\n', 1);
        }
    }

    void marks() {
        const auto [fragment] = fetchRow<std::tuple<QString>>();
        QByteArray bytes = QString(fragment).remove(u'«').remove(u'»').toUtf8();
        PerlBackslashScanner scanner(backslashTrailChars());
        const std::vector<ByteRange> ranges = scanner.scanText(view(bytes));
        for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
            bytes.insert(range->start + range->length, "»").insert(range->start, "«");
        }
        QCOMPARE(QString::fromUtf8(bytes), fragment);
    }

    void rescanAfterEdit() {
        PerlBackslashScanner scanner(backslashTrailChars());
        QList<QByteArray> lines = {"$a = 1;\r\n",      "# note\r\n",        "print '表示';\r\n",
                                   "print \"x\";\r\n", "print '表示';\r\n", "$b = 2;"};
        PerlLineStates states(scanner);
        states.reset(static_cast<int>(lines.size()));
        LineMarks marks;
        QCOMPARE(scanLines(states, lines, marks), 6);
        QVERIFY(states.done());

        // Inside a comment: the next line starts as before, so the rescan ends there.
        lines[1] = "# note '表示'\r\n";
        states.edited(1, 0);
        QCOMPARE(scanLines(states, lines, marks), 1);
        QVERIFY(marks[1].empty());

        // A string opened on line 0 runs to line 3 and the one opened there to the end: every
        // later line starts differently, and each 表 now stands inside double quotes.
        lines[0] = "$a = \"1;\r\n";
        states.edited(0, 0);
        QCOMPARE(scanLines(states, lines, marks), 6);
        QCOMPARE(marks[1].size() + marks[2].size() + marks[4].size(), 3u);

        // A line typed at the start of line 2, then line 4 deleted, as the text area reports them.
        lines.insert(2, "\"\r\n");
        marks.insert(2, {});
        states.edited(2, 1);
        scanLines(states, lines, marks);
        lines.removeAt(4);
        marks.removeAt(4);
        states.edited(4, -1);
        QCOMPARE(scanLines(states, lines, marks), 1);
        PerlLineStates fresh(scanner);
        fresh.reset(static_cast<int>(lines.size()));
        LineMarks expected;
        scanLines(fresh, lines, expected);
        QCOMPARE(marks, expected);
        QCOMPARE(expected[1].size(), 1u);
    }

    void textAreaMarksAndExplains() {
        Fixture f;
        f.setDocument(QStringLiteral("print \"表示\";\r\n"), 8, 8);
        QsciScintilla* editor = f.text().widget();
        const auto markAt = [editor](unsigned long byte) {
            return editor->SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT,
                                         BackslashMarks::kIndicator, byte);
        };
        QTRY_VERIFY(markAt(7) != 0);  // 表 at byte 7, 示 at byte 10
        QCOMPARE(markAt(10), 0);
        QVERIFY(!f.text().canUndo());
        emit editor->SCN_DWELLSTART(7, 0, 0);
        QVERIFY(editor->SendScintilla(QsciScintillaBase::SCI_CALLTIPACTIVE) != 0);
        f.text().replaceSelection(QStringLiteral("\\"));
        QTRY_COMPARE(markAt(7), 0);
        f.text().undo();
        QTRY_VERIFY(markAt(7) != 0);
        QCOMPARE(f.text().text(), QStringLiteral("print \"表示\";\r\n"));
    }

    // An opened file replaces the document whole: it is scanned afresh, even when it has as
    // many lines as the document before it.
    void openedFileMarked() {
        Fixture f;
        f.setDocument(QStringLiteral("x;\r\n"), 0, 0);
        QTest::qWait(100);  // the scan of that document is over
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.cgi"));
        writeBytes(path, QByteArray("print \"\x95\x5C\x8E\xA6\";\r\n"));
        f.dialogs.pushText(path);
        f.choose("mnuOpen");
        QCOMPARE(f.text().text(), QStringLiteral("print \"表示\";\r\n"));
        QTRY_VERIFY(f.text().widget()->SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT,
                                                     BackslashMarks::kIndicator, 7UL) != 0);
    }
};

ONDREL_TEST_MAIN(PerlBackslashTest)
#include "test_perl_backslash.moc"

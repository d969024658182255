#include <Qsci/qsciscintilla.h>
#include <QContextMenuEvent>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>

#include "cp932_text.h"
#include "documents/cp932.h"
#include "editing/backslash_marks.h"
#include "fixture.h"
#include "perl/perl_backslash.h"
#include "perl/perl_line_states.h"
#include "test_files.h"
#include "test_main.h"

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

// One case of data/perl_marks.txt: a block of "name: ", "perl: " and "text: " fields, the
// text running over the lines up to the next name.
struct MarksCase {
    QString name;
    QString perl;
    QString text;
};

QList<MarksCase> readMarksCases(const QString& path) {
    QList<MarksCase> cases;
    const QString all = QString::fromUtf8(readBytes(path));
    for (const QString& line : all.split(u'\n')) {
        if (line.startsWith(QLatin1String("name: "))) {
            cases.append({line.mid(6), {}, {}});
        } else if (cases.isEmpty()) {
            continue;  // the description
        } else if (line.startsWith(QLatin1String("perl: "))) {
            cases.back().perl = line.mid(6);
        } else if (line.startsWith(QLatin1String("text: "))) {
            cases.back().text = line.mid(6);
        } else {
            cases.back().text += u'\n' + line;
        }
    }
    for (MarksCase& c : cases) {
        c.text.chop(c.text.endsWith(u'\n') ? 1 : 0);
    }
    return cases;
}

// How the cases open a mark of each kind: «表» escapes, «d:ポ», «p:ポ» and «a:機».
constexpr const char* kMarkOpens[] = {"«", "«d:", "«p:", "«a:"};

// Whether perl -w runs a fragment's code page 932 bytes cleanly (no failure, no warning) and
// prints exactly expected.
bool perlPrints(const QString& fragment, const QString& expected) {
    QTemporaryDir dir;
    writeBytes(dir.filePath(QStringLiteral("t.pl")), encodeCp932(fragment).bytes);
    QProcess perl;
    perl.setStandardInputFile(QProcess::nullDevice());
    perl.start(QStringLiteral("perl"),
               {QStringLiteral("-w"), dir.filePath(QStringLiteral("t.pl"))});
    perl.waitForFinished(10000);
    return perl.exitStatus() == QProcess::NormalExit && perl.exitCode() == 0 &&
           perl.readAllStandardError().isEmpty() &&
           decodeCp932(perl.readAllStandardOutput()).text == expected;
}

}  // namespace

class PerlBackslashTest : public QObject {
    Q_OBJECT
private slots:
    // The cases of data/perl_marks.txt, then every text the menus insert.
    void marks_data() {
        QTest::addColumn<QString>("fragment");
        QTest::addColumn<QString>("perlOutput");
        for (const MarksCase& c : readMarksCases(QFINDTESTDATA("../data/perl_marks.txt"))) {
            QTest::newRow(qPrintable(c.name)) << c.text << c.perl;
        }
        // Every text the menus insert, as committed beside the snippet tests: none is marked.
        const QString all = decodeCp932(readBytes(QFINDTESTDATA("../data/snippets.cp932"))).text;
        for (const QString& item : all.split(QStringLiteral("=== "), Qt::SkipEmptyParts)) {
            QTest::newRow(qPrintable(item.section(u'\r', 0, 0)))
                << item.section(u'\n', 1) << QString();
        }
    }

    // In each fragment the characters between « and » must be marked, each with its kind, and
    // no others. Where perl's output is given, perl judges the fragment as well: unmarked, it
    // must print exactly that, cleanly; marked, it must not.
    void marks() {
        QFETCH(QString, fragment);
        QFETCH(QString, perlOutput);
        const QString plain =
            QString(fragment).remove(QRegularExpression(QStringLiteral("«([dpa]:)?|»")));
        QByteArray bytes = plain.toUtf8();
        PerlBackslashScanner scanner(asciiTrailChars());
        const std::vector<ByteRange> ranges = scanner.scanText(view(bytes));
        for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
            bytes.insert(range->start + range->length, "»")
                .insert(range->start, kMarkOpens[static_cast<int>(range->kind)]);
        }
        QCOMPARE(QString::fromUtf8(bytes), fragment);
        if (!perlOutput.isEmpty()) {
            QCOMPARE(perlPrints(plain, perlOutput), ranges.empty());
        }
    }

    void rescanAfterEdit() {
        PerlBackslashScanner scanner(asciiTrailChars());
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

    // A brace deeper on each line gives each line a state of its own; an edit at the top gives
    // each another, more than one byte numbers: the states are renumbered and the numbers
    // widened on the way. A rescan from a line kept across that must still find the string's
    // end where a fresh scan does, on the line of braces before the last.
    void manyLineStates() {
        PerlBackslashScanner scanner(asciiTrailChars());
        QList<QByteArray> lines = {"print qq{\n"};
        for (int i = 0; i < 200; ++i) {
            lines.append("{\n");
        }
        lines.append(QByteArray(198, '}') + '\n');
        lines.append("print '表';\n");
        PerlLineStates states(scanner);
        states.reset(static_cast<int>(lines.size()));
        LineMarks marks;
        scanLines(states, lines, marks);
        lines[0] = "print q{\n";
        states.edited(0, 0);
        lines.removeAt(1);
        marks.removeAt(1);
        states.edited(0, -1);
        scanLines(states, lines, marks);
        lines[5] = "}\n";
        states.edited(5, 0);
        scanLines(states, lines, marks);
        PerlLineStates fresh(scanner);
        fresh.reset(static_cast<int>(lines.size()));
        LineMarks expected;
        scanLines(fresh, lines, expected);
        QCOMPARE(marks, expected);
        QCOMPARE(marks.back().size(), 1u);
    }

    // Each mark shows its kind, explains itself, and where the caret or the click is on a
    // backslash mark the context menu offers the backslash after it, as one undo step.
    void textAreaMarks_data() {
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("clickedByte");
        QTest::addColumn<QString>("after");
        addRow("caret after the mark", 8, 15, QStringLiteral("print \"表\\示\" =~ /ポ/;\r\n"));
        addRow("click on the mark", 0, 7, QStringLiteral("print \"表\\示\" =~ /ポ/;\r\n"));
        addRow("click on another kind", 0, 19, QString());
    }
    void textAreaMarks() {
        QFETCH(int, caret);
        QFETCH(int, clickedByte);
        QFETCH(QString, after);
        Fixture f;
        const QString text = QStringLiteral("print \"表示\" =~ /ポ/;\r\n");
        f.setDocument(text, caret, caret);
        QsciScintilla* editor = f.text().widget();
        const auto markAt = [editor](unsigned long byte) {
            return editor->SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT,
                                         BackslashMarks::kIndicator, byte);
        };
        // 表 at byte 7 escapes, ポ at byte 19 is a pattern's bar; 示 at byte 10 is not marked.
        QTRY_VERIFY(markAt(7) != 0);
        QCOMPARE(markAt(7), static_cast<long>(MarkKind::Escape) + 1);
        QCOMPARE(markAt(10), 0);
        QCOMPARE(markAt(19), static_cast<long>(MarkKind::Pattern) + 1);
        QVERIFY(!f.text().canUndo());
        emit editor->SCN_DWELLSTART(19, 0, 0);
        QVERIFY(editor->SendScintilla(QsciScintillaBase::SCI_CALLTIPACTIVE) != 0);

        const QPoint click(
            editor->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, clickedByte) + 2,
            editor->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, clickedByte) + 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, click,
                                editor->viewport()->mapToGlobal(click));
        QApplication::sendEvent(editor->viewport(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        const bool offered =
            menu->actions().first()->text() == QStringLiteral("直後に \\ を挿入(&B)");
        QCOMPARE(offered, !after.isEmpty());
        if (offered) {
            menu->actions().first()->trigger();
        }
        menu->close();
        QCOMPARE(f.text().text(), offered ? after : text);
        if (offered) {
            QTRY_COMPARE(markAt(7), 0);
            f.text().undo();
            QTRY_VERIFY(markAt(7) != 0);
            QCOMPARE(f.text().text(), text);
        }
    }

    // An opened file replaces the document whole: it is scanned afresh, even when it has as
    // many lines as the document before it.
    void openedFileMarked() {
        Fixture f;
        f.setDocument(QStringLiteral("x;\r\n"), 0, 0);
        const auto* marks = f.text().widget()->findChild<BackslashMarks*>();
        QTRY_VERIFY(marks != nullptr && marks->idle());  // the scan of that document is over
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.cgi"));
        writeBytes(path, QByteArray("print \"\x95\x5C\x8E\xA6\";\r\n"));
        f.dialogs.pushText(path);
        f.choose("mnuOpen");
        QCOMPARE(f.text().text(), QStringLiteral("print \"表示\";"));
        QTRY_VERIFY(f.text().widget()->SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT,
                                                     BackslashMarks::kIndicator, 7UL) != 0);
    }
};

ONDREL_TEST_MAIN(PerlBackslashTest)
#include "test_perl_backslash.moc"

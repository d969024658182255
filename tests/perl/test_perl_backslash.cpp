#include <QProcess>
#include <QRegularExpression>

#include "cp932_text.h"
#include "perl/perl_backslash.h"
#include "perl/perl_line_states.h"
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

LineMarks scanAfresh(PerlLineStates& states, const QList<QByteArray>& lines) {
    LineMarks marks;
    states.reset(static_cast<int>(lines.size()));
    scanLines(states, lines, marks);
    return marks;
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
    // The cases of data/perl_marks.txt (blocks of "name: ", "perl: " and "text: " fields, the
    // text running up to the next name), then every text the menus insert.
    void marks_data() {
        QTest::addColumn<QString>("fragment");
        QTest::addColumn<QString>("perlOutput");
        const QString cases = QString::fromUtf8(readBytes(testData("perl_marks.txt")));
        for (const QString& block : cases.split(QStringLiteral("\nname: ")).mid(1)) {
            QStringList lines = block.split(u'\n');
            const QString name = lines.takeFirst();
            const QString perl = lines[0].startsWith(u"perl: ") ? lines.takeFirst().mid(6) : "";
            QString text = lines.join(u'\n').mid(6);  // after "text: "
            text.chop(text.endsWith(u'\n') ? 1 : 0);
            QTest::newRow(qPrintable(name)) << text << perl;
        }
        // Every text the menus insert, as committed beside the snippet tests: none is marked.
        const QString all = decodeCp932(readBytes(testData("snippets.cp932"))).text;
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
        LineMarks marks = scanAfresh(states, lines);
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
        QCOMPARE(marks, scanAfresh(fresh, lines));
        QCOMPARE(marks[1].size(), 1u);
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
        LineMarks marks = scanAfresh(states, lines);
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
        QCOMPARE(marks, scanAfresh(fresh, lines));
        QCOMPARE(marks.back().size(), 1u);
    }
};

ONDREL_TEST_GUILESS_MAIN(PerlBackslashTest)
#include "test_perl_backslash.moc"

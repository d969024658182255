#include <Qsci/qsciscintilla.h>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>

#include "editing/backslash_marks.h"
#include "editing/edit_commands.h"
#include "fixture.h"

using namespace ondrel;

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    void replaceAll_data() {
        addRowsFromFile("replace_all.tsv");
        // A first byte that starts near misses everywhere: the search changes its way part through.
        addRow("near misses", QStringLiteral("aaaaaaaaaaaaab").repeated(1000), QString("aaaaaaab"),
               QString("X"), QStringLiteral("aaaaaaX").repeated(1000));
    }

    // Through the two prompts in order, each with its own text and no default; an empty answer
    // cancels. The caret goes home, unless a prompt was cancelled; one Undo takes all back.
    void replaceAll() {
        Fixture f;
        f.setDocument(field("text"), 1, 2);
        f.dialogs.pushText(field("search"));
        f.dialogs.pushText(field("replacement"));
        f.choose("mnuokikae");
        QCOMPARE(f.text().text(), field("expected"));
        const bool cancelled = field("search").isEmpty() || field("replacement").isEmpty();
        QCOMPARE(f.text().selectionStart(), cancelled ? 1 : 0);
        QCOMPARE(f.text().selectionEnd(), cancelled ? 2 : 0);
        const auto& calls = f.dialogs.calls();
        QCOMPARE(calls.size(), field("search").isEmpty() ? 1 : 2);
        for (qsizetype i = 0; i < calls.size(); ++i) {
            QCOMPARE(calls[i].text, i == 0 ? "検索する文字列" : "置換後の文字列");
            QCOMPARE(calls[i].title, QStringLiteral("検索置換"));
            QCOMPARE(calls[i].defaultText, QString());
        }
        f.choose("mnuUndo");
        QCOMPARE(f.text().text(), field("text"));
    }

    void clipboard_data() { addRowsFromFile("clipboard.tsv"); }

    void clipboard() {
        Fixture f;
        auto* before = new QMimeData;
        if (field("before") == "<picture>") {
            before->setImageData(QImage(2, 2, QImage::Format_RGB32));
        } else {
            before->setText(field("before"));
        }
        QGuiApplication::clipboard()->setMimeData(before);
        f.setDocument(QStringLiteral("a\r\nb"), field("from").toInt(), field("to").toInt());
        f.choose(qPrintable(field("item")));
        QCOMPARE(f.text().text(), field("document"));
        QCOMPARE(QGuiApplication::clipboard()->text(), field("after"));
        QCOMPARE(QString::number(f.text().caretPosition()), field("caret"));
    }

    void dateTimeStamp() {
        QCOMPARE(EditCommands::dateTimeStamp(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7))),
                 QStringLiteral("2026/12/06 9:05:07"));
        QCOMPARE(EditCommands::dateTimeStamp(QDateTime(QDate(2027, 1, 31), QTime(23, 59, 0))),
                 QStringLiteral("2027/01/31 23:59:00"));
        // Through the menu: today's stamp replaces the selection, the caret after it.
        Fixture f;
        f.setDocument(QStringLiteral("[x]"), 1, 2);
        const QString year = QString::number(QDate::currentDate().year());
        f.choose("mnutimedate");
        const QString text = f.text().text();
        QVERIFY2(text.startsWith(QStringLiteral("[") + year) && text.endsWith(QLatin1Char(']')) &&
                     text.size() >= 18,
                 qPrintable(text));
        QCOMPARE(f.text().caretPosition(), text.size() - 1);
    }

    // Each size step, then the limits. The colour dialog starts from the colour the text is
    // drawn in (Scintilla's style 0, as BGR); a cancel keeps it, and so does a new size. Neither
    // the text nor the selection moves.
    void sizeAndColour() {
        Fixture f;
        f.setDocument(QStringLiteral("abc"), 1, 2);
        const std::pair<const char*, int> steps[] = {
            {"mnubig", 12}, {"mnubig", 14},  {"mnubig", 16},  {"mnunami", 9},
            {"mnubig", 12}, {"mnusmall", 8}, {"mnusmall", 7}, {"mnusmall", 6}};
        for (const auto& [item, size] : steps) {
            f.choose(item);
            QCOMPARE(f.text().pointSize(), size);
        }
        for (const auto& [item, limit] : {std::pair{"mnubig", 25}, std::pair{"mnusmall", 2}}) {
            f.choose("mnunami");
            for (int i = 0; i < 12; ++i) {
                f.choose(item);
            }
            QCOMPARE(f.text().pointSize(), limit);
        }
        const auto drawn = [&f] {
            const long bgr =
                f.text().widget()->SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, 0UL);
            return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF).name();
        };
        QStringList seen;  // the dialog's first colour and the colour drawn after it
        for (const auto& answer : {ScriptedDialogs::cancel(), ScriptedDialogs::color(Qt::red),
                                   ScriptedDialogs::cancel()}) {
            f.dialogs.push(answer);
            f.choose("mnucolor");
            seen << f.dialogs.calls().last().initialColor.name() + ' ' + drawn();
        }
        f.choose("mnubig");
        seen << drawn();
        QCOMPARE(seen,
                 QStringList({"#000000 #000000", "#000000 #ff0000", "#ff0000 #ff0000", "#ff0000"}));
        QCOMPARE(f.text().text(), QStringLiteral("abc"));
        QCOMPARE(f.text().selectionStart(), 1);
        QCOMPARE(f.text().selectionEnd(), 2);
    }

    // An opened file is scanned afresh, though it has as many lines as the document before it.
    // Each mark shows its kind, explains itself, and where the caret or the click is on a
    // backslash mark the context menu offers the backslash after it, as one undo step.
    void textAreaMarks_data() { addRowsFromFile("backslash_remedies.tsv"); }
    void textAreaMarks() {
        const int caret = field("caret").toInt();
        const int clickedByte = field("clickedByte").toInt();
        const QString after = field("after");
        Fixture f;
        f.setDocument(QStringLiteral("x;"), 0, 0);
        const auto* marks = f.text().widget()->findChild<BackslashMarks*>();
        QTRY_VERIFY(marks != nullptr && marks->idle());  // the scan of that document is over
        f.open(f.path("a.cgi"), "print \"\x95\x5C\x8E\xA6\" =~ /\x83\x7C/;\r\n");
        const QString text = QStringLiteral("print \"表示\" =~ /ポ/;");
        QCOMPARE(f.text().text(), text);
        f.text().select(caret, caret);
        QsciScintilla* editor = f.text().widget();
        const auto markAt = [editor](unsigned long byte) {
            return editor->SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT,
                                         BackslashMarks::kIndicator, byte);
        };
        // 表 at byte 7 escapes, ポ at byte 19 is a pattern's bar; 示 at byte 10 is not marked.
        QTRY_COMPARE(markAt(7), static_cast<long>(MarkKind::Escape) + 1);
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
};

ONDREL_TEST_MAIN(EditingTest)
#include "test_editing.moc"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>
#include <QAccessible>
#include <QClipboard>
#include <QInputMethodEvent>

#include "fixture.h"
#include "text/insert_at_caret.h"

using namespace ondrel;
using Sci = QsciScintillaBase;

class TextBoxTest : public QObject {
    Q_OBJECT
    const qsizetype m_defaultLimit = TextBox::maxUtf8Length();

private slots:
    void cleanup() { TextBox::setMaxUtf8Length(m_defaultLimit); }

    void composition_data() { addRowsFromFile("typing.tsv"); }
    void composition() {
        QString before = field("before");
        Fixture f;
        QsciScintilla* editor = f.text().widget();
        const int caret = static_cast<int>(before.indexOf(u'|'));
        f.setDocument(before.remove(u'|'), caret, caret);
        for (const QString& step : field("steps").split(u' ')) {
            const QString arg = step.section(u':', 1);
            if (step.startsWith(u"p:") || step.startsWith(u"c:")) {
                QInputMethodEvent event(step[0] == u'p' ? arg : QString(), {});
                event.setCommitString(step[0] == u'c' ? arg : QString());
                QApplication::sendEvent(editor, &event);
            } else if (step.startsWith(u"k:")) {
                QTest::keyClicks(editor, arg);
            } else if (step.startsWith(u"K:")) {
                const QKeyCombination key = QKeySequence(arg)[0];
                QTest::keyClick(editor, key.key(), key.keyboardModifiers());
            } else if (step == u"click") {
                QTest::mouseClick(editor->viewport(), Qt::LeftButton, {},
                                  {editor->viewport()->width() - 4, 4});
            } else if (step.startsWith(u"s:")) {
                f.text().select(caret, arg.toInt());
            } else if (step == u"u") {
                f.choose("mnuUndo");
            } else if (step.startsWith(u"i:")) {
                InsertAtCaret(f.text(), arg);
                QCOMPARE(f.text().selectionStart(), f.text().selectionEnd());
            }
        }
        QCOMPARE(f.text().text().insert(f.text().caretPosition(), u'|'), field("after"));
    }

    // The keys the text area binds itself: a text box's (the data file lists them); the menus'
    // Ctrl keys are not among them.
    void textAreaKeys() {
        Fixture f;
        QStringList bound;
        for (QsciCommand* command : f.text().widget()->standardCommands()->commands()) {
            bound << QKeySequence(command->key()).toString()
                  << QKeySequence(command->alternateKey()).toString();
        }
        bound.removeAll(QString());
        QStringList textBox = QString::fromUtf8(readBytes(testData("text_area_keys.txt")))
                                  .split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        bound.sort();
        textBox.sort();
        QCOMPARE(bound, textBox);
    }

    void screenReaderGetsTextInterface() {
        Fixture f;
        QsciScintilla* editor = f.text().widget();
        // The notifications QScintilla turns into character counts: those sent after an edit.
        const long edits = Sci::SC_MOD_INSERTTEXT | Sci::SC_MOD_DELETETEXT;
        for (const int step : {0, 1, 2}) {  // before a screen reader starts, while it runs, after
            if (step > 0) {
                QAccessible::setActive(step == 1);
            }
            QCOMPARE(QAccessible::queryAccessibleInterface(editor)->textInterface() != nullptr,
                     step == 1);
            QCOMPARE(editor->SendScintilla(Sci::SCI_GETMODEVENTMASK) & edits,
                     step == 1 ? edits : 0);
        }
    }

    void sizeLimitAtEveryEntry_data() { addRowsFromFile("size_limit_entries.tsv"); }

    void sizeLimitAtEveryEntry() {
        const QString entry = field("entry");
        const QString answers = field("answers");
        const int beyond = field("beyond").toInt();
        Fixture f;
        const QString path = f.path("sjis.cgi");
        writeBytes(path, QByteArray("\x93\xfa\x96\x7b\x8c\xea") + "abc\r\n");  // 日本語abc
        QGuiApplication::clipboard()->setText(QStringLiteral("日本語\r\n"));
        // A document with an undo history and the second X selected (the caret before it for keys,
        // which the text area handles itself by deleting the selection first).
        const bool key = !entry.startsWith(u"mnu");
        const int selectionEnd = key ? 3 : 4;
        const auto prepareAndRun = [&] {
            f.setDocument(QStringLiteral("aXbXc\r\n"), 1, 2);
            InsertAtCaret(f.text(), QStringLiteral("Y"));
            f.text().setUnmodified();  // Open would first ask about the changes
            f.text().select(3, selectionEnd);
            f.dialogs.clear();
            for (const QString& answer : answers.isEmpty() ? QStringList() : answers.split(u'|')) {
                f.dialogs.push(answer.isEmpty()
                                   ? ScriptedDialogs::cancel()
                                   : ScriptedDialogs::text(answer == "<file>" ? path : answer));
            }
            if (entry == "typing") {
                QTest::keyClick(f.text().widget(), Qt::Key_Z);
            } else if (key) {
                QTest::keyClick(f.text().widget(), Qt::Key_Insert, Qt::ShiftModifier);
            } else {
                f.choose(qPrintable(entry));
            }
            QCoreApplication::processEvents();
        };
        prepareAndRun();
        const qsizetype limit = f.text().text().toUtf8().size() - beyond;
        TextBox::setMaxUtf8Length(limit);
        prepareAndRun();
        QList<ScriptedDialogs::Call> messages = f.dialogs.calls();
        messages.removeIf([](const auto& call) { return call.kind != QLatin1String("message"); });
        if (beyond == 0) {
            QCOMPARE(f.text().text().toUtf8().size(), limit);
            QCOMPARE(messages.size(), 0);
            QVERIFY(entry != "mnuokikae" ||
                    f.dialogs.progressLabels.contains(QStringLiteral("置換しています…")));
            return;
        }
        QCOMPARE(f.text().text(), QStringLiteral("aYbXc\r\n"));
        QCOMPARE(f.text().selectionStart(), 3);
        QCOMPARE(f.text().selectionEnd(), selectionEnd);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].title, QStringLiteral("エラー！"));
        QVERIFY2(messages[0].text.contains(QString::number(limit)), qPrintable(messages[0].text));
        f.text().undo();  // nothing turned away left an undo step of its own
        QCOMPARE(f.text().text(), QStringLiteral("aXbXc\r\n"));
    }
};

ONDREL_TEST_MAIN(TextBoxTest)
#include "test_text_box.moc"

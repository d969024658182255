#include <Qsci/qsciscintilla.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>

#include "editing/edit_commands.h"
#include "editing/replace_all.h"
#include "fixture.h"
#include "test_main.h"

using namespace ondrel;

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    void replaceAllFunction_data();
    void replaceAllFunction();
    void replaceThroughMenu();
    void replaceEndsQuietly_data();
    void replaceEndsQuietly();
    void replaceWithoutMatchMovesCaret();
    void clipboard_data();
    void clipboard();
    void pasteWithoutTextOnClipboard();
    void deleteSelection_data();
    void deleteSelection();
    void dateTimeStamp();
    void sizeSequence();
    void sizeLimits();
    void colour();
};

void EditingTest::replaceAllFunction_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("leftmost, no overlap") << "aaa"
                                          << "aa"
                                          << "b"
                                          << "ba";
    QTest::newRow("replaced text not searched again") << "aba"
                                                      << "a"
                                                      << "aa"
                                                      << "aabaa";
    QTest::newRow("case differs") << "use perl;"
                                  << "Perl"
                                  << "X"
                                  << "use perl;";
    QTest::newRow("inside a word") << "Perlish Perl"
                                   << "Perl"
                                   << "Ruby"
                                   << "Rubyish Ruby";
    QTest::newRow("trailing blank") << "my $a= $a ;"
                                    << "$a "
                                    << "$b "
                                    << "my $a= $b ;";
    QTest::newRow("full-width differs") << "ＡA"
                                        << "A"
                                        << "B"
                                        << "ＡB";
    QTest::newRow("hiragana and katakana differ") << "かカ"
                                                  << "カ"
                                                  << "ガ"
                                                  << "かガ";
    QTest::newRow("across crlf") << "a\r\nb\r\nc"
                                 << "\r\nb"
                                 << "-"
                                 << "a-\r\nc";
    QTest::newRow("whole text") << "xyz"
                                << "xyz"
                                << ""
                                << "";
    QTest::newRow("empty search") << "abc"
                                  << ""
                                  << "z"
                                  << "abc";
}

void EditingTest::replaceAllFunction() {
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    QCOMPARE(replaceAll(text, search, replacement), expected);
}

void EditingTest::replaceThroughMenu() {
    Fixture f;
    const QString before = QStringLiteral("$x = 1;\r\nprint $x;\r\n");
    f.setDocument(before, 10, 12);
    f.dialogs.pushText(QStringLiteral("$x"));
    f.dialogs.pushText(QStringLiteral("$count"));
    f.choose("mnuokikae");
    QCOMPARE(f.text().text(), QStringLiteral("$count = 1;\r\nprint $count;\r\n"));
    QCOMPARE(f.text().caretPosition(), 0);
    QCOMPARE(f.text().selectionEnd(), 0);
    const auto& calls = f.dialogs.calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].text, QStringLiteral("検索する文字列"));
    QCOMPARE(calls[1].text, QStringLiteral("置換後の文字列"));
    for (const auto& call : calls) {
        QCOMPARE(call.kind, QStringLiteral("prompt"));
        QCOMPARE(call.title, QStringLiteral("検索置換"));
        QCOMPARE(call.defaultText, QString());
    }
    f.choose("mnuUndo");
    QCOMPARE(f.text().text(), before);
}

void EditingTest::replaceEndsQuietly_data() {
    QTest::addColumn<QStringList>("answers");
    QTest::newRow("cancel at search") << QStringList{""};
    QTest::newRow("cancel at replacement") << QStringList{"a", ""};
}

void EditingTest::replaceEndsQuietly() {
    QFETCH(QStringList, answers);
    Fixture f;
    f.setDocument(QStringLiteral("banana"), 2, 4);
    for (const QString& answer : answers) {
        f.dialogs.pushText(answer);
    }
    f.choose("mnuokikae");
    QCOMPARE(f.text().text(), QStringLiteral("banana"));
    QCOMPARE(f.text().selectionStart(), 2);
    QCOMPARE(f.text().selectionEnd(), 4);
    QCOMPARE(f.dialogs.calls().size(), answers.size());
}

void EditingTest::replaceWithoutMatchMovesCaret() {
    Fixture f;
    f.setDocument(QStringLiteral("use perl;"), 5, 8);
    f.dialogs.pushText(QStringLiteral("Perl"));
    f.dialogs.pushText(QStringLiteral("Ruby"));
    f.choose("mnuokikae");
    QCOMPARE(f.text().text(), QStringLiteral("use perl;"));
    QCOMPARE(f.text().caretPosition(), 0);
    QCOMPARE(f.text().selectionEnd(), 0);
}

void EditingTest::clipboard_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<QString>("clipboardBefore");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("clipboardAfter");
    QTest::addColumn<int>("caret");
    QTest::newRow("copy") << "mnuCopy" << 1 << 3 << "old"
                          << "a\r\nb"
                          << "\r\n"
                          << 3;
    QTest::newRow("copy nothing empties clipboard") << "mnuCopy" << 2 << 2 << "old"
                                                    << "a\r\nb"
                                                    << "" << 2;
    QTest::newRow("cut") << "mnuCut" << 0 << 2 << "old"
                         << "\nb"
                         << "a\r" << 0;
    QTest::newRow("cut nothing") << "mnuCut" << 1 << 1 << "old"
                                 << "a\r\nb"
                                 << "" << 1;
    QTest::newRow("paste over selection") << "mnuPaste" << 0 << 1 << "x\ry\nz\r\n"
                                          << "x\ry\nz\r\n\r\nb"
                                          << "x\ry\nz\r\n"
                                          << 7;
    QTest::newRow("paste empty text") << "mnuPaste" << 0 << 1 << ""
                                      << "\r\nb"
                                      << "" << 0;
}

void EditingTest::clipboard() {
    QFETCH(QString, item);
    QFETCH(int, selStart);
    QFETCH(int, selEnd);
    QFETCH(QString, clipboardBefore);
    QFETCH(QString, document);
    QFETCH(QString, clipboardAfter);
    QFETCH(int, caret);
    Fixture f;
    QGuiApplication::clipboard()->setText(clipboardBefore);
    f.setDocument(QStringLiteral("a\r\nb"), selStart, selEnd);
    f.choose(item.toLatin1().constData());
    QCOMPARE(f.text().text(), document);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboardAfter);
    QCOMPARE(f.text().caretPosition(), caret);
}

void EditingTest::pasteWithoutTextOnClipboard() {
    Fixture f;
    auto* picture = new QMimeData;
    picture->setImageData(QImage(2, 2, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(picture);
    f.setDocument(QStringLiteral("keep[gone]"), 4, 10);
    f.choose("mnuPaste");
    QCOMPARE(f.text().text(), QStringLiteral("keep"));
    f.choose("mnuPaste");
    QCOMPARE(f.text().text(), QStringLiteral("keep"));
}

void EditingTest::deleteSelection_data() {
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<QString>("expected");
    QTest::newRow("selection removed") << 1 << 3 << "ad";
    QTest::newRow("nothing selected changes nothing") << 1 << 1 << "abcd";
    QTest::newRow("at the end") << 4 << 4 << "abcd";
}

void EditingTest::deleteSelection() {
    QFETCH(int, selStart);
    QFETCH(int, selEnd);
    QFETCH(QString, expected);
    Fixture f;
    QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
    f.setDocument(QStringLiteral("abcd"), selStart, selEnd);
    f.choose("mnuDelete");
    QCOMPARE(f.text().text(), expected);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("clip"));
}

void EditingTest::dateTimeStamp() {
    QCOMPARE(EditCommands::dateTimeStamp(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7))),
             QStringLiteral("2026/12/06 9:05:07"));
    QCOMPARE(EditCommands::dateTimeStamp(QDateTime(QDate(2027, 1, 31), QTime(23, 59, 0))),
             QStringLiteral("2027/01/31 23:59:00"));
    Fixture f;
    f.setDocument(QStringLiteral("[x]"), 1, 2);
    const QString before = EditCommands::dateTimeStamp(QDateTime::currentDateTime());
    f.choose("mnutimedate");
    const QString after = EditCommands::dateTimeStamp(QDateTime::currentDateTime());
    const QString inserted = f.text().text().mid(1, f.text().text().size() - 2);
    QVERIFY2(inserted == before || inserted == after, qPrintable(inserted));
    QCOMPARE(f.text().caretPosition(), 1 + inserted.size());
}

void EditingTest::sizeSequence() {
    Fixture f;
    f.setDocument(QStringLiteral("abc"), 1, 2);
    const char* items[] = {"mnubig", "mnubig",   "mnubig",   "mnunami",
                           "mnubig", "mnusmall", "mnusmall", "mnusmall"};
    const int sizes[] = {12, 14, 16, 9, 12, 8, 7, 6};
    for (int i = 0; i < 8; ++i) {
        f.choose(items[i]);
        QCOMPARE(f.text().pointSize(), sizes[i]);
    }
    QCOMPARE(f.text().text(), QStringLiteral("abc"));
    QCOMPARE(f.text().selectionStart(), 1);
    QCOMPARE(f.text().selectionEnd(), 2);
}

void EditingTest::sizeLimits() {
    Fixture f;
    for (int i = 0; i < 12; ++i) {
        f.choose("mnubig");
    }
    QCOMPARE(f.text().pointSize(), 25);
    f.choose("mnunami");
    for (int i = 0; i < 12; ++i) {
        f.choose("mnusmall");
    }
    QCOMPARE(f.text().pointSize(), 2);
}

void EditingTest::colour() {
    Fixture f;
    f.setDocument(QStringLiteral("text"), 1, 3);
    // The colour the text is drawn in: Scintilla's style 0, as BGR.
    auto drawn = [&f] {
        const long bgr = f.text().widget()->SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, 0UL);
        return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    };
    f.dialogs.push(ScriptedDialogs::cancel());
    f.choose("mnucolor");
    QCOMPARE(f.dialogs.calls().last().initialColor, QColor(Qt::black));
    QCOMPARE(drawn(), QColor(Qt::black));

    f.dialogs.push(ScriptedDialogs::color(Qt::red));
    f.choose("mnucolor");
    QCOMPARE(drawn(), QColor(Qt::red));
    f.dialogs.push(ScriptedDialogs::cancel());
    f.choose("mnucolor");
    QCOMPARE(f.dialogs.calls().last().initialColor, QColor(Qt::red));
    QCOMPARE(drawn(), QColor(Qt::red));

    f.choose("mnubig");  // a new size keeps the colour
    QCOMPARE(drawn(), QColor(Qt::red));
    QCOMPARE(f.text().text(), QStringLiteral("text"));
    QCOMPARE(f.text().selectionStart(), 1);
    QCOMPARE(f.text().selectionEnd(), 3);
}

ONDREL_TEST_MAIN(EditingTest)
#include "test_editing.moc"

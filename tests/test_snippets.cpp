#include <QTest>

#include "app/menu_table.h"
#include "fixture.h"
#include "test_main.h"
#include "text/insert_at_caret.h"

using namespace ondrel;

class SnippetsTest : public QObject {
    Q_OBJECT
private slots:
    void insertAtCaret_data();
    void insertAtCaret();
    void insertInPiecesIsContiguous();
    void environmentItemsInsertTheirVariable();
    void shebangInsideLine();
    void libraryLineEndsWithLineBreak();
    void sameItemTwice();
};

void SnippetsTest::insertAtCaret_data() {
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty document") << "" << 0 << 0 << "$ENV{'TZ'}"
                                    << "$ENV{'TZ'}";
    QTest::newRow("middle of line") << "abcdef" << 3 << 3 << "XY"
                                    << "abcXYdef";
    QTest::newRow("over selection") << "abcdef" << 1 << 4 << "Z"
                                    << "aZef";
    QTest::newRow("crlf kept") << "a\r\nb" << 1 << 1 << "\r\nx\r\n"
                               << "a\r\nx\r\n\r\nb";
    QTest::newRow("lone cr and lf kept") << "" << 0 << 0 << "a\rb\nc"
                                         << "a\rb\nc";
    QTest::newRow("japanese") << "漢字" << 1 << 1 << "ソ\\フト"
                              << "漢ソ\\フト字";
    QTest::newRow("nul is a character")
        << "ab" << 1 << 1 << QString::fromUtf8("x\0y", 3) << QString::fromUtf8("ax\0yb", 5);
    QTest::newRow("empty text deletes selection") << "abc" << 0 << 2 << ""
                                                  << "c";
}

void SnippetsTest::insertAtCaret() {
    QFETCH(QString, document);
    QFETCH(int, selStart);
    QFETCH(int, selEnd);
    QFETCH(QString, inserted);
    QFETCH(QString, expected);
    Fixture f;
    f.setDocument(document, selStart, selEnd);
    InsertAtCaret(f.text(), inserted);
    QCOMPARE(f.text().text(), expected);
    QCOMPARE(f.text().caretPosition(), selStart + inserted.size());
    QCOMPARE(f.text().selectionStart(), f.text().selectionEnd());
}

void SnippetsTest::insertInPiecesIsContiguous() {
    Fixture f;
    f.setDocument(QStringLiteral("[]"), 1, 1);
    InsertAtCaret(f.text(), QStringLiteral("one\r\n"));
    InsertAtCaret(f.text(), QStringLiteral("two\r\n"));
    InsertAtCaret(f.text(), QStringLiteral("three"));
    QCOMPARE(f.text().text(), QStringLiteral("[one\r\ntwo\r\nthree]"));
    QCOMPARE(f.text().caretPosition(), 1 + 15);
}

void SnippetsTest::environmentItemsInsertTheirVariable() {
    Fixture f;
    int items = 0;
    bool inEnvironmentMenu = false;
    for (const MenuItem& item : kMenuTable) {
        if (item.level <= 2) {
            inEnvironmentMenu = QByteArray(item.name) == "mnukankyo";
            continue;
        }
        if (!inEnvironmentMenu) {
            continue;
        }
        const QString name = QString::fromUtf8(item.caption);
        f.setDocument(QString(), 0, 0);
        f.choose(item.name);
        QCOMPARE(f.text().text(), QStringLiteral("$ENV{'") + name + QStringLiteral("'}"));
        QCOMPARE(f.text().caretPosition(), name.size() + 8);
        ++items;
    }
    QCOMPARE(items, 15);
}

void SnippetsTest::shebangInsideLine() {
    Fixture f;
    f.setDocument(QStringLiteral("ab\r\n"), 1, 1);
    f.choose("mnumesh");
    QCOMPARE(f.text().text(), QStringLiteral("a#!/usr/mesh/bin/perlb\r\n"));
    QCOMPARE(f.text().caretPosition(), 21);
}

void SnippetsTest::libraryLineEndsWithLineBreak() {
    Fixture f;
    f.setDocument(QStringLiteral("rest"), 0, 0);
    f.choose("mnufile_get");
    QCOMPARE(f.text().text(), QStringLiteral("require './ライブラリ名';\r\nrest"));
    QCOMPARE(f.text().caretPosition(), 21);
}

void SnippetsTest::sameItemTwice() {
    Fixture f;
    f.setDocument(QStringLiteral("x"), 0, 1);
    f.choose("mnupath1");
    f.choose("mnupath1");
    QCOMPARE(f.text().text(), QStringLiteral("#!/usr/bin/perl#!/usr/bin/perl"));
    QCOMPARE(f.text().caretPosition(), 30);
}

ONDREL_TEST_MAIN(SnippetsTest)
#include "test_snippets.moc"

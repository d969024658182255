#include <QTest>

#include "documents/cp932.h"
#include "fixture.h"
#include "snippets/assignments.h"
#include "snippets/templates.h"
#include "test_main.h"

using namespace ondrel;

namespace {

int countOf(const QString& haystack, const QString& needle) {
    return haystack.count(needle);
}

}  // namespace

class TemplatesTest : public QObject {
    Q_OBJECT
private slots:
    void insertedSizes_data();
    void insertedSizes();
    void pieceSeams_data();
    void pieceSeams();
    void backslashesPairWithShiftJisTrailBytes();
    void ideographicSpaces();
    void everyTemplateSavesAsCp932();
    void selectionReplacedOnce();
    void caretInsideLine();
    void oneUndoTakesBlockBack();
    void assignmentPrompts_data();
    void assignmentPrompts();
    void promptTextsTitlesDefaults();
};

void TemplatesTest::insertedSizes_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("characters");
    QTest::addColumn<int>("lines");
    QTest::newRow("header") << "mnuheader" << 38 << 1;
    QTest::newRow("get_time") << "mnuget_time" << 354 << 12;
    QTest::newRow("get_host") << "mnuhosget" << 268 << 10;
    QTest::newRow("formdata") << "mnuformdata" << 397 << 12;
    QTest::newRow("browza") << "mnubrowza" << 85 << 5;
    QTest::newRow("error") << "mnuerror" << 575 << 17;
    QTest::newRow("bulletin board") << "mnubbs" << -1 << 44;
    QTest::newRow("access counter") << "mnuaccesscnt" << 231 << 18;
    QTest::newRow("search engine") << "mnusearch" << -1 << 150;
}

void TemplatesTest::insertedSizes() {
    QFETCH(QString, item);
    QFETCH(int, characters);
    QFETCH(int, lines);
    Fixture f;
    f.setDocument(QString(), 0, 0);
    f.choose(item.toLatin1().constData());
    const QString text = f.text().text();
    if (characters >= 0) {
        QCOMPARE(text.size(), characters);
    }
    // Every line ends in CR LF: no lone CR or LF, and no tab anywhere.
    QCOMPARE(countOf(text, "\r\n"), lines);
    QCOMPARE(countOf(text, "\n"), lines);
    QCOMPARE(countOf(text, "\r"), lines);
    QVERIFY(!text.contains('\t'));
    QCOMPARE(f.text().caretPosition(), text.size());
}

void TemplatesTest::pieceSeams_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("bulletin board 1|2")
        << "mnubbs" << 639 << "$logfile = \"./bbs.log\";  #任意の場所\r\n\r\n"
        << "#methodの形式(POST or GET）\r\n";
    QTest::newRow("search engine 1|2") << "mnusearch" << 462 << "$method = 'POST';\r\n\r\n"
                                       << "#紹介コメントの制限文字数";
    QTest::newRow("search engine 2|3 inside the category list")
        << "mnusearch" << 462 + 551 << "\r\n$parts[10] = \"各種資料と情報源\";\r\n"
        << "$parts[11] = \"科学と技術\";\r\n";
    QTest::newRow("search engine 3|4")
        << "mnusearch" << 462 + 551 + 687 << "$alink = \"#DD0000\";    #リンク色(訪問中）\r\n\r\n"
        << "#横線の色\r\n";
}

void TemplatesTest::pieceSeams() {
    QFETCH(QString, item);
    QFETCH(int, offset);
    QFETCH(QString, before);
    QFETCH(QString, after);
    Fixture f;
    f.setDocument(QString(), 0, 0);
    f.choose(item.toLatin1().constData());
    const QString text = f.text().text();
    QVERIFY2(text.left(offset).endsWith(before), qPrintable(text.mid(offset - 60, 120)));
    QVERIFY2(text.mid(offset).startsWith(after), qPrintable(text.mid(offset - 60, 120)));
}

void TemplatesTest::backslashesPairWithShiftJisTrailBytes() {
    Fixture f;
    f.setDocument(QString(), 0, 0);
    f.choose("mnusearch");
    const QString text = f.text().text();
    QCOMPARE(countOf(text, QStringLiteral("ソ\\フト")), 1);
    QCOMPARE(countOf(text, QStringLiteral("芸能\\懸賞")), 1);
    QCOMPARE(countOf(text, QStringLiteral("\\")), 2);
    const Cp932Encoded saved = encodeCp932(text);
    QVERIFY(saved.ok());
    QCOMPARE(saved.bytes.count(QByteArray("\x83\x5C\x5C")), 1);  // ソ and its backslash
    QCOMPARE(saved.bytes.count(QByteArray("\x94\x5C\x5C")), 1);  // 能 and its backslash
}

void TemplatesTest::ideographicSpaces() {
    Fixture f;
    f.setDocument(QString(), 0, 0);
    f.choose("mnusearch");
    QCOMPARE(countOf(f.text().text(), QStringLiteral("\u3000")), 5);
    QVERIFY(f.text().text().contains(QStringLiteral("#\u3000〃 縦サイズ(ピクセル）")));
    f.setDocument(QString(), 0, 0);
    f.choose("mnubbs");
    QCOMPARE(countOf(f.text().text(), QStringLiteral("\u3000")), 1);
    QVERIFY(f.text().text().contains(QStringLiteral("#\u3000→絶対パス")));
    QVERIFY(f.text().text().contains(QStringLiteral("#  →bbs.cgi")));
}

void TemplatesTest::everyTemplateSavesAsCp932() {
    for (const std::vector<Template>* table : {&kRoutineTemplates, &kSettingsBlocks}) {
        for (const Template& entry : *table) {
            for (const TemplateLines& piece : entry.pieces) {
                QVERIFY2(encodeCp932(pieceText(piece)).ok(), entry.itemName);
            }
        }
    }
}

void TemplatesTest::selectionReplacedOnce() {
    Fixture f;
    f.setDocument(QStringLiteral("A[selected]B"), 1, 11);
    f.choose("mnubbs");
    const Template& bbs = kSettingsBlocks.front();
    const QString block = pieceText(bbs.pieces[0]) + pieceText(bbs.pieces[1]);
    QCOMPARE(f.text().text(), QStringLiteral("A") + block + QStringLiteral("B"));
    QCOMPARE(f.text().caretPosition(), 1 + block.size());
}

void TemplatesTest::caretInsideLine() {
    Fixture f;
    f.setDocument(QStringLiteral("ab"), 1, 1);
    f.choose("mnuheader");
    QCOMPARE(f.text().text(), QStringLiteral("aprint \"Content-type: text/html\\n\\n\";\r\nb"));
}

void TemplatesTest::oneUndoTakesBlockBack() {
    Fixture f;
    f.setDocument(QStringLiteral("keep"), 4, 4);
    f.choose("mnusearch");
    QVERIFY(f.text().text().size() > 1000);
    f.text().undo();
    QCOMPARE(f.text().text(), QStringLiteral("keep"));
}

void TemplatesTest::assignmentPrompts_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("inserted");

    QTest::newRow("single") << "mnuone" << QStringList{"$a", "1"} << "$a = \"1\";\r\n\r\n";
    QTest::newRow("default $ accepted") << "mnuone" << QStringList{"$"} << "";
    QTest::newRow("empty value") << "mnuone" << QStringList{"$a", ""} << "";
    QTest::newRow("no sigil added")
        << "mnuone" << QStringList{"count", "5"} << "count = \"5\";\r\n\r\n";
    QTest::newRow("dollar and blank passes")
        << "mnuone" << QStringList{"$ ", "x"} << "$  = \"x\";\r\n\r\n";
    QTest::newRow("quote kept unescaped") << "mnuone" << QStringList{"$q", "say \"hi\" \\n $x @y"}
                                          << "$q = \"say \"hi\" \\n $x @y\";\r\n\r\n";
    QTest::newRow("series of three")
        << "mnurenzoku" << QStringList{"3", "$a", "1", "$b", "2", "@c", "3"}
        << "$a = \"1\";\r\n\r\n$b = \"2\";\r\n\r\n@c = \"3\";\r\n\r\n";
    QTest::newRow("cancel at second of three")
        << "mnurenzoku" << QStringList{"3", "$a", "1", ""} << "$a = \"1\";\r\n\r\n";
    QTest::newRow("count 0") << "mnurenzoku" << QStringList{"0"} << "";
    QTest::newRow("negative count") << "mnurenzoku" << QStringList{"-2"} << "";
    QTest::newRow("empty count") << "mnurenzoku" << QStringList{""} << "";
    QTest::newRow("letters") << "mnurenzoku" << QStringList{"abc"} << "";
    QTest::newRow("fraction") << "mnurenzoku" << QStringList{"2.5"} << "";
    QTest::newRow("digits and text") << "mnurenzoku" << QStringList{"3x"} << "";
    QTest::newRow("overflowing") << "mnurenzoku" << QStringList{"99999999999"} << "";
}

void TemplatesTest::assignmentPrompts() {
    QFETCH(QString, item);
    QFETCH(QStringList, answers);
    QFETCH(QString, inserted);
    Fixture f;
    f.setDocument(QStringLiteral("<sel>"), 0, 5);
    for (const QString& answer : answers) {
        f.dialogs.pushText(answer);
    }
    f.choose(item.toLatin1().constData());
    // Every answer was asked for, and nothing more.
    QCOMPARE(f.dialogs.calls().size(), answers.size());
    QCOMPARE(f.dialogs.unexpectedCalls(), 0);
    const QString expected = inserted.isEmpty() ? QStringLiteral("<sel>") : inserted;
    QCOMPARE(f.text().text(), expected);
}

void TemplatesTest::promptTextsTitlesDefaults() {
    Fixture f;
    f.setDocument(QString(), 0, 0);
    for (const char* answer : {"1", "$n", "v"}) {
        f.dialogs.pushText(QString::fromLatin1(answer));
    }
    f.choose("mnurenzoku");
    const auto& calls = f.dialogs.calls();
    QCOMPARE(calls.size(), 3);
    const QString messages[3] = {QStringLiteral("何個変数を作りますか？"),
                                 QStringLiteral("変数名を入力してください。"),
                                 QStringLiteral("値を入力してください。")};
    const QString defaults[3] = {QString(), QStringLiteral("$"), QString()};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(calls[i].kind, QStringLiteral("prompt"));
        QCOMPARE(calls[i].text, messages[i]);
        QCOMPARE(calls[i].title, QStringLiteral("変数作成"));
        QCOMPARE(calls[i].defaultText, defaults[i]);
    }
    QCOMPARE(f.text().text(), assignmentText("$n", "v"));
}

ONDREL_TEST_MAIN(TemplatesTest)
#include "test_templates.moc"

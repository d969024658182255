#include <Qsci/qsciscintilla.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>

#include "editing/edit_commands.h"
#include "editing/replace_all.h"
#include "fixture.h"
#include "platform/qt_dialogs.h"
#include "test_main.h"

using namespace ondrel;

namespace {

const QString kBanana = QStringLiteral("banana $x\r\nperl $x;");

}  // namespace

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    void replaceAllMatches_data() {
        addRowsFromFile(QFINDTESTDATA("../data/replace_all.tsv"));
        // A first byte that starts near misses everywhere: the search changes its way part through.
        addRow("near misses", QStringLiteral("aaaaaaaaaaaaab").repeated(1000), QString("aaaaaaab"),
               QString("X"), QStringLiteral("aaaaaaX").repeated(1000));
    }

    void replaceAllMatches() {
        Fixture f;
        f.setDocument(field("text"), 0, 0);
        f.dialogs.pushText(field("search"));
        f.dialogs.pushText(field("replacement"));
        f.choose("mnuokikae");
        QCOMPARE(f.text().text(), field("expected"));
    }

    // The answers to the two prompts; the text and the selection after ("an" was selected).
    void replacePrompts_data() {
        addColumns<std::tuple<QStringList, QString, int, int>>();
        addRow("cancel at search", QStringList{""}, kBanana, 2, 4);
        addRow("cancel at replacement", QStringList{"a", ""}, kBanana, 2, 4);
        addRow("no match moves the caret home", QStringList{"Perl", "Ruby"}, kBanana, 0, 0);
        addRow("replaced, caret home", QStringList{"$x", "$count"}, "banana $count\r\nperl $count;",
               0, 0);
    }

    // The prompts in order, each with its own text and no default; one Undo takes all back.
    void replacePrompts() {
        const auto [answers, after, selStart, selEnd] =
            fetchRow<std::tuple<QStringList, QString, int, int>>();
        Fixture f;
        f.setDocument(kBanana, 2, 4);
        for (const QString& answer : answers) {
            f.dialogs.pushText(answer);
        }
        f.choose("mnuokikae");
        QCOMPARE(f.text().text(), after);
        QCOMPARE(f.text().selectionStart(), selStart);
        QCOMPARE(f.text().selectionEnd(), selEnd);
        const auto& calls = f.dialogs.calls();
        QCOMPARE(calls.size(), answers.size());
        for (qsizetype i = 0; i < calls.size(); ++i) {
            QCOMPARE(calls[i].text, i == 0 ? "検索する文字列" : "置換後の文字列");
            QCOMPARE(calls[i].title, QStringLiteral("検索置換"));
            QCOMPARE(calls[i].defaultText, QString());
        }
        f.choose("mnuUndo");
        QCOMPARE(f.text().text(), kBanana);
    }

    // Through the program's own prompts: a pasted search string longer than a line edit takes
    // by default is searched whole, not cut to a shorter one that also matches.
    void replaceTakesLongPastedSearch() {
        Fixture f;
        const QString search(40001, u'a');
        f.setDocument(search + u'b', 0, 0);
        QStringList answers = {search, QStringLiteral("X")};
        QTimer paster;
        connect(&paster, &QTimer::timeout, [&answers] {
            auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (prompt != nullptr && !answers.isEmpty()) {
                QGuiApplication::clipboard()->setText(answers.takeFirst());
                prompt->findChild<QLineEdit*>()->paste();
                prompt->accept();
            }
        });
        paster.start(10);
        QtDialogs dialogs;
        ReplaceCommand(f.text(), dialogs).run();
        QCOMPARE(f.text().text(), QStringLiteral("Xb"));
    }

    void clipboard_data() { addRowsFromFile(QFINDTESTDATA("../data/clipboard.tsv")); }

    void clipboard() {
        Fixture f;
        QGuiApplication::clipboard()->setText(field("before"));
        f.setDocument(QStringLiteral("a\r\nb"), field("from").toInt(), field("to").toInt());
        f.choose(qPrintable(field("item")));
        QCOMPARE(f.text().text(), field("document"));
        QCOMPARE(QGuiApplication::clipboard()->text(), field("after"));
        QCOMPARE(QString::number(f.text().caretPosition()), field("caret"));
    }

    void pasteWithoutTextOnClipboard() {
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

    // Each size step, then the limits; neither the text nor the selection moves.
    void sizeSequenceAndLimits() {
        Fixture f;
        f.setDocument(QStringLiteral("abc"), 1, 2);
        const std::pair<const char*, int> steps[] = {
            {"mnubig", 12}, {"mnubig", 14},  {"mnubig", 16},  {"mnunami", 9},
            {"mnubig", 12}, {"mnusmall", 8}, {"mnusmall", 7}, {"mnusmall", 6}};
        for (const auto& [item, size] : steps) {
            f.choose(item);
            QCOMPARE(f.text().pointSize(), size);
        }
        QCOMPARE(f.text().text(), QStringLiteral("abc"));
        QCOMPARE(f.text().selectionStart(), 1);
        QCOMPARE(f.text().selectionEnd(), 2);
        for (const auto& [item, limit] : {std::pair{"mnubig", 25}, std::pair{"mnusmall", 2}}) {
            f.choose("mnunami");
            for (int i = 0; i < 12; ++i) {
                f.choose(item);
            }
            QCOMPARE(f.text().pointSize(), limit);
        }
    }

    void colour() {
        Fixture f;
        f.setDocument(QStringLiteral("text"), 1, 3);
        // The colour the text is drawn in: Scintilla's style 0, as BGR.
        auto drawn = [&f] {
            const long bgr =
                f.text().widget()->SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, 0UL);
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
};

ONDREL_TEST_MAIN(EditingTest)
#include "test_editing.moc"

#include <Qsci/qsciscintilla.h>
#include <QClipboard>
#include <QProgressDialog>

#include "documents/file_commands.h"
#include "fixture.h"
#include "platform/qt_dialogs.h"
#include "test_files.h"
#include "test_main.h"
#include "text/insert_at_caret.h"

using namespace ondrel;

class LongOperationsTest : public QObject {
    Q_OBJECT
    const qsizetype m_defaultLimit = TextBox::maxUtf8Length();

private slots:
    void cleanup() { TextBox::setMaxUtf8Length(m_defaultLimit); }

    void progressWindowCannotBeDismissed() {
        QtDialogs dialogs;
        const std::unique_ptr<Progress> progress = dialogs.startProgress(QStringLiteral("x"));
        QProgressDialog* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            window = window != nullptr ? window : qobject_cast<QProgressDialog*>(w);
        }
        QVERIFY(window != nullptr);
        window->show();
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(window->isVisible());
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
    }

    void nothingReachesWindowWhileOpening() {
        QTemporaryDir dir;
        const QString oldPath = dir.filePath(QStringLiteral("a.cgi"));
        const QString newPath = dir.filePath(QStringLiteral("big.cgi"));
        const QByteArray oldBytes = "print 1;\r\n";
        // Several chunks of the text area's load, so the load can be caught half done.
        const QByteArray newBytes = QByteArray("print \"hello\";\r\n").repeated(100000);
        writeBytes(oldPath, oldBytes);
        writeBytes(newPath, newBytes);
        Fixture f;
        f.dialogs.pushText(oldPath);
        f.choose("mnuOpen");
        f.dialogs.clear();
        f.dialogs.pushText(newPath);
        QWidget* text = f.text().widget();
        bool tried = false;
        f.dialogs.duringProgress = [&](int percent) {
            if (tried || percent <= 50 || percent >= 100) {
                return;
            }
            tried = true;
            QTest::keyClick(text, Qt::Key_Escape);
            f.choose("mnuupsave");
            f.choose("mnunew");
            QTest::keyClicks(text, "typed");
            QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
            QTest::mouseClick(f.text().widget()->viewport(), Qt::LeftButton);
            f.window.close();
            QVERIFY(f.window.isVisible());
        };
        f.choose("mnuOpen");
        QVERIFY(tried);
        QCOMPARE(f.text().text() + "\r\n", QString::fromLatin1(newBytes));
        QCOMPARE(f.window.windowTitle(),
                 QStringLiteral("Ondrel [") + newPath + QStringLiteral("]"));
        QCOMPARE(f.window.files().fileName(), newPath);
        QCOMPARE(readBytes(oldPath), oldBytes);
        QVERIFY(!f.text().canUndo());
        QCOMPARE(f.dialogs.calls().size(), 1);
        // The close asked for during the load happens once the load is over, saving nothing.
        QVERIFY(!f.window.isVisible());
        QCOMPARE(readBytes(newPath), newBytes);
    }

    // The menu item or key; the bytes by which the result would pass the limit.
    void sizeLimitAtEveryEntry_data() {
        addColumns<std::tuple<QString, int>>();
        for (const char* entry : {"mnuOpen", "mnuPaste", "mnuokikae", "mnubbs", "mnufile_get",
                                  "mnuone", "mnutimedate", "typing", "own paste key"}) {
            QTest::addRow("%s at the limit", entry) << QString(entry) << 0;
            QTest::addRow("%s past it", entry) << QString(entry) << 1;
        }
    }

    void sizeLimitAtEveryEntry() {
        const auto [entry, beyond] = fetchRow<std::tuple<QString, int>>();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sjis.cgi"));
        writeBytes(path,
                   QByteArray::fromHex("93fa967b8cea6162630d0a"));  // 日本語abc, code page 932
        QGuiApplication::clipboard()->setText(QStringLiteral("日本語\r\n"));
        Fixture f;
        // A document with an undo history and the second X selected (the caret before it for keys,
        // which the text area handles itself by deleting the selection first).
        const bool key = !entry.startsWith(u"mnu");
        const int selectionEnd = key ? 3 : 4;
        const auto prepareAndRun = [&, entry = entry] {
            f.setDocument(QStringLiteral("aXbXc\r\n"), 1, 2);
            InsertAtCaret(f.text(), QStringLiteral("Y"));
            f.text().setUnmodified();  // Open would first ask about the changes
            f.text().select(3, selectionEnd);
            f.dialogs.clear();
            const QHash<QString, QStringList> answers = {{"mnuOpen", {path, QString()}},
                                                         {"mnuokikae", {"X", "本😀"}},
                                                         {"mnuone", {"$名前", "値"}}};
            for (const QString& answer : answers.value(entry)) {
                f.dialogs.push(answer.isEmpty() ? ScriptedDialogs::cancel()
                                                : ScriptedDialogs::text(answer));
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

ONDREL_TEST_MAIN(LongOperationsTest)
#include "test_text_box.moc"

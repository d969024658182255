#include <Qsci/qsciscintilla.h>
#include <QFileInfo>
#include <QScopeGuard>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "documents/cp932.h"
#include "documents/file_commands.h"
#include "documents/long_lines.h"
#include "file_size_limit.h"
#include "fixture.h"
#include "permissions_enforced.h"
#include "text/insert_at_caret.h"

using namespace ondrel;

namespace {

// What a failed command must leave exactly as it was: the text, the file name and the caption.
QStringList stateOf(Fixture& f) {
    return {f.text().text(), f.window.files().fileName(), f.window.windowTitle()};
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

    void openExisting(Fixture& f, const QString& file, const QByteArray& bytes) {
        f.dialogs.clear();
        f.open(file, bytes);
        QCOMPARE(f.window.files().fileName(), file);
        QCOMPARE(f.dialogs.calls().size(), 1);  // no message
        f.dialogs.clear();
    }

private slots:
    void cleanup() { cp932StreamSettings() = {}; }

    void saveAndNewTieDocumentToFile() {
        Fixture f;
        // Save As to a link named without extension writes through it, adding no extension.
        const QString file = f.path("script");
        writeBytes(f.path("real"), "old\r\n");
        QVERIFY(QFile::link(f.path("real"), file));
        f.dialogs.pushText(file);
        f.choose("mnuNameSave");
        QCOMPARE(f.dialogs.calls()[0].text, QStringLiteral("project"));
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [") + file + "]");
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList({"real", "script"}));
        QVERIFY(QFileInfo(file).isSymLink());
        QCOMPARE(readBytes(f.path("real")), QByteArray("#!/usr/local/bin/perl\r\n\r\n\r\n"));
        // A cancelled Save As keeps everything, and Save then writes there without a dialog.
        f.choose("mnulocal");
        const QStringList before = stateOf(f);
        f.dialogs.push(ScriptedDialogs::cancel());
        f.choose("mnuNameSave");
        QCOMPARE(stateOf(f), before);
        f.choose("mnuupsave");
        QCOMPARE(f.dialogs.calls().size(), 2);
        const QByteArray saved("#!/usr/local/bin/perl\r\n\r\n#!/usr/local/bin/perl\r\n");
        QCOMPARE(readBytes(f.path("real")), saved);
        QVERIFY(QFileInfo(file).isSymLink());

        // New forgets the file: Save then refuses and leaves it alone.
        f.choose("mnunew");
        QCOMPARE(f.text().text(), QStringLiteral("#!/usr/local/bin/perl\r\n\r\n"));
        QCOMPARE(f.text().caretPosition(), 25);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [project]"));
        f.choose("mnuupsave");
        QCOMPARE(f.dialogs.calls().size(), 3);
        QCOMPARE(f.dialogs.calls().last().text, QStringLiteral("上書きできません。"));
        QCOMPARE(readBytes(file), saved);
        // A recovered copy of a file named relative to another working folder keeps no name.
        f.window.files().restore("x", "a.cgi", "0d0a");
        QCOMPARE(f.window.files().fileName(), QByteArray());
    }

    // Whatever opens, with the caret at the start, saves back byte for byte (the text it opens
    // as is checked with the code page and the desktop tests).
    void opensAndSavesBack_data() {
        addRowsFromFile("saves_back.tsv");
        // あ is three bytes of UTF-8, two in the file.
        addRow("line just at the long-line limit",
               QString(longLineLimit() - 3, u'a') + "\\x82\\xA0\r\n", QString("\r\n"),
               QString("yes"));
        addRow("2 million short lines", QStringLiteral("a\r\n").repeated(2000000), QString("\r\n"),
               QString("yes"));
        // As many lines at the limit as any page's rows may hold, and lines that always fit
        // around them, again and again.
        const qsizetype fit = longLinePageBytes() / longLineLimit();
        const QByteArray page =
            (QByteArray(longLineLimit(), 'a') + "\r\n").repeated(fit) +
            (QByteArray(longLineFitBytes(), 'b') + "\r\n").repeated(longLinePageRows() - fit);
        addRow("lines at the long-line limit, as close as a page holds",
               QString::fromLatin1(page.repeated(4)), QString("\r\n"), QString("yes"));
    }

    void opensAndSavesBack() {
        const QByteArray bytes = bytesField("bytes");
        const QByteArray enter = bytesField("enter");
        if (underSanitizers() && bytes.size() > (1 << 20)) {
            QSKIP("megabytes take minutes under the sanitizers");
        }
        Fixture f;
        const QString file = f.path("input.dat");
        openExisting(f, file, bytes);
        QCOMPARE(f.text().caretPosition(), 0);
        QVERIFY(!f.text().isModified());
        f.choose("mnuupsave");
        QCOMPARE(f.dialogs.calls().size(), 0);
        QCOMPARE(readBytes(file), field("endsWithBreak").isEmpty() ? bytes + "\r\n" : bytes);
        QTest::keyClick(f.text().widget(), Qt::Key_Return);
        QVERIFY(f.text().isModified());
        f.choose("mnuupsave");
        QVERIFY(readBytes(file).startsWith(enter + bytes.left(1)));
    }

    // A large file through Open: the progress goes up in steps to the end, so a person sees the
    // work move.
    void twoHundredMegabytesWithProgress() {
        if (underSanitizers()) {
            QSKIP("hundreds of megabytes take minutes under the sanitizers");
        }
        Fixture f;
        const QString file = f.path("big.log");
        const QString line = QStringLiteral("$title = \"掲示板\";   #任意のタイトル\r\n");
        const QByteArray bytes = encodeCp932Utf8(line.toUtf8()).bytes;
        f.open(file, bytes.repeated((200 << 20) / bytes.size() + 1));
        QCOMPARE(f.dialogs.calls().size(), 1);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [") + file + "]");
        QCOMPARE(f.dialogs.progressLabels.size(), 1);
        const QList<int>& steps = f.dialogs.progressReported;
        QVERIFY(steps.size() > 10);
        QVERIFY(std::is_sorted(steps.begin(), steps.end()));
        QCOMPARE(steps.last(), 100);
        // The file's last CR LF is its final line break, kept out of the text.
        QCOMPARE(f.text().text().size(), QFileInfo(file).size() / bytes.size() * line.size() - 2);
    }

    // Whatever would set the document aside asks first when, and only when, it is modified;
    // キャンセル (or a failed save after はい) keeps the text, its undo history and its file name.
    void setAsideAsksOnlyWhenModified_data() { addRowsFromFile("set_aside.tsv"); }
    void setAsideAsksOnlyWhenModified() {
        const QString trigger = field("trigger");
        const bool modified = !field("modified").isEmpty();
        const QString answer = field("answer");
        Fixture f;
        writeBytes(f.path("dropped.cgi"), "dropped\r\n");
        f.setDocument(QStringLiteral("kept"), 0, 0);
        if (modified) {
            f.choose("mnuhost");
        }
        QCOMPARE(f.window.windowTitle().endsWith(u'*'), modified);
        const QStringList before = stateOf(f);
        const QString saved = f.path(answer == "yes, fails" ? "gone/saved.cgi" : "saved.cgi");
        if (modified && !answer.isEmpty()) {
            f.dialogs.push(ScriptedDialogs::named(answer.section(u',', 0, 0)));
        }
        if (answer.startsWith(u"yes")) {
            f.dialogs.pushText(saved);
        }
        // The Exit question, or the Open dialog or an error message.
        f.dialogs.push(trigger != "exit"
                           ? ScriptedDialogs::cancel()
                           : ScriptedDialogs::button(answer == "stay" ? MessageAnswer::No
                                                                      : MessageAnswer::Yes));

        bool wentOn = false;
        if (trigger == "new") {
            f.choose("mnunew");
            wentOn = f.text().text().startsWith(u'#');
        } else if (trigger == "open") {
            f.choose("mnuOpen");
            wentOn = f.dialogs.calls().last().kind == "open";
        } else if (trigger == "drop") {
            f.window.openFile(QFile::encodeName(f.path("dropped.cgi")));
            wentOn = f.window.files().fileName() == f.path("dropped.cgi");
        } else if (trigger == "close") {
            wentOn = f.window.close();
        } else if (trigger == "exit") {
            f.choose("mnuend");
            wentOn = !f.window.isVisible();
        } else {
            wentOn = f.window.sessionMayEnd(trigger == "logout");
        }
        const bool asked = modified && trigger != "logout quietly";
        const auto& calls = f.dialogs.calls();
        QCOMPARE(!calls.isEmpty() && calls[0].buttons == MessageButtons::YesNoCancel, asked);
        if (asked) {
            QCOMPARE(calls[0].text, QStringLiteral("「project」への変更を保存しますか？"));
            QCOMPARE(calls[0].defaultButton, MessageAnswer::Yes);
        }
        if (trigger == "exit") {
            // One question, never two: a modified document is not asked the Exit question.
            QCOMPARE(calls.size(), modified && answer == "yes" ? 2 : 1);
            QVERIFY(modified || calls[0].isYesNoQuestion(QStringLiteral("Ondrel を終了しますか？"),
                                                         QStringLiteral("終了")));
            QTRY_COMPARE(f.program.form1() == nullptr, wentOn);
        }
        QCOMPARE(wentOn, !field("goesOn").isEmpty());
        if (!wentOn) {
            QCOMPARE(stateOf(f), before);
            QVERIFY(!modified || f.text().canUndo());
        }
        QCOMPARE(QFileInfo::exists(saved), answer == "yes");
    }

    // Bytes another program wrote are not lost without a word, and bytes that may be UTF-8
    // open as Shift_JIS only when the user says so.
    void asksWhereBytesMayBeLost_data() { addRowsFromFile("bytes_may_be_lost.tsv"); }

    void asksWhereBytesMayBeLost() {
        const QString what = field("what");
        const QByteArray bytes = bytesField("bytes");
        const QString answer = field("answer");
        Fixture f;
        const QString file = f.path("bbs.dat");
        const QByteArray appended = bytes + "a post\r\n";
        writeBytes(file, bytes);
        f.dialogs.pushText(file);
        if (what == "open") {
            f.dialogs.push(ScriptedDialogs::named(answer));  // unused where nothing is asked
        } else if (what == "append while reading") {
            f.dialogs.duringProgress = [&](int) { writeBytes(file, appended); };
            f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
            f.dialogs.push(ScriptedDialogs::cancel());
        }
        f.choose("mnuOpen");
        f.dialogs.duringProgress = nullptr;
        const auto& calls = f.dialogs.calls();
        QCOMPARE(f.dialogs.unexpectedCalls(), 0);
        if (what == "append while reading") {
            QCOMPARE(f.window.files().fileName(), QString());
            QVERIFY(calls[1].text.contains(QStringLiteral("読み込んでいる間に")));
            return;
        }
        if (what == "open") {
            QCOMPARE(f.window.files().fileName(), answer == "no" ? QString() : file);
            QCOMPARE(calls.size(), answer.isEmpty() ? 1 : 2);
            if (!answer.isEmpty()) {
                QCOMPARE(calls[1].title, QStringLiteral("開く"));
                QCOMPARE(calls[1].defaultButton, MessageAnswer::Yes);
            }
            return;
        }
        if (what == "append") {
            writeBytes(file, appended);
        }
        f.choose("mnulocal");
        f.dialogs.clear();
        f.dialogs.push(ScriptedDialogs::named(answer));
        f.choose("mnuupsave");
        QCOMPARE(f.dialogs.calls().size(), answer.isEmpty() ? 0 : 1);
        if (!answer.isEmpty()) {
            QCOMPARE(f.dialogs.calls()[0].title, QStringLiteral("上書き保存"));
            QCOMPARE(f.dialogs.calls()[0].defaultButton, MessageAnswer::No);
        }
        QCOMPARE(readBytes(file), answer == "no" ? appended : "#!/usr/local/bin/perlold\r\n");
        QCOMPARE(f.text().isModified(), answer == "no");
    }

    void openFailureKeepsDocument_data() { addRowsFromFile("open_failures.tsv"); }

    // The message names the file and the reason; the Open dialog comes back once, no more.
    void openFailureKeepsDocument() {
        const QString name = field("name");
        const QString content = field("content");
        const bool unreadable = content == "<unreadable>";
        cp932StreamSettings() = {64 << 10, 2};
        Fixture f;
        openExisting(f, f.path("previous.cgi"), "previous\r\n");
        InsertAtCaret(f.text(), QStringLiteral("日本"));
        f.text().setUnmodified();  // Open would first ask about the changes
        const QStringList before = stateOf(f);
        const QString target = f.path(name);
        if (content == "<dir>") {
            QVERIFY(QDir(f.dir.path()).mkdir(name));
        } else if (content == "<huge>") {
            QFile out(target);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QVERIFY(out.resize((qint64(1) << 30) + 1));  // sparse: takes no room on disk
        } else if (content == "<bad end>") {
            writeBytes(
                target,
                QByteArray("print \"\x93\xfa\x96\x7b\x8c\xea\";\r\n").repeated(150000) + "# \x82");
        } else if (content == "<many lines>") {
            if (underSanitizers()) {
                QSKIP("the sanitizers reserve terabytes of address space");
            }
            writeBytes(target, QByteArray("\r\n").repeated(20 << 20));
        } else if (content != "<missing>") {
            writeBytes(target, bytesField("content"));
        }
        // Lowered for the open alone: the program's own size now, and 128 MB more.
        struct rlimit oldLimit {};
        QVERIFY(getrlimit(RLIMIT_AS, &oldLimit) == 0);
        const auto restoreLimit = qScopeGuard([&] { setrlimit(RLIMIT_AS, &oldLimit); });
        if (content == "<many lines>") {
            QFile statm(QStringLiteral("/proc/self/statm"));
            QVERIFY(statm.open(QIODevice::ReadOnly));
            const rlim_t size = statm.readAll().split(' ')[0].toULongLong() * sysconf(_SC_PAGESIZE);
            rlimit tight = oldLimit;
            tight.rlim_cur = size + (rlim_t(128) << 20);
            QVERIFY(setrlimit(RLIMIT_AS, &tight) == 0);
        }
        if (unreadable) {
            QVERIFY(QFile::setPermissions(target, QFileDevice::WriteOwner));  // written, not read
        }
        for (int i = 0; i < 2; ++i) {
            f.dialogs.pushText(target);
            f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
        }
        {
            PermissionsEnforced enforced;
            f.choose("mnuOpen");
        }
        QCOMPARE(stateOf(f), before);
        const auto& calls = f.dialogs.calls();
        QCOMPARE(calls.size(), 4);
        QCOMPARE(calls[3].text, calls[1].text);
        QCOMPARE(calls[1].title, QStringLiteral("エラー！"));
        QVERIFY(calls[1].text.startsWith(QStringLiteral("ファイルを開けません。\r\n") + target +
                                         "\r\n"));
        QVERIFY2(calls[1].text.contains(field("reason")), qPrintable(calls[1].text));
        QCOMPARE(calls[2].kind, QStringLiteral("open"));
        QCOMPARE(readBytes(f.path("previous.cgi")), QByteArray("previous\r\n"));
        f.text().undo();  // the undo history is kept too
        QCOMPARE(f.text().text(), QStringLiteral("previous"));
    }

    // Names in Shift_JIS bytes, which Qt's dialogs show garbled: the one file whose name reads
    // as the one picked is opened or overwritten, and saved back under its own bytes; more than
    // one is said to be a name that is not UTF-8.
    void namesThatAreNotUtf8_data() { addRowsFromFile("non_utf8_names.tsv"); }
    void namesThatAreNotUtf8() {
        const QString item = field("item");
        const QString picked = field("picked");
        const QString caption = field("caption");
        Fixture f;
        const auto clear = qScopeGuard([&] { removeTree(f.dir.path()); });  // names not UTF-8
        const QByteArray folder = QFile::encodeName(f.dir.path()) + '/';
        const QByteArrayList onDisk = bytesField("names").split('|');
        for (const QByteArray& name : onDisk) {
            if (name.contains('/')) {
                QCOMPARE(::mkdir((folder + name.first(name.indexOf('/'))).constData(), 0700), 0);
            }
            QVERIFY(writeWholeFile(folder + name, "old\r\n").ok());
        }
        const auto bytesOf = [](const QByteArray& name) {
            QByteArray bytes;
            readFileInPieces(name, 4096, [&](const QByteArray& piece, qint64) { bytes += piece; });
            return bytes;
        };
        const bool isNew = picked.startsWith("garbled/");
        const QByteArray garbled = isNew ? onDisk[0].first(onDisk[0].indexOf('/')) : onDisk[0];
        const QByteArray expected = isNew ? garbled + picked.mid(7).toUtf8() : onDisk[0];
        f.dialogs.pushText(
            f.dir.path() + '/' +
            (picked.startsWith("garbled") ? QFile::decodeName(garbled) + picked.mid(7) : picked));
        if (item == "mnuNameSave" && !isNew) {
            f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));  // overwrite
        } else if (caption.isEmpty()) {
            f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
            f.dialogs.push(ScriptedDialogs::cancel());  // the dialog comes back
        }
        f.choose(qPrintable(item));
        QCOMPARE(f.dialogs.unexpectedCalls(), 0);
        if (caption.isEmpty()) {
            QVERIFY(f.dialogs.calls()[1].text.contains(QStringLiteral("UTF-8 で書かれていない")));
            QCOMPARE(f.window.files().fileName(), QByteArray());
            return;
        }
        QCOMPARE(f.window.files().fileName(), folder + expected);
        QVERIFY2(f.window.windowTitle().endsWith(caption), qPrintable(f.window.windowTitle()));
        QCOMPARE(f.dialogs.calls().size(), item == "mnuOpen" || isNew ? 1 : 2);
        QVERIFY(item == "mnuOpen" || isNew ||
                f.dialogs.calls()[1].title == QStringLiteral("名前を付けて保存"));
        f.choose("mnulocal");
        f.choose("mnuupsave");
        QVERIFY(bytesOf(folder + expected).startsWith("#!/usr/local/bin/perl"));
        // No twin under the name as it reads.
        QVERIFY(!QFileInfo::exists(f.dir.path() + caption.chopped(1)));
    }

    void saveFailureKeepsEverything_data() { addRowsFromFile("save_failures.tsv"); }

    void saveFailureKeepsEverything() {
        const QString fault = field("fault");
        const QString saveAs = field("saveAs");
        Fixture f;
        const QString current = f.path("current.cgi");
        const QByteArray oldBytes("old content\r\n");
        openExisting(f, current, oldBytes);
        // A document large enough to pass the write buffer and the file size limit below.
        QString text = f.text().text() + QString(200000, QLatin1Char('x'));
        if (fault == "unencodable") {
            text += QStringLiteral("😀 and \uD55C");
        }
        f.text().setText(text);
        const QStringList before = stateOf(f);
        const QString target = saveAs.isEmpty() ? current : f.path(saveAs);
        if (fault == "folder") {
            QVERIFY(QDir(f.dir.path()).mkdir("afolder"));
        } else if (fault == "read-only file") {
            QVERIFY(QFile::setPermissions(current, QFileDevice::ReadOwner));
        } else if (fault == "read-only folder") {
            QVERIFY(QDir(f.dir.path()).mkdir("locked"));
            QVERIFY(QFile::setPermissions(f.path("locked"),
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        if (target != current) {
            f.dialogs.pushText(target);
        }
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
        {
            PermissionsEnforced enforced;
            const bool limited = fault == "disk full" || fault == "size limit";
            FileSizeLimit limit(limited ? 65536 : RLIM_INFINITY, fault == "size limit");
            f.choose(target == current ? "mnuupsave" : "mnuNameSave");
        }
        for (const QString& restored : {current, f.path("locked")}) {
            QFile::setPermissions(restored, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }

        QCOMPARE(readBytes(current), oldBytes);
        QCOMPARE(stateOf(f), before);
        QCOMPARE(f.dialogs.unexpectedCalls(), 0);
        const auto& message = f.dialogs.calls().last();
        QCOMPARE(message.title, QStringLiteral("エラー！"));
        const QString expected = field("message").replace(QStringLiteral("<target>"), target);
        QVERIFY2(expected.endsWith(u'…') ? message.text.startsWith(expected.chopped(1))
                                         : message.text == expected,
                 qPrintable(message.text));
        // Nothing is left behind beside the file: no temporary file, no partial target.
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"current.cgi"});
    }

    // A line longer than the text area keeps as one is shown split before a character, never
    // between CR and LF nor at the end, and the document is read-only: keys and commands change
    // nothing, Save and Save As write nothing and say why, and New ends it.
    void longLineOpensReadOnly_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("line");              // the first long line
        QTest::addColumn<qsizetype>("characters");  // its length
        QTest::addColumn<QString>("exceeds");       // what it passes
        const QByteArray a(longLineLimit(), 'a');
        // The limit in rows, each followed by a break.
        const QString rowsOfA =
            (QString(longLineRowBytes(), u'a') + u'\n').repeated(a.size() / longLineRowBytes());
        addRow("at the limit, then one byte over, CR LF after it", a + "\r\n" + a + "a\r\nb",
               QString::fromLatin1(a) + "\r\n" + rowsOfA + "a\r\nb", 2, a.size() + 1, "1 行");
        // Lines within the limit, more together than a page may hold.
        const qsizetype fit = longLinePageBytes() / longLineLimit();
        addRow("more lines at the limit than a page holds", (a + "\r\n").repeated(fit + 1),
               QString::fromLatin1(a + "\r\n").repeated(fit) + rowsOfA.chopped(1), int(fit + 1),
               a.size(), "1 画面");
        // Rows of whole characters, each as long as fits.
        const qsizetype perPart = longLineRowBytes() / 3;
        QString parts;
        for (qsizetype left = 5 << 20; left > 0; left -= perPart) {
            parts += QString(std::min(left, perPart), u'あ') + (left > perPart ? "\n" : "");
        }
        addRow("10 MB single line", QByteArray("\x82\xA0").repeated(5 << 20), parts, 1,
               qsizetype(5 << 20), "1 行");
        addRow("three times the limit after lone CRs", "x\ry\r" + a.repeated(3),
               "x\ry\r" + rowsOfA.repeated(3).chopped(1), 3, 3 * a.size(), "1 行");
    }

    void longLineOpensReadOnly() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QFETCH(int, line);
        QFETCH(qsizetype, characters);
        QFETCH(QString, exceeds);
        // Lines and characters across the ends of short pieces.
        cp932StreamSettings().pieceBytes = 1001;
        Fixture f;
        const QString file = f.path("long.dat");
        writeBytes(file, bytes);
        f.dialogs.pushText(file);
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
        f.choose("mnuOpen");
        QCOMPARE(f.text().text(), shown);
        QCOMPARE(f.window.windowTitle(), "Ondrel [" + file + QStringLiteral("] (読み取り専用)"));
        QCOMPARE(f.dialogs.calls().size(), 2);
        const QString notice = f.dialogs.calls().last().text;
        QVERIFY2(notice.startsWith(QStringLiteral("%1 行目が %2 文字あり")
                                       .arg(line)
                                       .arg(QLocale().toString(characters))) &&
                     notice.contains("編集できる " + exceeds),
                 qPrintable(notice));
        f.text().select(1, 2);
        QTest::keyClick(f.text().widget(), Qt::Key_X);
        QTest::keyClick(f.text().widget(), Qt::Key_Delete);
        const QString refused = QStringLiteral("読み取り専用の文書のため、変更できません。");
        const QString notSaved =
            QStringLiteral("読み取り専用で開いた文書のため、保存しませんでした。");
        // A snippet, the date stamp, replace all, Save and Save As: one message each.
        const std::pair<const char*, QString> commands[] = {{"mnulocal", refused},
                                                            {"mnutimedate", refused},
                                                            {"mnuokikae", refused},
                                                            {"mnuupsave", notSaved},
                                                            {"mnuNameSave", notSaved}};
        for (const auto& [item, message] : commands) {
            f.dialogs.clear();
            f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
            f.choose(item);
            QCOMPARE(f.dialogs.calls().size(), 1);
            QVERIFY2(f.dialogs.calls()[0].text.startsWith(message), item);
        }
        QCOMPARE(f.text().text(), shown);
        QVERIFY(!f.text().isModified());
        QCOMPARE(readBytes(file), bytes);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"long.dat"});
        f.choose("mnunew");
        QTest::keyClick(f.text().widget(), Qt::Key_X);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [project]*"));
    }
};

ONDREL_TEST_MAIN(FileCommandsTest)
#include "test_file_commands.moc"

#include <Qsci/qsciscintilla.h>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <numeric>

#include "documents/cp932.h"
#include "documents/file_commands.h"
#include "documents/long_lines.h"
#include "documents/printing.h"
#include "file_size_limit.h"
#include "fixture.h"
#include "permissions_enforced.h"
#include "test_files.h"
#include "test_main.h"

using namespace ondrel;

namespace {

// What a failed command must leave exactly as it was: the text, the file name and the caption.
QStringList stateOf(Fixture& f) {
    return {f.text().text(), f.window.files().fileName(), f.window.windowTitle()};
}

// A message box asking text under title, with Yes and No, the question icon and Yes first.
bool isYesNoQuestion(const ScriptedDialogs::Call& call, const QString& text, const QString& title) {
    return call.kind == QLatin1String("message") && call.text == text && call.title == title &&
           call.buttons == MessageButtons::YesNo && call.icon == MessageIcon::Question &&
           call.defaultButton == MessageAnswer::Yes;
}

// The name to open; the file's bytes, or "<dir>", "<missing>", "<huge>" or "<unreadable>"; a
// part of the message that says why it did not open.
using OpenFailure = std::tuple<QString, QByteArray, QString>;
// What sets the document aside; whether it is modified; the answer to the question.
using SetAside = std::tuple<QString, bool, QString>;
// The fault; the name saved to with Save As, or "" for Save.
using SaveFailure = std::tuple<QString, QString>;

}  // namespace

class DocumentsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_temp;
    QString path(const QString& name) const { return m_temp->filePath(name); }

    // Opens a file holding bytes as the current document, through the real Open command.
    void openExisting(Fixture& f, const QString& file, const QByteArray& bytes) {
        writeBytes(file, bytes);
        f.dialogs.clear();
        f.dialogs.pushText(file);
        f.choose("mnuOpen");
        QCOMPARE(f.window.files().fileName(), file);
        QCOMPARE(f.dialogs.calls().size(), 1);  // no message
        f.dialogs.clear();
    }

private slots:
    void init() {
        m_temp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temp->isValid());
    }
    void cleanup() { cp932StreamSettings() = {}; }

    void saveAndNewTieDocumentToFile() {
        Fixture f;
        // Save As to a link named without extension writes through it, adding no extension.
        const QString file = path("script");
        writeBytes(path("real"), "old\r\n");
        QVERIFY(QFile::link(path("real"), file));
        f.dialogs.pushText(file);
        f.choose("mnuNameSave");
        QCOMPARE(f.dialogs.calls()[0].text, QStringLiteral("project"));
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [") + file + "]");
        QCOMPARE(QDir(m_temp->path()).entryList(QDir::Files), QStringList({"real", "script"}));
        QVERIFY(QFileInfo(file).isSymLink());
        QCOMPARE(readBytes(path("real")), QByteArray("#!/usr/local/bin/perl\r\n\r\n\r\n"));
        // Cancelled Save As, and Open cancelled at its question about the changes, keep
        // everything, and Save then writes there without a dialog.
        f.choose("mnulocal");
        const QStringList before = stateOf(f);
        for (const char* item : {"mnuNameSave", "mnuOpen"}) {
            f.dialogs.push(ScriptedDialogs::cancel());
            f.choose(item);
            QCOMPARE(stateOf(f), before);
        }
        f.choose("mnuupsave");
        QCOMPARE(f.dialogs.calls().size(), 3);
        const QByteArray saved("#!/usr/local/bin/perl\r\n\r\n#!/usr/local/bin/perl\r\n");
        QCOMPARE(readBytes(path("real")), saved);
        QVERIFY(QFileInfo(file).isSymLink());

        // New forgets the file: Save then refuses and leaves it alone.
        f.choose("mnunew");
        QCOMPARE(f.text().text(), QStringLiteral("#!/usr/local/bin/perl\r\n\r\n"));
        QCOMPARE(f.text().caretPosition(), 25);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [project]"));
        f.choose("mnuupsave");
        QCOMPARE(f.dialogs.calls().size(), 4);
        QCOMPARE(f.dialogs.calls().last().text, QStringLiteral("上書きできません。"));
        QCOMPARE(readBytes(file), saved);
    }

    // Whatever opens, with the caret at the start, saves back byte for byte: the line break
    // the file ended with is written back, CR LF is added where it ended without one (the text
    // it opens as is checked with the code page and the desktop tests). Enter types the line
    // break the file uses first.
    void opensAndSavesBack_data() {
        // The file; the line break Enter types in it; whether it ends with a line break.
        addColumns<std::tuple<QByteArray, QByteArray, bool>>();
        QByteArray controls(0x20, '\0');
        std::iota(controls.begin(), controls.end(), '\0');
        // DEL, an ideographic space and two NULs after the controls.
        addRow("NUL and control characters",
               (controls + "\x7F\x81\x40" + QByteArray(2, '\0')).repeated(3), QByteArray("\n"),
               false);
        addRow("empty file", QByteArray(), QByteArray("\r\n"), false);
        addRow("mixed line breaks, NUL and Japanese",
               QByteArray("a\rb\nc\r\nd\0e ", 11) + QByteArray::fromHex("8abf8e9ab6c55c7e8160"),
               QByteArray("\r"), false);
        addRow("ends in CR LF", QByteArray("x\r\n\r\ny\r\n"), QByteArray("\r\n"), true);
        addRow("counter file ending in LF", QByteArray("123\n"), QByteArray("\n"), true);
        addRow("here-document with LF", QByteArray("print <<EOF;\nhi\nEOF\n"), QByteArray("\n"),
               true);
        addRow("ends in CR", QByteArray("a\rb\r"), QByteArray("\r"), true);
        // あ is three bytes of UTF-8, two in the file.
        addRow("line just at the long-line limit",
               QByteArray(longLineLimit() - 3, 'a') + "\x82\xA0\r\n", QByteArray("\r\n"), true);
        addRow("2 million short lines", QByteArray("a\r\n").repeated(2000000), QByteArray("\r\n"),
               true);
    }

    void opensAndSavesBack() {
        const auto [bytes, enter, endsWithBreak] =
            fetchRow<std::tuple<QByteArray, QByteArray, bool>>();
#if defined(__SANITIZE_ADDRESS__)
        if (bytes.size() > (1 << 20)) {
            QSKIP("megabytes take minutes under the sanitizers");
        }
#endif
        Fixture f;
        const QString file = path("input.dat");
        openExisting(f, file, bytes);
        QCOMPARE(f.text().caretPosition(), 0);
        QVERIFY(!f.text().isModified());
        f.choose("mnuupsave");
        QCOMPARE(f.dialogs.calls().size(), 0);
        QCOMPARE(readBytes(file), endsWithBreak ? bytes : bytes + "\r\n");
        QTest::keyClick(f.text().widget(), Qt::Key_Return);
        QVERIFY(f.text().isModified());
        f.choose("mnuupsave");
        QVERIFY(readBytes(file).startsWith(enter + bytes.left(1)));
    }

    // Whatever would set the document aside asks first when, and only when, it is modified;
    // キャンセル (or a failed save after はい) keeps the text, its undo history and its file name.
    void setAsideAsksOnlyWhenModified_data() {
        addColumns<SetAside>();
        addRow("new, unmodified", "new", false, "");
        addRow("new, cancelled", "new", true, "cancel");
        addRow("open, discarded", "open", true, "no");
        addRow("drop, saved first", "drop", true, "yes");
        addRow("drop, save fails", "drop", true, "yes, fails");
        addRow("close box, unmodified", "close", false, "");
        addRow("close box, cancelled", "close", true, "cancel");
        addRow("close box, discarded", "close", true, "no");
        addRow("exit, unmodified", "exit", false, "");
        addRow("exit, cancelled", "exit", true, "cancel");
        addRow("exit, saved first", "exit", true, "yes");
        addRow("logout, cancelled", "logout", true, "cancel");
        addRow("logout, nothing may be asked", "logout quietly", true, "");
    }

    void setAsideAsksOnlyWhenModified() {
        const auto [trigger, modified, answer] = fetchRow<SetAside>();
        Fixture f;
        writeBytes(path("dropped.cgi"), "dropped\r\n");
        f.setDocument(QStringLiteral("kept"), 0, 0);
        if (modified) {
            f.choose("mnuhost");
        }
        QCOMPARE(f.window.windowTitle().endsWith(u'*'), modified);
        const QStringList before = stateOf(f);
        const QString saved = path(answer == "yes, fails" ? "gone/saved.cgi" : "saved.cgi");
        if (answer.startsWith(u"yes")) {
            f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
            f.dialogs.pushText(saved);
        } else if (answer == "no") {
            f.dialogs.push(ScriptedDialogs::button(MessageAnswer::No));
        } else if (answer == "cancel") {
            f.dialogs.push(ScriptedDialogs::cancel());
        }
        // The Exit question, or the Open dialog or an error message.
        f.dialogs.push(trigger == "exit" ? ScriptedDialogs::button(MessageAnswer::Yes)
                                         : ScriptedDialogs::cancel());

        bool wentOn = false;
        if (trigger == "new") {
            f.choose("mnunew");
            wentOn = f.text().text().startsWith(u'#');
        } else if (trigger == "open") {
            f.choose("mnuOpen");
            wentOn = f.dialogs.calls().last().kind == "open";
        } else if (trigger == "drop") {
            f.window.openFile(path("dropped.cgi"));
            wentOn = f.window.files().fileName() == path("dropped.cgi");
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
            QCOMPARE(calls.size(), modified ? (answer == "yes" ? 2 : 1) : 1);
        }
        QCOMPARE(wentOn, !asked || answer == "no" || answer == "yes");
        if (!wentOn) {
            QCOMPARE(stateOf(f), before);
            QVERIFY(f.text().canUndo());
        }
        QCOMPARE(QFileInfo::exists(saved), answer == "yes");
    }

    // Bytes another program wrote are not lost without a word, and bytes that may be UTF-8
    // open as Shift_JIS only when the user says so.
    void asksWhereBytesMayBeLost_data() {
        // What happens; the file's bytes; the answer, or "" where nothing is to be asked.
        addColumns<std::tuple<QString, QByteArray, QString>>();
        addRow("saved after another program appended, kept", "append", QByteArray("old\r\n"), "no");
        addRow("saved after another program appended, overwritten", "append", QByteArray("old\r\n"),
               "yes");
        addRow("saved, nothing changed on disk", "save", QByteArray("old\r\n"), "");
        addRow("changed while it was read", "append while reading", QByteArray("old\r\n"), "");
        addRow("two-byte UTF-8, opened as Shift_JIS", "open",
               QByteArray("Copyright \xC2\xA9 caf\xC3\xA9\n"), "yes");
        addRow("two-byte UTF-8, not opened", "open", QByteArray("Copyright \xC2\xA9 caf\xC3\xA9\n"),
               "no");
        addRow("half-width katakana, opened", "open", QByteArray("\xCA\xB2\r\n"), "yes");
        addRow("plain ASCII", "open", QByteArray("print 1;\r\n"), "");
    }

    void asksWhereBytesMayBeLost() {
        const auto [what, bytes, answer] = fetchRow<std::tuple<QString, QByteArray, QString>>();
        Fixture f;
        const QString file = path("bbs.dat");
        const QByteArray appended = bytes + "a post\r\n";
        writeBytes(file, bytes);
        const auto pushAnswer = [&, answer = answer] {
            if (!answer.isEmpty()) {
                f.dialogs.push(ScriptedDialogs::button(answer == "yes" ? MessageAnswer::Yes
                                                                       : MessageAnswer::No));
            }
        };
        f.dialogs.pushText(file);
        if (what == "open") {
            pushAnswer();
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
        pushAnswer();
        f.choose("mnuupsave");
        QCOMPARE(f.dialogs.calls().size(), answer.isEmpty() ? 0 : 1);
        if (!answer.isEmpty()) {
            QCOMPARE(f.dialogs.calls()[0].title, QStringLiteral("上書き保存"));
            QCOMPARE(f.dialogs.calls()[0].defaultButton, MessageAnswer::No);
        }
        QCOMPARE(readBytes(file), answer == "no" ? appended : "#!/usr/local/bin/perlold\r\n");
        QCOMPARE(f.text().isModified(), answer == "no");
    }

    void openFailureKeepsDocument_data() {
        addColumns<OpenFailure>();
        addRow("missing file", "none.cgi", QByteArray("<missing>"), "ファイルが見つかりません。");
        addRow("folder", "folder.cgi", QByteArray("<dir>"), "フォルダー");
        addRow("larger than 1 GB", "huge.dat", QByteArray("<huge>"), "ファイルが大きすぎます");
        addRow("invalid bytes", "bad.dat", QByteArray("ok\r\n\x85\x40"), "（5 バイト目）");
        addRow("utf-8 japanese", "utf8.txt", QStringLiteral("日本語のテキストです。\n").toUtf8(),
               "UTF-8");
        addRow("utf-8 full-width", "full.txt", QStringLiteral("print \"（テスト）\";\n").toUtf8(),
               "UTF-8");
        addRow("utf-8 that decodes as cp932", "euro.txt",
               QStringLiteral("$price = \"5€\";\n").toUtf8(), "UTF-8");
        addRow("utf-16 with a byte-order mark", "utf16.txt", QByteArray("\xFF\xFEp\0r\0", 6),
               "UTF-16");
        addRow("utf-8 with a byte-order mark", "bom.txt",
               QStringLiteral("\uFEFF# 日本語\n").toUtf8(), "UTF-8");
        addRow("unreadable file", "secret.cgi", QByteArray("<unreadable>"),
               "アクセスが許可されていません。");
    }

    // The message names the file and the reason; the Open dialog comes back once, no more.
    void openFailureKeepsDocument() {
        const auto [name, content, reason] = fetchRow<OpenFailure>();
        const bool unreadable = content == "<unreadable>";
        Fixture f;
        openExisting(f, path("previous.cgi"), "previous\r\n");
        const QStringList before = stateOf(f);
        const QString target = path(name);
        if (content == "<dir>") {
            QVERIFY(QDir(m_temp->path()).mkdir(name));
        } else if (content == "<huge>") {
            QFile out(target);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QVERIFY(out.resize((qint64(1) << 30) + 1));  // sparse: takes no room on disk
        } else if (content != "<missing>") {
            writeBytes(target, content);
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
            if (QFile probe(target); unreadable && probe.open(QIODevice::ReadOnly)) {
                QFAIL("the file must really be unreadable");
            }
            f.choose("mnuOpen");
        }
        QCOMPARE(stateOf(f), before);
        const auto& calls = f.dialogs.calls();
        QCOMPARE(calls.size(), 4);
        QCOMPARE(calls[3].text, calls[1].text);
        QCOMPARE(calls[1].title, QStringLiteral("エラー！"));
        QVERIFY(calls[1].text.startsWith(QStringLiteral("ファイルを開けません。\r\n") + target +
                                         "\r\n"));
        QVERIFY2(calls[1].text.contains(reason), qPrintable(calls[1].text));
        QCOMPARE(calls[2].kind, QStringLiteral("open"));
        QCOMPARE(readBytes(path("previous.cgi")), QByteArray("previous\r\n"));
    }

    void saveFailureKeepsEverything_data() {
        addColumns<SaveFailure>();
        addRow("target is a folder", "folder", "afolder");
        addRow("folder missing", "", "gone/new.cgi");
        addRow("parent is a file", "", "current.cgi/new.cgi");
        addRow("read-only file", "read-only file", "");
        addRow("read-only folder, new file", "read-only folder", "locked/new.cgi");
        addRow("disk full mid-write", "disk full", "");
        addRow("file size limit, its signal not ignored", "size limit", "");
        addRow("characters cp932 cannot hold", "unencodable", "");
    }

    void saveFailureKeepsEverything() {
        const auto [fault, saveAs] = fetchRow<SaveFailure>();
        Fixture f;
        const QString current = path("current.cgi");
        const QByteArray oldBytes("old content\r\n");
        openExisting(f, current, oldBytes);
        // A document large enough to pass the write buffer and the file size limit below.
        QString text = f.text().text() + QString(200000, QLatin1Char('x'));
        if (fault == "unencodable") {
            text += QStringLiteral("😀 and \uD55C");
        }
        f.text().setText(text);
        const QStringList before = stateOf(f);
        const QString target = saveAs.isEmpty() ? current : path(saveAs);
        if (fault == "folder") {
            QVERIFY(QDir(m_temp->path()).mkdir("afolder"));
        } else if (fault == "read-only file") {
            QVERIFY(QFile::setPermissions(current, QFileDevice::ReadOwner));
        } else if (fault == "read-only folder") {
            QVERIFY(QDir(m_temp->path()).mkdir("locked"));
            QVERIFY(QFile::setPermissions(path("locked"),
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
            // Prove that the fault is real before trusting the outcome.
            if (fault.startsWith(u"read-only") || fault == "disk full") {
                QFile probe(fault == "read-only file" ? current
                            : fault == "disk full"    ? path("probe")
                                                      : path("locked/probe"));
                QVERIFY2(!(probe.open(QIODevice::WriteOnly | QIODevice::Append) &&
                           probe.write(QByteArray(200000, 'x')) == 200000 && probe.flush()),
                         "the fault is not real");
                QFile::remove(path("probe"));
            }
            f.choose(target == current ? "mnuupsave" : "mnuNameSave");
        }
        for (const QString& restored : {current, path("locked")}) {
            QFile::setPermissions(restored, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }

        QCOMPARE(readBytes(current), oldBytes);
        QCOMPARE(stateOf(f), before);
        QCOMPARE(f.dialogs.unexpectedCalls(), 0);
        const auto& message = f.dialogs.calls().last();
        QCOMPARE(message.title, QStringLiteral("エラー！"));
        if (fault == "unencodable") {
            QCOMPARE(message.text,
                     QStringLiteral("Shift_JIS (CP932) "
                                    "で保存できない文字があるため、保存しませんでした。\r\n"
                                    "行 1、桁 200012: '😀' (U+1F600)\r\n"
                                    "行 1、桁 200018: '\uD55C' (U+D55C)"));
        } else {
            QVERIFY2(message.text.startsWith(QStringLiteral("保存できませんでした。\r\n") + target +
                                             "\r\n"),
                     qPrintable(message.text));
        }
        // Nothing is left behind beside the file: no temporary file, no partial target.
        QCOMPARE(QDir(m_temp->path()).entryList(QDir::Files), QStringList{"current.cgi"});
    }

    void printQuestionPdfOutputAndFailure() {
        Fixture f;
        const QString pdf = path("out.pdf");
        // Several pages: printed page by page behind a progress window.
        QString lines;
        for (int line = 1; line <= 150; ++line) {
            lines += QStringLiteral("\nline %1").arg(line);
        }
        f.text().setText(QStringLiteral("print \"one\";\r\nsecond line 日本語\rthird") + lines);
        f.text().select(0, 3);
        f.dialogs.push(ScriptedDialogs::printerChosen([pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        }));
        f.choose("mnuprset");
        // Answered No, nothing is printed; answered Yes, the printer chosen above prints.
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::No));
        f.choose("mnuPrint");
        QVERIFY(!QFileInfo::exists(pdf));
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
        f.choose("mnuPrint");
        QCOMPARE(f.dialogs.calls().size(), 3);
        QVERIFY(isYesNoQuestion(f.dialogs.calls()[2],
                                QStringLiteral("スクリプトを印刷します\r\nよろしいですか？"),
                                QStringLiteral("印刷")));
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY2(pdftotext.waitForFinished(30000), "pdftotext (poppler-utils) must be installed");
        const QString printed = QString::fromUtf8(pdftotext.readAllStandardOutput());
        // The whole document, whatever was selected, each line on its own.
        QVERIFY2(printed.contains(QStringLiteral("print \"one\";\n")), qPrintable(printed));
        QVERIFY(printed.contains(QStringLiteral("second line")));
        QVERIFY(printed.contains(QStringLiteral("\nthird")));
        QVERIFY(printed.contains(QStringLiteral("line 150")));
        QCOMPARE(f.dialogs.progressLabels,
                 QStringList({"印刷の準備をしています…", "印刷しています…"}));
        QVERIFY2(f.dialogs.progressReported.size() >= 4 && f.dialogs.progressReported.last() == 100,
                 qPrintable(QString::number(f.dialogs.progressReported.size())));

        // Cancel while the pages are prepared stops there: nothing is printed, no message.
        QVERIFY(QFile::remove(pdf));
        f.dialogs.duringProgress = [&](int) { f.dialogs.cancelProgress = true; };
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
        f.choose("mnuPrint");
        QCOMPARE(f.dialogs.calls().size(), 4);
        QCOMPARE(f.dialogs.progressReported.size(), 1);
        QVERIFY(!QFileInfo::exists(pdf));
        f.dialogs.duringProgress = nullptr;
        f.dialogs.cancelProgress = false;

        // A printer that cannot print is reported.
        f.window.printing().printer().setOutputFileName(path("missing/out.pdf"));
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        f.choose("mnuPrint");
        QCOMPARE(f.dialogs.calls().size(), 6);
        QVERIFY(f.dialogs.calls()[5].text.startsWith(QStringLiteral("印刷できませんでした。")));
    }

    void exitQuestion() {
        Fixture f;
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::No));
        f.choose("mnuend");
        QVERIFY(f.program.form1() != nullptr);
        QVERIFY(isYesNoQuestion(f.dialogs.calls()[0], QStringLiteral("Ondrel を終了しますか？"),
                                QStringLiteral("終了")));
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
        f.choose("mnuend");
        QVERIFY(!f.window.isVisible());
        QTRY_VERIFY(f.program.form1() == nullptr);
    }

    // A line longer than the text area keeps as one is shown split before a character, never
    // between CR and LF nor at the end, and the document is read-only: keys and commands change
    // nothing, Save and Save As write nothing and say why, and New ends it.
    void longLineOpensReadOnly_data() {
        // The file; the text shown; the first long line and its length in characters.
        addColumns<std::tuple<QByteArray, QString, int, qsizetype>>();
        const QByteArray a(longLineLimit(), 'a');
        // The limit in rows, each followed by a break.
        const QString rowsOfA =
            (QString(longLineRowBytes(), u'a') + u'\n').repeated(a.size() / longLineRowBytes());
        addRow("at the limit, then one byte over, CR LF after it", a + "\r\n" + a + "a\r\nb",
               QString::fromLatin1(a) + "\r\n" + rowsOfA + "a\r\nb", 2, a.size() + 1);
        // Rows of whole characters, each as long as fits.
        const qsizetype perPart = longLineRowBytes() / 3;
        QString parts;
        for (qsizetype left = 5 << 20; left > 0; left -= perPart) {
            parts += QString(std::min(left, perPart), u'あ') + (left > perPart ? "\n" : "");
        }
        addRow("10 MB single line", QByteArray("\x82\xA0").repeated(5 << 20), parts, 1,
               qsizetype(5 << 20));
        addRow("three times the limit after lone CRs", "x\ry\r" + a.repeated(3),
               "x\ry\r" + rowsOfA.repeated(3).chopped(1), 3, 3 * a.size());
    }

    void longLineOpensReadOnly() {
        const auto [bytes, shown, line, characters] =
            fetchRow<std::tuple<QByteArray, QString, int, qsizetype>>();
        // Lines and characters across the ends of short pieces.
        cp932StreamSettings().pieceBytes = 1001;
        Fixture f;
        const QString file = path("long.dat");
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
                                       .arg(QLocale().toString(characters))),
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
        QCOMPARE(QDir(m_temp->path()).entryList(QDir::Files), QStringList{"long.dat"});
        f.choose("mnunew");
        QTest::keyClick(f.text().widget(), Qt::Key_X);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [project]*"));
    }
};

ONDREL_TEST_MAIN(DocumentsTest)
#include "test_documents.moc"

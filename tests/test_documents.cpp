#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "documents/file_commands.h"
#include "documents/printing.h"
#include "file_size_limit.h"
#include "fixture.h"
#include "permissions_enforced.h"
#include "test_main.h"

using namespace ondrel;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// What a failed command must leave exactly as it was.
struct DocumentState {
    QString text;
    QString fileName;
    QString caption;
    bool operator==(const DocumentState& o) const {
        return text == o.text && fileName == o.fileName && caption == o.caption;
    }
};

DocumentState stateOf(Fixture& f) {
    return {f.text().text(), f.window.files().fileName(), f.window.windowTitle()};
}

// A message box asking text under title, with Yes and No, the question icon and Yes first.
bool isYesNoQuestion(const ScriptedDialogs::Call& call, const QString& text, const QString& title) {
    return call.kind == QLatin1String("message") && call.text == text && call.title == title &&
           call.buttons == MessageButtons::YesNo && call.icon == MessageIcon::Question &&
           call.defaultButton == MessageAnswer::Yes;
}

}  // namespace

class DocumentsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void saveOpenAndNewTieDocumentToFile();
    void cancelledDialogsKeepEverything();
    void mixedLineBreaksNulAndJapaneseRoundTrip();
    void openFailureKeepsDocument_data();
    void openFailureKeepsDocument();
    void secondOpenFailureEndsCommand();
    void saveFailureKeepsEverything_data();
    void saveFailureKeepsEverything();
    void symlinkWrittenThrough();
    void printQuestionAndPdfOutput();
    void printAnsweredNoPrintsNothing();
    void printFailureReported();
    void exitQuestion();

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    QString path(const QString& name) const { return m_temp->filePath(name); }
    // Opens a file holding "old" as the current document, through the real Open command.
    void openExisting(Fixture& f, const QString& file, const QByteArray& bytes);
};

void DocumentsTest::init() {
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
}

void DocumentsTest::openExisting(Fixture& f, const QString& file, const QByteArray& bytes) {
    writeBytes(file, bytes);
    f.dialogs.pushText(file);
    f.choose("mnuOpen");
    QCOMPARE(f.window.files().fileName(), file);
    f.dialogs.clear();
}

void DocumentsTest::saveOpenAndNewTieDocumentToFile() {
    Fixture f;
    // Save As with a name without extension writes exactly that file, then Save writes there
    // again without a dialog.
    const QString file = path("script");
    f.dialogs.pushText(file);
    f.choose("mnuNameSave");
    const auto& dialog = f.dialogs.calls()[0];
    QCOMPARE(dialog.kind, QStringLiteral("save"));
    QCOMPARE(dialog.text, QStringLiteral("project"));
    QCOMPARE(dialog.filters.size(), 6);
    QCOMPARE(dialog.filters.first(), QStringLiteral("CGIファイル(*.cgi)"));
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [") + file + "]");
    QCOMPARE(QDir(m_temp->path()).entryList(QDir::Files), QStringList{"script"});
    QCOMPARE(readBytes(file), QByteArray("#!/usr/local/bin/perl\r\n\r\n\r\n"));
    f.choose("mnulocal");
    f.choose("mnuupsave");
    QCOMPARE(f.dialogs.calls().size(), 1);
    QCOMPARE(readBytes(file), QByteArray("#!/usr/local/bin/perl\r\n\r\n#!/usr/local/bin/perl\r\n"));

    // Each open and save adds one CR LF; an empty file opens empty.
    openExisting(f, file, "abc\r\n");
    QCOMPARE(f.text().text(), QStringLiteral("abc\r\n"));
    QCOMPARE(f.text().caretPosition(), 0);
    f.choose("mnuupsave");
    QCOMPARE(readBytes(file), QByteArray("abc\r\n\r\n"));
    openExisting(f, path("empty.log"), QByteArray());
    QCOMPARE(f.text().text(), QString());

    // New forgets the file: Save then refuses and leaves it alone.
    f.choose("mnunew");
    QCOMPARE(f.text().text(), QStringLiteral("#!/usr/local/bin/perl\r\n\r\n"));
    QCOMPARE(f.text().caretPosition(), 25);
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [project]"));
    f.choose("mnuupsave");
    QCOMPARE(f.dialogs.calls().size(), 1);
    const auto& call = f.dialogs.calls()[0];
    QCOMPARE(call.text, QStringLiteral("上書きできません。"));
    QCOMPARE(call.title, QStringLiteral("エラー！"));
    QCOMPARE(call.icon, MessageIcon::None);
    QCOMPARE(readBytes(file), QByteArray("abc\r\n\r\n"));
}

void DocumentsTest::cancelledDialogsKeepEverything() {
    Fixture f;
    const QString file = path("kept.pl");
    openExisting(f, file, "old\r\n");
    f.choose("mnupath1");
    const DocumentState before = stateOf(f);
    f.dialogs.push(ScriptedDialogs::cancel());
    f.choose("mnuNameSave");
    QVERIFY(stateOf(f) == before);
    f.dialogs.push(ScriptedDialogs::cancel());
    f.choose("mnuOpen");
    QVERIFY(stateOf(f) == before);
    // The cancelled Save As kept the opened path: Save writes there.
    f.choose("mnuupsave");
    QCOMPARE(readBytes(file), QByteArray("#!/usr/bin/perlold\r\n\r\n"));
    QCOMPARE(f.dialogs.unexpectedCalls(), 0);
}

void DocumentsTest::mixedLineBreaksNulAndJapaneseRoundTrip() {
    Fixture f;
    const QString text =
        QStringLiteral("a\rb\nc\r\nd") + QChar(0) + QStringLiteral("e 漢字ｶﾅ\\~\uFF5E");
    const QByteArray bytes =
        QByteArray("a\rb\nc\r\nd\0e ", 11) + QByteArray::fromHex("8abf8e9ab6c55c7e8160") + "\r\n";
    f.text().setText(text);
    const QString file = path("mixed.dat");
    f.dialogs.pushText(file);
    f.choose("mnuNameSave");
    QCOMPARE(readBytes(file), bytes);
    f.choose("mnunew");
    f.dialogs.pushText(file);
    f.choose("mnuOpen");
    QCOMPARE(f.text().text(), text + "\r\n");
}

void DocumentsTest::openFailureKeepsDocument_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");  // "<dir>", "<missing>", or the file's bytes
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << "none.cgi" << QByteArray("<missing>") << false
                                  << "ファイルが見つかりません。";
    QTest::newRow("folder") << "folder.cgi" << QByteArray("<dir>") << false << "フォルダー";
    QTest::newRow("invalid bytes")
        << "bad.dat" << QByteArray("ok\r\n\x80\x81") << false << "（5 バイト目）";
    QTest::newRow("utf-8 japanese")
        << "utf8.txt" << QStringLiteral("日本語のテキストです。\n").toUtf8() << false
        << "（11 バイト目）";
    QTest::newRow("utf-8 that decodes as cp932")
        << "euro.txt" << QStringLiteral("$price = \"5€\";\n").toUtf8() << false << "UTF-8";
    QTest::newRow("utf-16 file") << "utf16.txt"
                                 << QByteArray(
                                        "\xFF\xFE"
                                        "a\0b\0",
                                        6)
                                 << false << "（1 バイト目）";
    QTest::newRow("binary file") << "bin.dat"
                                 << QByteArray(
                                        "\x7F"
                                        "ELF\x02\x01\x01\x00\xFD",
                                        9)
                                 << false << "（9 バイト目）";
    QTest::newRow("unreadable file")
        << "secret.cgi" << QByteArray("secret") << true << "アクセスが許可されていません。";
}

void DocumentsTest::openFailureKeepsDocument() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, unreadable);
    QFETCH(QString, reason);
    Fixture f;
    openExisting(f, path("previous.cgi"), "previous\r\n");
    f.choose("mnuhost");
    const DocumentState before = stateOf(f);

    const QString target = path(name);
    if (content == "<dir>") {
        QVERIFY(QDir(m_temp->path()).mkdir(name));
    } else if (content != "<missing>") {
        writeBytes(target, content);
    }
    if (unreadable) {
        QVERIFY(QFile::setPermissions(target, QFileDevice::WriteOwner));
    }
    f.dialogs.pushText(target);
    f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
    f.dialogs.push(ScriptedDialogs::cancel());
    {
        PermissionsEnforced enforced;
        if (unreadable) {
            QFile probe(target);
            QVERIFY2(!probe.open(QIODevice::ReadOnly), "the file must really be unreadable");
        }
        f.choose("mnuOpen");
    }
    QVERIFY(stateOf(f) == before);
    const auto& calls = f.dialogs.calls();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls[1].kind, QStringLiteral("message"));
    QCOMPARE(calls[1].title, QStringLiteral("エラー！"));
    QCOMPARE(calls[1].buttons, MessageButtons::Ok);
    QVERIFY(
        calls[1].text.startsWith(QStringLiteral("ファイルを開けません。\r\n") + target + "\r\n"));
    QVERIFY2(calls[1].text.contains(reason), qPrintable(calls[1].text));
    QCOMPARE(calls[2].kind, QStringLiteral("open"));
    QCOMPARE(calls[2].text, QStringLiteral("project"));
    QCOMPARE(readBytes(path("previous.cgi")), QByteArray("previous\r\n"));
}

void DocumentsTest::secondOpenFailureEndsCommand() {
    Fixture f;
    const DocumentState before = stateOf(f);
    for (int i = 0; i < 2; ++i) {
        f.dialogs.pushText(path("missing.cgi"));
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
    }
    f.choose("mnuOpen");
    QCOMPARE(f.dialogs.calls().size(), 4);
    QCOMPARE(f.dialogs.unexpectedCalls(), 0);
    QVERIFY(stateOf(f) == before);
}

void DocumentsTest::saveFailureKeepsEverything_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("target is a folder") << "folder";
    QTest::newRow("folder missing") << "missing folder";
    QTest::newRow("folder vanished after open") << "vanished folder";
    QTest::newRow("parent is a file") << "parent file";
    QTest::newRow("read-only file") << "read-only file";
    QTest::newRow("read-only folder, new file") << "read-only folder";
    QTest::newRow("disk full mid-write") << "disk full";
    QTest::newRow("characters cp932 cannot hold") << "unencodable";
}

void DocumentsTest::saveFailureKeepsEverything() {
    QFETCH(QString, fault);
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
    const DocumentState before = stateOf(f);

    QString target = current;  // saved with Save; anything else with Save As
    QString expected = QStringLiteral("保存できませんでした。\r\n");
    if (fault == "folder") {
        target = path("afolder");
        QVERIFY(QDir(m_temp->path()).mkdir("afolder"));
    } else if (fault == "missing folder") {
        target = path("gone/new.cgi");
    } else if (fault == "vanished folder") {
        // The document came from a folder that is gone by the time it is saved.
        QVERIFY(QDir(m_temp->path()).mkdir("brief"));
        target = path("brief/script.cgi");
        QFile created(target);
        QVERIFY(created.open(QIODevice::WriteOnly));
        created.close();
        QVERIFY(QDir(path("brief")).removeRecursively());
        QVERIFY(!QFileInfo::exists(path("brief")));
    } else if (fault == "parent file") {
        target = current + "/new.cgi";
    } else if (fault == "read-only file") {
        QVERIFY(QFile::setPermissions(current, QFileDevice::ReadOwner));
    } else if (fault == "read-only folder") {
        QVERIFY(QDir(m_temp->path()).mkdir("locked"));
        target = path("locked/new.cgi");
        QVERIFY(
            QFile::setPermissions(path("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else if (fault == "unencodable") {
        expected = QStringLiteral(
            "Shift_JIS (CP932) で保存できない文字があるため、保存しませんでした。\r\n"
            "行 2、桁 200001: '😀' (U+1F600)\r\n"
            "行 2、桁 200007: '\uD55C' (U+D55C)");
    }
    if (target != current) {
        f.dialogs.pushText(target);
    }
    f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
    {
        PermissionsEnforced enforced;
        FileSizeLimit limit(fault == "disk full" ? 65536 : RLIM_INFINITY);
        // Prove that the fault is real before trusting the outcome.
        if (fault == "read-only file") {
            QFile probe(current);
            QVERIFY2(!probe.open(QIODevice::WriteOnly | QIODevice::Append), "file is writable");
        } else if (fault == "read-only folder") {
            QFile probe(path("locked/probe"));
            QVERIFY2(!probe.open(QIODevice::WriteOnly), "folder is writable");
        } else if (fault == "disk full") {
            QFile probe(path("probe"));
            QVERIFY(probe.open(QIODevice::WriteOnly));
            const bool wrote = probe.write(QByteArray(200000, 'x')) == 200000 && probe.flush();
            probe.close();
            QFile::remove(path("probe"));
            QVERIFY2(!wrote, "the size limit did not stop the write");
        }
        f.choose(target == current ? "mnuupsave" : "mnuNameSave");
    }
    QFile::setPermissions(current, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile::setPermissions(path("locked"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QCOMPARE(readBytes(current), oldBytes);
    QVERIFY(stateOf(f) == before);
    const auto& calls = f.dialogs.calls();
    QCOMPARE(f.dialogs.unexpectedCalls(), 0);
    const auto& message = calls.last();
    QCOMPARE(message.kind, QStringLiteral("message"));
    QCOMPARE(message.title, QStringLiteral("エラー！"));
    if (fault == "unencodable") {
        QCOMPARE(message.text, expected);
    } else {
        QVERIFY2(message.text.startsWith(expected + target + "\r\n"), qPrintable(message.text));
    }
    // Nothing is left behind beside the file: no temporary file, no partial target.
    QStringList left = QDir(m_temp->path()).entryList(QDir::Files);
    QCOMPARE(left, QStringList{"current.cgi"});
}

void DocumentsTest::symlinkWrittenThrough() {
    Fixture f;
    const QString real = path("real.cgi");
    const QString link = path("link.cgi");
    writeBytes(real, "old\r\n");
    QVERIFY(QFile::link(real, link));
    f.dialogs.pushText(link);
    f.choose("mnuNameSave");
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(real), QByteArray("#!/usr/local/bin/perl\r\n\r\n\r\n"));
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [") + link + "]");
}

void DocumentsTest::printQuestionAndPdfOutput() {
    Fixture f;
    const QString pdf = path("out.pdf");
    f.text().setText(QStringLiteral("print \"one\";\r\nsecond line 日本語\rthird\n"));
    f.text().select(0, 3);
    f.dialogs.push(ScriptedDialogs::printerChosen([pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    }));
    f.choose("mnuprset");
    f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
    f.choose("mnuPrint");
    QCOMPARE(f.dialogs.calls().size(), 2);
    QVERIFY(isYesNoQuestion(f.dialogs.calls()[1],
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
    QCOMPARE(f.window.printing().printer().outputFileName(), pdf);
}

void DocumentsTest::printAnsweredNoPrintsNothing() {
    Fixture f;
    const QString pdf = path("none.pdf");
    f.window.printing().printer().setOutputFileName(pdf);
    f.dialogs.push(ScriptedDialogs::button(MessageAnswer::No));
    f.choose("mnuPrint");
    QCOMPARE(f.dialogs.calls().size(), 1);
    QVERIFY(!QFileInfo::exists(pdf));
}

void DocumentsTest::printFailureReported() {
    Fixture f;
    const QString before = f.text().text();
    f.window.printing().printer().setOutputFileName(path("missing/out.pdf"));
    f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
    f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
    f.choose("mnuPrint");
    QCOMPARE(f.dialogs.calls().size(), 2);
    QVERIFY(f.dialogs.calls()[1].text.startsWith(QStringLiteral("印刷できませんでした。")));
    QCOMPARE(f.dialogs.calls()[1].title, QStringLiteral("エラー！"));
    QCOMPARE(f.text().text(), before);
}

void DocumentsTest::exitQuestion() {
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

ONDREL_TEST_MAIN(DocumentsTest)
#include "test_documents.moc"

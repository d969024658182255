#include <QPrinterInfo>
#include <QProcess>

#include "fixture.h"

using namespace ondrel;

class PrintingTest : public QObject {
    Q_OBJECT
    static void choosePdf(Fixture& f, const QString& path) {
        f.dialogs.push({MessageAnswer::Ok, {}, {}, true, [path](QPrinter& printer) {
                            printer.setOutputFormat(QPrinter::PdfFormat);
                            printer.setOutputFileName(path);
                        }});
        f.choose("mnuprset");
    }

private slots:
    void printQuestionPdfOutputAndFailure() {
        Fixture f;
        const QString pdf = f.path("out.pdf");
        // Several pages: printed page by page behind a progress window.
        f.text().setText(QStringLiteral("print \"one\";\r\nsecond line 日本語\rthird") +
                         QStringLiteral("\nline").repeated(149) + "\nline 150");
        f.text().select(0, 3);
        choosePdf(f, pdf);
        // Answered No, nothing is printed; answered Yes, the printer chosen above prints.
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::No));
        f.choose("mnuPrint");
        QVERIFY(!QFileInfo::exists(pdf));
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
        f.choose("mnuPrint");
        QCOMPARE(f.dialogs.calls().size(), 3);
        QVERIFY(f.dialogs.calls()[2].isYesNoQuestion(
            QStringLiteral("スクリプトを印刷します\r\nよろしいですか？"), QStringLiteral("印刷")));
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY2(pdftotext.waitForFinished(30000), "pdftotext (poppler-utils) must be installed");
        const QString printed = QString::fromUtf8(pdftotext.readAllStandardOutput());
        // The whole document, whatever was selected, each line on its own.
        for (const char* line : {"print \"one\";\n", "second line", "\nthird", "line 150"}) {
            QVERIFY2(printed.contains(QString::fromUtf8(line)), qPrintable(printed));
        }
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
        choosePdf(f, f.path("missing/out.pdf"));
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        f.choose("mnuPrint");
        QCOMPARE(f.dialogs.calls().size(), 7);
        QVERIFY(f.dialogs.calls()[6].text.startsWith(QStringLiteral("印刷できませんでした。")));
    }

    // With no printer installed, Print says so and shows the way to print to a PDF file.
    void printWithoutPrinter() {
        if (!QPrinterInfo::availablePrinters().isEmpty()) {
            QSKIP("a printer is installed here");
        }
        Fixture f;
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
        f.choose("mnuPrint");
        QCOMPARE(f.dialogs.calls().size(), 2);
        QCOMPARE(f.dialogs.calls()[1].text,
                 "印刷できませんでした。\r\nプリンタがインストールされていません。\r\n"
                 "「プリンタの設定」で PDF ファイルへの印刷を選べます。");
    }
};

ONDREL_TEST_MAIN(PrintingTest)
#include "test_printing.moc"

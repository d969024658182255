#include "documents/printing.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextDocument>

#include "platform/dialogs.h"
#include "text/text_box.h"

namespace ondrel {

namespace {

constexpr int kPrintPointSize = 20;

// Paints the document page by page; false when the printer could not be started.
bool paintPages(QTextDocument& document, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    document.documentLayout()->setPaintDevice(&printer);
    document.setPageSize(page.size());
    const int pages = document.pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !printer.newPage()) {
            return false;
        }
        painter.save();
        painter.translate(0, -page.height() * index);
        const QRectF clip(0, page.height() * index, page.width(), page.height());
        document.drawContents(&painter, clip);
        painter.restore();
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
}

}  // namespace

Printing::Printing(TextBox& textBox, Dialogs& dialogs) : m_textBox(textBox), m_dialogs(dialogs) {}

QPrinter& Printing::printer() {
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>();
    }
    return *m_printer;
}

void Printing::print() {
    const MessageAnswer answer = m_dialogs.message(
        QStringLiteral("スクリプトを印刷します\r\nよろしいですか？"), QStringLiteral("印刷"),
        MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::Yes);
    if (answer == MessageAnswer::No) {
        return;
    }
    QString reason;
    if (printer().printerName().isEmpty() && printer().outputFileName().isEmpty()) {
        // No printer is installed (Qt then falls back to a PDF file without a name).
        reason = QStringLiteral(
            "プリンタがインストールされていません。\r\n"
            "「プリンタの設定」で PDF ファイルへの印刷を選べます。");
    } else if (!printer().isValid()) {
        reason = QStringLiteral("使用できるプリンタがありません。");
    } else {
        // Every kind of line break starts a new line on paper; the document keeps its own.
        QString text = m_textBox.text();
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QTextDocument document;
        QFont font = document.defaultFont();
        font.setPointSize(kPrintPointSize);
        document.setDefaultFont(font);
        document.setPlainText(text);
        if (!paintPages(document, printer())) {
            reason = QStringLiteral("プリンタに送れませんでした。");
        }
    }
    if (!reason.isEmpty()) {
        m_dialogs.message(QStringLiteral("印刷できませんでした。\r\n") + reason,
                          QStringLiteral("エラー！"), MessageButtons::Ok, MessageIcon::Critical,
                          MessageAnswer::Ok);
    }
}

void Printing::printerSetup() {
    m_dialogs.setupPrinter(printer());
}

}  // namespace ondrel

#include "documents/printing.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <functional>
#include <memory>

#include "platform/dialogs.h"
#include "text/text_box.h"

namespace ondrel {

namespace {

constexpr int kPrintPointSize = 20;
// The most of one line laid out at a time: a longer line goes on in a new layout, so no page
// waits on the layout of a whole long line.
constexpr qsizetype kPieceBytes = qsizetype(1) << 16;

enum class Printed { Done, Cancelled, Failed };

// Hands out the document's lines as layouts, one piece at a time. Every kind of line break
// starts a new line on paper; the document keeps its own.
class LineLayouts {
public:
    LineLayouts(const TextBox& textBox, const QFont& font, QPaintDevice& device, qreal width)
        : m_textBox(textBox), m_font(font), m_device(device), m_width(width) {}

    qsizetype done() const { return m_at; }
    bool hasNext() const { return !m_finished; }

    // The next line, or piece of a long line, wrapped to the page's width.
    std::unique_ptr<QTextLayout> next() {
        // Nothing changes the document while a command runs, but the progress window lets
        // events through: its bytes are looked up afresh for each piece all the same.
        const QByteArrayView text = m_textBox.utf8Text();
        const QByteArrayView rest = text.sliced(std::min(m_at, text.size()));
        qsizetype length = std::min(rest.size(), kPieceBytes);
        bool broken = false;
        for (qsizetype i = 0; i <= length && i < rest.size(); ++i) {
            if (rest[i] == '\n' || rest[i] == '\r') {
                length = i;
                broken = true;
                break;
            }
        }
        // A piece of a long line ends between two characters.
        qsizetype cut = length;
        while (!broken && cut > 0 && cut < rest.size() && (uchar(rest[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        length = cut > 0 ? cut : length;
        m_at += length;
        if (broken) {
            const bool crLf =
                rest[length] == '\r' && length + 1 < rest.size() && rest[length + 1] == '\n';
            m_at += crLf ? 2 : 1;
        } else {
            m_finished = m_at >= text.size();
        }
        auto layout =
            std::make_unique<QTextLayout>(QString::fromUtf8(rest.first(length)), m_font, &m_device);
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(m_width);
        }
        layout->endLayout();
        return layout;
    }

private:
    const TextBox& m_textBox;
    QFont m_font;
    QPaintDevice& m_device;
    qreal m_width;
    qsizetype m_at = 0;
    bool m_finished = false;
};

// Lays the text out page by page on the printer's pages, each page just before it is needed,
// and draws each line where it goes when a painter is given. After each page, pageDone hears
// whether it was the last and how many bytes of the text are done; it answers false to stop.
bool layOutPages(const TextBox& textBox, QPrinter& printer, QPainter* painter,
                 const std::function<bool(bool last, qsizetype done)>& pageDone) {
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    QFont font = QGuiApplication::font();
    font.setPointSize(kPrintPointSize);
    LineLayouts lines(textBox, font, printer, page.width());
    std::unique_ptr<QTextLayout> layout;
    int nextLine = 0;
    for (;;) {
        for (qreal y = 0;;) {
            if (!layout || nextLine >= layout->lineCount()) {
                if (!lines.hasNext()) {
                    break;
                }
                layout = lines.next();
                nextLine = 0;
                continue;
            }
            const QTextLine line = layout->lineAt(nextLine);
            if (y > 0 && y + line.height() > page.height()) {
                break;
            }
            if (painter) {
                line.draw(painter, QPointF(0, y - line.y()));
            }
            y += line.height();
            ++nextLine;
        }
        const bool last = !lines.hasNext() && nextLine >= layout->lineCount();
        if (!pageDone(last, lines.done()) || last) {
            return last;
        }
    }
}

// Prints the text in two rounds, so a long text never freezes the window and Cancel leaves
// nothing half printed: the pages are first laid out behind a progress window with Cancel,
// with nothing sent to the printer yet (a print job, once begun, is sent whole when it
// ends); then they are laid out again and painted, behind a progress window of their own.
Printed printPages(const TextBox& textBox, QPrinter& printer, Dialogs& dialogs) {
    const qsizetype total = std::max<qsizetype>(textBox.utf8Length(), 1);
    const auto percent = [total](bool last, qsizetype done) {
        return last ? 100 : int(100 * done / total);
    };
    {
        const std::unique_ptr<Progress> preparing =
            dialogs.startCancellableProgress(QStringLiteral("印刷の準備をしています…"));
        const bool prepared =
            layOutPages(textBox, printer, nullptr, [&](bool last, qsizetype done) {
                preparing->setPercent(percent(last, done));
                return !preparing->cancelled();
            });
        if (!prepared) {
            return Printed::Cancelled;
        }
    }
    const std::unique_ptr<Progress> printing =
        dialogs.startProgress(QStringLiteral("印刷しています…"));
    QPainter painter;
    if (!painter.begin(&printer)) {
        return Printed::Failed;
    }
    const bool painted = layOutPages(textBox, printer, &painter, [&](bool last, qsizetype done) {
        printing->setPercent(percent(last, done));
        return last || printer.newPage();
    });
    return painter.end() && painted && printer.printerState() != QPrinter::Error ? Printed::Done
                                                                                 : Printed::Failed;
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
        if (printPages(m_textBox, printer(), m_dialogs) == Printed::Failed) {
            reason = QStringLiteral("プリンタに送れませんでした。");
        }
    }
    if (!reason.isEmpty()) {
        showErrorBox(m_dialogs, QStringLiteral("印刷できませんでした。\r\n") + reason);
    }
}

void Printing::printerSetup() {
    m_dialogs.setupPrinter(printer());
}

}  // namespace ondrel

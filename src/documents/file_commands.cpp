#include "documents/file_commands.h"

#include "documents/cp932.h"
#include "documents/document_file.h"
#include "platform/dialogs.h"
#include "text/insert_at_caret.h"
#include "text/offscreen_document.h"
#include "text/size_limit.h"
#include "text/text_box.h"

namespace ondrel {

namespace {

// The name shown in the file dialogs' name box, and how a cancelled dialog is recognised.
const QString kProject = QStringLiteral("project");
const QString kErrorTitle = QStringLiteral("エラー！");
const QString kCrLf = QStringLiteral("\r\n");

QString unencodableReport(const Cp932Encoded& encoded) {
    QString report =
        QStringLiteral("Shift_JIS (CP932) で保存できない文字があるため、保存しませんでした。");
    for (const UnencodableChar& c : encoded.firstUnencodable) {
        const char32_t units[1] = {c.codePoint};
        const QString hex =
            QString::number(static_cast<uint>(c.codePoint), 16).toUpper().rightJustified(4, u'0');
        report += kCrLf + QStringLiteral("行 %1、桁 %2: '%3' (U+%4)")
                              .arg(QString::number(c.line), QString::number(c.column),
                                   QString::fromUcs4(units, 1), hex);
    }
    const qsizetype more = encoded.unencodableCount - encoded.firstUnencodable.size();
    if (more > 0) {
        report += kCrLf + QStringLiteral("ほか %1 文字").arg(more);
    }
    return report;
}

}  // namespace

FileCommands::FileCommands(TextBox& textBox, Dialogs& dialogs,
                           std::function<void(const QString&)> setCaption)
    : m_textBox(textBox), m_dialogs(dialogs), m_setCaption(std::move(setCaption)) {}

QStringList FileCommands::fileFilters() {
    return {QStringLiteral("CGIファイル(*.cgi)"), QStringLiteral("PLファイル(*.pl)"),
            QStringLiteral("LOGファイル(*.log)"), QStringLiteral("DATファイル(*.dat)"),
            QStringLiteral("TXTファイル(*.txt)"), QStringLiteral("すべてのファイル(*.*)")};
}

void FileCommands::newDocument() {
    m_textBox.setText(QString());
    m_fileName.clear();
    m_forms.clear();
    InsertAtCaret(m_textBox, QStringLiteral("#!/usr/local/bin/perl\r\n\r\n"));
    m_setCaption(QStringLiteral("Ondrel [project]"));
}

void FileCommands::open() {
    const QString remembered = m_fileName;
    // After one failure the dialog comes back once; a second failure ends the command.
    for (int attempt = 0; attempt < 2; ++attempt) {
        m_fileName = kProject;
        const QString path = m_dialogs.openFileName(kProject, fileFilters());
        m_fileName = remembered;
        if (path.isEmpty() || path == kProject) {
            return;
        }
        if (openFile(path)) {
            return;
        }
    }
}

bool FileCommands::openFile(const QString& path) {
    if (!load(path)) {
        return false;
    }
    m_fileName = path;
    setCaptionFor(path);
    return true;
}

void FileCommands::save() {
    if (m_fileName.isEmpty()) {
        m_dialogs.message(QStringLiteral("上書きできません。"), kErrorTitle, MessageButtons::Ok,
                          MessageIcon::None, MessageAnswer::Ok);
        return;
    }
    if (write(m_fileName)) {
        setCaptionFor(m_fileName);
    }
}

void FileCommands::saveAs() {
    const QString remembered = m_fileName;
    m_fileName = kProject;
    const QString path = m_dialogs.saveFileName(kProject, fileFilters());
    m_fileName = remembered;
    if (path.isEmpty() || path == kProject) {
        return;
    }
    if (write(path)) {
        m_fileName = path;
        setCaptionFor(path);
    }
}

bool FileCommands::load(const QString& path) {
    const FileOutcome outcome = readIntoDocument(path);
    if (!outcome.ok()) {
        showError(QStringLiteral("ファイルを開けません。") + kCrLf + path + kCrLf + outcome.reason);
    }
    return outcome.ok();
}

FileOutcome FileCommands::readIntoDocument(const QString& path) {
    // The file is decoded into a document of its own, out of sight, and that document becomes
    // the text only once the whole file has been read, decoded and checked: a failure leaves
    // the document, its undo history and the caret as they were, and the file name with them.
    const std::unique_ptr<Progress> progress =
        m_dialogs.startProgress(QStringLiteral("ファイルを開いています…"));
    OffscreenDocument document(m_textBox);
    qint64 reported = 0;
    qint64 reserved = 0;
    bool tooLarge = false;
    Cp932Decoder decoder([&](QByteArrayView utf8, qint64 decoded) {
        if (!tooLarge && document.length() + utf8.size() > TextBox::maxUtf8Length()) {
            // Too large already: nothing more goes in, but the rest is still decoded, so a
            // byte that is not code page 932 is named first, as it would be in a smaller file.
            tooLarge = true;
            document.discard();
        }
        if (tooLarge) {
            return;
        }
        // Room for the whole text, guessed from what has been decoded so far, so the document
        // grows in few steps: each step copies what is there.
        const qsizetype filled = document.length() + utf8.size();
        const qint64 expected =
            filled + qint64(double(std::max<qint64>(reported - decoded, 0)) * filled / decoded);
        if (expected > reserved) {
            reserved =
                std::min<qint64>(expected + expected / 64 + 4096, TextBox::maxUtf8Length() + 1);
            document.reserve(reserved);
        }
        // In steps, each a small call.
        constexpr qsizetype kStep = qsizetype(1) << 18;
        for (qsizetype at = 0; at < utf8.size(); at += kStep) {
            document.append(utf8.sliced(at, std::min(kStep, utf8.size() - at)));
        }
        if (reported > 0) {
            progress->setPercent(static_cast<int>(std::min<qint64>(100, 100 * decoded / reported)));
        }
    });
    const FileOutcome read = readFileInPieces(path, cp932StreamSettings().pieceBytes,
                                              [&](const QByteArray& piece, qint64 size) {
                                                  reported = size;
                                                  decoder.add(piece);
                                              });
    const Cp932StreamResult decoded = decoder.finish();
    if (!read.ok()) {
        return read;
    }
    // Asked first: UTF-8 is the likeliest reason bytes do not decode, and the more useful
    // answer.
    if (decoded.clearlyUtf8) {
        // Opened as code page 932 it would show as nonsense, and the next save would write
        // that nonsense back in place of the user's UTF-8 text.
        return {
            QStringLiteral("UTF-8 で書かれたファイルのようです。Shift_JIS (CP932) "
                           "として開くと文字化けするため、開きませんでした。")};
    }
    if (!decoded.ok()) {
        return {QStringLiteral(
                    "Shift_JIS (CP932) のテキストとして読めないバイトがあります（%1 バイト目）。")
                    .arg(decoded.badOffset + 1)};
    }
    // A text past the limit would break the text area.
    if (tooLarge) {
        return {QStringLiteral("ファイルが大きすぎます。") + sizeLimitText()};
    }
    document.moveInto(m_textBox);
    m_forms = decoded.forms;
    return {};
}

bool FileCommands::write(const QString& path) {
    Cp932Encoded encoded;
    FileOutcome written;
    {
        const std::unique_ptr<Progress> progress =
            m_dialogs.startProgress(QStringLiteral("保存しています…"));
        // Encoded from the text area's own bytes; nothing lets events through from here to
        // the end of the write, so they stay where they are.
        encoded = encodeCp932Utf8(m_textBox.utf8Text(), m_forms);
        if (encoded.ok()) {
            // Every file ends with one CR LF after the document's text.
            encoded.bytes += QByteArrayLiteral("\r\n");
            written = writeWholeFile(path, encoded.bytes);
        }
    }
    if (!encoded.ok()) {
        showError(unencodableReport(encoded));
        return false;
    }
    if (!written.ok()) {
        showError(QStringLiteral("保存できませんでした。") + kCrLf + path + kCrLf + written.reason);
        return false;
    }
    return true;
}

void FileCommands::setCaptionFor(const QString& path) {
    m_setCaption(QStringLiteral("Ondrel [") + path + QStringLiteral("]"));
}

void FileCommands::showError(const QString& text) {
    m_dialogs.message(text, kErrorTitle, MessageButtons::Ok, MessageIcon::Critical,
                      MessageAnswer::Ok);
}

}  // namespace ondrel

#include "documents/file_commands.h"

#include <QLocale>

#include <algorithm>
#include <csignal>

#include "documents/cp932.h"
#include "documents/document_file.h"
#include "documents/file_name.h"
#include "documents/long_lines.h"
#include "documents/memory_room.h"
#include "documents/recovery.h"
#include "platform/dialogs.h"
#include "text/insert_at_caret.h"
#include "text/offscreen_document.h"
#include "text/size_limit.h"
#include "text/text_box.h"

namespace ondrel {

namespace {

// The name shown in the file dialogs' name box, and how a cancelled dialog is recognised.
const QString kProject = QStringLiteral("project");
const QString kCrLf = QStringLiteral("\r\n");
const QString kReadOnly = QStringLiteral("読み取り専用");

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

// Follows a text, piece by piece, for the first line break it uses and the one it ends with.
class LineBreaks {
public:
    void add(QByteArrayView text) {
        if (text.isEmpty()) {
            return;
        }
        if (m_first.isEmpty()) {
            if (m_crPending) {
                m_first = text.front() == '\n' ? "\r\n" : "\r";
            } else {
                const auto found = std::find_if(text.begin(), text.end(),
                                                [](char c) { return c == '\r' || c == '\n'; });
                if (found != text.end()) {
                    if (*found == '\n') {
                        m_first = "\n";
                    } else if (found + 1 == text.end()) {
                        m_crPending = true;
                    } else {
                        m_first = found[1] == '\n' ? "\r\n" : "\r";
                    }
                }
            }
        }
        m_beforeLast = text.size() > 1 ? text[text.size() - 2] : m_last;
        m_last = text.back();
    }
    QByteArray first() const { return m_crPending && m_first.isEmpty() ? "\r" : m_first; }
    QByteArray last() const {
        if (m_last == '\n') {
            return m_beforeLast == '\r' ? "\r\n" : "\n";
        }
        return m_last == '\r' ? "\r" : "";
    }

private:
    QByteArray m_first;
    bool m_crPending = false;
    char m_beforeLast = '\0';
    char m_last = '\0';
};

// Follows a file's bytes, piece by piece (each ending after a line feed or at the end), for
// whether they are all valid UTF-8 with at least one character outside ASCII.
class Utf8Evidence {
public:
    void add(QByteArrayView bytes) {
        if (!m_valid) {
            return;
        }
        if (!m_nonAscii) {
            const auto wide = std::find_if(bytes.begin(), bytes.end(),
                                           [](char c) { return static_cast<uchar>(c) >= 0x80; });
            if (wide == bytes.end()) {
                return;
            }
            m_nonAscii = true;
        }
        m_valid = bytes.isValidUtf8();
    }
    bool validWithNonAscii() const { return m_valid && m_nonAscii; }

private:
    bool m_valid = true;
    bool m_nonAscii = false;
};

}  // namespace

FileCommands::FileCommands(TextBox& textBox, Dialogs& dialogs,
                           std::function<void(const QString&)> setCaption)
    : m_textBox(textBox), m_dialogs(dialogs), m_setCaption(std::move(setCaption)) {
    m_textBox.setModifiedChanged([this](bool) { updateCaption(); });
}

QStringList FileCommands::fileFilters() {
    return {QStringLiteral("CGIファイル(*.cgi)"), QStringLiteral("PLファイル(*.pl)"),
            QStringLiteral("LOGファイル(*.log)"), QStringLiteral("DATファイル(*.dat)"),
            QStringLiteral("TXTファイル(*.txt)"), QStringLiteral("すべてのファイル(*.*)")};
}

void FileCommands::newDocument() {
    m_textBox.setText(QString());
    m_fileName.clear();
    m_identity.reset();
    m_forms.clear();
    m_finalBreak = QByteArrayLiteral("\r\n");
    m_textBox.setEnterLineBreak(m_finalBreak);
    InsertAtCaret(m_textBox, QStringLiteral("#!/usr/local/bin/perl\r\n\r\n"));
    // A fresh document holds nothing the user could lose.
    m_textBox.setUnmodified();
    updateCaption();
}

void FileCommands::open() {
    if (!maySetAside()) {
        return;
    }
    // After one failure the dialog comes back once; a second failure ends the command.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString picked = m_dialogs.openFileName(kProject, fileFilters());
        if (picked.isEmpty() || picked == kProject) {
            return;
        }
        const NameOnDisk path = nameOnDisk(picked);
        if (path.match == NameOnDisk::Match::NotUtf8) {
            refuseNotUtf8(true, picked);
            continue;
        }
        // A file the user chose not to open as Shift_JIS ends the command as it is.
        if (openFile(path.name) || m_openDeclined) {
            return;
        }
    }
}

bool FileCommands::openFile(const QByteArray& path) {
    if (!load(path)) {
        return false;
    }
    m_fileName = path;
    updateCaption();
    if (m_textBox.isReadOnly()) {
        m_dialogs.message(m_readOnlyReason + kCrLf +
                              QStringLiteral("長い行は画面の上でだけ複数の行に分けて、読み取り"
                                             "専用で表示しています。このファイルは Ondrel "
                                             "からは保存できません。"),
                          kReadOnly, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    }
    return true;
}

bool FileCommands::save() {
    if (refuseReadOnly()) {
        return false;
    }
    if (m_fileName.isEmpty()) {
        m_dialogs.message(QStringLiteral("上書きできません。"), QStringLiteral("エラー！"),
                          MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
        return false;
    }
    if (!mayOverwrite() || !write(m_fileName)) {
        return false;
    }
    updateCaption();
    return true;
}

bool FileCommands::saveAs() {
    if (refuseReadOnly()) {
        return false;
    }
    const QString picked = m_dialogs.saveFileName(kProject, fileFilters());
    if (picked.isEmpty() || picked == kProject) {
        return false;
    }
    const NameOnDisk path = nameOnDisk(picked);
    if (path.match == NameOnDisk::Match::NotUtf8) {
        refuseNotUtf8(false, picked);
        return false;
    }
    // The dialog asks before replacing a file only when it sees it under the name picked.
    if (path.match == NameOnDisk::Match::Respelled && fileIdentity(path.name) &&
        m_dialogs.message(QStringLiteral("%1 は既に存在します。\r\n上書きしますか？")
                              .arg(fileNameText(path.name)),
                          QStringLiteral("名前を付けて保存"), MessageButtons::YesNo,
                          MessageIcon::Question, MessageAnswer::No) != MessageAnswer::Yes) {
        return false;
    }
    if (!write(path.name)) {
        return false;
    }
    m_fileName = path.name;
    updateCaption();
    return true;
}

bool FileCommands::maySetAside() {
    if (!m_textBox.isModified()) {
        return true;
    }
    const MessageAnswer answer =
        m_dialogs.message(QStringLiteral("「%1」への変更を保存しますか？").arg(documentName()),
                          QStringLiteral("Ondrel"), MessageButtons::YesNoCancel,
                          MessageIcon::Question, MessageAnswer::Yes);
    switch (answer) {
        case MessageAnswer::Yes:
            // Goes on only once the text is safe on disk.
            return m_fileName.isEmpty() ? saveAs() : save();
        case MessageAnswer::No:
            if (m_onDiscarded) {
                m_onDiscarded();
            }
            return true;
        case MessageAnswer::Cancel:
        case MessageAnswer::Ok:
            break;
    }
    return false;
}

bool FileCommands::mayOverwrite() {
    if (!m_identity) {
        return true;
    }
    const std::optional<FileIdentity> now = fileIdentity(m_fileName);
    // A file that is gone loses nothing by being written anew.
    if (!now || *now == *m_identity) {
        return true;
    }
    return m_dialogs.message(
               QStringLiteral("「%1」は、読み込んだ後にほかのプログラムによって変更されています。"
                              "\r\n上書きすると、その変更は失われます。上書きしますか？")
                   .arg(fileNameText(m_fileName)),
               QStringLiteral("上書き保存"), MessageButtons::YesNo, MessageIcon::Question,
               MessageAnswer::No) == MessageAnswer::Yes;
}

bool FileCommands::refuseReadOnly() {
    if (!m_textBox.isReadOnly()) {
        return false;
    }
    // Written out, the breaks added for the eye would become part of the file.
    m_dialogs.message(QStringLiteral("読み取り専用で開いた文書のため、保存しませんでした。") +
                          kCrLf + m_readOnlyReason + kCrLf +
                          QStringLiteral("分けて表示している行をそのまま保存すると、ファイルの"
                                         "内容が変わってしまいます。"),
                      kReadOnly, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    return true;
}

QString FileCommands::documentName() const {
    return m_fileName.isEmpty() ? kProject
                                : fileNameText(m_fileName.mid(m_fileName.lastIndexOf('/') + 1));
}

void FileCommands::refuseNotUtf8(bool opening, const QString& picked) {
    QString text = (opening ? QStringLiteral("ファイルを開けません。")
                            : QStringLiteral("保存できませんでした。")) +
                   kCrLf + picked + kCrLf +
                   QStringLiteral(
                       "ファイル名が UTF-8 で書かれていないため、どのファイルか決められ"
                       "ませんでした。名前を UTF-8 に付け直してください（例: convmv -f "
                       "cp932 -t utf8 --notest 名前）。");
    if (opening) {
        // Completed by the shell, the name reaches the program as its own bytes.
        text += QStringLiteral(
            "端末で「ondrel 」に続けて Tab キーで名前を補えば、そのまま開く"
            "こともできます。");
    }
    showErrorBox(m_dialogs, text);
}

bool FileCommands::load(const QByteArray& path) {
    m_openDeclined = false;
    const FileOutcome outcome = readIntoDocument(path, m_openDeclined);
    if (m_openDeclined) {
        return false;
    }
    if (!outcome.ok()) {
        showErrorBox(m_dialogs, QStringLiteral("ファイルを開けません。") + kCrLf +
                                    fileNameText(path) + kCrLf + outcome.reason);
    }
    return outcome.ok();
}

FileOutcome FileCommands::readIntoDocument(const QByteArray& path, bool& declined) {
    // The file is decoded into a document of its own, out of sight, and that document becomes
    // the text only once the whole file has been read, decoded and checked: a failure leaves
    // the document, its undo history and the caret as they were, and the file name with them.
    std::unique_ptr<Progress> progress =
        m_dialogs.startProgress(QStringLiteral("ファイルを開いています…"));
    const std::optional<FileIdentity> before = fileIdentity(path);
    OffscreenDocument document(m_textBox);
    LineBreaks breaks;
    LongLineSplitter longLines;
    Utf8Evidence utf8Evidence;
    qint64 reported = 0;
    qint64 reserved = 0;
    bool tooLarge = false;
    // A file of many short lines needs more memory than its size says: it is refused before
    // the memory runs out, which would end the program.
    const qint64 room = memoryRoom() / 4 * 3;
    qint64 lines = 0;
    bool outOfMemory = false;
    // Lines too long for the text area go in split, and the document opens read-only.
    const auto take = [&](QByteArrayView utf8, qint64 decoded) {
        if (utf8.isEmpty()) {
            return;
        }
        // Room for the file's final line break, which is kept out of the text.
        if (!tooLarge && document.length() + utf8.size() > TextBox::maxUtf8Length() + 2) {
            // Too large already: nothing more goes in, but the rest is still decoded, so a
            // byte that is not code page 932 is named first, as it would be in a smaller file.
            tooLarge = true;
            document.discard();
        }
        if (tooLarge || outOfMemory) {
            return;
        }
        // Room for the whole text, guessed from what has been decoded so far, so the document
        // grows in few steps: each step copies what is there.
        const qsizetype filled = document.length() + utf8.size();
        const qint64 expected =
            filled + qint64(double(std::max<qint64>(reported - decoded, 0)) * filled / decoded);
        // Each line costs the text area an index entry of 4 bytes, with room to grow into and a
        // copy of the index while it grows, and the Perl marks a byte.
        lines += std::count(utf8.begin(), utf8.end(), '\n');
        for (qsizetype cr = utf8.indexOf('\r'); cr >= 0; cr = utf8.indexOf('\r', cr + 1)) {
            lines += cr + 1 == utf8.size() || utf8[cr + 1] != '\n';
        }
        constexpr qint64 kBytesPerLine = 16;
        if (std::max<qint64>(expected, reserved) + lines * kBytesPerLine > room) {
            outOfMemory = true;
            document.discard();
            return;
        }
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
    };
    qint64 decodedSoFar = 0;
    Cp932Decoder decoder([&](QByteArrayView fileText, qint64 decoded) {
        breaks.add(fileText);
        decodedSoFar = decoded;
        take(longLines.add(fileText), decoded);
    });
    QByteArray start;
    const FileOutcome read = readFileInPieces(
        path, cp932StreamSettings().pieceBytes, [&](const QByteArray& piece, qint64 size) {
            reported = size;
            if (start.isEmpty()) {
                start = piece.first(std::min<qsizetype>(2, piece.size()));
            }
            utf8Evidence.add(piece);
            decoder.add(piece);
        });
    const Cp932StreamResult decoded = decoder.finish();
    take(longLines.finish(), decodedSoFar);
    if (!read.ok()) {
        return read;
    }
    // Asked first: UTF-8 is the likeliest reason bytes do not decode, and the more useful
    // answer.
    // The byte-order marks of UTF-16 read as two single bytes of the code page: the text would
    // show as nonsense, every other byte a NUL.
    if (start == "\xFF\xFE" || start == "\xFE\xFF") {
        return {
            QStringLiteral("UTF-16 で書かれたファイルのようです。Shift_JIS (CP932) "
                           "として開くと文字化けするため、開きませんでした。")};
    }
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
    if (outOfMemory) {
        return {
            QStringLiteral("ファイルを開くためのメモリーが足りません。行が多すぎるか、"
                           "ファイルが大きすぎます。")};
    }
    // A text past the limit would break the text area.
    if (tooLarge) {
        return {QStringLiteral("ファイルが大きすぎます。") + sizeLimitText()};
    }
    // Another program writing the file meanwhile may have left any mix of old and new bytes.
    const std::optional<FileIdentity> after = fileIdentity(path);
    if (!before || !after || *before != *after) {
        return {
            QStringLiteral("読み込んでいる間に、ほかのプログラムがファイルを変更しました。"
                           "もう一度開いてください。")};
    }
    progress.reset();
    // Two-byte UTF-8 alone (é, ©) also reads as code page 932, and so does half-width katakana
    // in code page 932: only the user knows which it is.
    if (utf8Evidence.validWithNonAscii() &&
        m_dialogs.message(QStringLiteral("このファイルは UTF-8 で書かれているかもしれません。"
                                         "\r\nShift_JIS (CP932) として開きますか？"),
                          QStringLiteral("開く"), MessageButtons::YesNo, MessageIcon::Question,
                          MessageAnswer::Yes) != MessageAnswer::Yes) {
        declined = true;
        return {};
    }
    // The file's last line break is kept aside and written back after the text, so opening and
    // saving changes no byte; Enter types the break the file uses.
    const QByteArray finalBreak = breaks.last();
    document.removeTail(finalBreak.size());
    if (document.length() > TextBox::maxUtf8Length()) {
        return {QStringLiteral("ファイルが大きすぎます。") + sizeLimitText()};
    }
    document.moveInto(m_textBox);
    if (longLines.firstLongLine() > 0) {
        m_textBox.setReadOnly(true);
        const QLocale locale;
        m_readOnlyReason =
            (longLines.firstLongLineCrowded()
                 ? QStringLiteral("%1 行目が %2 文字あり、前の長い行とあわせると、Ondrel で"
                                  "編集できる 1 画面分の長さを超えています。")
                 : QStringLiteral("%1 行目が %2 文字あり、Ondrel で編集できる 1 行の"
                                  "長さを超えています。"))
                .arg(locale.toString(longLines.firstLongLine()),
                     locale.toString(longLines.firstLongLineCharacters()));
        if (longLines.longLines() > 1) {
            m_readOnlyReason +=
                QStringLiteral("（ほかに %1 行）").arg(locale.toString(longLines.longLines() - 1));
        }
    }
    m_forms = decoded.forms;
    m_identity = after;
    m_finalBreak = finalBreak.isEmpty() ? QByteArrayLiteral("\r\n") : finalBreak;
    m_textBox.setEnterLineBreak(breaks.first().isEmpty() ? QByteArrayLiteral("\r\n")
                                                         : breaks.first());
    return {};
}

bool FileCommands::write(const QByteArray& path) {
    // Past a file size limit (ulimit -f) the system would end the program mid-save, with the
    // user's text; ignored, the write fails and the save reports it.
    std::signal(SIGXFSZ, SIG_IGN);
    Cp932Encoded encoded;
    FileOutcome written;
    {
        const std::unique_ptr<Progress> progress =
            m_dialogs.startProgress(QStringLiteral("保存しています…"));
        // Encoded from the text area's own bytes; nothing lets events through from here to
        // the end of the write, so they stay where they are.
        encoded = encodeCp932Utf8(m_textBox.utf8Text(), m_forms);
        if (encoded.ok()) {
            // Every file ends with one line break after the document's text: the one the
            // opened file ended with, CR LF otherwise.
            encoded.bytes += m_finalBreak;
            written = writeWholeFile(path, encoded.bytes);
        }
    }
    if (!encoded.ok()) {
        showErrorBox(m_dialogs, unencodableReport(encoded));
        return false;
    }
    if (!written.ok()) {
        showErrorBox(m_dialogs, QStringLiteral("保存できませんでした。") + kCrLf +
                                    fileNameText(path) + kCrLf + written.reason);
        return false;
    }
    if (!written.warning.isEmpty()) {
        showErrorBox(m_dialogs, fileNameText(path) + kCrLf + written.warning);
    }
    m_identity = fileIdentity(path);
    m_textBox.setUnmodified();
    if (m_onSaved) {
        m_onSaved(path);
    }
    return true;
}

void FileCommands::updateCaption() {
    // Modified, the caption carries the desktop's mark of unsaved changes.
    const QString name = m_fileName.isEmpty() ? kProject : fileNameText(m_fileName);
    m_setCaption(QStringLiteral("Ondrel [") + name + QStringLiteral("]") +
                 (m_textBox.isModified() ? QStringLiteral("*") : QString()) +
                 (m_textBox.isReadOnly() ? QStringLiteral(" (") + kReadOnly + u')' : QString()));
}

QByteArray FileCommands::recoveryState() const {
    QByteArray state = m_finalBreak.toHex();
    if (m_identity) {
        state += ' ' + QByteArray::number(m_identity->device) + ' ' +
                 QByteArray::number(m_identity->inode) + ' ' +
                 QByteArray::number(m_identity->size) + ' ' +
                 QByteArray::number(m_identity->modifiedNs);
    }
    return state;
}

void FileCommands::restore(QByteArrayView utf8, const QByteArray& fileName,
                           const QByteArray& state) {
    restoreAsModified(m_textBox, utf8);
    // A relative name (kept where the full one passed the path limit) meant the folder of the
    // program that wrote the copy; here it could name another file, so Save asks for a name.
    m_fileName = fileName.startsWith('/') ? fileName : QByteArray();
    // The codes the file used for characters written twice are not in the copy.
    m_forms.clear();
    const QList<QByteArray> parts = state.split(' ');
    const QByteArray finalBreak = QByteArray::fromHex(parts.value(0));
    m_finalBreak = finalBreak.isEmpty() ? QByteArrayLiteral("\r\n") : finalBreak;
    m_identity.reset();
    if (!m_fileName.isEmpty()) {
        // Unknown, an identity no file has: a Save asks before overwriting what it holds now.
        m_identity = parts.size() == 5
                         ? FileIdentity{parts[1].toULongLong(), parts[2].toULongLong(),
                                        parts[3].toLongLong(), parts[4].toLongLong()}
                         : FileIdentity{};
    }
    updateCaption();
}

}  // namespace ondrel

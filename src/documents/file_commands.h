#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "documents/cp932.h"
#include "documents/document_file.h"
#include "documents/file_identity.h"

namespace ondrel {

class Dialogs;
class TextBox;

// New, Open, Save and Save As: they tie the one document to a file in code page 932 and own
// the current file name. None of them ever leaves a lossy or truncated file behind, and a
// failure leaves the document, the file name and the caption as they were. Nothing modified is
// set aside without the user's word, and Save does not silently overwrite what another program
// wrote to the file. It borrows the text box and the dialogs.
class FileCommands {
public:
    // setCaption receives the main window's caption whenever the file name or the modified
    // state changes.
    FileCommands(TextBox& textBox, Dialogs& dialogs,
                 std::function<void(const QString&)> setCaption);

    // The full path of the document's file, as the system's bytes; empty while it has none.
    const QByteArray& fileName() const { return m_fileName; }

    void newDocument();
    void open();
    // True when the document is saved (and so unmodified) afterwards.
    bool save();
    bool saveAs();
    // Opens path as Open does once its dialog has chosen it; a failure is shown and changes
    // nothing. True when the document is now that file.
    bool openFile(const QByteArray& path);

    // Before the document is set aside (New, Open, a drop, closing, Exit, logout): when it is
    // modified, asks whether to save it first. True when the caller may go on: nothing was at
    // stake, the document was saved, or the user chose to discard it.
    bool maySetAside();

    // Heard when the user chose to discard the modified document.
    void setOnDiscarded(std::function<void()> listener) { m_onDiscarded = std::move(listener); }

    // Told the file's full path after each successful Save and Save As.
    void setOnSaved(std::function<void(const QByteArray&)> onSaved) {
        m_onSaved = std::move(onSaved);
    }

    // What a recovery copy keeps of the file besides its name: its identity on disk and the
    // line break it ended with.
    QByteArray recoveryState() const;
    // Puts a recovered text back as a modified document of the file fileName ("" for none),
    // with the state recoveryState() gave.
    void restore(QByteArrayView utf8, const QByteArray& fileName, const QByteArray& state);

    // The filter list of both file dialogs, as Qt filters; the first is selected.
    static QStringList fileFilters();

private:
    // Reads and decodes path; on success the document becomes its text. Shows the failure
    // and returns false otherwise, touching nothing.
    bool load(const QByteArray& path);
    // The work of load, with a busy cursor and progress. Sets declined when the user chose not
    // to open the file, which needs no message.
    FileOutcome readIntoDocument(const QByteArray& path, bool& declined);
    // Encodes the document and writes it to path. Shows the failure and returns false
    // otherwise, touching nothing.
    bool write(const QByteArray& path);
    // True when the file at m_fileName is as it was last read or written, or the user agrees to
    // overwrite what another program changed.
    bool mayOverwrite();
    // When the document is read-only (a line too long for the text area is shown split), says
    // why it is not saved and returns true.
    bool refuseReadOnly();
    // Says that Open or Save As failed because a name picked in a file dialog is not UTF-8 and
    // matches no file or several.
    void refuseNotUtf8(bool opening, const QString& picked);
    void updateCaption();
    QString documentName() const;

    TextBox& m_textBox;
    Dialogs& m_dialogs;
    std::function<void(const QString&)> m_setCaption;
    std::function<void()> m_onDiscarded;
    std::function<void(const QByteArray&)> m_onSaved;
    QByteArray m_fileName;
    // The user declined to open the last file read as Shift_JIS.
    bool m_openDeclined = false;
    // The identity of m_fileName when it was last read or written.
    std::optional<FileIdentity> m_identity;
    // The line break the file ended with, kept out of the text and written back after it.
    QByteArray m_finalBreak = QByteArrayLiteral("\r\n");
    // The codes the document's file used for characters the code page holds twice; saving
    // writes them so again.
    Cp932Forms m_forms;
    // Which line made the document read-only, in a sentence.
    QString m_readOnlyReason;
};

}  // namespace ondrel

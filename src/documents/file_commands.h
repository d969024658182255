#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "documents/cp932.h"
#include "documents/document_file.h"

namespace ondrel {

class Dialogs;
class TextBox;

// New, Open, Save and Save As: they tie the one document to a file in code page 932 and own
// the current file name. None of them ever leaves a lossy or truncated file behind, and a
// failure leaves the document, the file name and the caption as they were. It borrows the
// text box and the dialogs.
class FileCommands {
public:
    // setCaption receives the main window's caption whenever the file name changes.
    FileCommands(TextBox& textBox, Dialogs& dialogs,
                 std::function<void(const QString&)> setCaption);

    // The full path of the document's file; empty while it has none.
    const QString& fileName() const { return m_fileName; }

    void newDocument();
    void open();
    void save();
    void saveAs();
    // Opens path as Open does once its dialog has chosen it; a failure is shown and changes
    // nothing. True when the document is now that file.
    bool openFile(const QString& path);

    // Puts a recovered text back as a modified document of the file fileName ("" for none).
    void restore(QByteArrayView utf8, const QString& fileName);

    // The filter list of both file dialogs, as Qt filters; the first is selected.
    static QStringList fileFilters();

private:
    // Reads and decodes path; on success the document becomes its text. Shows the failure
    // and returns false otherwise, touching nothing.
    bool load(const QString& path);
    // The work of load, with a busy cursor and progress.
    FileOutcome readIntoDocument(const QString& path);
    // Encodes the document and writes it to path. Shows the failure and returns false
    // otherwise, touching nothing.
    bool write(const QString& path);
    void setCaptionFor(const QString& path);
    void showError(const QString& text);

    TextBox& m_textBox;
    Dialogs& m_dialogs;
    std::function<void(const QString&)> m_setCaption;
    QString m_fileName;
    // The codes the document's file used for characters the code page holds twice; saving
    // writes them so again.
    Cp932Forms m_forms;
};

}  // namespace ondrel

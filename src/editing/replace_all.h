#pragma once

#include <QString>
#include <QStringView>

#include <functional>

namespace ondrel {

class Dialogs;
class Progress;
class TextBox;

// Hears, now and then, how many characters of the text of how many have been scanned.
using ScanProgress = std::function<void(qsizetype done, qsizetype total)>;

// Every occurrence of search in text replaced by replacement: exact comparison, leftmost
// match first, occurrences never overlap and replaced text is never searched again.
// Linear in the text's length. An empty search changes nothing.
QString replaceAll(QStringView text, QStringView search, QStringView replacement,
                   const ScanProgress& progress = {});

// 検索置換: asks for the search and replacement strings, replaces every occurrence in the
// whole document as one undoable step and leaves the caret at the start. A result past the
// text area's limit is refused before it is built, and the document stays as it was. It
// borrows the text box and the dialogs.
class ReplaceCommand {
public:
    ReplaceCommand(TextBox& textBox, Dialogs& dialogs);
    void run();

private:
    // Replaces in the document; false, touching nothing, when the result would not fit.
    bool replaceInDocument(const QString& search, const QString& replacement, Progress& progress);

    TextBox& m_textBox;
    Dialogs& m_dialogs;
};

}  // namespace ondrel

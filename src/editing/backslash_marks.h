#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <string_view>
#include <vector>

#include "perl/perl_line_states.h"

class QsciScintilla;
class QPoint;

namespace ondrel {

class TextBox;

// Marks in the text area every character whose second code page 932 byte Perl would read as
// syntax where it stands (a backslash, a delimiter, a pattern's bracket or bar, an array's @),
// and explains the mark when the mouse rests on it. The marks are one Scintilla indicator whose
// value is the kind of mark plus one: display only, never part of the text, its undo history,
// what is saved, copied or printed. After an edit the lines from the edited one are rescanned
// until one starts as before; a whole new text is scanned in slices from the event loop.
class BackslashMarks : public QObject {
    Q_OBJECT
public:
    // trailBytes: the characters code page 932 writes with an ASCII second byte, with that byte.
    BackslashMarks(TextBox& textBox, const QHash<char32_t, char>& trailBytes);
    ~BackslashMarks() override;

    // True when every line's marks are up to date.
    bool idle() const { return m_states.done() && !m_timer.isActive(); }

    static constexpr int kIndicator = 9;

    // Where the one remedy that is always right applies, a backslash after a character whose
    // second byte is a backslash: the byte position after such a mark under globalPos (a
    // click), or else under the caret or right before it. -1 when there is none.
    static long backslashRemedyAt(QsciScintilla* editor, const QPoint& globalPos);

private:
    void aboutToEdit(int position, int type);
    void settleEdit();
    int lineCount() const;
    void restart();
    void scanSlice();
    std::string_view lineBytes(int line);
    void showMarks(int line, const std::vector<ByteRange>& marks);
    void dwellStart(int position);

    TextBox& m_textBox;
    QsciScintilla* m_editor;
    PerlBackslashScanner m_scanner;
    PerlLineStates m_states{m_scanner};
    QTimer m_timer;
    QByteArray m_lineBuffer;
    // The edit announced last, told to the line states once it is done: its first line and the
    // line count before it.
    bool m_editPending = false;
    int m_editLine = 0;
    int m_linesBefore = 0;
};

}  // namespace ondrel

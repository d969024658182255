#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include "documents/perl_check.h"

class QPushButton;
class QsciScintilla;

namespace ondrel {

class TextBox;

// perl's verdict on the script just saved, shown on the text area without a box and without
// moving the caret: each line perl names is underlined (a Scintilla indicator, never part of
// the text), its messages show in a call tip when the mouse rests on it, and a note at the
// bottom of the text area gives the count and the first message and takes the caret to that
// line when clicked. The note goes at the next edit or when the text area gets another
// document; the underlines stay with their lines until the next check. It borrows the text box.
class SyntaxNote : public QObject {
    Q_OBJECT
public:
    explicit SyntaxNote(TextBox& textBox, PerlCheck::Settings settings = {});
    ~SyntaxNote() override;

    // After a successful save of path: checks it when it is a Perl script. Returns at once.
    void check(const QByteArray& path);
    bool checking() const { return m_check.running(); }

    // Above the Shift_JIS marks' indicators.
    static constexpr int kIndicator = 20;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show(const PerlVerdict& verdict);
    void mark(const QList<PerlMessage>& messages);
    void clearMarks();
    void showNote(const QString& text, int line);
    void hideNote();
    void placeNote();
    void dwellStart(int position);
    long document() const;

    QsciScintilla* m_editor;
    QPushButton* m_note;
    PerlCheck m_check;
    int m_seconds;
    // The messages of each underlined line; an underline's indicator value is its index + 1.
    QStringList m_tips;
    QString m_noteText;
    int m_noteLine = 0;
    // The document saved and whether it changed since: a verdict on other text is dropped.
    long m_document = 0;
    bool m_edited = false;
    // Said once in the note, not at every save.
    bool m_toldPerlMissing = false;
    bool m_toldRoot = false;
    QTimer m_briefNote;
};

}  // namespace ondrel

#pragma once

#include <QString>
#include <QStringView>

namespace ondrel {

class Dialogs;
class TextBox;

// Adds up how many bytes of UTF-8 the text area holds for a text given in pieces, as if the
// pieces were joined: a lone surrogate counts as the "?" that Qt writes for it, and a high and
// a low surrogate meeting across pieces as one four-byte character.
class Utf8Length {
public:
    void add(QStringView piece);
    // Adds a piece whose own UTF-8 length is already known, without reading it again.
    void add(QStringView piece, qsizetype pieceBytes);
    qsizetype bytes() const { return m_bytes; }

private:
    qsizetype m_bytes = 0;
    bool m_endsInHighSurrogate = false;
};

// The UTF-8 length of one text as the text area holds it.
qsizetype utf8Length(QStringView text);

// Whether text fits the text area as a whole document. A text whose number of characters
// already settles it is not read.
bool fitsAsDocument(QStringView text);

// One sentence naming the largest document the text area takes.
QString sizeLimitText();

// Shows, under "エラー！", that the command stopped because the document would pass the limit.
void refuseTooLarge(Dialogs& dialogs);
// True when a document of documentBytes fits the text area; otherwise refuses and says so.
bool fitsOrRefuse(Dialogs& dialogs, qsizetype documentBytes);
// As fitsOrRefuse, for the document after its selection is replaced by insertedBytes.
bool insertionFitsOrRefuse(const TextBox& textBox, Dialogs& dialogs, qsizetype insertedBytes);

}  // namespace ondrel

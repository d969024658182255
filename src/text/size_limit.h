#pragma once

#include <QString>
#include <QStringView>

namespace ondrel {

class Dialogs;
class TextBox;

// The UTF-8 length of one text as the text area holds it.
qsizetype utf8Length(QStringView text);

// One sentence naming the largest document the text area takes.
QString sizeLimitText();

// Shows, under "エラー！", that the command stopped because the document would pass the limit.
void refuseTooLarge(Dialogs& dialogs);
// True when a document of documentBytes fits the text area; otherwise refuses and says so.
bool fitsOrRefuse(Dialogs& dialogs, qsizetype documentBytes);
// As fitsOrRefuse, for the document after its selection is replaced by insertedBytes.
bool insertionFitsOrRefuse(const TextBox& textBox, Dialogs& dialogs, qsizetype insertedBytes);
// True when the document may change; when it is read-only, says so instead.
bool editableOrRefuse(const TextBox& textBox, Dialogs& dialogs);

}  // namespace ondrel

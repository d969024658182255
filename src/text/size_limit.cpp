#include "text/size_limit.h"

#include "platform/dialogs.h"
#include "text/text_box.h"

namespace ondrel {

qsizetype utf8Length(QStringView text) {
    qsizetype bytes = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            bytes += 1;
        } else if (unit < 0x800) {
            bytes += 2;
        } else if (QChar::isHighSurrogate(unit) && i + 1 < size && text[i + 1].isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            bytes += 1;  // written as "?"
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

QString sizeLimitText() {
    return QStringLiteral("扱える文書の大きさは UTF-8 で %1 バイトまでです。")
        .arg(TextBox::maxUtf8Length());
}

void refuseTooLarge(Dialogs& dialogs) {
    showErrorBox(dialogs, QStringLiteral("文書が大きくなりすぎるため、中止しました。\r\n") +
                              sizeLimitText());
}

bool fitsOrRefuse(Dialogs& dialogs, qsizetype documentBytes) {
    if (documentBytes <= TextBox::maxUtf8Length()) {
        return true;
    }
    refuseTooLarge(dialogs);
    return false;
}

bool editableOrRefuse(const TextBox& textBox, Dialogs& dialogs) {
    if (!textBox.isReadOnly()) {
        return true;
    }
    dialogs.message(QStringLiteral("読み取り専用の文書のため、変更できません。"),
                    QStringLiteral("読み取り専用"), MessageButtons::Ok, MessageIcon::None,
                    MessageAnswer::Ok);
    return false;
}

bool insertionFitsOrRefuse(const TextBox& textBox, Dialogs& dialogs, qsizetype insertedBytes) {
    return fitsOrRefuse(dialogs,
                        textBox.utf8Length() - textBox.selectionUtf8Length() + insertedBytes);
}

}  // namespace ondrel

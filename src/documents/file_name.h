#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace ondrel {

// File names are the bytes the system gives: UTF-8 on this desktop, but anything in names
// that came from elsewhere (Shift_JIS from a zip made on Windows or an old server). A document
// keeps its file's name as those bytes and opens and saves by them; text is for the eye only.

// The name as shown: each part between slashes read as UTF-8, or as code page 932 where the
// part is code page 932 and not UTF-8; in a part that is neither, or that holds a character
// that would not show (a control, a format character), each such byte shows as \xNN.
QString fileNameText(QByteArrayView name);

// name against the working folder when it is relative and the whole stays within the
// system's path limit (past it, name stays relative, and opening and saving by it still work).
QByteArray absoluteFileName(const QByteArray& name);

// What a name a file dialog gave stands for on disk. Qt's dialogs show and return a name
// that is not UTF-8 garbled, so a picked name that does not exist as written is matched with
// the names in its folder as Qt and as Ondrel show them.
struct NameOnDisk {
    enum class Match {
        AsWritten,  // the name as written, of an existing file or a new one
        // The one existing name (of the file, or of a folder on its way) that reads as the
        // picked one.
        Respelled,
        NotUtf8,  // a garbled name that matches no file, or more than one
    };
    QByteArray name;  // the bytes to open or save by
    Match match = Match::AsWritten;
};
NameOnDisk nameOnDisk(const QString& picked);

// name as given when it exists or is not UTF-8; otherwise (表示.cgi typed for a file named in
// Shift_JIS) the one existing name that reads the same, as nameOnDisk finds it, if there is one.
QByteArray existingSpelling(const QByteArray& name);

}  // namespace ondrel

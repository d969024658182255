#pragma once

#include <QByteArray>
#include <QString>

namespace ondrel {

// What an operation on a file came to: ok, or the reason it failed, in Japanese, for the
// user's message.
struct FileOutcome {
    QString reason;
    bool ok() const { return reason.isEmpty(); }
};

// A whole file's bytes, or why they could not be read (bytes is then empty).
struct FileRead {
    QByteArray bytes;
    QString reason;
    bool ok() const { return reason.isEmpty(); }
};

FileRead readWholeFile(const QString& path);

// Replaces the file at path with bytes so that a failure at any point leaves the old file
// exactly as it was: the bytes go to a new file beside it, which replaces the old one only
// once every byte is known to be written. A symbolic link is written through, and the file's
// permissions are kept.
FileOutcome writeWholeFile(const QString& path, const QByteArray& bytes);

}  // namespace ondrel

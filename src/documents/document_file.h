#pragma once

#include <QByteArray>
#include <QString>

namespace ondrel {

// Reads the whole file at path into bytes. Returns "" on success, otherwise the reason in
// Japanese; bytes is then left empty.
QString readWholeFile(const QString& path, QByteArray& bytes);

// Replaces the file at path with bytes so that a failure at any point leaves the old file
// exactly as it was: the bytes go to a new file beside it, which replaces the old one only
// once every byte is known to be written. A symbolic link is written through, and the file's
// permissions are kept. Returns "" on success, otherwise the reason in Japanese.
QString writeWholeFile(const QString& path, const QByteArray& bytes);

}  // namespace ondrel

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

// Reads a regular file whole; refuses pipes, sockets and devices without waiting on them.
FileRead readWholeFile(const QString& path);

// Replaces the regular file at path with bytes so that a failure at any point leaves the old
// content: by a new file renamed over it when that keeps its owner, group, mode, attributes
// and links, otherwise in place, with a backup in the user's state folder (XDG_STATE_HOME/
// ondrel) until every byte is written. A symbolic link the system lets it follow is written
// through.
FileOutcome writeWholeFile(const QString& path, const QByteArray& bytes);

}  // namespace ondrel

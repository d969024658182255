#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace ondrel {

// What an operation on a file came to: ok, or the reason it failed, in Japanese, for the
// user's message. A save that wrote every byte but could not keep something of the file
// (its set-ID bits, its capabilities) is ok and says what in warning.
struct FileOutcome {
    QString reason;
    QString warning = {};
    bool ok() const { return reason.isEmpty(); }
};

// Paths are the file's name as the system's bytes (documents/file_name.h).

// Hears one piece of a file and the size the file reported when it was opened.
using PieceReader = std::function<void(const QByteArray& piece, qint64 reported)>;
// Reads a regular file, handing it over in pieces of about pieceBytes that each end just after
// a line feed (the last one at the end of the file). Pipes, sockets and devices are refused
// without waiting on them, and so are files past the largest one opened.
FileOutcome readFileInPieces(const QByteArray& path, qsizetype pieceBytes,
                             const PieceReader& onPiece);

// Replaces the regular file at path with bytes so that a failure at any point leaves the old
// content: by a new file renamed over it when that keeps its owner, group, mode, attributes
// and links, otherwise in place, with a backup in the user's state folder (XDG_STATE_HOME/
// ondrel) until every byte is written. A symbolic link the system lets it follow is written
// through.
FileOutcome writeWholeFile(const QByteArray& path, const QByteArray& bytes);

}  // namespace ondrel

#pragma once

#include <QByteArray>

#include <optional>

namespace ondrel {

// What tells one state of a file on disk from another: a file replaced, rewritten or appended
// to by another program since it was read or written has another identity.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;  // the modification time, in nanoseconds since the epoch

    bool operator==(const FileIdentity& other) const;
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of the file at path (of a link's target); none when it cannot be read.
std::optional<FileIdentity> fileIdentity(const QByteArray& path);

}  // namespace ondrel

#pragma once

#include <QByteArray>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "documents/document_file.h"

#include "documents/document_file_messages.h"

namespace ondrel {

// A file descriptor, closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes it now: 0, or the errno of a write error the system only reports on closing.
    int close() {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0 ? 0 : errno;
    }
    // Hands the descriptor over to the caller, who closes it.
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

inline bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What a file that is not a regular file is.
inline file_messages::NotAFile kindOf(mode_t mode) {
    using file_messages::NotAFile;
    if (S_ISDIR(mode)) {
        return NotAFile::Folder;
    }
    if (S_ISFIFO(mode)) {
        return NotAFile::Pipe;
    }
    if (S_ISSOCK(mode)) {
        return NotAFile::Socket;
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return NotAFile::Device;
    }
    return NotAFile::Other;
}

// Writes size bytes at offset: 0, or the errno of the failure. A short write is retried, so
// a full disk shows as its error and not as a quietly shorter file.
int writeAt(int fd, const char* data, qint64 size, qint64 offset);
// Copies the whole content of from to the start of to: 0, or the errno of the failure.
int copyContent(int from, int to, qint64& copied);
// Makes the names made or changed in folder survive a power cut: 0, or the errno of the
// failure (a filesystem that cannot sync folders has nothing more to do and gives 0).
int syncFolder(const QByteArray& folder);
// The first bytes of a file's name, at most most of them, cut between two characters when
// the name is UTF-8, so a name made from it still reads as the file's.
QByteArray shortenedName(const QByteArray& name, qsizetype most);

// Writes bytes over the file open as file (at path, whose status was old), for a file that a
// new one cannot replace without loss. A copy of the old content stays in the user's state
// folder until every byte is known to be written: a failure puts the old content back from
// it, and after a crash it is still there. Closes file.
FileOutcome writeInPlace(const QByteArray& path, const struct stat& old, Fd& file,
                         const QByteArray& bytes);

}  // namespace ondrel

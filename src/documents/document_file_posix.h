#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

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

}  // namespace ondrel

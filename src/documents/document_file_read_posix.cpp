#include <fcntl.h>

#include <algorithm>

#include "documents/document_file.h"
#include "documents/document_file_posix.h"

namespace ondrel {

using namespace file_messages;

namespace {

// Opens path for reading, as a regular file no larger than the largest file opened: the reason
// it cannot be, or empty with fd and info set.
QString openToRead(const QByteArray& native, int& fd, struct stat& info) {
    // Looked at before opening: opening a named pipe waits for a writer, and opening a device
    // may act on it.
    if (::stat(native.constData(), &info) != 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR) {
            return notFound();
        }
        return openReason(code);
    }
    if (!S_ISREG(info.st_mode)) {
        return notAFileToOpen(kindOf(info.st_mode));
    }
    if (info.st_size > kLargestFile) {
        return tooLarge();
    }
    // The name may have been given to a pipe since: opened without waiting, and what was
    // opened is what counts.
    Fd file(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid()) {
        return openReason(errno);
    }
    if (::fstat(file.get(), &info) != 0) {
        return openReason(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return notAFileToOpen(kindOf(info.st_mode));
    }
    if (info.st_size > kLargestFile) {
        return tooLarge();
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    fd = file.release();
    return {};
}

}  // namespace

FileOutcome readFileInPieces(const QByteArray& path, qsizetype pieceBytes,
                             const PieceReader& onPiece) {
    int fd = -1;
    struct stat info {};
    const QString reason = openToRead(path, fd, info);
    if (!reason.isEmpty()) {
        return {reason};
    }
    const Fd file(fd);
    pieceBytes = std::max<qsizetype>(pieceBytes, 1);
    QByteArray buffer;
    qint64 total = 0;
    for (bool end = false; !end;) {
        // What is kept from the last read is the start of a line; a line longer than a piece
        // makes the buffer grow, by doubling so that a file of one line is read in linear time.
        const qsizetype kept = buffer.size();
        buffer.resize(kept + std::max(pieceBytes, kept));
        qsizetype filled = kept;
        while (filled < buffer.size()) {
            const ssize_t n =
                ::read(file.get(), buffer.data() + filled, size_t(buffer.size() - filled));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return {readFailed(systemText(errno))};
            }
            if (n == 0) {
                end = true;
                break;
            }
            filled += n;
        }
        total += filled - kept;
        if (total > kLargestFile) {
            return {tooLarge()};
        }
        buffer.truncate(filled);
        const qsizetype cut = end ? filled : buffer.lastIndexOf('\n') + 1;
        if (cut == 0) {
            continue;
        }
        QByteArray rest = buffer.mid(cut);
        buffer.truncate(cut);
        onPiece(buffer, info.st_size);
        buffer = std::move(rest);
    }
    return {};
}

}  // namespace ondrel

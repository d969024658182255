#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/statvfs.h>
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "documents/document_file.h"
#include "documents/document_file_posix.h"

namespace ondrel {

using namespace file_messages;

namespace {

// Writes size bytes at offset: 0, or the errno of the failure. A short write is retried, so
// a full disk shows as its error and not as a quietly shorter file.
int writeAt(int fd, const char* data, qint64 size, qint64 offset) {
    while (size > 0) {
        const ssize_t n =
            ::pwrite(fd, data, size_t(std::min<qint64>(size, 1 << 30)), off_t(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : ENOSPC;
        }
        data += n;
        size -= n;
        offset += n;
    }
    return 0;
}

// Copies the whole content of from to the start of to: 0, or the errno of the failure.
int copyContent(int from, int to, qint64& copied) {
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (copied = 0;;) {
        const ssize_t n = ::pread(from, buffer.data(), size_t(buffer.size()), off_t(copied));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : 0;
        }
        if (const int code = writeAt(to, buffer.constData(), n, copied)) {
            return code;
        }
        copied += n;
    }
}

// Gives to the extended attributes of from (access lists, security labels, file
// capabilities), and drops those from lacks: false if one cannot be set or read.
bool copyAttributes(int from, int to) {
#ifdef Q_OS_LINUX
    const auto namesOf = [](int fd, QList<QByteArray>& names) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) {
            return errno == ENOTSUP;
        }
        QByteArray list(size, Qt::Uninitialized);
        const ssize_t got = ::flistxattr(fd, list.data(), size_t(list.size()));
        names = list.left(std::max<ssize_t>(got, 0)).split('\0');
        names.removeAll(QByteArray());
        return got == size;
    };
    QList<QByteArray> wanted;
    QList<QByteArray> present;
    if (!namesOf(from, wanted) || !namesOf(to, present)) {
        return false;
    }
    for (const QByteArray& name : present) {
        if (!wanted.contains(name) && ::fremovexattr(to, name.constData()) != 0) {
            return false;
        }
    }
    for (const QByteArray& name : wanted) {
        const ssize_t size = ::fgetxattr(from, name.constData(), nullptr, 0);
        QByteArray value(std::max<ssize_t>(size, 0), Qt::Uninitialized);
        if (size < 0 || ::fgetxattr(from, name.constData(), value.data(), size_t(size)) != size ||
            ::fsetxattr(to, name.constData(), value.constData(), size_t(size), 0) != 0) {
            return false;
        }
    }
#else
    Q_UNUSED(from);
    Q_UNUSED(to);
#endif
    return true;
}

// Makes a rename in folder survive a power cut; where folders cannot be synced there is
// nothing more to do.
void syncFolder(const QByteArray& folder) {
    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

// Replaces the file at target by a new one beside it, renamed over it once every byte is
// known to be written, so a failure or a crash leaves the old file whole. Gives nothing when
// that would lose something of the old file (its other links, owner, group, mode or
// attributes) or the folder does not allow it: the file is then written in place.
std::optional<FileOutcome> replaceByRename(const QByteArray& target, const struct stat& old,
                                           int oldFd, const QByteArray& bytes) {
    if (old.st_nlink > 1) {
        return std::nullopt;
    }
    const qsizetype slash = target.lastIndexOf('/');
    // Shortened so that the longest name still leaves room for the marks around it.
    QByteArray name = target.left(slash + 1) + '.' + target.mid(slash + 1).left(200) + ".XXXXXX";
    Fd temp(::mkostemp(name.data(), O_CLOEXEC));
    if (!temp.valid()) {
        const int code = errno;
        if (code == EACCES || code == EPERM) {
            return std::nullopt;
        }
        return FileOutcome{openReason(code)};
    }
    auto discard = qScopeGuard([&name] { ::unlink(name.constData()); });
    // Owner and group first: only root may give a file to another user or to a group it is
    // not in. A folder marked sticky also lets only the file's owner (or root) replace it, so
    // another user's file there is given up on here as well.
    struct stat made {};
    if (::fstat(temp.get(), &made) != 0 ||
        ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
         ::fchown(temp.get(), old.st_uid, old.st_gid) != 0)) {
        return std::nullopt;
    }
    if (const int code = writeAt(temp.get(), bytes.constData(), bytes.size(), 0)) {
        return FileOutcome{writeReason(code)};
    }
    // The mode and attributes after the bytes: writing clears the set-user-ID and set-group-ID
    // bits and file capabilities of a file that root does not write.
    if (!copyAttributes(oldFd, temp.get()) || ::fchmod(temp.get(), old.st_mode & 07777) != 0) {
        return std::nullopt;
    }
    int code = ::fsync(temp.get()) == 0 ? 0 : errno;
    if (const int closed = temp.close(); code == 0) {
        code = closed;
    }
    if (code != 0) {
        return FileOutcome{writeReason(code)};
    }
    struct stat now {};
    if (::lstat(target.constData(), &now) != 0 || !sameFile(now, old)) {
        return FileOutcome{swapped()};
    }
    if (::rename(name.constData(), target.constData()) != 0) {
        code = errno;
        if (code == EPERM || code == EACCES) {
            return std::nullopt;
        }
        return FileOutcome{writeFailed(systemText(code))};
    }
    discard.dismiss();
    syncFolder(target.left(std::max<qsizetype>(slash, 1)));
    return FileOutcome{};
}

// Where copies of files being written in place are kept: the user's state folder, read at
// each save.
QString backupFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return state + QStringLiteral("/ondrel");
}

// Writes bytes over the file itself, for a file that a new one cannot replace without loss.
// A copy of the old content stays in the backup folder until every byte is known to be
// written: a failure puts the old content back from it, and after a crash it is still there.
FileOutcome writeInPlace(const QByteArray& path, const struct stat& old, int fd,
                         const QByteArray& bytes) {
    Fd source(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat reading {};
    if (!source.valid()) {
        return FileOutcome{noBackup(QFile::decodeName(path), errno)};
    }
    if (::fstat(source.get(), &reading) != 0 || !sameFile(reading, old)) {
        return FileOutcome{swapped()};
    }

    const QString folder = backupFolder();
    QDir().mkpath(QFileInfo(folder).path());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    const QByteArray base = path.mid(path.lastIndexOf('/') + 1).left(200);
    QByteArray backupName =
        QFile::encodeName(folder) + '/' + base + '.' +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1() +
        ".XXXXXX";
    Fd backup(::mkostemp(backupName.data(), O_CLOEXEC));
    if (!backup.valid()) {
        return FileOutcome{noBackup(folder, errno)};
    }
    auto dropBackup = qScopeGuard([&backupName] { ::unlink(backupName.constData()); });
    qint64 oldSize = 0;
    int code = copyContent(source.get(), backup.get(), oldSize);
    if (code == 0 && ::fsync(backup.get()) != 0) {
        code = errno;
    }
    if (code != 0) {
        return FileOutcome{noBackup(QFile::decodeName(backupName), code)};
    }

    // Asked after the backup is written, which may have taken from the same disk. Blocks the
    // file holds already are written over, so only its growth needs free space.
    struct statvfs space {};
    if (::fstatvfs(fd, &space) == 0 && space.f_frsize > 0) {
        const qint64 block = qint64(space.f_frsize);
        const auto blocks = [block](qint64 size) { return (size + block - 1) / block; };
        const qint64 needed = (blocks(bytes.size()) - blocks(oldSize)) * block;
        const qint64 available = qint64(space.f_bavail) * block;
        if (needed > available) {
            return FileOutcome{noSpace(needed - available)};
        }
    }

    code = writeAt(fd, bytes.constData(), bytes.size(), 0);
    if (code == 0 && ::ftruncate(fd, off_t(bytes.size())) != 0) {
        code = errno;
    }
    if (code == 0 && ::fsync(fd) != 0) {
        code = errno;
    }
    if (code == 0) {
        return FileOutcome{};
    }
    qint64 restoredSize = 0;
    const bool restored = ::ftruncate(fd, off_t(oldSize)) == 0 &&
                          copyContent(backup.get(), fd, restoredSize) == 0 &&
                          restoredSize == oldSize && ::fsync(fd) == 0;
    if (restored) {
        return FileOutcome{putBack(writeReason(code))};
    }
    dropBackup.dismiss();
    return FileOutcome{notRestored(writeReason(code), QFile::decodeName(backupName))};
}

}  // namespace

FileOutcome writeWholeFile(const QString& path, const QByteArray& bytes) {
    const QByteArray native = QFile::encodeName(path);
    struct stat existing {};
    const bool existed = ::stat(native.constData(), &existing) == 0;
    if (existed && !S_ISREG(existing.st_mode)) {
        return {notAFileToSave(kindOf(existing.st_mode))};
    }
    // The path is opened as the user gave it, so the system's protections against links
    // planted in shared folders apply; this also asks whether the file may be written. A new
    // file is created empty here (through a link that points nowhere yet, too) and then
    // replaced like any other.
    int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    struct stat link {};
    const bool exclusive = !existed && ::lstat(native.constData(), &link) != 0;
    if (!existed) {
        flags |= O_CREAT | (exclusive ? O_EXCL : 0);
    }
    Fd file(::open(native.constData(), flags, 0666));
    if (!file.valid()) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR) {
            return {folderNotFound()};
        }
        return {code == EISDIR ? notAFileToSave(NotAFile::Folder) : openReason(code)};
    }
    struct stat opened {};
    if (::fstat(file.get(), &opened) != 0) {
        return {openReason(errno)};
    }
    if (!S_ISREG(opened.st_mode)) {
        return {notAFileToSave(kindOf(opened.st_mode))};
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    // A link is written through: the file behind it is the one replaced, and it must be the
    // very file the system just opened.
    char* resolved = ::realpath(native.constData(), nullptr);
    const QByteArray target(resolved);
    std::free(resolved);
    struct stat behind {};
    if (target.isEmpty() || ::lstat(target.constData(), &behind) != 0 ||
        !sameFile(behind, opened)) {
        return {swapped()};
    }
    std::optional<FileOutcome> outcome = replaceByRename(target, opened, file.get(), bytes);
    if (!outcome) {
        outcome = writeInPlace(native, opened, file.get(), bytes);
    }
    if (!outcome->ok() && exclusive && ::lstat(target.constData(), &behind) == 0 &&
        sameFile(behind, opened)) {
        ::unlink(target.constData());
    }
    return *outcome;
}

}  // namespace ondrel

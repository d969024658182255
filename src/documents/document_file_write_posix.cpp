#include <QByteArrayList>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <fcntl.h>
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "documents/document_file_posix.h"

namespace ondrel {

using namespace file_messages;

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

int syncFolder(const QByteArray& folder) {
    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid() || ::fsync(dir.get()) == 0) {
        return 0;
    }
    return errno == EINVAL || errno == ENOTSUP ? 0 : errno;
}

QByteArray shortenedName(const QByteArray& name, qsizetype most) {
    qsizetype cut = std::min(name.size(), most);
    // Back over the continuation bytes of a character the cut would split.
    for (qsizetype back = 0;
         back < 3 && cut > 0 && cut < name.size() && (uchar(name[cut]) & 0xC0) == 0x80; ++back) {
        --cut;
    }
    return name.left(cut);
}

namespace {

#ifdef Q_OS_LINUX
// The names of the extended attributes of fd: false if they cannot be read.
bool namesOf(int fd, QList<QByteArray>& names) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) {
        return errno == ENOTSUP;
    }
    QByteArray list(size, Qt::Uninitialized);
    const ssize_t got = ::flistxattr(fd, list.data(), size_t(list.size()));
    names = list.left(std::max<ssize_t>(got, 0)).split('\0');
    names.removeAll(QByteArray());
    return got == size;
}
#endif

// Whether fd has extended attributes, or may have (they cannot be read).
bool hasAttributes(int fd) {
#ifdef Q_OS_LINUX
    QList<QByteArray> names;
    return !namesOf(fd, names) || !names.isEmpty();
#else
    Q_UNUSED(fd);
    return false;
#endif
}

// Gives to the extended attributes of from (access lists, security labels, file
// capabilities), and drops those from lacks: false if one cannot be set or read.
bool copyAttributes(int from, int to) {
#ifdef Q_OS_LINUX
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

// Whether a failure to make, name or rename the new file only says that this folder or
// filesystem does not allow it (a file bind-mounted over itself, a name it rejects, a folder
// the user may not write): the file is then written in place instead.
bool writesInPlaceInstead(int code) {
    return code == EACCES || code == EPERM || code == EXDEV || code == EBUSY ||
           code == ENAMETOOLONG || code == EILSEQ;
}

// The new file for the content, in folder: unnamed where the filesystem allows, so that a
// kill before it is complete leaves nothing behind; otherwise named prefix and six letters
// (set in name), and readable by its owner alone. -1 with errno on failure.
int makeNewFile(const QByteArray& folder, const QByteArray& prefix, QByteArray& name) {
#ifdef O_TMPFILE
    const int unnamed = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return unnamed;
    }
#else
    Q_UNUSED(folder);
#endif
    name = prefix + "XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named < 0) {
        name.clear();
    }
    return named;
}

// Gives the unnamed file fd a name of prefix and six letters not yet taken: 0, or the errno.
int nameNewFile(int fd, const QByteArray& prefix, QByteArray& name) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int tries = 0; tries < 100; ++tries) {
        QByteArray candidate = prefix;
        for (int i = 0; i < 6; ++i) {
            candidate += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
        }
        // By the descriptor itself where the user may (root), else through /proc.
        int linked = ::linkat(fd, "", AT_FDCWD, candidate.constData(), AT_EMPTY_PATH);
        if (linked != 0 && (errno == ENOENT || errno == EPERM)) {
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
            linked = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, candidate.constData(),
                              AT_SYMLINK_FOLLOW);
        }
        if (linked == 0) {
            name = candidate;
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
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
    const QByteArray folder = target.left(std::max<qsizetype>(slash, 1));
    // Shortened so that the longest name still leaves room for the marks around it.
    const QByteArray prefix =
        target.left(slash + 1) + '.' + shortenedName(target.mid(slash + 1), 200) + '.';
    QByteArray name;
    Fd temp(makeNewFile(folder, prefix, name));
    if (!temp.valid()) {
        const int code = errno;
        if (writesInPlaceInstead(code)) {
            return std::nullopt;
        }
        return FileOutcome{openReason(code)};
    }
    const bool named = !name.isEmpty();
    auto discard = qScopeGuard([&name] {
        if (!name.isEmpty()) {
            ::unlink(name.constData());
        }
    });
    // Owner and group first: only root may give a file to another user or to a group it is
    // not in. A folder marked sticky also lets only the file's owner (or root) replace it, so
    // another user's file there is given up on here as well. A named file gets no attributes
    // before it replaces the target (an access list would let others read it), so a file
    // with attributes is written in place there.
    struct stat made {};
    if (::fstat(temp.get(), &made) != 0 ||
        ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
         ::fchown(temp.get(), old.st_uid, old.st_gid) != 0) ||
        (named && hasAttributes(oldFd))) {
        return std::nullopt;
    }
    if (const int code = writeAt(temp.get(), bytes.constData(), bytes.size(), 0)) {
        return FileOutcome{writeReason(code)};
    }
    // The mode and attributes after the bytes: writing clears the set-user-ID and set-group-ID
    // bits and file capabilities of a file that root does not write. A named file keeps its
    // mode until it has replaced the target; asking for the mode it has already tells whether
    // the filesystem keeps modes at all.
    if (named ? ::fchmod(temp.get(), made.st_mode & 07777) != 0
              : !copyAttributes(oldFd, temp.get()) ||
                    ::fchmod(temp.get(), old.st_mode & 07777) != 0) {
        return std::nullopt;
    }
    if (::fsync(temp.get()) != 0) {
        return FileOutcome{writeReason(errno)};
    }
    if (!named) {
        if (const int code = nameNewFile(temp.get(), prefix, name)) {
            if (writesInPlaceInstead(code) || code == ENOENT) {
                return std::nullopt;
            }
            return FileOutcome{writeFailed(systemText(code))};
        }
    }
    // What a close reports is a write error too; a named file stays open for reading, to be
    // given its mode once it has replaced the target.
    Fd reader(named ? ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1);
    if (named && !reader.valid()) {
        return std::nullopt;
    }
    if (const int code = temp.close()) {
        return FileOutcome{writeReason(code)};
    }
    struct stat now {};
    if (::lstat(target.constData(), &now) != 0 || !sameFile(now, old)) {
        return FileOutcome{swapped()};
    }
    if (::rename(name.constData(), target.constData()) != 0) {
        const int code = errno;
        if (writesInPlaceInstead(code)) {
            return std::nullopt;
        }
        return FileOutcome{writeFailed(systemText(code))};
    }
    discard.dismiss();
    QString lost;
    if (named) {
        const mode_t wanted = old.st_mode & 07777;
        if (!copyAttributes(oldFd, reader.get()) || ::fchmod(reader.get(), wanted) != 0 ||
            ::fstat(reader.get(), &now) != 0 || mode_t(now.st_mode & 07777) != wanted) {
            lost = modeNotKept(wanted, now.st_mode & 07777);
        }
        ::fsync(reader.get());
    }
    syncFolder(folder);
    return FileOutcome{{}, lost};
}

}  // namespace

FileOutcome writeWholeFile(const QByteArray& native, const QByteArray& bytes) {
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
    // very file the system just opened. A path past the system's limit (a relative name in a
    // deep folder) can be neither resolved nor renamed over: that file is written in place,
    // through the descriptor.
    char* resolved = ::realpath(native.constData(), nullptr);
    const int unresolved = resolved ? 0 : errno;
    const QByteArray target(resolved);
    std::free(resolved);
    struct stat behind {};
    if (unresolved != ENAMETOOLONG &&
        (target.isEmpty() || ::lstat(target.constData(), &behind) != 0 ||
         !sameFile(behind, opened))) {
        return {swapped()};
    }
    std::optional<FileOutcome> outcome;
    if (!target.isEmpty()) {
        outcome = replaceByRename(target, opened, file.get(), bytes);
    }
    if (!outcome) {
        outcome = writeInPlace(native, opened, file, bytes);
    }
    const QByteArray made = target.isEmpty() ? native : target;
    if (!outcome->ok() && exclusive && ::lstat(made.constData(), &behind) == 0 &&
        sameFile(behind, opened)) {
        ::unlink(made.constData());
    }
    return *outcome;
}

}  // namespace ondrel

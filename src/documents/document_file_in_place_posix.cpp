#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/statvfs.h>
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

#include "documents/document_file_posix.h"
#include "documents/file_name.h"

namespace ondrel {

using namespace file_messages;

namespace {

// Where copies of files being written in place are kept: the user's state folder, read at
// each save.
QByteArray backupFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return QFile::encodeName(QDir::cleanPath(state + QStringLiteral("/ondrel")));
}

// Makes the backup folder ready for the effective user alone: empty, or why it cannot be used.
// A folder of someone else's is never written into, and none is made inside a folder of
// someone else's unless it is sticky: root running with the user's home (as sudo -E does)
// would otherwise leave the user a backup folder of root's that breaks the user's saves.
QString prepareBackupFolder(const QByteArray& folder) {
    const uid_t me = ::geteuid();
    struct stat info {};
    if (::lstat(folder.constData(), &info) != 0) {
        if (errno != ENOENT) {
            return noBackupIn(fileNameText(folder), systemText(errno));
        }
        QByteArrayList missing;
        QByteArray at = folder;
        for (;;) {
            missing.prepend(at);
            at = at.left(std::max<qsizetype>(at.lastIndexOf('/'), 1));
            if (::stat(at.constData(), &info) == 0) {
                break;
            }
            if (errno != ENOENT || at == "/") {
                return noBackupIn(fileNameText(at), systemText(errno));
            }
        }
        if (!S_ISDIR(info.st_mode) || (info.st_uid != me && (info.st_mode & S_ISVTX) == 0)) {
            return notOwnFolder(fileNameText(at));
        }
        // Each new folder's name is synced too, or a power cut could take the backups with it.
        for (const QByteArray& level : missing) {
            if (::mkdir(level.constData(), 0700) != 0 && errno != EEXIST) {
                return noBackupIn(fileNameText(level), systemText(errno));
            }
            if (const int code =
                    syncFolder(level.left(std::max<qsizetype>(level.lastIndexOf('/'), 1)))) {
                return noBackupIn(fileNameText(level), systemText(code));
            }
        }
        if (::lstat(folder.constData(), &info) != 0) {
            return noBackupIn(fileNameText(folder), systemText(errno));
        }
    }
    if (S_ISLNK(info.st_mode)) {
        return noBackupIn(fileNameText(folder), linkNotFollowed());
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != me) {
        return notOwnFolder(fileNameText(folder));
    }
    if ((info.st_mode & 077) != 0 && ::chmod(folder.constData(), 0700) != 0) {
        return noBackupIn(fileNameText(folder), systemText(errno));
    }
    return {};
}

// What writing in place may take from a file: the set-user-ID and set-group-ID bits (cleared
// when anyone but root writes it) and its file capabilities (cleared whoever writes it).
struct Privileges {
    mode_t mode = 0;
    QByteArray capability;
};

Privileges privilegesOf(int fd, const struct stat& old) {
    Privileges kept{mode_t(old.st_mode & 07777), {}};
#ifdef Q_OS_LINUX
    const ssize_t size = ::fgetxattr(fd, "security.capability", nullptr, 0);
    if (size > 0) {
        kept.capability.resize(size);
        kept.capability.resize(std::max<ssize_t>(
            ::fgetxattr(fd, "security.capability", kept.capability.data(), size_t(size)), 0));
    }
#else
    Q_UNUSED(fd);
#endif
    return kept;
}

// Gives the file back what writing took from it and checks that it took: empty, or what the
// file could not be given back, for the user.
QString restorePrivileges(int fd, const Privileges& kept) {
    struct stat now {};
    if (::fstat(fd, &now) == 0 && mode_t(now.st_mode & 07777) != kept.mode) {
        ::fchmod(fd, kept.mode);
    }
    QString lost;
    if (::fstat(fd, &now) != 0 || mode_t(now.st_mode & 07777) != kept.mode) {
        lost = modeNotKept(kept.mode, now.st_mode & 07777);
    }
#ifdef Q_OS_LINUX
    if (!kept.capability.isEmpty()) {
        QByteArray value(kept.capability.size(), '\0');
        const ssize_t size =
            ::fgetxattr(fd, "security.capability", value.data(), size_t(value.size()));
        if ((size != value.size() || value != kept.capability) &&
            ::fsetxattr(fd, "security.capability", kept.capability.constData(),
                        size_t(kept.capability.size()), 0) != 0) {
            lost += capabilityNotKept();
        }
    }
#endif
    return lost;
}

}  // namespace

FileOutcome writeInPlace(const QByteArray& path, const struct stat& old, Fd& file,
                         const QByteArray& bytes) {
    const int fd = file.get();
    Fd source(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat reading {};
    if (!source.valid()) {
        return {oldUnreadable(fileNameText(path), systemText(errno))};
    }
    if (::fstat(source.get(), &reading) != 0 || !sameFile(reading, old)) {
        return {swapped()};
    }

    const QByteArray folder = backupFolder();
    if (const QString refused = prepareBackupFolder(folder); !refused.isEmpty()) {
        return {refused};
    }
    QByteArray backupName =
        folder + '/' + shortenedName(path.mid(path.lastIndexOf('/') + 1), 200) + '.' +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1() +
        ".XXXXXX";
    Fd backup(::mkostemp(backupName.data(), O_CLOEXEC));
    if (!backup.valid()) {
        return {noBackupIn(fileNameText(folder), systemText(errno))};
    }
    auto dropBackup = qScopeGuard([&backupName] { ::unlink(backupName.constData()); });
    qint64 oldSize = 0;
    int code = copyContent(source.get(), backup.get(), oldSize);
    // The backup and its name are on disk before the file is touched: after a power cut in
    // mid-write, the old content is found under its name.
    if (code == 0 && ::fsync(backup.get()) != 0) {
        code = errno;
    }
    if (code == 0) {
        code = syncFolder(folder);
    }
    if (code != 0) {
        return {noBackupIn(fileNameText(folder), systemText(code))};
    }
    const Privileges kept = privilegesOf(fd, old);

    // Asked after the backup is written, which may have taken from the same disk. Blocks the
    // file holds already are written over, so only its growth needs free space.
    struct statvfs space {};
    if (::fstatvfs(fd, &space) == 0 && space.f_frsize > 0) {
        const qint64 block = qint64(space.f_frsize);
        const auto blocks = [block](qint64 size) { return (size + block - 1) / block; };
        const qint64 needed = (blocks(bytes.size()) - blocks(oldSize)) * block;
        const qint64 available = qint64(space.f_bavail) * block;
        if (needed > available) {
            return {noSpace(needed - available)};
        }
    }

    code = writeAt(fd, bytes.constData(), bytes.size(), 0);
    if (code == 0 && ::ftruncate(fd, off_t(bytes.size())) != 0) {
        code = errno;
    }
    const QString lost = code == 0 ? restorePrivileges(fd, kept) : QString();
    if (code == 0 && ::fsync(fd) != 0) {
        code = errno;
    }
    // Some filesystems (network and FUSE ones) report a failed write only here: the backup
    // stays until the close has said every byte is written.
    if (const int closed = file.close(); code == 0) {
        code = closed;
    }
    if (code == 0) {
        return {{}, lost};
    }
    // Put back through the descriptor while it is open; after a failed close, through the
    // path again, if it still names the same file.
    Fd reopened(file.valid() ? -1 : ::open(path.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    Fd& into = file.valid() ? file : reopened;
    struct stat again {};
    qint64 restoredSize = 0;
    bool restored = into.valid() && ::fstat(into.get(), &again) == 0 && sameFile(again, old) &&
                    ::ftruncate(into.get(), off_t(oldSize)) == 0 &&
                    copyContent(backup.get(), into.get(), restoredSize) == 0 &&
                    restoredSize == oldSize;
    if (restored) {
        restorePrivileges(into.get(), kept);
        restored = ::fsync(into.get()) == 0 && into.close() == 0;
    }
    if (restored) {
        return {putBack(writeReason(code))};
    }
    dropBackup.dismiss();
    return {notRestored(writeReason(code), fileNameText(backupName))};
}

}  // namespace ondrel

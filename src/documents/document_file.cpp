#include "documents/document_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif
#else
#include <QSaveFile>
#endif

namespace ondrel {

namespace {

// Opening takes about one and a half times the file's size in memory; beyond this the text area's
// positions would also need its large-document mode.
constexpr qint64 kLargestFile = qint64(1) << 30;

QString withDetail(const QString& reason, const QString& detail) {
    return detail.isEmpty() ? reason
                            : reason + QStringLiteral("（") + detail + QStringLiteral("）");
}

QString tooLarge() {
    return QStringLiteral("ファイルが大きすぎます（%1 MB まで開けます）。").arg(kLargestFile >> 20);
}

// The reason for a failed open, from the errno the failing call left and the system's text
// for it.
QString openReason(int code, const QString& detail) {
    switch (code) {
        case EACCES:
        case EPERM:
            return withDetail(QStringLiteral("アクセスが許可されていません。"), detail);
        case EROFS:
            return withDetail(QStringLiteral("読み取り専用のファイルシステムです。"), detail);
        case ENOSPC:
            return withDetail(QStringLiteral("ディスクの空きが足りません。"), detail);
        default:
            return withDetail(QStringLiteral("ファイルを開けませんでした。"), detail);
    }
}

#ifdef Q_OS_UNIX

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

QString systemText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

QString openReason(int code) {
    return openReason(code, systemText(code));
}

QString writeReason(int code) {
    const bool full = code == ENOSPC || code == EDQUOT || code == EFBIG;
    return withDetail(
        full ? QStringLiteral("書き込めませんでした。ディスクの空きが足りない可能性があります。")
             : QStringLiteral("書き込めませんでした。"),
        systemText(code));
}

// What a file that is not a regular file is, in the user's words.
QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("フォルダー");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("名前付きパイプ");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("ソケット");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("デバイス");
    }
    return QStringLiteral("特殊なファイル");
}

QString notAFileToOpen(mode_t mode) {
    return kindOf(mode) + QStringLiteral("はファイルとして開けません。");
}
QString notAFileToSave(mode_t mode) {
    return QStringLiteral("保存先は") + kindOf(mode) + QStringLiteral("です。");
}

const QString kSwapped =
    QStringLiteral("保存先のファイルが、保存の途中で別のファイルに置き換えられました。");

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

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
        return FileOutcome{kSwapped};
    }
    if (::rename(name.constData(), target.constData()) != 0) {
        code = errno;
        if (code == EPERM || code == EACCES) {
            return std::nullopt;
        }
        return FileOutcome{withDetail(QStringLiteral("書き込めませんでした。"), systemText(code))};
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

QString noBackup(const QString& where, int code) {
    return withDetail(QStringLiteral("保存前の内容のバックアップを作れませんでした。"),
                      where + QStringLiteral(": ") + systemText(code));
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
        return FileOutcome{kSwapped};
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
            return FileOutcome{
                QStringLiteral("ディスクの空きが足りません（あと %1 バイト必要です）。")
                    .arg(needed - available)};
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
        return FileOutcome{writeReason(code) +
                           QStringLiteral("\r\nファイルは保存前の内容に戻しました。")};
    }
    dropBackup.dismiss();
    return FileOutcome{writeReason(code) +
                       QStringLiteral("\r\nファイルを保存前の内容に戻せませんでした。"
                                      "保存前の内容は次のファイルに残してあります。\r\n") +
                       QFile::decodeName(backupName)};
}

#else

// Where a link points, followed to the end, so the file behind it is replaced and the link
// itself stays.
QString resolveLinks(const QString& path) {
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops) {
        info = QFileInfo(info.symLinkTarget());
    }
    return info.absoluteFilePath();
}

#endif

}  // namespace

#ifdef Q_OS_UNIX

namespace {

// Opens path for reading, as a regular file no larger than the largest file opened: the reason
// it cannot be, or empty with fd and info set.
QString openToRead(const QString& path, int& fd, struct stat& info) {
    const QByteArray native = QFile::encodeName(path);
    // Looked at before opening: opening a named pipe waits for a writer, and opening a device
    // may act on it.
    if (::stat(native.constData(), &info) != 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR) {
            return QStringLiteral("ファイルが見つかりません。");
        }
        return openReason(code);
    }
    if (!S_ISREG(info.st_mode)) {
        return notAFileToOpen(info.st_mode);
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
        return notAFileToOpen(info.st_mode);
    }
    if (info.st_size > kLargestFile) {
        return tooLarge();
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    fd = file.release();
    return {};
}

}  // namespace

FileOutcome readFileInPieces(const QString& path, qsizetype pieceBytes,
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
                return {withDetail(QStringLiteral("ファイルを読み込めませんでした。"),
                                   systemText(errno))};
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

FileOutcome writeWholeFile(const QString& path, const QByteArray& bytes) {
    const QByteArray native = QFile::encodeName(path);
    struct stat existing {};
    const bool existed = ::stat(native.constData(), &existing) == 0;
    if (existed && !S_ISREG(existing.st_mode)) {
        return {notAFileToSave(existing.st_mode)};
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
            return {QStringLiteral("保存先のフォルダーが見つかりません。")};
        }
        return {code == EISDIR ? QStringLiteral("保存先はフォルダーです。") : openReason(code)};
    }
    struct stat opened {};
    if (::fstat(file.get(), &opened) != 0) {
        return {openReason(errno)};
    }
    if (!S_ISREG(opened.st_mode)) {
        return {notAFileToSave(opened.st_mode)};
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
        return {kSwapped};
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

#else

namespace {

// A whole file's bytes, or why they could not be read (bytes is then empty).
struct WholeFile {
    QByteArray bytes;
    QString reason;
};

WholeFile readWholeFile(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        return {{}, QStringLiteral("フォルダーはファイルとして開けません。")};
    }
    if (!info.exists()) {
        return {{}, QStringLiteral("ファイルが見つかりません。")};
    }
    if (info.size() > kLargestFile) {
        return {{}, tooLarge()};
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, openReason(errno, file.errorString())};
    }
    QByteArray read = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {{},
                withDetail(QStringLiteral("ファイルを読み込めませんでした。"), file.errorString())};
    }
    return {std::move(read), {}};
}

}  // namespace

FileOutcome readFileInPieces(const QString& path, qsizetype, const PieceReader& onPiece) {
    // Here the whole file is one piece.
    const WholeFile read = readWholeFile(path);
    if (read.reason.isEmpty() && !read.bytes.isEmpty()) {
        onPiece(read.bytes, read.bytes.size());
    }
    return {read.reason};
}

FileOutcome writeWholeFile(const QString& path, const QByteArray& bytes) {
    const QString target = resolveLinks(path);
    const QFileInfo info(target);
    if (info.isDir()) {
        return {QStringLiteral("保存先はフォルダーです。")};
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists() || !folder.isDir()) {
        return {QStringLiteral("保存先のフォルダーが見つかりません。")};
    }
    if (info.exists()) {
        // Replacing the file through a new one beside it would get past its read-only mark;
        // opening it for appending asks the system whether it may be written, and changes
        // nothing.
        QFile probe(target);
        errno = 0;
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            return {openReason(errno, probe.errorString())};
        }
    }
    // No writing in place when the folder refuses the new file: here it could not be undone.
    QSaveFile file(target);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        return {openReason(errno, file.errorString())};
    }
    // QSaveFile::commit() can report success after a short final write (a full disk while
    // flushing its buffer), and would then rename the truncated file over the original.
    // So the write and the flush are checked here, and commit only runs once both succeeded.
    const qint64 written = file.write(bytes);
    if (written != bytes.size() || !file.flush()) {
        const QString detail = file.errorString();
        file.cancelWriting();
        file.commit();
        return {withDetail(
            QStringLiteral("書き込めませんでした。ディスクの空きが足りない可能性があります。"),
            detail)};
    }
    if (info.exists()) {
        // QSaveFile creates its file with default permissions; CGI scripts need theirs kept.
        file.setPermissions(info.permissions());
    }
    if (!file.commit()) {
        return {withDetail(QStringLiteral("書き込めませんでした。"), file.errorString())};
    }
    return {};
}

#endif

}  // namespace ondrel

#include "documents/file_identity.h"

#include <QFile>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#else
#include <QDateTime>
#include <QFileInfo>
#include <QTimeZone>
#endif

namespace ondrel {

bool FileIdentity::operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
}

std::optional<FileIdentity> fileIdentity(const QByteArray& path) {
#if defined(Q_OS_UNIX)
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                        static_cast<qint64>(info.st_size),
                        qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
#else
    const QFileInfo info(QFile::decodeName(path));
    if (!info.exists()) {
        return std::nullopt;
    }
    return FileIdentity{0, 0, info.size(),
                        info.lastModified(QTimeZone::UTC).toMSecsSinceEpoch() * 1000000};
#endif
}

}  // namespace ondrel

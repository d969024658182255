#include "documents/memory_room.h"

#include <QFile>

#include <limits>

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace ondrel {

namespace {

// The first number after label in a file of the kernel's, or -1.
qint64 numberAfter(const char* file, QByteArrayView label) {
    QFile in(QString::fromLatin1(file));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return -1;
    }
    const QByteArray text = in.read(1 << 16);
    const qsizetype at = text.indexOf(label);
    if (at < 0) {
        return -1;
    }
    bool ok = false;
    const qint64 number =
        text.mid(at + label.size()).trimmed().split(' ').value(0).trimmed().toLongLong(&ok);
    return ok ? number : -1;
}

}  // namespace

qint64 memoryRoom() {
    qint64 room = std::numeric_limits<qint64>::max();
#if defined(Q_OS_LINUX)
    if (const qint64 available = numberAfter("/proc/meminfo", "MemAvailable:"); available >= 0) {
        room = available * 1024;
    }
    struct rlimit limit {};
    const qint64 pages = numberAfter("/proc/self/statm", "");
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && pages >= 0) {
        room = std::min(room, qint64(limit.rlim_cur) - pages * ::sysconf(_SC_PAGESIZE));
    }
#endif
    return room;
}

}  // namespace ondrel

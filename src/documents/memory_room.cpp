#include "documents/memory_room.h"

#include <QFile>

#include <limits>

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace ondrel {

namespace {

// The first number after label at the start of a line of a file of the kernel's, or -1.
qint64 numberAfter(const QByteArray& file, QByteArrayView label) {
    QFile in(QFile::decodeName(file));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return -1;
    }
    const QByteArray text = '\n' + in.read(1 << 16);
    qsizetype at = text.indexOf('\n' + label.toByteArray());
    if (at < 0) {
        return -1;
    }
    ++at;
    bool ok = false;
    const qint64 number =
        text.mid(at + label.size()).trimmed().split(' ').value(0).trimmed().toLongLong(&ok);
    return ok ? number : -1;
}

// What the program's control group (a container, a systemd unit) still lets it take, by cgroup
// v2 or by v1's memory controller; -1 where it sets no limit or none can be read.
qint64 controlGroupRoom() {
    QFile groups(QStringLiteral("/proc/self/cgroup"));
    if (!groups.open(QIODevice::ReadOnly)) {
        return -1;
    }
    qint64 room = -1;
    for (const QByteArray& line : groups.readAll().split('\n')) {
        const QByteArrayList fields = line.split(':');
        if (fields.size() < 3) {
            continue;
        }
        const QByteArray path = fields.mid(2).join(':');
        const bool v2 = fields[0] == "0" && fields[1].isEmpty();
        if (!v2 && !fields[1].split(',').contains("memory")) {
            continue;
        }
        const QByteArray folder = (v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory") + path + '/';
        const qint64 limit =
            numberAfter(folder + (v2 ? "memory.max" : "memory.limit_in_bytes"), "");
        // The group's own memory, without the file cache the kernel gives back when asked:
        // a group near its limit because of cached files still has room.
        const qint64 used = numberAfter(folder + "memory.stat", v2 ? "anon " : "total_rss ");
        if (limit > 0 && used >= 0) {
            room = room < 0 ? limit - used : std::min(room, limit - used);
        }
    }
    return room;
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
    if (const qint64 group = controlGroupRoom(); group >= 0) {
        room = std::min(room, group);
    }
#endif
    return room;
}

}  // namespace ondrel

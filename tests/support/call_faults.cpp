// The fortified C library headers define open themselves.
#undef _FORTIFY_SOURCE

#include "call_faults.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include <QList>

namespace ondrel::call_faults {
namespace {

// Set once a test arms a fault or keeps the journal: until then every call goes straight through.
std::atomic<bool> active = false;
std::mutex lock;
struct Fault {
    QByteArray call;
    QByteArray pathPart;
    int error;
};
QList<Fault> armed;
bool journalKept = false;
QStringList notes;

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

QByteArray pathOf(int fd) {
    QByteArray path(4096, '\0');
    const ssize_t size = readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(),
                                  path.data(), size_t(path.size()));
    return path.left(size > 0 ? size : 0);
}

// Notes the call and answers whether it is the armed fault: false to go on to the real call.
bool faultedAt(const char* call, const QByteArray& path) {
    const std::lock_guard guard(lock);
    if (journalKept) {
        notes.append(QString::fromLatin1(call) + QLatin1Char(' ') + QString::fromUtf8(path));
    }
    for (qsizetype at = 0; at < armed.size(); ++at) {
        if (armed[at].call == call && path.contains(armed[at].pathPart)) {
            const int error = armed.takeAt(at).error;
            if (error == kKilled) {
                raise(SIGKILL);
            }
            errno = error;
            return true;
        }
    }
    return false;
}

bool faulted(const char* call, const char* path) {
    return active && faultedAt(call, path);
}

// A call on a descriptor, noted with the path it names.
bool faulted(const char* call, int fd) {
    return active && faultedAt(call, pathOf(fd));
}

}  // namespace

void arm(const char* call, const QByteArray& pathPart, int error) {
    const std::lock_guard guard(lock);
    armed.append({call, pathPart, error});
    active = true;
}

void startJournal() {
    const std::lock_guard guard(lock);
    journalKept = true;
    notes.clear();
    active = true;
}

QStringList journal() {
    const std::lock_guard guard(lock);
    return notes;
}

}  // namespace ondrel::call_faults

using namespace ondrel::call_faults;

extern "C" {

int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    if ((flags & O_TMPFILE) == O_TMPFILE && faulted("tmpfile", path)) {
        return -1;
    }
    return real<int (*)(const char*, int, ...)>("open")(path, flags, mode);
}

// Only a descriptor open for writing fails at close: what a close reports is a write error.
int close(int fd) {
    return (fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDONLY && faulted("close", fd)
               ? -1
               : real<int (*)(int)>("close")(fd);
}

int fsync(int fd) {
    return faulted("fsync", fd) ? -1 : real<int (*)(int)>("fsync")(fd);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    return faulted("pwrite", fd) ? -1
                                 : real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(
                                       fd, data, size, offset);
}

int rename(const char* from, const char* to) {
    return faulted("rename", to) ? -1 : real<int (*)(const char*, const char*)>("rename")(from, to);
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    return faulted("linkat", to) ? -1
                                 : real<int (*)(int, const char*, int, const char*, int)>("linkat")(
                                       fromFolder, from, toFolder, to, flags);
}

int unlink(const char* path) {
    return faulted("unlink", path) ? -1 : real<int (*)(const char*)>("unlink")(path);
}
}

#include "documents/recovery_store.h"

#include <QRandomGenerator>
#include <QtEndian>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace ondrel {

namespace {

constexpr char kCopyMagic[] = "ONDRELCOPY\x01\n";
constexpr char kJournalMagic[] = "ONDRELJRNL\x01\n";
constexpr qsizetype kMagicLength = 12;
constexpr char kInsert = 'I';
constexpr char kDelete = 'D';
constexpr char kCommit = 'C';
constexpr qsizetype kRecordHead = 17;  // type, then two 64-bit numbers

// FNV-1a: catches a batch or copy cut short or overwritten by a crash, not an adversary.
constexpr quint64 kHashStart = 0xcbf29ce484222325ULL;
quint64 hashed(quint64 hash, QByteArrayView bytes) {
    for (char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    return hash;
}

void appendNumber(QByteArray& out, quint64 value) {
    const quint64 little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

quint64 numberAt(QByteArrayView bytes, qsizetype at) {
    return qFromLittleEndian<quint64>(bytes.data() + at);
}

bool writeAll(int fd, QByteArrayView bytes) {
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

bool readAll(int fd, char* data, qsizetype length) {
    while (length > 0) {
        const ssize_t got = ::read(fd, data, static_cast<size_t>(length));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        data += got;
        length -= got;
    }
    return true;
}

// Opens name in the folder as a regular file of the effective user, never through a link.
int openOwnFile(int dir, const QByteArray& name, int flags) {
    const int fd = ::openat(dir, name.constData(), flags | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat info {};
    if (fd >= 0 &&
        (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads a copy file as it was written, hash included.
class CopyReader {
public:
    explicit CopyReader(int fd) : m_fd(fd) {}
    bool take(char* data, qsizetype length) {
        if (!m_ok || length < 0 || !readAll(m_fd, data, length)) {
            return m_ok = false;
        }
        m_hash = hashed(m_hash, QByteArrayView(data, length));
        return true;
    }
    quint64 number() {
        char bytes[8] = {};
        take(bytes, 8);
        return qFromLittleEndian<quint64>(bytes);
    }
    QByteArray field() {
        const quint64 length = number();
        if (!m_ok || length > (1U << 20)) {
            m_ok = false;
            return {};
        }
        QByteArray bytes(static_cast<qsizetype>(length), Qt::Uninitialized);
        take(bytes.data(), bytes.size());
        return bytes;
    }
    quint64 hash() const { return m_hash; }
    bool ok() const { return m_ok; }

private:
    int m_fd;
    quint64 m_hash = kHashStart;
    bool m_ok = true;
};

// A text with a gap at the last edit, so that replaying a journal moves only the bytes
// between one edit and the next.
class GapText {
public:
    explicit GapText(QByteArray text)
        : m_bytes(std::move(text)), m_gapStart(m_bytes.size()), m_gapEnd(m_bytes.size()) {}
    qsizetype size() const { return m_bytes.size() - (m_gapEnd - m_gapStart); }
    void insert(qsizetype at, QByteArrayView text) {
        if (m_gapEnd - m_gapStart < text.size()) {
            grow(text.size());
        }
        moveGap(at);
        std::memcpy(m_bytes.data() + m_gapStart, text.data(), static_cast<size_t>(text.size()));
        m_gapStart += text.size();
    }
    void remove(qsizetype at, qsizetype length) {
        moveGap(at);
        m_gapEnd += length;
    }
    QByteArray take() {
        moveGap(size());
        m_bytes.truncate(m_gapStart);
        return std::move(m_bytes);
    }

private:
    void moveGap(qsizetype at) {
        char* data = m_bytes.data();
        if (at < m_gapStart) {
            const qsizetype count = m_gapStart - at;
            std::memmove(data + m_gapEnd - count, data + at, static_cast<size_t>(count));
            m_gapStart -= count;
            m_gapEnd -= count;
        } else if (at > m_gapStart) {
            const qsizetype count = at - m_gapStart;
            std::memmove(data + m_gapStart, data + m_gapEnd, static_cast<size_t>(count));
            m_gapStart += count;
            m_gapEnd += count;
        }
    }
    void grow(qsizetype needed) {
        const qsizetype gap = std::max(needed, size() / 8 + (qsizetype(1) << 16));
        const qsizetype tail = m_bytes.size() - m_gapEnd;
        QByteArray bytes(m_gapStart + gap + tail, Qt::Uninitialized);
        std::memcpy(bytes.data(), m_bytes.constData(), static_cast<size_t>(m_gapStart));
        std::memcpy(bytes.data() + m_gapStart + gap, m_bytes.constData() + m_gapEnd,
                    static_cast<size_t>(tail));
        m_bytes = std::move(bytes);
        m_gapEnd = m_gapStart + gap;
    }

    QByteArray m_bytes;
    qsizetype m_gapStart;
    qsizetype m_gapEnd;
};

// Applies the journal's sealed batches to text; the time of the last one, or nothing when no
// batch is complete. A batch that is cut short, fails its hash or edits outside the text ends
// the journal there, so the text is always as it was at some complete flush.
std::optional<qint64> replay(GapText& text, QByteArrayView journal) {
    // First the extent of the sound batches, then their edits: nothing is applied from a batch
    // that turns out broken.
    qsizetype length = text.size();
    qsizetype at = 0;
    qsizetype batchStart = 0;
    qsizetype soundEnd = 0;
    std::optional<qint64> time;
    while (journal.size() - at >= kRecordHead) {
        const char type = journal[at];
        const quint64 first = numberAt(journal, at + 1);
        const quint64 second = numberAt(journal, at + 9);
        if (type == kInsert) {
            if (first > quint64(length) || second > quint64(journal.size() - at - kRecordHead)) {
                break;
            }
            length += static_cast<qsizetype>(second);
            at += kRecordHead + static_cast<qsizetype>(second);
        } else if (type == kDelete) {
            if (first > quint64(length) || second > quint64(length) - first) {
                break;
            }
            length -= static_cast<qsizetype>(second);
            at += kRecordHead;
        } else if (type == kCommit) {
            if (hashed(kHashStart, journal.sliced(batchStart, at + 9 - batchStart)) != second) {
                break;
            }
            at += kRecordHead;
            batchStart = soundEnd = at;
            time = static_cast<qint64>(first);
        } else {
            break;
        }
    }
    for (at = 0; at < soundEnd;) {
        const char type = journal[at];
        const auto position = static_cast<qsizetype>(numberAt(journal, at + 1));
        const auto count = static_cast<qsizetype>(numberAt(journal, at + 9));
        at += kRecordHead;
        if (type == kInsert) {
            text.insert(position, journal.sliced(at, count));
            at += count;
        } else if (type == kDelete) {
            text.remove(position, count);
        }
    }
    return time;
}

bool makeOwnFolder(const QByteArray& path) {
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

void appendInsertRecord(QByteArray& records, qsizetype position, QByteArrayView text) {
    records.append(kInsert);
    appendNumber(records, static_cast<quint64>(position));
    appendNumber(records, static_cast<quint64>(text.size()));
    records.append(text);
}

void appendDeleteRecord(QByteArray& records, qsizetype position, qsizetype length) {
    records.append(kDelete);
    appendNumber(records, static_cast<quint64>(position));
    appendNumber(records, static_cast<quint64>(length));
}

QByteArray RecoveryStore::folderPath() {
    // A relative XDG_STATE_HOME is to be ignored, as the base directory rules say.
    QByteArray state = qgetenv("XDG_STATE_HOME");
    if (!state.startsWith('/')) {
        state = qgetenv("HOME") + "/.local/state";
    }
    return state + "/ondrel";
}

RecoveryStore::RecoveryStore() {
    const QByteArray path = folderPath();
    // The parents a missing state folder needs are made private too.
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1)) {
        makeOwnFolder(path.left(slash));
    }
    makeOwnFolder(path);
    // Opened without following a link and checked on the open folder itself, so nothing can
    // swap it between the check and the use.
    const int dir = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (dir < 0) {
        return;
    }
    if (::fstat(dir, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
        ((info.st_mode & 077) != 0 && ::fchmod(dir, 0700) != 0)) {
        ::close(dir);
        return;
    }
    m_dir = dir;
    // The slot is taken at once, so that its name never changes while the worker writes.
    if (!claimSlot()) {
        ::close(m_dir);
        m_dir = -1;
    }
}

RecoveryStore::~RecoveryStore() {
    close(false);
    if (m_dir >= 0) {
        ::close(m_dir);
    }
}

QByteArray RecoveryStore::fileName(const QByteArray& id, const char* suffix) const {
    return id + suffix;
}

bool RecoveryStore::claimSlot() {
    // The lock is taken under a name no scan looks at, then given its own: a lock file that a
    // scan sees is always held from the start.
    const QByteArray id = QByteArray::number(QRandomGenerator::system()->generate64(), 16);
    const QByteArray temporary = fileName(id, ".lock.tmp");
    const int lock = openOwnFile(m_dir, temporary, O_RDWR | O_CREAT | O_EXCL);
    if (lock < 0) {
        return false;
    }
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0 ||
        ::renameat(m_dir, temporary.constData(), m_dir, fileName(id, ".lock").constData()) != 0) {
        ::unlinkat(m_dir, temporary.constData(), 0);
        ::close(lock);
        return false;
    }
    m_id = id;
    m_lock = lock;
    return true;
}

bool RecoveryStore::writeSnapshot(quint64 generation, qint64 msecs, const RecoveryFile& file,
                                  const std::vector<QByteArray>& pieces) {
    if (m_lock < 0) {
        return false;
    }
    if (m_journal >= 0) {
        ::close(m_journal);
        m_journal = -1;
    }
    qsizetype textLength = 0;
    for (const QByteArray& piece : pieces) {
        textLength += piece.size();
    }
    QByteArray head(kCopyMagic, kMagicLength);
    appendNumber(head, generation);
    appendNumber(head, static_cast<quint64>(msecs));
    appendNumber(head, static_cast<quint64>(file.name.size()));
    head += file.name;
    appendNumber(head, static_cast<quint64>(file.identity.size()));
    head += file.identity;
    appendNumber(head, static_cast<quint64>(textLength));

    // Written whole under another name, flushed, then renamed over the old copy and the
    // folder flushed: a crash at any point leaves the old copy or the new, never a mix.
    const QByteArray copyTemporary = fileName(m_id, ".copy.tmp");
    int fd = openOwnFile(m_dir, copyTemporary, O_WRONLY | O_CREAT | O_TRUNC);
    quint64 hash = hashed(kHashStart, head);
    bool ok = fd >= 0 && writeAll(fd, head);
    for (auto piece = pieces.begin(); ok && piece != pieces.end(); ++piece) {
        hash = hashed(hash, *piece);
        ok = writeAll(fd, *piece);
    }
    QByteArray tail;
    appendNumber(tail, hash);
    ok = ok && writeAll(fd, tail) && ::fsync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    ok = ok && ::renameat(m_dir, copyTemporary.constData(), m_dir,
                          fileName(m_id, ".copy").constData()) == 0;
    // The journal of the old copy would not fit the new one: a fresh, empty one replaces it
    // the same way. A crash in between leaves the old journal, which names the old generation
    // and is then ignored.
    const QByteArray journalTemporary = fileName(m_id, ".journal.tmp");
    QByteArray journalHead(kJournalMagic, kMagicLength);
    appendNumber(journalHead, generation);
    fd = ok ? openOwnFile(m_dir, journalTemporary, O_WRONLY | O_CREAT | O_TRUNC) : -1;
    ok = fd >= 0 && writeAll(fd, journalHead) && ::fsync(fd) == 0 &&
         ::renameat(m_dir, journalTemporary.constData(), m_dir,
                    fileName(m_id, ".journal").constData()) == 0 &&
         ::fsync(m_dir) == 0;
    if (!ok) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlinkat(m_dir, copyTemporary.constData(), 0);
        ::unlinkat(m_dir, journalTemporary.constData(), 0);
        return false;
    }
    m_journal = fd;
    m_journalGeneration = generation;
    return true;
}

bool RecoveryStore::appendJournal(quint64 generation, QByteArrayView records, qint64 msecs) {
    if (m_journal < 0 || m_journalGeneration != generation) {
        return false;
    }
    QByteArray batch = records.toByteArray();
    batch.append(kCommit);
    appendNumber(batch, static_cast<quint64>(msecs));
    appendNumber(batch, hashed(kHashStart, batch));
    if (writeAll(m_journal, batch) && ::fdatasync(m_journal) == 0) {
        return true;
    }
    // Nothing more is appended to this journal: a batch written in part is ignored on reading
    // with all that follows it, so the caller writes a new copy instead.
    m_journalGeneration = 0;
    return false;
}

void RecoveryStore::removeCopy() {
    if (m_journal >= 0) {
        ::close(m_journal);
        m_journal = -1;
    }
    m_journalGeneration = 0;
    if (m_lock >= 0) {
        // The copy first: a journal without its copy is never read.
        ::unlinkat(m_dir, fileName(m_id, ".copy").constData(), 0);
        ::unlinkat(m_dir, fileName(m_id, ".journal").constData(), 0);
        ::fsync(m_dir);
    }
}

void RecoveryStore::close(bool keepLocked) {
    if (m_journal >= 0) {
        ::close(m_journal);
        m_journal = -1;
    }
    if (m_lock < 0) {
        return;
    }
    if (!keepLocked) {
        removeCopy();
        ::unlinkat(m_dir, fileName(m_id, ".lock").constData(), 0);
        ::close(m_lock);
    }
    m_lock = -1;
}

void RecoveryStore::unlinkSlot(const QByteArray& id) {
    for (const char* suffix : {".copy", ".journal", ".copy.tmp", ".journal.tmp", ".lock"}) {
        ::unlinkat(m_dir, fileName(id, suffix).constData(), 0);
    }
    ::fsync(m_dir);
}

std::vector<RecoveryStore::Orphan> RecoveryStore::lockOrphans() {
    std::vector<std::pair<qint64, Orphan>> found;
    DIR* listing = m_dir >= 0 ? ::fdopendir(::dup(m_dir)) : nullptr;
    if (listing == nullptr) {
        return {};
    }
    // The duplicate shares the folder's read position, which an earlier listing left at the end.
    ::rewinddir(listing);
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (!name.endsWith(".lock") || name.startsWith('.')) {
            continue;
        }
        Orphan orphan{name.chopped(5), openOwnFile(m_dir, name, O_RDWR)};
        // Held: a running program's, this one's own slots included (flock counts each open).
        if (orphan.id == m_id || orphan.lock < 0 || ::flock(orphan.lock, LOCK_EX | LOCK_NB) != 0) {
            release(orphan);
            continue;
        }
        struct stat copy {};
        if (::fstatat(m_dir, fileName(orphan.id, ".copy").constData(), &copy,
                      AT_SYMLINK_NOFOLLOW) != 0) {
            // Its program ended before writing a copy or after removing it.
            remove(orphan);
            continue;
        }
        struct stat journal {};
        const bool journaled = ::fstatat(m_dir, fileName(orphan.id, ".journal").constData(),
                                         &journal, AT_SYMLINK_NOFOLLOW) == 0;
        found.emplace_back(std::max(copy.st_mtim.tv_sec, journaled ? journal.st_mtim.tv_sec : 0),
                           orphan);
    }
    ::closedir(listing);
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<Orphan> orphans;
    for (const auto& entry : found) {
        orphans.push_back(entry.second);
    }
    return orphans;
}

std::optional<RecoveredCopy> RecoveryStore::read(const Orphan& orphan) const {
    const int fd = openOwnFile(m_dir, fileName(orphan.id, ".copy"), O_RDONLY);
    if (fd < 0) {
        return std::nullopt;
    }
    CopyReader reader(fd);
    char magic[kMagicLength];
    reader.take(magic, kMagicLength);
    const quint64 generation = reader.number();
    const auto msecs = static_cast<qint64>(reader.number());
    RecoveredCopy copy;
    copy.file.name = reader.field();
    copy.file.identity = reader.field();
    const quint64 length = reader.number();
    struct stat info {};
    const bool fits = reader.ok() && ::fstat(fd, &info) == 0 && length < quint64(info.st_size);
    QByteArray text;
    if (fits) {
        text = QByteArray(static_cast<qsizetype>(length), Qt::Uninitialized);
        reader.take(text.data(), text.size());
    }
    const quint64 hash = reader.hash();
    const quint64 stored = reader.number();
    ::close(fd);
    if (!fits || !reader.ok() || std::memcmp(magic, kCopyMagic, kMagicLength) != 0 ||
        stored != hash) {
        return std::nullopt;
    }

    GapText gapText(std::move(text));
    std::optional<qint64> journalTime;
    const int journal = openOwnFile(m_dir, fileName(orphan.id, ".journal"), O_RDONLY);
    if (journal >= 0 && ::fstat(journal, &info) == 0 && info.st_size >= kMagicLength + 8) {
        QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
        if (readAll(journal, bytes.data(), bytes.size()) &&
            bytes.startsWith(QByteArrayView(kJournalMagic, kMagicLength)) &&
            numberAt(bytes, kMagicLength) == generation) {
            journalTime = replay(gapText, QByteArrayView(bytes).sliced(kMagicLength + 8));
        }
    }
    if (journal >= 0) {
        ::close(journal);
    }
    copy.text = gapText.take();
    copy.time = QDateTime::fromMSecsSinceEpoch(journalTime.value_or(msecs));
    return copy;
}

void RecoveryStore::remove(Orphan& orphan) {
    if (orphan.lock >= 0) {
        unlinkSlot(orphan.id);
    }
    release(orphan);
}

void RecoveryStore::release(Orphan& orphan) {
    if (orphan.lock >= 0) {
        ::close(orphan.lock);
        orphan.lock = -1;
    }
}

}  // namespace ondrel

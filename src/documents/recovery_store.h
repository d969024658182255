#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

#include <optional>
#include <vector>

namespace ondrel {

// What a recovery copy keeps about its document besides the text.
struct RecoveryFile {
    // The file name's bytes as the file system has them; empty for a document without a file.
    QByteArray name;
    // The file's identity on disk (device, inode, size, time) as the file commands keep it;
    // stored and handed back unread.
    QByteArray identity;
    bool operator==(const RecoveryFile& other) const {
        return name == other.name && identity == other.identity;
    }
    bool operator!=(const RecoveryFile& other) const { return !(*this == other); }
};

// A copy read back: the text at its last complete write, what it was a copy of, and when.
struct RecoveredCopy {
    QByteArray text;
    RecoveryFile file;
    QDateTime time;
};

// The journal's records, built on the UI thread as the text changes. A flush hands the
// records gathered since the last one to appendJournal, which seals them as one batch.
void appendInsertRecord(QByteArray& records, qsizetype position, QByteArrayView text);
void appendDeleteRecord(QByteArray& records, qsizetype position, qsizetype length);

// The recovery folder ($XDG_STATE_HOME/ondrel) and one slot in it: a lock file held with
// flock while its program runs, a copy (the whole text, replaced atomically) and a journal of
// the edits made since the copy (appended in sealed batches). The kernel lets go of the lock
// when the process dies however it dies, so a slot whose lock can be taken belongs to no
// running program. The slot's writes run on one worker thread at a time; the orphan calls on
// the UI thread.
class RecoveryStore {
public:
    // Opens the folder, making it when missing, and takes a slot in it. Unusable (isOpen()
    // false) when it is not a real folder of the effective user, which then never sees a byte
    // of text, or when no slot can be made.
    RecoveryStore();
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    bool isOpen() const { return m_dir >= 0; }
    // The folder's path as bytes.
    static QByteArray folderPath();

    // Replaces the slot's copy by the concatenated pieces and starts an empty journal for it;
    // generation ties the journal to its copy.
    bool writeSnapshot(quint64 generation, qint64 msecs, const RecoveryFile& file,
                       const std::vector<QByteArray>& pieces);
    // Appends records as one sealed batch to the journal of generation's copy; a batch cut
    // short by a crash is ignored on reading, with everything after it.
    bool appendJournal(quint64 generation, QByteArrayView records, qint64 msecs);
    void removeCopy();
    // Gives up the slot. With keepLocked the lock is held until the process ends, so a copy
    // left behind counts as a running program's until then.
    void close(bool keepLocked);

    // A slot of a program no longer running, whose lock this program now holds.
    struct Orphan {
        QByteArray id;
        int lock = -1;
    };
    // Locks every such slot, newest copy first.
    std::vector<Orphan> lockOrphans();
    // Its copy with the journal applied; nothing when there is no complete copy.
    std::optional<RecoveredCopy> read(const Orphan& orphan) const;
    // Deletes its files and lock.
    void remove(Orphan& orphan);
    // Lets go of its lock and keeps its files.
    static void release(Orphan& orphan);

private:
    bool claimSlot();
    QByteArray fileName(const QByteArray& id, const char* suffix) const;
    void unlinkSlot(const QByteArray& id);

    int m_dir = -1;
    QByteArray m_id;
    int m_lock = -1;
    int m_journal = -1;
    quint64 m_journalGeneration = 0;
};

}  // namespace ondrel

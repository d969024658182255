#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "documents/recovery_store.h"

class QsciScintillaBase;

namespace ondrel {

class Dialogs;
class TextBox;

// Makes utf8 the whole text of textBox as a modified document: its save point is one no undo
// reaches, so the text counts as modified until it is saved, however far it is undone.
void restoreAsModified(TextBox& textBox, QByteArrayView utf8);

// Keeps a recovery copy of the document in the text box while it is modified, so that a
// crash, kill, signal or power cut loses at most the last second or so of typing. When the
// document leaves its save point, the text is copied in slices from the event loop (no pause
// longer than one slice) and written whole by a worker thread; every later insertion and
// deletion is recorded as it happens and the records are appended to a journal by the worker
// about a second after the first of them. A long journal is folded into a fresh copy. The copy
// goes when the document reaches its save point again (saved, or undone back to it), when it
// is discarded, or when this is destroyed with the document unmodified; destroyed with the
// document modified, the copy stays for the next start.
class Recovery {
public:
    // fileOf tells what the document is a copy of (file name, identity on disk); it is asked
    // whenever a whole copy is taken and before each journal write.
    Recovery(TextBox& textBox, std::function<RecoveryFile()> fileOf);
    ~Recovery();
    Recovery(const Recovery&) = delete;
    Recovery& operator=(const Recovery&) = delete;

    // False when the recovery folder cannot be used safely; nothing is then written.
    bool enabled() const { return m_store->isOpen(); }

    // The document was saved: the copy goes. (Setting the save point does the same.)
    void documentSaved();
    // The user chose to throw the changes away: the copy goes and is not written again until
    // the document next changes.
    void documentDiscarded();
    // Brings the copy up to date now and waits until it is on disk; for a session that ends
    // without asking. True when the copy is current (or none is needed).
    bool writeNow();
    // True when the copy on disk holds the text as it is now (or none is needed).
    bool isCurrent() const;

    // Offers, one by one, each copy left by a program no longer running: Yes hands it to
    // restore (which returns false if it could not take it) and ends the offers; No deletes
    // the copy; Cancel keeps it for the next start. A copy goes only once its text is back in
    // the text box, modified, and in a copy of this program's own.
    void offerOrphans(Dialogs& dialogs, const std::function<bool(const RecoveredCopy&)>& restore);

    // On SIGTERM, SIGHUP or SIGINT: writes the copy, keeps it whatever happens next, then calls
    // end. The signal only wakes the event loop; the work runs on the UI thread.
    void endOnSignals(std::function<void()> end);

private:
    bool modified() const;
    void noteEdit(int position, int type, int length);
    void readInsertion();
    // Starts taking a whole copy of the text.
    void beginCopy();
    void copySlice();
    void finishCopy();
    // Hands the records gathered to the worker, or starts a whole copy where the journal
    // cannot go on.
    void flush();
    // No copy is kept any more; removes the one on disk unless the program is ending.
    void stop();
    void enqueue(std::function<bool()> work);
    void truncateCopy(qsizetype length);
    void onEndSignal();

    TextBox& m_textBox;
    QsciScintillaBase* m_editor;
    std::function<RecoveryFile()> m_fileOf;
    std::unique_ptr<RecoveryStore> m_store;
    // One thread, so the writes reach the disk in the order they were handed over.
    QThreadPool m_worker;
    std::atomic<int> m_queued{0};
    std::atomic<bool> m_writeFailed{false};

    // A copy is kept (the document is modified).
    bool m_active = false;
    // A whole copy is being taken: m_pieces hold the text's first m_copied bytes as it is now.
    bool m_copying = false;
    std::vector<QByteArray> m_pieces;
    qsizetype m_copied = 0;
    // The copy on disk (or on its way there) and what has been said about it since.
    quint64 m_generation = 0;
    RecoveryFile m_copyFile;
    void* m_copyDocument = nullptr;
    qsizetype m_length = 0;
    qsizetype m_journalBytes = 0;
    qsizetype m_copyBytes = 0;
    QByteArray m_records;
    // An insertion whose bytes are still to be read into the records, or -1.
    qsizetype m_unreadAt = -1;
    qsizetype m_unreadLength = 0;
    // The changes were thrown away on purpose; nothing to keep until the next one.
    bool m_discarded = false;
    // The program is ending on a signal: the copy written stays, whatever is asked later.
    bool m_ending = false;
    std::function<void()> m_end;

    QTimer m_sliceTimer;
    QTimer m_flushTimer;
};

}  // namespace ondrel

#include "documents/recovery.h"

#include <Qsci/qsciscintilla.h>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <utility>

#include "documents/file_name.h"
#include "platform/dialogs.h"
#include "text/text_box.h"

namespace ondrel {

namespace {

using Sci = QsciScintillaBase;

// A slice of the text copied per turn of the event loop: well under a millisecond.
constexpr qsizetype kSliceBytes = qsizetype(1) << 20;
// How long after the first change the records are written: the copy is at most this (plus a
// flush) behind the text.
constexpr int kFlushMs = 1000;
// A journal longer than this (or than the copy) is folded into a fresh copy, which keeps the
// replay at the next start short.
constexpr qsizetype kMinFoldBytes = qsizetype(1) << 20;

// The write end of the pipe the signal handler wakes the event loop with.
int s_signalPipe[2] = {-1, -1};
Recovery* s_signalTarget = nullptr;

void onSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(s_signalPipe[1], &byte, 1);
    errno = saved;
}

QString timeText(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

}  // namespace

void restoreAsModified(TextBox& textBox, QByteArrayView utf8) {
    Sci* editor = textBox.widget();
    textBox.setText(QString());
    // One step typed, marked as saved and undone: the next edit drops the save point from the
    // undo history, so no undo makes the restored text count as unmodified.
    textBox.replaceUtf8(0, 0, "x");
    editor->SendScintilla(Sci::SCI_SETSAVEPOINT);
    textBox.undo();
    {
        TextBox::UndoStep step(textBox);
        textBox.replaceUtf8(0, 0, utf8);
    }
    editor->SendScintilla(Sci::SCI_GOTOPOS, 0UL);
}

Recovery::Recovery(TextBox& textBox, std::function<RecoveryFile()> fileOf)
    : m_textBox(textBox),
      m_editor(textBox.widget()),
      m_fileOf(std::move(fileOf)),
      m_store(std::make_unique<RecoveryStore>()) {
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(-1);
    m_sliceTimer.setInterval(0);
    m_flushTimer.setInterval(kFlushMs);
    m_flushTimer.setSingleShot(true);
    QObject::connect(&m_sliceTimer, &QTimer::timeout, [this] { copySlice(); });
    QObject::connect(&m_flushTimer, &QTimer::timeout, [this] { flush(); });
    // The text area sends the notifications before each insertion and deletion (where and how
    // much); an insertion's text is read from the document once it is in.
    QObject::connect(m_editor, &Sci::SCN_MODIFIED, &m_sliceTimer,
                     [this](int position, int type, const char*, int length) {
                         noteEdit(position, type, length);
                     });
    QObject::connect(m_editor, &Sci::SCN_SAVEPOINTLEFT, &m_sliceTimer, [this] {
        m_discarded = false;
        beginCopy();
    });
    QObject::connect(m_editor, &Sci::SCN_SAVEPOINTREACHED, &m_sliceTimer, [this] { stop(); });
    if (modified()) {
        beginCopy();
    }
}

Recovery::~Recovery() {
    if (s_signalTarget == this) {
        s_signalTarget = nullptr;
    }
    m_sliceTimer.stop();
    m_flushTimer.stop();
    const bool keep = m_ending || (modified() && !m_discarded);
    if (keep) {
        writeNow();
    } else {
        stop();
    }
    m_worker.waitForDone();
    m_store->close(keep);
}

bool Recovery::modified() const {
    return m_editor->SendScintilla(Sci::SCI_GETMODIFY) != 0;
}

void Recovery::noteEdit(int position, int type, int length) {
    const bool insertion = (type & Sci::SC_MOD_BEFOREINSERT) != 0;
    if (!m_active || (!insertion && (type & Sci::SC_MOD_BEFOREDELETE) == 0)) {
        return;
    }
    if (m_copying) {
        // Bytes already copied that change are copied again; later ones are copied as they
        // will be.
        if (position < m_copied) {
            truncateCopy(position);
        }
        return;
    }
    readInsertion();
    if (insertion) {
        // The notification before an insertion carries no text: it is read once in place,
        // before the next change or the flush.
        m_unreadAt = position;
        m_unreadLength = length;
        m_length += length;
    } else {
        appendDeleteRecord(m_records, position, length);
        m_length -= length;
    }
    if (!m_flushTimer.isActive()) {
        m_flushTimer.start();
    }
}

void Recovery::readInsertion() {
    if (m_unreadAt < 0) {
        return;
    }
    // Nothing else has changed since the insertion, so its bytes are where it put them,
    // unless the whole text was replaced without notifications: the flush then sees the length
    // differ and takes a whole copy.
    if (m_unreadAt + m_unreadLength <= m_textBox.utf8Length()) {
        appendInsertRecord(m_records, m_unreadAt, m_textBox.utf8Range(m_unreadAt, m_unreadLength));
    } else {
        m_length = -1;
    }
    m_unreadAt = -1;
}

void Recovery::beginCopy() {
    if (!enabled() || m_ending) {
        return;
    }
    m_active = true;
    m_copying = true;
    m_pieces.clear();
    m_copied = 0;
    m_records.clear();
    m_unreadAt = -1;
    m_flushTimer.stop();
    m_sliceTimer.start();
}

void Recovery::copySlice() {
    const qsizetype length = m_textBox.utf8Length();
    const qsizetype count = std::min(kSliceBytes, length - m_copied);
    if (count > 0) {
        // A range before the gap of Scintilla's buffer is read in place; one that spans it
        // moves the gap by less than a slice.
        const QByteArrayView bytes = m_textBox.utf8Range(m_copied, count);
        m_pieces.emplace_back(bytes.data(), bytes.size());
        m_copied += count;
    }
    if (m_copied == length) {
        finishCopy();
    }
}

void Recovery::truncateCopy(qsizetype length) {
    while (!m_pieces.empty() && m_copied - m_pieces.back().size() >= length) {
        m_copied -= m_pieces.back().size();
        m_pieces.pop_back();
    }
    if (!m_pieces.empty()) {
        m_pieces.back().chop(m_copied - length);
    }
    m_copied = length;
}

void Recovery::finishCopy() {
    m_sliceTimer.stop();
    m_copying = false;
    m_length = m_copied;
    m_copyBytes = m_copied;
    m_journalBytes = 0;
    m_copyDocument = m_editor->SendScintillaPtrResult(Sci::SCI_GETDOCPOINTER);
    m_copyFile = m_fileOf();
    m_writeFailed = false;
    const quint64 generation = ++m_generation;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    enqueue([this, generation, now, file = m_copyFile, pieces = std::move(m_pieces)] {
        return m_store->writeSnapshot(generation, now, file, pieces);
    });
    m_pieces.clear();
}

void Recovery::flush() {
    m_flushTimer.stop();
    if (!m_active || m_copying) {
        return;
    }
    if (!modified()) {
        // The text was replaced or undone to its save point without a word to this.
        stop();
        return;
    }
    // A journal only fits the text it was started on: a failed write, a text replaced behind
    // the notifications' back or a new file name start a whole copy instead.
    if (m_writeFailed || m_length != m_textBox.utf8Length() ||
        m_copyDocument != m_editor->SendScintillaPtrResult(Sci::SCI_GETDOCPOINTER) ||
        m_fileOf() != m_copyFile) {
        beginCopy();
        return;
    }
    readInsertion();
    if (m_records.isEmpty()) {
        return;
    }
    m_journalBytes += m_records.size();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    enqueue([this, generation = m_generation, now, records = std::exchange(m_records, {})] {
        return m_store->appendJournal(generation, records, now);
    });
    if (m_journalBytes > std::max(kMinFoldBytes, m_copyBytes)) {
        beginCopy();
    }
}

void Recovery::stop() {
    m_active = false;
    m_copying = false;
    m_sliceTimer.stop();
    m_flushTimer.stop();
    m_pieces.clear();
    m_records.clear();
    m_unreadAt = -1;
    if (!m_ending && enabled()) {
        enqueue([this] {
            m_store->removeCopy();
            return true;
        });
    }
}

void Recovery::enqueue(std::function<bool()> work) {
    ++m_queued;
    m_worker.start([this, work = std::move(work)] {
        if (!work()) {
            m_writeFailed = true;
        }
        --m_queued;
    });
}

void Recovery::documentSaved() {
    stop();
}

void Recovery::documentDiscarded() {
    m_discarded = true;
    stop();
}

bool Recovery::writeNow() {
    if (!enabled()) {
        return false;
    }
    if (modified() && !m_discarded) {
        if (!m_active) {
            beginCopy();
        }
        flush();
        while (m_copying) {
            copySlice();
        }
        m_worker.waitForDone();
        if (m_writeFailed) {
            // One more whole copy before giving up.
            beginCopy();
            while (m_copying) {
                copySlice();
            }
        }
        flush();
    }
    m_worker.waitForDone();
    return isCurrent();
}

bool Recovery::isCurrent() const {
    return m_queued == 0 && !m_copying && m_records.isEmpty() && m_unreadAt < 0 && !m_writeFailed;
}

void Recovery::offerOrphans(Dialogs& dialogs,
                            const std::function<bool(const RecoveredCopy&)>& restore) {
    std::vector<RecoveryStore::Orphan> orphans = m_store->lockOrphans();
    auto orphan = orphans.begin();
    for (; orphan != orphans.end(); ++orphan) {
        const std::optional<RecoveredCopy> copy = m_store->read(*orphan);
        if (!copy) {
            // Unreadable (perhaps written by a later version): left alone.
            RecoveryStore::release(*orphan);
            continue;
        }
        const QString name =
            copy->file.name.isEmpty() ? QStringLiteral("project") : fileNameText(copy->file.name);
        const MessageAnswer answer = dialogs.message(
            QStringLiteral("保存されていない変更の回復用コピーがあります。\n\n%1\n%2 の時点\n\n"
                           "元に戻しますか？\n"
                           "（いいえ: コピーを削除します。キャンセル: 次回の起動まで残します。）")
                .arg(name, timeText(copy->time)),
            QStringLiteral("文書の回復"), MessageButtons::YesNoCancelNoAccessKeys,
            MessageIcon::Question, MessageAnswer::Yes);
        if (answer == MessageAnswer::No) {
            m_store->remove(*orphan);
        } else if (answer == MessageAnswer::Yes) {
            // The old copy goes only once the text is back, still modified, and in a copy of
            // this program's own.
            const bool restored =
                restore(*copy) && m_textBox.utf8Text() == copy->text && modified() && writeNow();
            if (restored) {
                m_store->remove(*orphan);
            } else {
                RecoveryStore::release(*orphan);
            }
            break;
        } else {
            RecoveryStore::release(*orphan);
        }
    }
    // After a restore the rest wait for the next start.
    for (; orphan != orphans.end(); ++orphan) {
        RecoveryStore::release(*orphan);
    }
}

void Recovery::endOnSignals(std::function<void()> end) {
    m_end = std::move(end);
    s_signalTarget = this;
    static QSocketNotifier* notifier = nullptr;
    if (notifier != nullptr || ::pipe2(s_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier =
        new QSocketNotifier(s_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char bytes[16];
        while (::read(s_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (s_signalTarget != nullptr) {
            s_signalTarget->onEndSignal();
        } else {
            QCoreApplication::exit(0);
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(signal, &action, nullptr);
    }
}

void Recovery::onEndSignal() {
    if (m_ending) {
        return;
    }
    writeNow();
    m_ending = true;
    if (m_end) {
        m_end();
    }
}

}  // namespace ondrel

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

#include "documents/document_file.h"
#include "documents/document_file_messages.h"

// Reading and saving through Qt alone, for systems without the POSIX calls the other files use.
// Saving here cannot keep a file's owner, links or attributes, nor write in place.

namespace ondrel {

using namespace file_messages;

namespace {

// Where a link points, followed to the end, so the file behind it is replaced and the link
// itself stays.
QString resolveLinks(const QString& path) {
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops) {
        info = QFileInfo(info.symLinkTarget());
    }
    return info.absoluteFilePath();
}

// A whole file's bytes, or why they could not be read (bytes is then empty).
struct WholeFile {
    QByteArray bytes;
    QString reason;
};

WholeFile readWholeFile(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        return {{}, notAFileToOpen(NotAFile::Folder)};
    }
    if (!info.exists()) {
        return {{}, notFound()};
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
        return {{}, readFailed(file.errorString())};
    }
    return {std::move(read), {}};
}

}  // namespace

FileOutcome readFileInPieces(const QByteArray& name, qsizetype, const PieceReader& onPiece) {
    const QString path = QFile::decodeName(name);
    // Here the whole file is one piece.
    const WholeFile read = readWholeFile(path);
    if (read.reason.isEmpty() && !read.bytes.isEmpty()) {
        onPiece(read.bytes, read.bytes.size());
    }
    return {read.reason};
}

FileOutcome writeWholeFile(const QByteArray& name, const QByteArray& bytes) {
    const QString path = QFile::decodeName(name);
    const QString target = resolveLinks(path);
    const QFileInfo info(target);
    if (info.isDir()) {
        return {notAFileToSave(NotAFile::Folder)};
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists() || !folder.isDir()) {
        return {folderNotFound()};
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
        return {writeFailed(detail, true)};
    }
    if (info.exists()) {
        // QSaveFile creates its file with default permissions; CGI scripts need theirs kept.
        file.setPermissions(info.permissions());
    }
    if (!file.commit()) {
        return {writeFailed(file.errorString())};
    }
    return {};
}

}  // namespace ondrel

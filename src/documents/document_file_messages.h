#pragma once

#include <QString>

namespace ondrel::file_messages {

// The largest file Open reads. Opening takes about one and a half times the file's size in
// memory; beyond this the text area's positions would also need its large-document mode.
inline constexpr qint64 kLargestFile = qint64(1) << 30;

// What a path names when it is not a regular file.
enum class NotAFile { Folder, Pipe, Socket, Device, Other };

// The Japanese reasons the reader and the writer give for a failure, each to be shown after
// the file's name.
QString withDetail(const QString& reason, const QString& detail);
QString tooLarge();
// The system's own text for an errno code.
QString systemText(int code);
// Why a file could not be opened, from the errno the failing call left and a detail (the
// system's text for it unless given).
QString openReason(int code, const QString& detail);
QString openReason(int code);
QString writeReason(int code);
// A write that failed for the reason detail gives; mayBeFull when the disk may be full.
QString writeFailed(const QString& detail, bool mayBeFull = false);
QString readFailed(const QString& detail);
QString notFound();
QString folderNotFound();
QString notAFileToOpen(NotAFile kind);
QString notAFileToSave(NotAFile kind);
// The file at the path is no longer the one that was opened to be written.
QString swapped();
// No backup could be made in folder for the reason detail gives.
QString noBackupIn(const QString& folder, const QString& detail);
// The backup folder would be folder, or made inside it, and folder is someone else's.
QString notOwnFolder(const QString& folder);
// Why a link in place of the backup folder is not followed.
QString linkNotFollowed();
// The file's old content could not be read to back it up.
QString oldUnreadable(const QString& path, const QString& detail);
// Saved, but the file's mode is got where it was wanted, or its capabilities are gone.
QString modeNotKept(uint wanted, uint got);
QString capabilityNotKept();
QString noSpace(qint64 missing);
QString putBack(const QString& reason);
QString notRestored(const QString& reason, const QString& backup);

}  // namespace ondrel::file_messages

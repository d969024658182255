#include "documents/document_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace ondrel {

namespace {

// Opening takes about five times the file's size in memory; beyond this the text area's
// positions would also need its large-document mode.
constexpr qint64 kLargestFile = qint64(1) << 30;

QString withDetail(const QString& reason, const QString& detail) {
    return detail.isEmpty() ? reason
                            : reason + QStringLiteral("（") + detail + QStringLiteral("）");
}

// The reason for a failed open, from the errno the failing call left (read at once, before
// anything else can change it).
QString openReason(const QFileDevice& file, int code) {
    switch (code) {
        case EACCES:
        case EPERM:
            return withDetail(QStringLiteral("アクセスが許可されていません。"), file.errorString());
        case EROFS:
            return withDetail(QStringLiteral("読み取り専用のファイルシステムです。"),
                              file.errorString());
        case ENOSPC:
            return withDetail(QStringLiteral("ディスクの空きが足りません。"), file.errorString());
        default:
            return withDetail(QStringLiteral("ファイルを開けませんでした。"), file.errorString());
    }
}

// Where a link points, followed to the end, so the file behind it is replaced and the link
// itself stays.
QString resolveLinks(const QString& path) {
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops) {
        info = QFileInfo(info.symLinkTarget());
    }
    return info.absoluteFilePath();
}

}  // namespace

FileRead readWholeFile(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        return {{}, QStringLiteral("フォルダーはファイルとして開けません。")};
    }
    if (!info.exists()) {
        return {{}, QStringLiteral("ファイルが見つかりません。")};
    }
    if (info.size() > kLargestFile) {
        return {{},
                QStringLiteral("ファイルが大きすぎます（%1 MB まで開けます）。")
                    .arg(kLargestFile >> 20)};
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, openReason(file, errno)};
    }
    QByteArray read = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {{},
                withDetail(QStringLiteral("ファイルを読み込めませんでした。"), file.errorString())};
    }
    return {std::move(read), {}};
}

FileOutcome writeWholeFile(const QString& path, const QByteArray& bytes) {
    const QString target = resolveLinks(path);
    const QFileInfo info(target);
    if (info.isDir()) {
        return {QStringLiteral("保存先はフォルダーです。")};
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists() || !folder.isDir()) {
        return {QStringLiteral("保存先のフォルダーが見つかりません。")};
    }

    if (info.exists()) {
        // Replacing the file through a new one beside it would get past its read-only mark;
        // opening it for appending asks the system whether it may be written, and changes
        // nothing.
        QFile probe(target);
        errno = 0;
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            return {openReason(probe, errno)};
        }
    }

    QSaveFile file(target);
    // A folder that may not be written but a file that may: the file is then written in
    // place, which is not atomic, so every step below is checked before the next.
    file.setDirectWriteFallback(true);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        return {openReason(file, errno)};
    }
    // QSaveFile::commit() can report success after a short final write (a full disk while
    // flushing its buffer), and would then rename the truncated file over the original.
    // So the write and the flush are checked here, and commit only runs once both succeeded.
    const qint64 written = file.write(bytes);
    if (written != bytes.size() || !file.flush()) {
        const QString detail = file.errorString();
        file.cancelWriting();
        file.commit();
        return {withDetail(
            QStringLiteral("書き込めませんでした。ディスクの空きが足りない可能性があります。"),
            detail)};
    }
    if (info.exists()) {
        // QSaveFile creates its file with default permissions; CGI scripts need theirs kept.
        file.setPermissions(info.permissions());
    }
    if (!file.commit()) {
        return {withDetail(QStringLiteral("書き込めませんでした。"), file.errorString())};
    }
    return {};
}

}  // namespace ondrel

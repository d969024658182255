#include "documents/document_file_messages.h"

#include <cerrno>
#include <cstring>

namespace ondrel::file_messages {

QString withDetail(const QString& reason, const QString& detail) {
    return detail.isEmpty() ? reason
                            : reason + QStringLiteral("（") + detail + QStringLiteral("）");
}

QString tooLarge() {
    return QStringLiteral("ファイルが大きすぎます（%1 MB まで開けます）。").arg(kLargestFile >> 20);
}

QString systemText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

QString openReason(int code, const QString& detail) {
    switch (code) {
        case EACCES:
        case EPERM:
            return withDetail(QStringLiteral("アクセスが許可されていません。"), detail);
        case EROFS:
            return withDetail(QStringLiteral("読み取り専用のファイルシステムです。"), detail);
        case ENOSPC:
            return withDetail(QStringLiteral("ディスクの空きが足りません。"), detail);
        case ENAMETOOLONG:
            return withDetail(QStringLiteral("パスが長すぎます。"), detail);
        default:
            return withDetail(QStringLiteral("ファイルを開けませんでした。"), detail);
    }
}

QString openReason(int code) {
    return openReason(code, systemText(code));
}

QString writeReason(int code) {
    bool full = code == ENOSPC || code == EFBIG;
#ifdef EDQUOT
    full = full || code == EDQUOT;
#endif
    return writeFailed(systemText(code), full);
}

QString writeFailed(const QString& detail, bool mayBeFull) {
    return withDetail(
        mayBeFull
            ? QStringLiteral("書き込めませんでした。ディスクの空きが足りない可能性があります。")
            : QStringLiteral("書き込めませんでした。"),
        detail);
}

QString readFailed(const QString& detail) {
    return withDetail(QStringLiteral("ファイルを読み込めませんでした。"), detail);
}

QString notFound() {
    return QStringLiteral("ファイルが見つかりません。");
}

QString folderNotFound() {
    return QStringLiteral("保存先のフォルダーが見つかりません。");
}

namespace {

QString kindText(NotAFile kind) {
    switch (kind) {
        case NotAFile::Folder:
            return QStringLiteral("フォルダー");
        case NotAFile::Pipe:
            return QStringLiteral("名前付きパイプ");
        case NotAFile::Socket:
            return QStringLiteral("ソケット");
        case NotAFile::Device:
            return QStringLiteral("デバイス");
        case NotAFile::Other:
            break;
    }
    return QStringLiteral("特殊なファイル");
}

}  // namespace

QString notAFileToOpen(NotAFile kind) {
    return kindText(kind) + QStringLiteral("はファイルとして開けません。");
}

QString notAFileToSave(NotAFile kind) {
    return QStringLiteral("保存先は") + kindText(kind) + QStringLiteral("です。");
}

QString swapped() {
    return QStringLiteral("保存先のファイルが、保存の途中で別のファイルに置き換えられました。");
}

namespace {

// A save refused for want of a backup says why, and the way that still saves: a new file
// in a folder the user may write needs no backup.
QString refusedForBackup(const QString& why) {
    return QStringLiteral("保存前の内容のバックアップを作れないため、保存しませんでした。\r\n") +
           why +
           QStringLiteral("\r\n「名前を付けて保存」で別のフォルダーに保存することはできます。");
}

QString octal(uint mode) {
    return QStringLiteral("0") + QString::number(mode, 8);
}

}  // namespace

QString noBackupIn(const QString& folder, const QString& detail) {
    return refusedForBackup(
        withDetail(QStringLiteral("書き込めないフォルダー: ") + folder, detail));
}

QString notOwnFolder(const QString& folder) {
    return refusedForBackup(withDetail(QStringLiteral("書き込めないフォルダー: ") + folder,
                                       QStringLiteral("別のユーザーのフォルダーです")));
}

QString linkNotFollowed() {
    return QStringLiteral("フォルダーではなくリンクです");
}

QString oldUnreadable(const QString& path, const QString& detail) {
    return refusedForBackup(withDetail(QStringLiteral("読めないファイル: ") + path, detail));
}

QString modeNotKept(uint wanted, uint got) {
    return QStringLiteral(
               "保存しましたが、ファイルのモードを元に戻せませんでした（%1 が %2 "
               "になりました）。")
        .arg(octal(wanted), octal(got));
}

QString capabilityNotKept() {
    return QStringLiteral(
        "保存しましたが、ファイルのケーパビリティ (security.capability) "
        "を元に戻せませんでした。");
}

QString noSpace(qint64 missing) {
    return QStringLiteral("ディスクの空きが足りません（あと %1 バイト必要です）。").arg(missing);
}

QString putBack(const QString& reason) {
    return reason + QStringLiteral("\r\nファイルは保存前の内容に戻しました。");
}

QString notRestored(const QString& reason, const QString& backup) {
    return reason +
           QStringLiteral(
               "\r\nファイルを保存前の内容に戻せませんでした。"
               "保存前の内容は次のファイルに残してあります。\r\n") +
           backup;
}

}  // namespace ondrel::file_messages

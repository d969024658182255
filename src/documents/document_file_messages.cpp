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

QString noBackup(const QString& where, int code) {
    return withDetail(QStringLiteral("保存前の内容のバックアップを作れませんでした。"),
                      where + QStringLiteral(": ") + systemText(code));
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

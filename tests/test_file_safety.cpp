#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <functional>

#include "documents/document_file.h"
#include "file_size_limit.h"
#include "permissions_enforced.h"
#include "test_files.h"
#include "test_main.h"

using namespace ondrel;

namespace {

// Runs body in a child process, as the user uid unless it is 0, and returns what body
// returned, or how the child ended if it died or hung (it is killed after five seconds).
QString inChild(const std::function<QString()>& body, uid_t uid = 0) {
    int out[2];
    if (pipe(out) != 0) {
        return QStringLiteral("<no pipe>");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(5);
        const bool asUser =
            uid == 0 || (setgroups(0, nullptr) == 0 && setresgid(uid, uid, uid) == 0 &&
                         setresuid(uid, uid, uid) == 0);
        const QByteArray result =
            (asUser ? body() : QStringLiteral("<cannot act as user %1>").arg(uid)).toUtf8();
        _exit(write(out[1], result.constData(), result.size()) == result.size() ? 0 : 3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[1]);
    QByteArray result(65536, '\0');  // what a child says fits in the pipe
    result.resize(std::max<qsizetype>(read(out[0], result.data(), result.size()), 0));
    close(out[0]);
    return WIFSIGNALED(status) ? QStringLiteral("<signal %1>").arg(WTERMSIG(status))
                               : QString::fromUtf8(result);
}

QString outcome(const FileOutcome& o) {
    return o.ok() ? QStringLiteral("saved") : o.reason;
}

// The file's owner, group and mode; the user who saves it (0: root); where it is ("plain",
// "hard link", "attribute" or "sticky").
using Kept = std::tuple<uint, uint, uint, uint, QString>;

}  // namespace

class FileSafetyTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_temp;
    QString path(const QString& name) const { return m_temp->filePath(name); }
    QStringList backups() const { return QDir(path("state/ondrel")).entryList(QDir::Files); }

private slots:
    void init() {
        m_temp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temp->isValid());
        // Other users the tests act as must reach the files, and keep their backups here too.
        QVERIFY(chmod(QFile::encodeName(m_temp->path()), 0755) == 0);
        QVERIFY(QDir(m_temp->path()).mkdir("state"));
        QVERIFY(chmod(QFile::encodeName(path("state")), 01777) == 0);
        qputenv("XDG_STATE_HOME", QFile::encodeName(path("state")));
    }

    void specialFilesRefused_data() {
        addColumns<std::tuple<uint, QString>>();
        addRow("named pipe", uint(S_IFIFO), "名前付きパイプ");
        addRow("character device like /dev/zero", uint(S_IFCHR), "デバイス");
    }

    void specialFilesRefused() {
        const auto [type, kind] = fetchRow<std::tuple<uint, QString>>();
        const QByteArray node = QFile::encodeName(path("node.cgi"));
        if (mknod(node, type | 0666, makedev(1, 5)) != 0) {
            QSKIP("this system does not let the test create the special file");
        }
        const QString name = QFile::decodeName(node);
        const QString result = inChild([&] {
            const FileOutcome read = readFileInPieces(name, 4096, [](const QByteArray&, qint64) {});
            return (read.ok() ? QStringLiteral("read") : read.reason) + " | " +
                   outcome(writeWholeFile(name, "new\r\n"));
        });
        QCOMPARE(result, kind + "はファイルとして開けません。 | 保存先は" + kind + "です。");
        QVERIFY2(QFileInfo::exists(name) && !QFileInfo(name).isFile(),
                 "the node must stay as it was");
    }

    void inPlaceSaveNeverTruncates_data() {
        addColumns<std::tuple<QString, QString>>();
        addRow("no fault", "", "saved");
        addRow("file size limit mid-write", "limit", "ファイルは保存前の内容に戻しました。");
        addRow("full filesystem", "full", "ディスクの空きが足りません");
        addRow("crash mid-write", "crash", QStringLiteral("<signal %1>").arg(SIGXFSZ));
    }

    void inPlaceSaveNeverTruncates() {
        const auto [fault, reason] = fetchRow<std::tuple<QString, QString>>();
        QVERIFY(QDir(m_temp->path()).mkdir("ro"));
        const QByteArray folder = QFile::encodeName(path("ro"));
        if (fault == "full" && mount("tmpfs", folder, "tmpfs", 0, "size=64k") != 0) {
            QSKIP("mounting a small tmpfs is not permitted here");
        }
        const auto unmount = qScopeGuard([&] { umount2(folder, MNT_DETACH); });
        const QString file = path("ro/in.cgi");
        const QByteArray oldBytes("print \"old\";\r\n");
        const QByteArray newBytes = QByteArray(200000, 'n') + "\r\n";
        writeBytes(file, oldBytes);
        QVERIFY(chmod(folder, 0555) == 0);
        const bool crash = fault == "crash";
        const rlim_t limitBytes = fault == "limit" || crash ? 65536 : RLIM_INFINITY;
        const QString result = inChild([&] {
            PermissionsEnforced enforced;
            FileSizeLimit limit(limitBytes, crash);
            if (QFile probe(path("ro/probe")); probe.open(QIODevice::WriteOnly)) {
                return QStringLiteral("<the folder is writable>");
            }
            return outcome(writeWholeFile(file, newBytes));
        });
        if (crash) {
            QVERIFY2(readBytes(file) != oldBytes, "the save must really have been cut short");
            QCOMPARE(backups().size(), 1);
            QCOMPARE(readBytes(path("state/ondrel/") + backups().first()), oldBytes);
        } else {
            QCOMPARE(readBytes(file), fault.isEmpty() ? newBytes : oldBytes);
            QCOMPARE(backups(), QStringList());
        }
        QVERIFY2(result.contains(reason), qPrintable(result));
    }

    void saveKeepsWhatTheFileIs_data() {
        addColumns<Kept>();
        addRow("another user's setuid script saved by root", 1234u, 1234u, 04755u, 0u, "plain");
        addRow("setgid script of another group", 0u, 1234u, 02775u, 0u, "plain");
        addRow("second hard link", 0u, 0u, 0644u, 0u, "hard link");
        addRow("extended attribute", 0u, 0u, 0644u, 0u, "attribute");
        addRow("group the saver is not in", 1234u, 5678u, 0664u, 1234u, "plain");
        addRow("another user's file in a sticky folder", 1234u, 1234u, 0666u, 5678u, "sticky");
    }

    void saveKeepsWhatTheFileIs() {
        const auto [owner, group, mode, saver, folder] = fetchRow<Kept>();
        QVERIFY(QDir(m_temp->path()).mkdir("f"));
        QVERIFY(chmod(QFile::encodeName(path("f")), folder == "sticky" ? 01777 : 0777) == 0);
        const QString file = path("f/run.cgi");
        const QByteArray native = QFile::encodeName(file);
        writeBytes(file, "old\r\n");
        QVERIFY(chown(native, owner, group) == 0);
        QVERIFY(chmod(native, mode) == 0);
        if (folder == "hard link") {
            QVERIFY(link(native, QFile::encodeName(path("f/other.cgi"))) == 0);
        } else if (folder == "attribute" && setxattr(native, "user.note", "kept", 4, 0) != 0) {
            QSKIP("this filesystem holds no user attributes");
        }
        const QString result =
            inChild([&] { return outcome(writeWholeFile(file, "new\r\n")); }, saver);
        QCOMPARE(result, QStringLiteral("saved"));
        QCOMPARE(readBytes(file), QByteArray("new\r\n"));
        struct stat after {};
        QVERIFY(stat(native, &after) == 0);
        QCOMPARE(uint(after.st_uid), owner);
        QCOMPARE(uint(after.st_gid), group);
        QCOMPARE(uint(after.st_mode & 07777), mode);
        if (folder == "hard link") {
            QCOMPARE(readBytes(path("f/other.cgi")), QByteArray("new\r\n"));
        } else if (folder == "attribute") {
            char value[8] = {};
            const auto size = getxattr(native, "user.note", value, sizeof value);
            QCOMPARE(QByteArray(value, std::max<qsizetype>(size, 0)), QByteArray("kept"));
        }
        // Nothing left beside the file: no new file that failed to replace it.
        QCOMPARE(QDir(path("f")).entryList(QDir::Files).size(), folder == "hard link" ? 2 : 1);
        QCOMPARE(backups(), QStringList());
    }

    void kernelLinkProtectionApplies() {
        if (readBytes(QStringLiteral("/proc/sys/fs/protected_symlinks")).trimmed() != "1") {
            QSKIP("fs.protected_symlinks is off on this system, so the kernel allows the link");
        }
        // Another user's link in a shared sticky folder, pointing at a file only root may read.
        QVERIFY(QDir(m_temp->path()).mkdir("shared"));
        QVERIFY(chmod(QFile::encodeName(path("shared")), 01777) == 0);
        writeBytes(path("secret"), "root only\n");
        QVERIFY(chmod(QFile::encodeName(path("secret")), 0600) == 0);
        const QByteArray link = QFile::encodeName(path("shared/x.cgi"));
        QVERIFY(symlink(QFile::encodeName(path("secret")), link) == 0);
        QVERIFY(lchown(link, 1234, 1234) == 0);
        const QString result = outcome(writeWholeFile(path("shared/x.cgi"), "swapped\r\n"));
        QVERIFY2(result != "saved", "the save followed a link the kernel forbids");
        QCOMPARE(readBytes(path("secret")), QByteArray("root only\n"));
    }
};

ONDREL_TEST_GUILESS_MAIN(FileSafetyTest)
#include "test_file_safety.moc"

#include <QScopeGuard>

#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <functional>

#include "call_faults.h"
#include "documents/document_file.h"
#include "file_size_limit.h"
#include "permissions_enforced.h"
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
    return !o.ok()               ? o.reason
           : o.warning.isEmpty() ? QStringLiteral("saved")
                                 : QStringLiteral("saved | ") + o.warning;
}

// Whether a power cut at any moment of the save would find the old content: the backup's
// folder synced before the file is first written, the backup dropped only after the
// file's close said its bytes are written.
QString writeOrder(const QString& file) {
    const QStringList calls = call_faults::journal();
    const QString backups = QDir::cleanPath(QFileInfo(file).absolutePath() + "/../state/ondrel");
    const auto first = [&](const QString& call) {
        return std::find_if(calls.begin(), calls.end(),
                            [&](const QString& made) { return made.startsWith(call); }) -
               calls.begin();
    };
    const qsizetype synced = calls.indexOf("fsync " + backups);
    const qsizetype closed = calls.lastIndexOf("close " + file);
    return synced >= 0 && synced < first("pwrite " + file) && closed >= 0 &&
                   closed < first("unlink " + backups + "/")
               ? QString()
               : " | backup not on disk before the file is written, or dropped before its close";
}

// A file capability that lets the program bind low ports, as setcap writes it.
const QByteArray kCapability = QByteArray::fromHex("0100000200040000000000000000000000000000");

}  // namespace

class FileSafetyTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_temp;
    QString path(const QString& name) const { return m_temp->filePath(name); }
    QStringList backups() const { return QDir(path("state/ondrel")).entryList(QDir::Files); }

private slots:
    void init() {
        m_temp = std::make_unique<QTemporaryDir>();
        // Other users the tests act as must reach the files, and keep their backups here too.
        QVERIFY(chmod(QFile::encodeName(m_temp->path()), 0755) == 0);
        QVERIFY(QDir(m_temp->path()).mkdir("state"));
        QVERIFY(chmod(QFile::encodeName(path("state")), 01777) == 0);
        qputenv("XDG_STATE_HOME", QFile::encodeName(path("state")));
    }

    void specialFilesRefused_data() { addRowsFromFile("special_files.tsv"); }

    void specialFilesRefused() {
        const QString kind = field("kind");
        const QByteArray node = QFile::encodeName(path("node.cgi"));
        if (mknod(node, (field("type") == "fifo" ? S_IFIFO : S_IFCHR) | 0666, makedev(1, 5)) != 0) {
            QSKIP("this system does not let the test create the special file");
        }
        const QString result = inChild([&] {
            const FileOutcome read = readFileInPieces(node, 4096, [](const QByteArray&, qint64) {});
            return (read.ok() ? QStringLiteral("read") : read.reason) + " | " +
                   outcome(writeWholeFile(node, "new\r\n"));
        });
        QCOMPARE(result, kind + "はファイルとして開けません。 | 保存先は" + kind + "です。");
        const QFileInfo left(path("node.cgi"));
        QVERIFY2(left.exists() && !left.isFile(), "the node must stay as it was");
    }

    void inPlaceSaveNeverTruncates_data() { addRowsFromFile("in_place_saves.tsv"); }

    void inPlaceSaveNeverTruncates() {
        const QString fault = field("fault");
        const QString reason = field("reason");
        QVERIFY(QDir(m_temp->path()).mkdir("ro"));
        const QByteArray folder = QFile::encodeName(path("ro"));
        if (fault == "full" && mount("tmpfs", folder, "tmpfs", 0, "size=64k") != 0) {
            QSKIP("mounting a small tmpfs is not permitted here");
        }
        const auto unmount = qScopeGuard([&] { umount2(folder, MNT_DETACH); });
        const bool crash = fault == "crash";
        // A name as long as a name may be, in characters of three bytes each.
        const QString file = path("ro/" + (crash ? QString(83, QChar(0x8868)) : "in") + ".cgi");
        const QByteArray oldBytes("print \"old\";\r\n");
        const QByteArray newBytes = QByteArray(200000, 'n') + "\r\n";
        writeBytes(file, oldBytes);
        QVERIFY(chmod(folder, 0555) == 0);
        const QByteArray state = QFile::encodeName(path("state"));
        if (fault == "foreign state") {
            QVERIFY(mkdir(state + "/ondrel", 0777) == 0 &&
                    chown(state + "/ondrel", 1234, 1234) == 0);
        } else if (fault == "foreign parent") {
            QVERIFY(chown(state, 1234, 1234) == 0 && chmod(state, 0777) == 0);
        }
        const rlim_t limitBytes = fault == "limit" || crash ? 65536 : RLIM_INFINITY;
        const QString result = inChild([&] {
            PermissionsEnforced enforced;
            FileSizeLimit limit(limitBytes, crash);
            if (QFile probe(path("ro/probe")); probe.open(QIODevice::WriteOnly)) {
                return QStringLiteral("<the folder is writable>");
            }
            if (fault == "close") {
                call_faults::arm("close", QFile::encodeName(file), EIO);
            }
            call_faults::startJournal();
            const QString saved = outcome(writeWholeFile(QFile::encodeName(file), newBytes));
            return fault == "order" ? saved + writeOrder(file) : saved;
        });
        if (crash) {
            QVERIFY2(readBytes(file) != oldBytes, "the save must really have been cut short");
            QCOMPARE(backups().size(), 1);
            QCOMPARE(readBytes(path("state/ondrel/") + backups().first()), oldBytes);
            // The backup's name is the file's, shortened between two characters.
            QVERIFY2(backups().first().startsWith(QString(66, QChar(0x8868)) + "."),
                     qPrintable(backups().first()));
        } else {
            QCOMPARE(readBytes(file), reason == "saved" ? newBytes : oldBytes);
            QCOMPARE(backups(), QStringList());
        }
        QVERIFY2(reason == "saved" ? result == reason : result.contains(reason),
                 qPrintable(result));
        QVERIFY(fault != "foreign parent" || !QFileInfo::exists(path("state/ondrel")));
    }

    void saveKeepsWhatTheFileIs_data() { addRowsFromFile("saves_keep.tsv"); }

    void saveKeepsWhatTheFileIs() {
        const uint owner = field("owner").toUInt();
        const uint group = field("group").toUInt();
        const uint mode = field("mode").toUInt(nullptr, 8);
        const QString folder = field("folder");
        const QString warning = field("warning");
        QVERIFY(QDir(m_temp->path()).mkdir("f"));
        QVERIFY(chmod(QFile::encodeName(path("f")), field("folderMode").toUInt(nullptr, 8)) == 0);
        const QString file = path("f/run.cgi");
        const QByteArray native = QFile::encodeName(file);
        writeBytes(file, "old\r\n");
        QVERIFY(chown(native, owner, group) == 0);
        QVERIFY(chmod(native, mode) == 0);
        const bool linked = folder == "hard link" || folder == "capability";
        if (linked) {
            QVERIFY(link(native, QFile::encodeName(path("f/other.cgi"))) == 0);
        }
        const QByteArray attribute = folder == "capability" ? "security.capability" : "user.note";
        const QByteArray given = folder == "capability" ? kCapability : "kept";
        if ((folder == "attribute" || folder == "capability") &&
            setxattr(native, attribute, given.constData(), size_t(given.size()), 0) != 0) {
            QSKIP("this filesystem holds no such attributes");
        }
        QByteArray value(64, '\0');  // as the system keeps it
        value.resize(std::max<qsizetype>(getxattr(native, attribute, value.data(), 64), 0));
        if (folder == "bind mount" && mount(native, native, nullptr, MS_BIND, nullptr) != 0) {
            QSKIP("bind mounts are not permitted here");
        }
        const auto unmount = qScopeGuard([&] { umount2(native, MNT_DETACH); });
        const QString result = inChild(
            [&] {
                const QStringList fault = folder.split(' ');
                if (fault.size() == 2) {
                    const int error = fault[1] == "EXDEV"    ? EXDEV
                                      : fault[1] == "EILSEQ" ? EILSEQ
                                                             : EOPNOTSUPP;
                    call_faults::arm(fault[0].toLatin1().constData(), "/f", error);
                }
                return outcome(writeWholeFile(QFile::encodeName(file), "new\r\n"));
            },
            field("saver").toUInt());
        QVERIFY2(warning.isEmpty() ? result == "saved" : result.contains(warning),
                 qPrintable(result));
        QCOMPARE(readBytes(file), QByteArray("new\r\n"));
        struct stat after {};
        QVERIFY(stat(native, &after) == 0);
        QCOMPARE(uint(after.st_uid), owner);
        QCOMPARE(uint(after.st_gid), group);
        QCOMPARE(uint(after.st_mode & 07777), warning.isEmpty() ? mode : mode & 0777);
        if (linked) {
            QCOMPARE(readBytes(path("f/other.cgi")), QByteArray("new\r\n"));
        }
        if (folder == "attribute" || folder == "capability") {
            QByteArray kept(64, '\0');
            kept.resize(std::max<qsizetype>(getxattr(native, attribute, kept.data(), 64), 0));
            QCOMPARE(kept, value);
        }
        // Nothing left beside the file: no new file that failed to replace it.
        QCOMPARE(QDir(path("f")).entryList(QDir::Files | QDir::Hidden).size(), linked ? 2 : 1);
        QCOMPARE(backups(), QStringList());
    }

    // A kill while the new file is made leaves the old one whole, and at most a copy that only
    // its owner may read, never one a web server would hand out.
    void killedSaveLeavesNoReadableCopy_data() { addRowsFromFile("killed_saves.tsv"); }

    void killedSaveLeavesNoReadableCopy() {
        const bool named = !field("named").isEmpty();
        QVERIFY(QDir(m_temp->path()).mkdir("k"));
        const QString file = path("k/run.cgi");
        writeBytes(file, "old\r\n");
        QVERIFY(chmod(QFile::encodeName(file), 0755) == 0);
        const QString result = inChild([&] {
            if (named) {
                call_faults::arm("tmpfile", "/k", EOPNOTSUPP);
            }
            call_faults::arm("fsync", "/k/", call_faults::kKilled);
            return outcome(writeWholeFile(QFile::encodeName(file), "new\r\n"));
        });
        QCOMPARE(result, QStringLiteral("<signal %1>").arg(SIGKILL));
        QCOMPARE(readBytes(file), QByteArray("old\r\n"));
        const QFileInfoList left = QDir(path("k")).entryInfoList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), named ? 2 : 1);
        for (const QFileInfo& copy : left) {
            QVERIFY2(copy.fileName() == "run.cgi" ||
                         copy.permissions() == (QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadUser | QFile::WriteUser),
                     qPrintable(copy.fileName()));
        }
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
        const QString result = outcome(writeWholeFile(link, "swapped\r\n"));
        QVERIFY2(result != "saved", "the save followed a link the kernel forbids");
        QCOMPARE(readBytes(path("secret")), QByteArray("root only\n"));
    }
};

ONDREL_TEST_GUILESS_MAIN(FileSafetyTest)
#include "test_file_safety.moc"

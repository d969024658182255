#include "platform/help_viewer.h"

#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace ondrel {

namespace {

// Far more than any help file; what is larger is not one.
constexpr qint64 kMaxHelpBytes = qint64(4) << 20;

// The bytes of the file at path, when it is a regular file of at most kMaxHelpBytes. It is
// opened without blocking, so a named pipe without a writer cannot hold the program, and a
// link to a device that never ends (/dev/zero) is not read at all.
std::optional<QByteArray> readHelpFile(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<QByteArray> bytes;
    struct stat status {};
    QFile file;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kMaxHelpBytes &&
        file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        // The file may grow after the check: what is read stays within the bound.
        bytes = file.read(kMaxHelpBytes + 1);
        if (bytes->size() > kMaxHelpBytes || file.error() != QFileDevice::NoError) {
            bytes.reset();
        }
    }
    ::close(fd);
    return bytes;
}

}  // namespace

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), m_browser(new QTextBrowser) {
    setObjectName(QStringLiteral("helpViewer"));
    setWindowTitle(QStringLiteral("Ondrel ヘルプ"));
    setAttribute(Qt::WA_QuitOnClose, false);
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 520);
}

void HelpViewer::showFile(const QString& path) {
    if (const std::optional<QByteArray> bytes = readHelpFile(path)) {
        // The search path lets links and images inside the help file resolve beside it.
        m_browser->setSearchPaths({QFileInfo(path).absolutePath()});
        m_browser->setHtml(QString::fromUtf8(*bytes));
    } else {
        m_browser->setPlainText(QStringLiteral("ヘルプファイルが見つかりません。\n") + path);
    }
    show();
    raise();
    activateWindow();
}

}  // namespace ondrel

#include "platform/help_viewer.h"

#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace ondrel {

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
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        // The search path lets links and images inside the help file resolve beside it.
        m_browser->setSearchPaths({QFileInfo(path).absolutePath()});
        m_browser->setHtml(QString::fromUtf8(file.readAll()));
    } else {
        m_browser->setPlainText(QStringLiteral("ヘルプファイルが見つかりません。\n") + path);
    }
    show();
    raise();
    activateWindow();
}

QString HelpViewer::shownText() const {
    return m_browser->toPlainText();
}

}  // namespace ondrel

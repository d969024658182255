#pragma once

#include <QWidget>

class QTextBrowser;

namespace ondrel {

// The help viewer: a window of its own that shows a help file as rich text, or says in its
// own window that the file could not be read. It owns its text browser.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Loads path afresh, shows the window and brings it to the front.
    void showFile(const QString& path);

private:
    QTextBrowser* m_browser;
};

}  // namespace ondrel

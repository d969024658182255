#pragma once

#include <QTimer>
#include <QWidget>

class QFrame;
class QLabel;

namespace ondrel {

// frmSplash: the program's name, version and credits, shown first. It hands over to the main
// window after 2000 ms, or at once on a mouse press on its margin, logo, title or version.
// It owns its controls and its timer.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    SplashWindow();

    // Stops the timer, for the moment the main window's Load unloads the splash.
    void stopTimer() { m_timer.stop(); }

signals:
    void pressed();
    void timedOut();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTimer m_timer;
};

}  // namespace ondrel

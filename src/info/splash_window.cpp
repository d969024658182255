#include "info/splash_window.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>

#include "info/branding.h"
#include "info/form_layout.h"

namespace ondrel {

SplashWindow::SplashWindow() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowIcon(programIcon());
    setFixedSize(twips(7425), twips(4545));

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(twipsRect(240, 240, 6960, 3930));
    // Presses on the frame's own surface and on the credit lines stop at the frame.
    frame->setAttribute(Qt::WA_NoMousePropagation);

    QLabel* title =
        placeLabel(frame, "Label1", QStringLiteral("Ondrel"), twipsRect(2400, 720, 3735, 975));
    title->setFont(japaneseFont(QStringLiteral("ＭＳ Ｐ明朝"), 36));
    QLabel* version = placeLabel(frame, "ver", QStringLiteral("              Ver 1.0"),
                                 twipsRect(3960, 1560, 2895, 375));
    version->setFont(japaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 15.75));
    QLabel* logo = placeLabel(frame, "imgLogo", QString(), twipsRect(360, 1320, 1815, 1545));
    logo->setPixmap(programLogo());
    logo->setScaledContents(true);
    placeLabel(frame, "lblCopyright", QStringLiteral("作者: Ondrel 開発チーム"),
               twipsRect(4320, 3000, 2415, 255));
    QLabel* warning =
        placeLabel(frame, "lblWarning", QStringLiteral("Copyright (C) 2000 Ondrel Project"),
                   twipsRect(2040, 3660, 2535, 195));
    QFont small = warning->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    warning->setFont(small);

    for (QWidget* active : {static_cast<QWidget*>(title), static_cast<QWidget*>(version),
                            static_cast<QWidget*>(logo)}) {
        active->installEventFilter(this);
    }

    m_timer.setSingleShot(true);
    m_timer.setInterval(2000);
    connect(&m_timer, &QTimer::timeout, this, &SplashWindow::timedOut);
    m_timer.start();
}

void SplashWindow::mousePressEvent(QMouseEvent* event) {
    // The window's own surface: the margin around the frame.
    event->accept();
    emit pressed();
}

bool SplashWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        emit pressed();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ondrel

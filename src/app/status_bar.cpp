#include "app/status_bar.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>

#include "platform/key_state.h"

namespace ondrel {

namespace {

constexpr int kPanelWidth = 96;  // 1440 twips
constexpr int kBarHeight = 25;   // 375 twips

QString today() {
    return QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
}

}  // namespace

StatusBar::StatusBar(std::function<bool()> overtype, QWidget* parent)
    : QStatusBar(parent), m_overtype(std::move(overtype)) {
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    setFixedHeight(kBarHeight);
    const QString texts[4] = {QStringLiteral("CAPS"), QStringLiteral("INS"), QStringLiteral("ｶﾅ"),
                              today()};
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = new QLabel(texts[i], this);
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_panels[i]->setMinimumWidth(kPanelWidth);
        m_panels[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        addWidget(m_panels[i], i == 3 ? 1 : 0);
    }
    m_midnight.setSingleShot(true);
    connect(&m_midnight, &QTimer::timeout, this, [this] {
        refresh();
        scheduleMidnight();
    });
    scheduleMidnight();
    qApp->installEventFilter(this);
    refresh();
}

void StatusBar::refresh(const QKeyEvent* latest) {
    m_panels[0]->setEnabled(capsLockOn(latest).value_or(false));
    m_panels[1]->setEnabled(!m_overtype());
    m_panels[2]->setEnabled(kanaLockOn().value_or(false));
    m_panels[3]->setText(today());
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event) {
    // Key events reach the focus widget after this filter; INS is read again on release,
    // when the text area has toggled its overtype state.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == window()) {
            refresh(static_cast<QKeyEvent*>(event));
        }
    }
    return QStatusBar::eventFilter(watched, event);
}

void StatusBar::scheduleMidnight() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime next(now.date().addDays(1), QTime(0, 0));
    // A second past midnight, so the date has surely turned when the panel reads it.
    m_midnight.start(static_cast<int>(now.msecsTo(next)) + 1000);
}

}  // namespace ondrel

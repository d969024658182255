#pragma once

#include <QStatusBar>
#include <QTimer>

#include <functional>

class QLabel;

namespace ondrel {

// StatusBar1: four self-updating panels (CAPS, INS, ｶﾅ and today's date). A panel is
// shown dimmed while its key state is off or unknown; the program writes nothing into them.
// It owns its panels and its timer.
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    // overtype tells whether the text area is in overtype mode.
    StatusBar(std::function<bool()> overtype, QWidget* parent);

    QLabel* panel(int index) const { return m_panels[index]; }

    // Reads the key states and the date afresh.
    void refresh(const QKeyEvent* latest = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleMidnight();

    std::function<bool()> m_overtype;
    QLabel* m_panels[4];
    QTimer m_midnight;
};

}  // namespace ondrel

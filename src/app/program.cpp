#include "app/program.h"

#include <QApplication>
#include <QScreen>

#include "app/main_window.h"

namespace ondrel {

namespace {

void centreOnScreen(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

}  // namespace

Program::Program(Dialogs& dialogs) : m_dialogs(dialogs) {}

Program::~Program() {
    delete m_form1.data();
}

void Program::start() {
    showForm1();
}

MainWindow& Program::showForm1() {
    if (!m_form1) {
        m_form1 = new MainWindow(m_dialogs, *this);
        m_form1->load();
        centreOnScreen(*m_form1);
    }
    m_form1->show();
    m_form1->raise();
    m_form1->activateWindow();
    return *m_form1;
}

void Program::unloadSplash() {}

void Program::endProgram() {
    delete m_form1.data();
    QCoreApplication::exit(0);
}

}  // namespace ondrel

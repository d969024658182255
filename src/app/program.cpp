#include "app/program.h"

#include <QApplication>
#include <QScreen>

#include <utility>

#include "app/main_window.h"
#include "info/about_box.h"
#include "info/splash_window.h"
#include "platform/dialogs.h"

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

bool confirmExit(Dialogs& dialogs) {
    return dialogs.message(QStringLiteral("Ondrel を終了しますか？"), QStringLiteral("終了"),
                           MessageButtons::YesNo, MessageIcon::Question,
                           MessageAnswer::Yes) == MessageAnswer::Yes;
}

Program::Program(Dialogs& dialogs, Registry& registry) : m_dialogs(dialogs), m_registry(registry) {}

Program::~Program() {
    delete m_about.data();
    delete m_splash.data();
    delete m_form1.data();
}

MainWindow* Program::form1() const {
    return m_form1;
}

SplashWindow* Program::frmSplash() const {
    return m_splash;
}

AboutBox* Program::frmAbout() const {
    return m_about;
}

void Program::start(const QByteArray& fileToOpen) {
    m_fileToOpen = fileToOpen;
    m_splash = new SplashWindow();
    QObject::connect(m_splash, &SplashWindow::pressed, m_splash, [this] {
        m_splash->hide();
        showForm1();
    });
    // On the timer the splash is not hidden first: the main window's Load unloads it.
    QObject::connect(m_splash, &SplashWindow::timedOut, m_splash, [this] { showForm1(); });
    centreOnScreen(*m_splash);
    m_splash->show();
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
    if (!m_fileToOpen.isEmpty()) {
        // Once, over the fresh document and its window, as if chosen in the Open dialog.
        m_form1->openFile(std::exchange(m_fileToOpen, QByteArray()));
    }
    return *m_form1;
}

AboutBox& Program::showAbout() {
    if (!m_about) {
        m_about = new AboutBox(m_registry, m_dialogs);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
    return *m_about;
}

void Program::unloadSplash() {
    if (!m_splash) {
        return;
    }
    m_splash->stopTimer();
    // Hidden and destroyed rather than closed: the main window is not shown yet, and a closed
    // last window would end the program.
    m_splash->hide();
    m_splash->deleteLater();
    m_splash = nullptr;
}

void Program::endProgram() {
    // Exit is chosen from a menu of Form1 and answered in a message box: the windows are
    // still on the call stack, so they are hidden now and destroyed once control has left
    // them.
    for (QWidget* window :
         {static_cast<QWidget*>(m_about.data()), static_cast<QWidget*>(m_splash.data()),
          static_cast<QWidget*>(m_form1.data())}) {
        if (window != nullptr) {
            window->hide();
            window->deleteLater();
        }
    }
    QCoreApplication::exit(0);
}

}  // namespace ondrel

#include "app/program.h"

#include <QApplication>
#include <QScreen>

#include "info/about_box.h"
#include "info/splash_window.h"

// The icons are compiled into the static library; nothing else references that object file,
// so the resources are registered here, where they are used.
static void initResources() {
    Q_INIT_RESOURCE(ondrel);
}

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

QIcon programIcon() {
    // Read once: the splash, the main window and the About box all show it.
    static const QIcon icon = [] {
        initResources();
        QIcon images;
        images.addFile(QStringLiteral(":/ondrel/ondrel-16.png"), QSize(16, 16));
        images.addFile(QStringLiteral(":/ondrel/ondrel.png"), QSize(32, 32));
        return images;
    }();
    return icon;
}

QPixmap programLogo() {
    initResources();
    return QPixmap(QStringLiteral(":/ondrel/ondrel-256.png"));
}

Program::Program(Dialogs& dialogs, Registry& registry) : m_dialogs(dialogs), m_registry(registry) {}

Program::~Program() {
    delete m_about.data();
    delete m_splash.data();
    delete m_form1.data();
}

void Program::start() {
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

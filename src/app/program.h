#pragma once

#include <QIcon>
#include <QPixmap>
#include <QPointer>

#include "app/main_window.h"
#include "info/about_box.h"
#include "info/splash_window.h"

namespace ondrel {

class Dialogs;
class Registry;

// The program's icon, 16 and 32 pixels: the windows' icon.
QIcon programIcon();
// The same picture large, for the splash logo and the About box.
QPixmap programLogo();

// The program's windows, each existing at most once and reachable by name: Form1 (the main
// window), frmSplash and frmAbout. A window is loaded on first show and destroyed when
// unloaded; the program ends when its last window closes, or at once through endProgram.
class Program {
public:
    Program(Dialogs& dialogs, Registry& registry);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Brings the program up the way a user starts it: the splash first, which hands over to
    // the main window.
    void start();

    // Each window, or null while it is not loaded.
    MainWindow* form1() const { return m_form1; }
    SplashWindow* frmSplash() const { return m_splash; }
    AboutBox* frmAbout() const { return m_about; }

    // Shows Form1, loading it (Load, then centred on the screen) the first time.
    MainWindow& showForm1();
    // Shows the About box, loading it if needed, and brings it to the front.
    AboutBox& showAbout();
    // Closes and destroys the splash and stops its timer; nothing when it is not loaded.
    void unloadSplash();

    // Takes every window off the screen at once, destroys them and leaves the event loop.
    void endProgram();

private:
    Dialogs& m_dialogs;
    Registry& m_registry;
    QPointer<MainWindow> m_form1;
    QPointer<SplashWindow> m_splash;
    QPointer<AboutBox> m_about;
};

}  // namespace ondrel

#pragma once

#include <QPointer>
#include <QString>

namespace ondrel {

class AboutBox;
class Dialogs;
class MainWindow;
class Registry;
class SplashWindow;

// The Exit question; true when the user answered Yes.
bool confirmExit(Dialogs& dialogs);

// The program's windows, each existing at most once and reachable by name: Form1 (the main
// window), frmSplash and frmAbout. A window is loaded on first show and destroyed when
// unloaded; the program ends when its last window closes, or at once through endProgram.
// It owns the windows it loads.
class Program {
public:
    Program(Dialogs& dialogs, Registry& registry);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Brings the program up the way a user starts it: the splash first, which hands over to
    // the main window. A fileToOpen is then opened in the fresh document as Open would.
    void start(const QByteArray& fileToOpen = QByteArray());

    // Each window, or null while it is not loaded.
    MainWindow* form1() const;
    SplashWindow* frmSplash() const;
    AboutBox* frmAbout() const;

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
    QByteArray m_fileToOpen;
};

}  // namespace ondrel

#pragma once

#include <QPointer>

#include "app/main_window.h"

namespace ondrel {

class Dialogs;

// The program's windows, each existing at most once and reachable by name: Form1 (the main
// window), frmSplash and frmAbout. A window is loaded on first show and destroyed when
// unloaded; the program ends when its last window closes, or at once through endProgram.
class Program {
public:
    explicit Program(Dialogs& dialogs);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Brings the program up the way a user starts it.
    void start();

    // Form1: null until loaded and after it was closed.
    MainWindow* form1() const { return m_form1; }
    // Shows Form1, loading it (Load, then centred on the screen) the first time.
    MainWindow& showForm1();

    void unloadSplash();

    // Closes every window at once and leaves the event loop.
    void endProgram();

private:
    Dialogs& m_dialogs;
    QPointer<MainWindow> m_form1;
};

}  // namespace ondrel

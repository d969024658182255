#pragma once

#include <QDialog>

class QLabel;

namespace ondrel {

class Dialogs;
class Registry;

// frmAbout: name, version, credits and notes, with OK and a button that starts the system
// information program. Modeless and independent of the main window; it owns its controls
// and borrows the registry and the dialogs.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(Registry& registry, Dialogs& dialogs);

    // OK, Enter and Esc unload the box.
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Load: sets the credits, the notes and the caption.
    void load();

    Registry& m_registry;
    Dialogs& m_dialogs;
    QLabel* m_description;
    QLabel* m_disclaimer;
};

}  // namespace ondrel

#pragma once

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

#include "app/menu_table.h"
#include "text/text_box.h"

class QAction;
class QSessionManager;

namespace ondrel {

class Dialogs;
class Program;
class StatusBar;
class AssignmentCommands;
class FileCommands;
class Printing;
class EditCommands;
class ReplaceCommand;
class Appearance;
class BackslashMarks;
class SyntaxNote;
class Recovery;

// Form1, the main window: the one document in Text1, the status bar StatusBar1 and the menu
// bar. It wires the menu items to the commands of each subsystem; the commands do the work.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Dialogs& dialogs, Program& program);
    ~MainWindow() override;

    // Load of Form1: unloads the splash and starts the fresh document.
    void load();
    // Opens the file at path (made absolute) as Open does once its dialog has chosen it; for a
    // file named on the command line or dropped on the window.
    void openFile(const QByteArray& path);

    TextBox& textBox() { return m_textBox; }
    QAction* action(const QString& name) const { return m_actions.value(name); }
    FileCommands& files() { return *m_files; }
    // Recovery copy: documentDiscarded() when the user throws changes away, writeNow() at a
    // logout that allows no questions.
    Recovery& recovery() { return *m_recovery; }

    // The desktop's session is ending: a modified document is asked about when the session
    // lets the program ask, and kept as a recovery copy when it does not.
    void commitData(QSessionManager& manager);
    // The work of commitData: true when the session may end. mayAsk is the session's leave to
    // show a question.
    bool sessionMayEnd(bool mayAsk);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs one command, unless another is still running: see m_busy.
    void runCommand(const std::function<void()>& command);
    // True for the user's input (keys, mouse, wheel, drops, menus, shortcuts, input method)
    // aimed at this window or a widget inside it.
    bool isInputForThisWindow(QObject* watched, QEvent* event) const;
    void layoutTextArea();
    void showTextContextMenu(const QPoint& globalPos);
    // True when event is a drag or drop of a local file, which it then accepts (and opens on
    // the drop); other drags are left to whoever gets them.
    bool takeFileDrop(QEvent* event);
    // The Click of a command item.
    void run(const MenuAction& action);
    void toggleStatusBar();
    void exitProgram();
    // Recovery copy: offers the copies left by programs no longer running.
    void offerRecoveryCopies();

    Dialogs& m_dialogs;
    Program& m_program;
    QWidget* m_client;
    TextBox m_textBox;
    StatusBar* m_statusBar;
    bool m_statusShown = false;
    // Set while a command runs. Long work (opening, saving, replacing) lets events through to
    // keep the window painted; no other command, key or mouse action may act on the document
    // meanwhile, which would change a half-loaded text or save it under the old name.
    bool m_busy = false;
    // A close asked for while a command ran; it happens once the command is over.
    bool m_closeDeferred = false;
    // Set while closing asks about the document's changes.
    bool m_closing = false;
    std::unique_ptr<FileCommands> m_files;
    std::unique_ptr<Printing> m_printing;
    std::unique_ptr<EditCommands> m_edit;
    std::unique_ptr<ReplaceCommand> m_replace;
    std::unique_ptr<Appearance> m_appearance;
    std::unique_ptr<AssignmentCommands> m_assignments;
    std::unique_ptr<BackslashMarks> m_backslashMarks;
    std::unique_ptr<SyntaxNote> m_syntaxNote;
    QHash<QString, QAction*> m_actions;
    // Recovery copy: last, so it goes first, while the text box and file commands it asks
    // about are still there.
    std::unique_ptr<Recovery> m_recovery;
};

}  // namespace ondrel

#include "app/main_window.h"

#include <Qsci/qsciscintilla.h>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>

#include "app/menu_table.h"
#include "app/program.h"
#include "app/status_bar.h"
#include "app/text_context_menu.h"
#include "documents/cp932.h"
#include "documents/file_commands.h"
#include "documents/printing.h"
#include "editing/appearance.h"
#include "editing/backslash_marks.h"
#include "editing/edit_commands.h"
#include "editing/replace_all.h"
#include "info/branding.h"
#include "info/help_command.h"
#include "snippets/assignments.h"
#include "snippets/fixed_snippets.h"
#include "snippets/templates.h"
#include "text/insert_at_caret.h"
#include "text/size_limit.h"

namespace ondrel {

namespace {

constexpr int kClientWidth = 489;   // 7335 twips
constexpr int kClientHeight = 413;  // 6195 twips

// The first local file among the dropped URLs; empty when there is none (text, a web link).
QString droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return QString();
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return QString();
}

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, Program& program)
    : m_dialogs(dialogs),
      m_program(program),
      m_client(new QWidget(this)),
      m_textBox(m_client),
      m_statusBar(new StatusBar([this] { return m_textBox.overtype(); }, m_client)),
      m_files(std::make_unique<FileCommands>(
          m_textBox, dialogs, [this](const QString& caption) { setWindowTitle(caption); })),
      m_printing(std::make_unique<Printing>(m_textBox, dialogs)),
      m_edit(std::make_unique<EditCommands>(m_textBox, dialogs)),
      m_replace(std::make_unique<ReplaceCommand>(m_textBox, dialogs)),
      m_appearance(std::make_unique<Appearance>(m_textBox, dialogs)),
      m_assignments(std::make_unique<AssignmentCommands>(m_textBox, dialogs)),
      m_backslashMarks(std::make_unique<BackslashMarks>(m_textBox, asciiTrailChars())) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ondrel"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(m_client);
    m_client->installEventFilter(this);
    m_textBox.setOnRefused([this] { refuseTooLarge(m_dialogs); });
    m_statusBar->hide();
    // The text area's own English right-click menu and its taking in of dropped files as text
    // give way to the window's: the viewport gets mouse menus and drops, the editor the
    // keyboard's menu key.
    m_textBox.widget()->installEventFilter(this);
    m_textBox.widget()->viewport()->installEventFilter(this);
    setAcceptDrops(true);

    m_actions = buildMenuBar(menuBar());
    m_actions.value(QStringLiteral("mnustatus"))->setCheckable(true);
    m_routes = makeRoutes();
    for (const Route& route : m_routes) {
        QAction* action = m_actions.value(route.first);
        Q_ASSERT(action != nullptr);
        connect(action, &QAction::triggered, this,
                [this, command = route.second] { runCommand(command); });
    }

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    m_textBox.widget()->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::load() {
    m_program.unloadSplash();
    m_files->newDocument();
}

void MainWindow::openFile(const QString& path) {
    // Through the same guard as the menu's commands: a queued drop must not start while
    // another command runs.
    runCommand([this, path] { m_files->openFile(QFileInfo(path).absoluteFilePath()); });
}

std::vector<MainWindow::Route> MainWindow::makeRoutes() {
    std::vector<Route> routes = {
        {"mnunew", [this] { m_files->newDocument(); }},
        {"mnuOpen", [this] { m_files->open(); }},
        {"mnuupsave", [this] { m_files->save(); }},
        {"mnuNameSave", [this] { m_files->saveAs(); }},
        {"mnuPrint", [this] { m_printing->print(); }},
        {"mnuprset", [this] { m_printing->printerSetup(); }},
        {"mnuend", [this] { exitProgram(); }},
        {"mnuUndo", [this] { m_edit->undo(); }},
        {"mnuCut", [this] { m_edit->cut(); }},
        {"mnuCopy", [this] { m_edit->copy(); }},
        {"mnuPaste", [this] { m_edit->paste(); }},
        {"mnuDelete", [this] { m_edit->deleteSelection(); }},
        {"mnutimedate", [this] { m_edit->insertDateTime(); }},
        {"mnustatus", [this] { toggleStatusBar(); }},
        {"mnucolor", [this] { m_appearance->chooseColor(); }},
        {"mnubig", [this] { m_appearance->enlarge(); }},
        {"mnusmall", [this] { m_appearance->reduce(); }},
        {"mnunami", [this] { m_appearance->standard(); }},
        {"mnuokikae", [this] { m_replace->run(); }},
        {"mnuMain", [this] { ShowHelpFile(m_dialogs); }},
        {"mnuversion", [this] { m_program.showAbout(); }},
        {"mnurenzoku", [this] { m_assignments->continuous(); }},
        {"mnuone", [this] { m_assignments->single(); }},
    };
    for (const FixedSnippet& snippet : kFixedSnippets) {
        const QString text = QString::fromUtf8(snippet.text);
        routes.push_back({snippet.itemName, [this, text] {
                              if (insertionFitsOrRefuse(m_textBox, m_dialogs, utf8Length(text))) {
                                  InsertAtCaret(m_textBox, text);
                              }
                          }});
    }
    for (const std::vector<Template>* table : {&kRoutineTemplates, &kSettingsBlocks}) {
        for (const Template& entry : *table) {
            routes.push_back(
                {entry.itemName, [this, &entry] { insertTemplate(m_textBox, m_dialogs, entry); }});
        }
    }
    return routes;
}

void MainWindow::runCommand(const std::function<void()>& command) {
    if (m_busy) {
        return;
    }
    // The application-wide filter sees every event before its target does, including those
    // that a nested event loop delivers while the command is still running.
    m_busy = true;
    qApp->installEventFilter(this);
    command();
    qApp->removeEventFilter(this);
    m_busy = false;
    if (m_closeDeferred) {
        m_closeDeferred = false;
        close();
    }
}

bool MainWindow::isInputForThisWindow(QObject* watched, QEvent* event) const {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
            break;
        default:
            return false;
    }
    // Dialogs shown by the command are windows of their own and keep their input.
    if (watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        return widget == this || isAncestorOf(widget);
    }
    // A menu item's shortcut is delivered to its action.
    auto* action = qobject_cast<QAction*>(watched);
    return action != nullptr && m_actions.value(action->objectName()) == action;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (m_busy && isInputForThisWindow(watched, event)) {
        return true;
    }
    if (watched == m_client && event->type() == QEvent::Resize) {
        layoutTextArea();
    }
    const bool textArea =
        watched == m_textBox.widget() || watched == m_textBox.widget()->viewport();
    if (textArea && event->type() == QEvent::ContextMenu) {
        showTextContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    if (textArea && takeFileDrop(event)) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    takeFileDrop(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    takeFileDrop(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
    takeFileDrop(event);
}

bool MainWindow::takeFileDrop(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const QString path = droppedFile(drop->mimeData());
    if (path.isEmpty()) {
        return false;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        // Opened once the drop is over, so the file manager is not kept waiting by a message.
        QMetaObject::invokeMethod(
            this, [this, path] { openFile(path); }, Qt::QueuedConnection);
    }
    return true;
}

void MainWindow::showTextContextMenu(const QPoint& globalPos) {
    QMenu* menu = makeTextContextMenu(
        m_textBox, [this](const QString& name) { return m_actions.value(name); }, globalPos, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        layoutTextArea();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing destroys the window, and with it the document a command is still working on.
    if (m_busy) {
        m_closeDeferred = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::layoutTextArea() {
    // The text area fills the whole client area below the menu bar, with no room kept for the
    // status bar, which overlaps its bottom while shown; a minimised window leaves it 0 x 0.
    const QSize inner = isMinimized() ? QSize(0, 0) : m_client->size();
    m_textBox.widget()->setGeometry(0, 0, inner.width(), inner.height());
    const int barHeight = m_statusBar->height();
    m_statusBar->setGeometry(0, m_client->height() - barHeight, m_client->width(), barHeight);
    m_statusBar->raise();
}

void MainWindow::exitProgram() {
    if (confirmExit(m_dialogs)) {
        m_program.endProgram();
    }
}

void MainWindow::toggleStatusBar() {
    // Showing or hiding the bar leaves the text area where it is.
    // The check mark follows the bar's state, whichever way the item was chosen.
    m_statusShown = !m_statusShown;
    m_actions.value(QStringLiteral("mnustatus"))->setChecked(m_statusShown);
    m_statusBar->setVisible(m_statusShown);
}

}  // namespace ondrel

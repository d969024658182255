#include "app/main_window.h"

#include <Qsci/qsciscintilla.h>
#include <QAction>
#include <QEvent>
#include <QMenuBar>

#include "app/menu_table.h"
#include "app/program.h"
#include "app/status_bar.h"
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

namespace ondrel {

namespace {

constexpr int kClientWidth = 489;   // 7335 twips
constexpr int kClientHeight = 413;  // 6195 twips

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
      m_edit(std::make_unique<EditCommands>(m_textBox)),
      m_replace(std::make_unique<ReplaceCommand>(m_textBox, dialogs)),
      m_appearance(std::make_unique<Appearance>(m_textBox, dialogs)),
      m_assignments(std::make_unique<AssignmentCommands>(m_textBox, dialogs)),
      m_backslashMarks(std::make_unique<BackslashMarks>(m_textBox, backslashTrailChars())) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ondrel"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(m_client);
    m_client->installEventFilter(this);
    m_statusBar->hide();

    m_actions = buildMenuBar(menuBar());
    m_actions.value(QStringLiteral("mnustatus"))->setCheckable(true);
    m_routes = makeRoutes();
    for (const Route& route : m_routes) {
        QAction* action = m_actions.value(route.first);
        Q_ASSERT(action != nullptr);
        connect(action, &QAction::triggered, this, route.second);
    }

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    m_textBox.widget()->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::load() {
    m_program.unloadSplash();
    m_files->newDocument();
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
        routes.push_back({snippet.itemName, [this, text] { InsertAtCaret(m_textBox, text); }});
    }
    for (const std::vector<Template>* table : {&kRoutineTemplates, &kSettingsBlocks}) {
        for (const Template& entry : *table) {
            routes.push_back(
                {entry.itemName, [this, &entry] { insertTemplate(m_textBox, entry); }});
        }
    }
    return routes;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize) {
        layoutTextArea();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        layoutTextArea();
    }
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

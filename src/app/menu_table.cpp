#include "app/menu_table.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include <cstring>
#include <vector>

#include "snippets/fixed_snippets.h"
#include "snippets/templates.h"

namespace ondrel {

// clang-format off
const std::array<MenuItem, 71> kMenuTable = {{
    {1, "mnufile", "ファイル(&F)", "", "File"},
    {2, "mnunew", "新規作成(&N)", "", "new document", Command::New},
    {2, "mnuOpen", "開く(&O)", "", "open a file", Command::Open},
    {2, "mnuupsave", "上書き保存(&V)", "", "save (overwrite)", Command::Save},
    {2, "mnuNameSave", "名前を付けて保存(&A)", "", "save as", Command::SaveAs},
    {2, "line3", "-", "", ""},
    {2, "mnuPrint", "印刷(&P)", "", "print", Command::Print},
    {2, "mnuprset", "プリンタの設定(&U)", "", "printer setup", Command::PrinterSetup},
    {2, "line2", "-", "", ""},
    {2, "mnuend", "Ondrelの終了(&X)", "", "exit", Command::Exit},
    {1, "mnuedit", "編集(&E)", "", "Edit"},
    {2, "mnuUndo", "元に戻す(&U)", "Ctrl+U", "undo", Command::Undo},
    {2, "line10", "-", "", ""},
    {2, "mnuCut", "切り取り(&T)", "Ctrl+X", "cut", Command::Cut},
    {2, "mnuCopy", "コピー(&C)", "Ctrl+C", "copy", Command::Copy},
    {2, "mnuPaste", "貼り付け(&P)", "Ctrl+V", "paste", Command::Paste},
    {2, "mnuDelete", "削除(&D)", "Ctrl+D", "delete the selection", Command::Delete},
    {2, "line7", "-", "", ""},
    {2, "mnutimedate", "日付と時間(&T)", "Ctrl+T", "date-and-time stamp", Command::DateTime},
    {2, "line5", "-", "", ""},
    {2, "mnustatus", "ステータスバー(&S)", "Ctrl+S", "status bar on/off", Command::StatusBar},
    {1, "mnufont", "書式(&F)", "", "Format"},
    {2, "mnucolor", "フォントカラー(&C)", "", "text colour", Command::TextColour},
    {2, "mnusize", "フォントサイズ(&S)", "", "text size"},
    {3, "mnubig", "拡大(&B)", "", "larger", Command::TextLarger},
    {3, "mnusmall", "縮小(&S)", "", "smaller", Command::TextSmaller},
    {3, "mnunami", "標準(&H)", "", "standard size", Command::TextStandard},
    {2, "line11", "-", "", ""},
    {2, "mnuokikae", "検索置換(&O)", "Ctrl+O", "search and replace", Command::Replace},
    {1, "mnuproject", "プロジェクト(&P)", "", "Project"},
    {2, "mnukansen", "関数や宣言(&K)", "", "functions and declarations"},
    {3, "mnupas", "パス名(&P)", "", "shebang lines"},
    {4, "mnupath1", "#!/usr/bin/perl", "", "shebang /usr/bin/perl", kUsrBinPerl},
    {4, "mnulocal", "#!/usr/local/bin/perl", "", "shebang /usr/local/bin/perl", kUsrLocalBinPerl},
    {4, "mnumesh", "#!/usr/mesh/bin/perl", "", "shebang /usr/mesh/bin/perl", kUsrMeshBinPerl},
    {3, "mnufile_get", "ライブラリ取り込み(&F)", "", "require a library", kRequireLibrary},
    {2, "mnuhendai", "変数代入(&D)", "", "variable assignment"},
    {3, "mnurenzoku", "連続代入(&T)", "", "a series of assignments", Command::SeriesOfAssignments},
    {3, "mnuone", "単独代入(&S)", "", "one assignment", Command::OneAssignment},
    {2, "line9", "-", "", ""},
    {2, "mnukankyo", "環境変数(&K)", "", "environment variables"},
    {3, "mnuaddr", "REMOTE_ADDR", "", "REMOTE_ADDR environment variable", kEnvRemoteAddr},
    {3, "mnuhost", "REMOTE_HOST", "", "REMOTE_HOST environment variable", kEnvRemoteHost},
    {3, "mnuuser", "REMOTE_USER", "", "REMOTE_USER environment variable", kEnvRemoteUser},
    {3, "mnuagent", "HTTP_USER_AGENT", "", "HTTP_USER_AGENT environment variable", kEnvHttpUserAgent},
    {3, "mnumethod", "REQUEST_METHOD", "", "REQUEST_METHOD environment variable", kEnvRequestMethod},
    {3, "mnucookie", "HTTP_COOKIE", "", "HTTP_COOKIE environment variable", kEnvHttpCookie},
    {3, "mnusfn", "SCRIPT_FILENAME", "", "SCRIPT_FILENAME environment variable", kEnvScriptFilename},
    {3, "mnusvrname", "SERVER_NAME", "", "SERVER_NAME environment variable", kEnvServerName},
    {3, "mnusvrport", "SERVER_PORT", "", "SERVER_PORT environment variable", kEnvServerPort},
    {3, "mnusvrsf", "SERVER_SOFTWARE", "", "SERVER_SOFTWARE environment variable", kEnvServerSoftware},
    {3, "mnudcroot", "DOCUMENT_ROOT", "", "DOCUMENT_ROOT environment variable", kEnvDocumentRoot},
    {3, "mnutime", "TZ", "", "TZ environment variable", kEnvTz},
    {3, "mnuoathinfo", "PATH_INFO", "", "PATH_INFO environment variable", kEnvPathInfo},
    {3, "mnupathtranslated", "PATH_TRANSLATED", "", "PATH_TRANSLATED environment variable", kEnvPathTranslated},
    {3, "mnugateway", "GATEWAY_INTERFACE", "", "GATEWAY_INTERFACE environment variable", kEnvGatewayInterface},
    {1, "mnuset", "基本設定(&S)", "", "Basic settings"},
    {2, "mnuheader", "ＨＴＭＬ出力ヘッダー(&H)", "", "HTML output header", kHtmlHeader},
    {2, "mnuget_time", "時間の取得(&T)", "", "time-stamp routine", kGetTimeRoutine},
    {2, "mnuhosget", "IPとHOSTの取得(&G)", "", "address and host routine", kHostRoutine},
    {2, "mnuhensu", "変数定義(&H)", "", "variable definitions"},
    {3, "mnubbs", "掲示板(&B)", "", "bulletin-board settings", kBulletinBoardSettings},
    {3, "mnuaccesscnt", "アクセスカウンタ(&A)", "", "access-counter settings", kAccessCounterSettings},
    {3, "mnusearch", "検索エンジン(&S)", "", "search-engine settings", kSearchEngineSettings},
    {2, "mnuformdata", "フォームデータ取得(&F)", "", "form-data routine", kFormDataRoutine},
    {2, "mnubrowza", "ブラウザ情報取得", "", "browser-info routine", kBrowserRoutine},
    {2, "mnuerror", "エラー処理(&E)", "", "error-page routine", kErrorRoutine},
    {1, "mnuhelp", "ヘルプ(&H)", "", "Help"},
    {2, "mnuMain", "ヘルプ表示(&M)", "", "help file", Command::HelpFile},
    {2, "line8", "-", "", ""},
    {2, "mnuversion", "バージョン情報(&A)", "", "About box", Command::About},
}};
// clang-format on

namespace {

enum class MenuItemKind { Menu, Command, Separator };

MenuItemKind menuItemKind(std::size_t row) {
    const MenuItem& item = kMenuTable[row];
    if (std::strcmp(item.caption, "-") == 0) {
        return MenuItemKind::Separator;
    }
    if (row + 1 < kMenuTable.size() && kMenuTable[row + 1].level > item.level) {
        return MenuItemKind::Menu;
    }
    return MenuItemKind::Command;
}

}  // namespace

QHash<QString, QAction*> buildMenuBar(QMenuBar* bar) {
    QHash<QString, QAction*> actions;
    // open[n] is the menu that takes items of level n + 1.
    std::vector<QMenu*> open;
    for (std::size_t row = 0; row < kMenuTable.size(); ++row) {
        const MenuItem& item = kMenuTable[row];
        const QString name = QString::fromLatin1(item.name);
        const QString caption = QString::fromUtf8(item.caption);
        open.resize(item.level - 1);
        QAction* action = nullptr;
        switch (menuItemKind(row)) {
            case MenuItemKind::Menu: {
                QMenu* menu =
                    item.level == 1 ? bar->addMenu(caption) : open.back()->addMenu(caption);
                menu->setObjectName(name);
                action = menu->menuAction();
                open.push_back(menu);
                break;
            }
            case MenuItemKind::Separator:
                action = open.back()->addSeparator();
                break;
            case MenuItemKind::Command:
                action = open.back()->addAction(caption);
                if (item.shortcut[0] != '\0') {
                    action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
                    action->setShortcutContext(Qt::WindowShortcut);
                }
                break;
        }
        action->setObjectName(name);
        actions.insert(name, action);
    }
    return actions;
}

}  // namespace ondrel

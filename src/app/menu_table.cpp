#include "app/menu_table.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include <cstring>
#include <vector>

namespace ondrel {

const std::array<MenuItem, 71> kMenuTable = {{
    {1, "mnufile", "ファイル(&F)", ""},
    {2, "mnunew", "新規作成(&N)", ""},
    {2, "mnuOpen", "開く(&O)", ""},
    {2, "mnuupsave", "上書き保存(&V)", ""},
    {2, "mnuNameSave", "名前を付けて保存(&A)", ""},
    {2, "line3", "-", ""},
    {2, "mnuPrint", "印刷(&P)", ""},
    {2, "mnuprset", "プリンタの設定(&U)", ""},
    {2, "line2", "-", ""},
    {2, "mnuend", "Ondrelの終了(&X)", ""},
    {1, "mnuedit", "編集(&E)", ""},
    {2, "mnuUndo", "元に戻す(&U)", "Ctrl+U"},
    {2, "line10", "-", ""},
    {2, "mnuCut", "切り取り(&T)", "Ctrl+X"},
    {2, "mnuCopy", "コピー(&C)", "Ctrl+C"},
    {2, "mnuPaste", "貼り付け(&P)", "Ctrl+V"},
    {2, "mnuDelete", "削除(&D)", "Ctrl+D"},
    {2, "line7", "-", ""},
    {2, "mnutimedate", "日付と時間(&T)", "Ctrl+T"},
    {2, "line5", "-", ""},
    {2, "mnustatus", "ステータスバー(&S)", "Ctrl+S"},
    {1, "mnufont", "書式(&F)", ""},
    {2, "mnucolor", "フォントカラー(&C)", ""},
    {2, "mnusize", "フォントサイズ(&S)", ""},
    {3, "mnubig", "拡大(&B)", ""},
    {3, "mnusmall", "縮小(&S)", ""},
    {3, "mnunami", "標準(&H)", ""},
    {2, "line11", "-", ""},
    {2, "mnuokikae", "検索置換(&O)", "Ctrl+O"},
    {1, "mnuproject", "プロジェクト(&P)", ""},
    {2, "mnukansen", "関数や宣言(&K)", ""},
    {3, "mnupas", "パス名(&P)", ""},
    {4, "mnupath1", "#!/usr/bin/perl", ""},
    {4, "mnulocal", "#!/usr/local/bin/perl", ""},
    {4, "mnumesh", "#!/usr/mesh/bin/perl", ""},
    {3, "mnufile_get", "ライブラリ取り込み(&F)", ""},
    {2, "mnuhendai", "変数代入(&D)", ""},
    {3, "mnurenzoku", "連続代入(&T)", ""},
    {3, "mnuone", "単独代入(&S)", ""},
    {2, "line9", "-", ""},
    {2, "mnukankyo", "環境変数(&K)", ""},
    {3, "mnuaddr", "REMOTE_ADDR", ""},
    {3, "mnuhost", "REMOTE_HOST", ""},
    {3, "mnuuser", "REMOTE_USER", ""},
    {3, "mnuagent", "HTTP_USER_AGENT", ""},
    {3, "mnumethod", "REQUEST_METHOD", ""},
    {3, "mnucookie", "HTTP_COOKIE", ""},
    {3, "mnusfn", "SCRIPT_FILENAME", ""},
    {3, "mnusvrname", "SERVER_NAME", ""},
    {3, "mnusvrport", "SERVER_PORT", ""},
    {3, "mnusvrsf", "SERVER_SOFTWARE", ""},
    {3, "mnudcroot", "DOCUMENT_ROOT", ""},
    {3, "mnutime", "TZ", ""},
    {3, "mnuoathinfo", "PATH_INFO", ""},
    {3, "mnupathtranslated", "PATH_TRANSLATED", ""},
    {3, "mnugateway", "GATEWAY_INTERFACE", ""},
    {1, "mnuset", "基本設定(&S)", ""},
    {2, "mnuheader", "ＨＴＭＬ出力ヘッダー(&H)", ""},
    {2, "mnuget_time", "時間の取得(&T)", ""},
    {2, "mnuhosget", "IPとHOSTの取得(&G)", ""},
    {2, "mnuhensu", "変数定義(&H)", ""},
    {3, "mnubbs", "掲示板(&B)", ""},
    {3, "mnuaccesscnt", "アクセスカウンタ(&A)", ""},
    {3, "mnusearch", "検索エンジン(&S)", ""},
    {2, "mnuformdata", "フォームデータ取得(&F)", ""},
    {2, "mnubrowza", "ブラウザ情報取得", ""},
    {2, "mnuerror", "エラー処理(&E)", ""},
    {1, "mnuhelp", "ヘルプ(&H)", ""},
    {2, "mnuMain", "ヘルプ表示(&M)", ""},
    {2, "line8", "-", ""},
    {2, "mnuversion", "バージョン情報(&A)", ""},
}};

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

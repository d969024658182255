#include <Qsci/qsciscintilla.h>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "app/menu_table.h"
#include "app/status_bar.h"
#include "fixture.h"
#include "test_main.h"

using namespace ondrel;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    // The bar and its check mark follow each other; the bar lies over the bottom of the text
    // area, which stays where it was.
    void statusBarTogglesOverTextArea() {
        Fixture f;
        auto* bar = f.window.findChild<StatusBar*>(QStringLiteral("StatusBar1"));
        QWidget* client = f.window.centralWidget();
        for (bool shown : {false, true, false, true}) {
            QCOMPARE(bar->isVisibleTo(&f.window), shown);
            QCOMPARE(f.window.action("mnustatus")->isChecked(), shown);
            QCOMPARE(f.text().widget()->geometry(), client->rect());
            f.choose("mnustatus");
        }
        QCOMPARE(bar->geometry(), QRect(0, client->height() - 25, client->width(), 25));
        for (int i = 0; i < 4; ++i) {
            QVERIFY(bar->panel(i)->width() >= 96);
        }
        const QDate today = QDate::currentDate();
        QCOMPARE(bar->panel(3)->text(),
                 QString::asprintf("%04d/%02d/%02d", today.year(), today.month(), today.day()));
    }

    void textAreaFillsClientArea_data() {
        addColumns<std::tuple<QSize, bool>>();  // the window's size; minimised first
        addRow("designed", QSize(489, 440), false);
        addRow("tiny", QSize(20, 30), false);
        addRow("wide", QSize(1200, 200), false);
        addRow("minimised, then restored", QSize(489, 440), true);
    }

    void textAreaFillsClientArea() {
        const auto [size, minimised] = fetchRow<std::tuple<QSize, bool>>();
        Fixture f;
        f.window.resize(size);
        if (minimised) {
            f.window.setWindowState(Qt::WindowMinimized);
            QCoreApplication::processEvents();
            QCOMPARE(f.text().widget()->size(), QSize(0, 0));
            f.window.setWindowState(Qt::WindowNoState);
        }
        QCoreApplication::processEvents();
        QCOMPARE(f.text().widget()->geometry(), f.window.centralWidget()->rect());
        QVERIFY(!f.text().widget()->size().isEmpty());
    }

    // Every shortcut of the menus, typed in the text area.
    void ctrlKeysInTextAreaReachMenu_data() {
        addColumns<std::tuple<QString, QKeySequence>>();
        for (const MenuItem& item : kMenuTable) {
            if (*item.shortcut != 0) {
                addRow(item.name, QString(item.name), QKeySequence(item.shortcut));
            }
        }
    }

    void ctrlKeysInTextAreaReachMenu() {
        const auto [item, shortcut] = fetchRow<std::tuple<QString, QKeySequence>>();
        Fixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QsciScintilla* editor = f.text().widget();
        editor->setFocus();
        QSignalSpy spy(f.window.action(item), &QAction::triggered);
        // Keep the command itself from acting, so only where the key went is observed.
        disconnect(f.window.action(item), &QAction::triggered, &f.window, nullptr);
        f.setDocument(QStringLiteral("abc\r\ndef\r\n"), 0, 3);
        QTest::keyClick(editor, shortcut[0].key(), shortcut[0].keyboardModifiers());
        QCOMPARE(spy.count(), 1);
        // The editor's own bindings (lower case, duplicate, transpose, clipboard) did not run.
        QCOMPARE(f.text().text(), QStringLiteral("abc\r\ndef\r\n"));
    }
};

ONDREL_TEST_MAIN(MainWindowTest)
#include "test_main_window.moc"

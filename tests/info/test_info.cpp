#include <Qsci/qsciscintilla.h>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "fixture.h"
#include "info/about_box.h"
#include "info/splash_window.h"
#include "info/sys_info.h"

using namespace ondrel;

class InfoTest : public QObject {
    Q_OBJECT
private slots:
    // The widget pressed (the margin is pressed in the desktop tests), or "" for none; whether
    // the press hands over at once, or else the timer after two seconds, and never again, to a
    // main window with a fresh document, the caret after it and the focus in it.
    void splashHandsOver_data() { addRowsFromFile("splash_presses.tsv"); }

    void splashHandsOver() {
        const QString target = field("target");
        const bool handsOver = !field("handsOver").isEmpty();
        ProgramFixture f;
        // Started first: the splash's own timer starts inside start(), which may take a while.
        QElapsedTimer clock;
        clock.start();
        f.program.start();
        QPointer<SplashWindow> splash = f.program.frmSplash();
        QVERIFY(splash != nullptr);
        if (!target.isEmpty()) {
            QWidget* widget = splash->findChild<QWidget*>(target);
            QVERIFY(widget != nullptr);
            QTest::mousePress(widget, Qt::RightButton, Qt::ShiftModifier, widget->rect().center());
            QTest::keyClick(splash, Qt::Key_Return);  // keys do nothing
        }
        QCOMPARE(f.program.form1() != nullptr, handsOver);
        QTRY_VERIFY_WITH_TIMEOUT(f.program.form1() != nullptr, 5000);
        QVERIFY(handsOver || clock.elapsed() >= 1900);  // a coarse timer may fire 5 % early
        QVERIFY(f.program.frmSplash() == nullptr);
        QTRY_VERIFY(splash.isNull());  // and its timer with it
        MainWindow& window = *f.program.form1();
        QVERIFY(window.isVisible());
        QCOMPARE(window.textBox().text(), QStringLiteral("#!/usr/local/bin/perl\r\n\r\n"));
        QCOMPARE(window.textBox().caretPosition(), 25);
        QCOMPARE(window.focusWidget(), window.textBox().widget());
        QCOMPARE(f.dialogs.calls().size(), 0);
    }

    void aboutBoxOpensOnceAndCloses_data() { addRowsFromFile("about_box_closes.tsv"); }

    // While open, the box is not loaded again and the main window goes on working; closing
    // unloads it, the next Open loads it afresh, and it outlives the main window.
    void aboutBoxOpensOnceAndCloses() {
        const QString key = field("key");
        Fixture f;
        f.choose("mnuversion");
        AboutBox* about = f.program.frmAbout();
        QVERIFY(QTest::qWaitForWindowActive(about));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        auto* description = about->findChild<QLabel*>(QStringLiteral("lblDescription"));
        description->setText(QStringLiteral("changed"));
        f.choose("mnuversion");
        QCOMPARE(f.program.frmAbout(), about);
        QCOMPARE(description->text(), QStringLiteral("changed"));
        if (key.isEmpty()) {
            about->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        } else {
            QTest::keyClick(about, QKeySequence(key)[0].key());
        }
        QTRY_VERIFY(f.program.frmAbout() == nullptr);
        f.choose("mnuversion");
        description = f.program.frmAbout()->findChild<QLabel*>(QStringLiteral("lblDescription"));
        QVERIFY(description->text().contains(QStringLiteral("example.com")));
        QCOMPARE(f.dialogs.calls().size(), 0);
        f.window.close();  // the box outlives the main window
        QTRY_VERIFY(f.program.form1() == nullptr);
        QVERIFY(f.program.frmAbout() != nullptr && f.program.frmAbout()->isVisible());
    }

    void startSysInfo_data() { addRowsFromFile("system_information.tsv"); }

    // The program started, then the message if it did not start, and nothing else.
    void startSysInfo() {
        const QString first = field("path");
        const QString location = field("location");
        Fixture f;
        // A folder inside the temporary one: with "\MSINFO32.EXE" after it, still a name inside.
        const QString inside = f.path(QStringLiteral("x"));
        auto fill = [inside](QString text) {
            return text.replace(QStringLiteral("<tmp>"), inside);
        };
        if (!first.isEmpty()) {
            f.registry.set(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                           QStringLiteral("PATH"),
                           {first == "<dword>" ? 4u /* REG_DWORD */ : kRegSz, first});
        }
        if (!location.isEmpty()) {
            f.registry.set(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                           QStringLiteral("MSINFO"), {kRegSz, fill(location)});
        }
        if (!field("program").isEmpty()) {
            writeBytes(fill(QStringLiteral("<tmp>\\MSINFO32.EXE")), {});
        }
        if (!field("starts").isEmpty()) {
            f.dialogs.startablePrograms = {first, fill(QStringLiteral("<tmp>\\MSINFO32.EXE"))};
        }
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
        f.choose("mnuversion");
        f.program.frmAbout()->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
        QStringList seen;
        for (const auto& call : f.dialogs.calls()) {
            seen.append(call.kind + ' ' + call.text + ' ' + call.title);
        }
        QCOMPARE(seen.join(u'\n'), fill(field("calls")));
    }

    void helpResolvedAgainstCurrentFolder() {
        Fixture f;
        const QString previous = QDir::currentPath();
        const QString folders[] = {f.dir.path(), f.path(QStringLiteral("help"))};
        for (const QString& folder : folders) {
            QVERIFY(QDir().mkpath(folder) && QDir::setCurrent(folder));
            f.choose("mnuMain");
        }
        QDir::setCurrent(previous);
        const auto& calls = f.dialogs.calls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[0].kind, QStringLiteral("help"));
        QCOMPARE(calls[0].text, folders[0] + "/help/help.hlp");
        QCOMPARE(calls[1].text, folders[1] + "/help/help.hlp");
    }
};

ONDREL_TEST_MAIN(InfoTest)
#include "test_info.moc"

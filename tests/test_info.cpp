#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "fixture.h"
#include "info/about_box.h"
#include "info/splash_window.h"
#include "info/sys_info.h"
#include "platform/help_viewer.h"
#include "test_main.h"

using namespace ondrel;

namespace {

// The program as a user starts it, splash first.
struct Started {
    QuietOffscreen quiet;
    ScriptedDialogs dialogs;
    FakeRegistry registry;
    Program program{dialogs, registry};
    Started() { program.start(); }
};

const QString kMsinfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kUnavailable = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

}  // namespace

class InfoTest : public QObject {
    Q_OBJECT
private slots:
    void splashHandsOverOnTimer();
    void splashPress_data();
    void splashPress();
    void aboutBoxOpensOnce();
    void aboutBoxCloses_data();
    void aboutBoxCloses();
    void aboutBoxOutlivesMainWindow();
    void startSysInfo_data();
    void startSysInfo();
    void getKeyValueOfOtherType();
    void helpResolvedAgainstCurrentFolder();
    void helpViewerShowsFileOrSaysMissing();
};

void InfoTest::splashHandsOverOnTimer() {
    Started s;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(s.program.frmSplash() != nullptr);
    QVERIFY(s.program.form1() == nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(s.program.form1() != nullptr, 5000);
    QVERIFY(clock.elapsed() >= 1900);
    QVERIFY(s.program.frmSplash() == nullptr);
    QVERIFY(s.program.form1()->isVisible());
    QCOMPARE(s.program.form1()->windowTitle(), QStringLiteral("Ondrel [project]"));
    QCOMPARE(s.program.form1()->textBox().text(), QStringLiteral("#!/usr/local/bin/perl\r\n\r\n"));
}

void InfoTest::splashPress_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("handsOver");
    QTest::newRow("margin") << "frmSplash" << true;
    QTest::newRow("logo") << "imgLogo" << true;
    QTest::newRow("title") << "Label1" << true;
    QTest::newRow("version") << "ver" << true;
    QTest::newRow("frame surface") << "Frame1" << false;
    QTest::newRow("copyright line") << "lblCopyright" << false;
    QTest::newRow("rights notice") << "lblWarning" << false;
}

void InfoTest::splashPress() {
    QFETCH(QString, target);
    QFETCH(bool, handsOver);
    Started s;
    SplashWindow* splash = s.program.frmSplash();
    QWidget* widget = target == "frmSplash" ? splash : splash->findChild<QWidget*>(target);
    QVERIFY(widget != nullptr);
    const QPoint where = target == "frmSplash" ? QPoint(4, 4) : widget->rect().center();
    QTest::mousePress(widget, Qt::RightButton, Qt::ShiftModifier, where);
    QTest::keyClick(splash, Qt::Key_Return);  // keys do nothing
    QCOMPARE(s.program.form1() != nullptr, handsOver);
    if (handsOver) {
        QVERIFY(s.program.form1()->isVisible());
        QVERIFY(s.program.frmSplash() == nullptr);
        // The timer never fires after the hand-over.
        QTest::qWait(2300);
        QCOMPARE(s.program.form1()->textBox().text(),
                 QStringLiteral("#!/usr/local/bin/perl\r\n\r\n"));
    }
}

void InfoTest::aboutBoxOpensOnce() {
    Fixture f;
    f.choose("mnuversion");
    AboutBox* about = f.program.frmAbout();
    QVERIFY(about != nullptr);
    QVERIFY(about->isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);  // the main window goes on working

    about->description()->setText(QStringLiteral("changed"));
    f.choose("mnuversion");
    QCOMPARE(f.program.frmAbout(), about);
    QCOMPARE(about->description()->text(), QStringLiteral("changed"));  // not loaded again
}

void InfoTest::aboutBoxCloses_data() {
    QTest::addColumn<int>("key");  // 0: the OK button
    QTest::newRow("OK") << 0;
    QTest::newRow("enter") << int(Qt::Key_Return);
    QTest::newRow("escape") << int(Qt::Key_Escape);
}

// Closing unloads the box, and the next Open loads it afresh.
void InfoTest::aboutBoxCloses() {
    QFETCH(int, key);
    Fixture f;
    f.choose("mnuversion");
    AboutBox* about = f.program.frmAbout();
    QVERIFY(QTest::qWaitForWindowActive(about));
    about->description()->setText(QStringLiteral("changed"));
    if (key == 0) {
        about->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    } else {
        QTest::keyClick(about, static_cast<Qt::Key>(key));
    }
    QTRY_VERIFY(f.program.frmAbout() == nullptr);
    f.choose("mnuversion");
    QVERIFY(f.program.frmAbout()->description()->text().contains(QStringLiteral("example.com")));
    QCOMPARE(f.dialogs.calls().size(), 0);
}

void InfoTest::aboutBoxOutlivesMainWindow() {
    Fixture f;
    f.choose("mnuversion");
    f.window.close();
    QTRY_VERIFY(f.program.form1() == nullptr);
    QVERIFY(f.program.frmAbout() != nullptr);
    QVERIFY(f.program.frmAbout()->isVisible());
    QVERIFY(f.program.frmAbout()->testAttribute(Qt::WA_QuitOnClose));
}

void InfoTest::startSysInfo_data() {
    QTest::addColumn<QString>("first");      // PATH of the first key, or "<none>"
    QTest::addColumn<QString>("location");   // MSINFO of the second key, or "<none>"
    QTest::addColumn<bool>("createMsinfo");  // put MSINFO32.EXE in that folder
    QTest::addColumn<QStringList>("startable");
    QTest::addColumn<QString>("started");  // the path started, or "" for none
    QTest::addColumn<bool>("unavailable");
    QTest::newRow("first key, used without existence test")
        << "C:\\no\\such\\msinfo32.exe"
        << "<none>" << false << QStringList{"C:\\no\\such\\msinfo32.exe"}
        << "C:\\no\\such\\msinfo32.exe" << false;
    QTest::newRow("first key, start fails")
        << "/bin/nonexistent"
        << "<none>" << false << QStringList{} << "/bin/nonexistent" << true;
    QTest::newRow("second key with program")
        << "<none>"
        << "<tmp>" << true << QStringList{"<tmp>\\MSINFO32.EXE"} << "<tmp>\\MSINFO32.EXE" << false;
    QTest::newRow("second key without program") << "<none>"
                                                << "<tmp>" << false << QStringList{} << "" << true;
    QTest::newRow("no keys") << "<none>"
                             << "<none>" << false << QStringList{} << "" << true;
}

void InfoTest::startSysInfo() {
    QFETCH(QString, first);
    QFETCH(QString, location);
    QFETCH(bool, createMsinfo);
    QFETCH(QStringList, startable);
    QFETCH(QString, started);
    QFETCH(bool, unavailable);
    QTemporaryDir folder;
    // A folder inside the temporary one: the Windows-style "\MSINFO32.EXE" after it then
    // names a file inside the temporary folder too, and goes with it.
    auto fill = [&folder](QString text) {
        return text.replace(QStringLiteral("<tmp>"), folder.filePath(QStringLiteral("x")));
    };
    Fixture f;
    if (first != "<none>") {
        f.registry.set(kMsinfoKey, QStringLiteral("PATH"), {kRegSz, first});
    }
    if (location != "<none>") {
        f.registry.set(kLocationKey, QStringLiteral("MSINFO"), {kRegSz, fill(location)});
    }
    if (createMsinfo) {
        QFile program(fill(QStringLiteral("<tmp>\\MSINFO32.EXE")));
        QVERIFY(program.open(QIODevice::WriteOnly));
    }
    for (const QString& path : startable) {
        f.dialogs.startablePrograms.append(fill(path));
    }
    f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
    f.choose("mnuversion");
    f.program.frmAbout()->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();

    QStringList starts;
    const ScriptedDialogs::Call* message = nullptr;
    for (const auto& call : f.dialogs.calls()) {
        if (call.kind == "start") {
            starts.append(call.text);
        } else if (call.kind == "message") {
            message = &call;
        }
    }
    QCOMPARE(starts, started.isEmpty() ? QStringList{} : QStringList{fill(started)});
    QCOMPARE(message != nullptr, unavailable);
    if (message != nullptr) {
        QCOMPARE(message->text, kUnavailable);
        QCOMPARE(message->title, QStringLiteral("Ondrel"));
        QCOMPARE(message->buttons, MessageButtons::Ok);
        QCOMPARE(message->icon, MessageIcon::None);
    }
}

void InfoTest::getKeyValueOfOtherType() {
    FakeRegistry registry;
    registry.set(kMsinfoKey, QStringLiteral("PATH"), {4 /* REG_DWORD */, QStringLiteral("x")});
    QString output = QStringLiteral("stale");
    QVERIFY(GetKeyValue(registry, kHkeyLocalMachine, kMsinfoKey, QStringLiteral("PATH"), output));
    QCOMPARE(output, QString());
    output = QStringLiteral("stale");
    QVERIFY(
        !GetKeyValue(registry, kHkeyLocalMachine, kLocationKey, QStringLiteral("MSINFO"), output));
    QCOMPARE(output, QString());
}

void InfoTest::helpResolvedAgainstCurrentFolder() {
    Fixture f;
    const QString previous = QDir::currentPath();
    QTemporaryDir one;
    QTemporaryDir two;
    QVERIFY(QDir::setCurrent(one.path()));
    f.choose("mnuMain");
    QVERIFY(QDir::setCurrent(two.path()));
    f.choose("mnuMain");
    QDir::setCurrent(previous);
    const auto& calls = f.dialogs.calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].kind, QStringLiteral("help"));
    QCOMPARE(calls[0].text, QDir(one.path()).filePath(QStringLiteral("help/help.hlp")));
    QCOMPARE(calls[1].text, QDir(two.path()).filePath(QStringLiteral("help/help.hlp")));
}

void InfoTest::helpViewerShowsFileOrSaysMissing() {
    QuietOffscreen quiet;
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("help/help.hlp"));
    HelpViewer viewer;
    viewer.showFile(missing);
    QVERIFY(viewer.isVisible());
    QVERIFY(viewer.shownText().contains(QStringLiteral("ヘルプファイルが見つかりません。")));
    QVERIFY(viewer.shownText().contains(missing));

    QFile file(folder.filePath(QStringLiteral("help.hlp")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<h1>ファイル</h1><p>新規作成</p>").toUtf8());
    file.close();
    viewer.showFile(file.fileName());
    QVERIFY(viewer.shownText().contains(QStringLiteral("新規作成")));
}

ONDREL_TEST_MAIN(InfoTest)
#include "test_info.moc"

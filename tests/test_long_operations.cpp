#include <Qsci/qsciscintilla.h>
#include <QApplication>
#include <QFile>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>

#include "documents/file_commands.h"
#include "fixture.h"
#include "platform/qt_dialogs.h"

using namespace ondrel;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

}  // namespace

class LongOperationsTest : public QObject {
    Q_OBJECT
private slots:
    void progressWindowCannotBeDismissed();
    void nothingReachesWindowWhileOpening();
};

void LongOperationsTest::progressWindowCannotBeDismissed() {
    QtDialogs dialogs;
    const std::unique_ptr<Progress> progress = dialogs.startProgress(QStringLiteral("x"));
    QProgressDialog* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        window = window != nullptr ? window : qobject_cast<QProgressDialog*>(w);
    }
    QVERIFY(window != nullptr);
    window->show();
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(window->isVisible());
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
}

void LongOperationsTest::nothingReachesWindowWhileOpening() {
    QTemporaryDir dir;
    const QString oldPath = dir.filePath(QStringLiteral("a.cgi"));
    const QString newPath = dir.filePath(QStringLiteral("big.cgi"));
    const QByteArray oldBytes = "print 1;\r\n";
    // Several chunks of the text area's load, so the load can be caught half done.
    const QByteArray newBytes = QByteArray("print \"hello\";\r\n").repeated(100000);
    writeBytes(oldPath, oldBytes);
    writeBytes(newPath, newBytes);
    Fixture f;
    f.dialogs.pushText(oldPath);
    f.choose("mnuOpen");
    f.dialogs.clear();
    f.dialogs.pushText(newPath);
    QWidget* text = f.text().widget();
    bool tried = false;
    f.dialogs.duringProgress = [&](int percent) {
        if (tried || percent <= 50 || percent >= 100) {
            return;
        }
        tried = true;
        QTest::keyClick(text, Qt::Key_Escape);
        f.choose("mnuupsave");
        f.choose("mnunew");
        QTest::keyClicks(text, "typed");
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QTest::mouseClick(f.text().widget()->viewport(), Qt::LeftButton);
        f.window.close();
        QVERIFY(f.window.isVisible());
    };
    f.choose("mnuOpen");
    QVERIFY(tried);
    QCOMPARE(f.text().text(), QString::fromLatin1(newBytes));
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [") + newPath + QStringLiteral("]"));
    QCOMPARE(f.window.files().fileName(), newPath);
    QCOMPARE(readBytes(oldPath), oldBytes);
    QVERIFY(!f.text().canUndo());
    QCOMPARE(f.dialogs.calls().size(), 1);
    // The close asked for during the load happens once the load is over, saving nothing.
    QVERIFY(!f.window.isVisible());
    QCOMPARE(readBytes(newPath), newBytes);
}

QTEST_MAIN(LongOperationsTest)
#include "test_long_operations.moc"

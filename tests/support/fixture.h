#pragma once

#include <QAction>
#include <QHash>
#include <QString>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "app/program.h"
#include "platform/registry.h"
#include "scripted_dialogs.h"
#include "test_main.h"
#include "text/text_box.h"

namespace ondrel {

// A registry holding exactly the values a test puts in it.
class FakeRegistry : public Registry {
public:
    void set(const QString& keyPath, const QString& valueName, RegistryValue value) {
        m_values.insert(keyPath + QLatin1Char('|') + valueName, value);
    }
    std::optional<RegistryValue> readValue(std::uint32_t root, const QString& keyPath,
                                           const QString& valueName) override {
        const QString key = keyPath + QLatin1Char('|') + valueName;
        return root == kHkeyLocalMachine && m_values.contains(key) ? m_values.value(key)
                                                                   : std::optional<RegistryValue>();
    }

private:
    QHash<QString, RegistryValue> m_values;
};

// While it lives, the offscreen platform's notes that it cannot raise a window or pass size
// hints on are dropped; they would bury the tests' own output.
class QuietOffscreen {
public:
    QuietOffscreen() { s_previous = qInstallMessageHandler(drop); }
    ~QuietOffscreen() { qInstallMessageHandler(s_previous); }
    QuietOffscreen(const QuietOffscreen&) = delete;
    QuietOffscreen& operator=(const QuietOffscreen&) = delete;

private:
    static inline QtMessageHandler s_previous = nullptr;
    static void drop(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (!text.startsWith(QLatin1String("This plugin does not support"))) {
            s_previous(type, context, text);
        }
    }
};

// A program driven through scripted dialogs, none of its windows loaded yet, and a folder for
// the test's files.
struct ProgramFixture {
    QTemporaryDir dir;
    QuietOffscreen quiet;
    ScriptedDialogs dialogs;
    FakeRegistry registry;
    Program program{dialogs, registry};

    QString path(const QString& name) const { return dir.filePath(name); }
};

// The same program with its main window loaded and shown.
struct Fixture : ProgramFixture {
    MainWindow& window = program.showForm1();

    TextBox& text() { return window.textBox(); }
    void choose(const char* itemName) { window.action(QString::fromLatin1(itemName))->trigger(); }
    // Writes bytes as the file at path and opens it through the Open command.
    void open(const QString& path, const QByteArray& bytes) {
        writeBytes(path, bytes);
        dialogs.pushText(path);
        choose("mnuOpen");
    }
    void setDocument(const QString& content, int selectionStart, int selectionEnd) {
        text().setText(content);
        text().select(selectionStart, selectionEnd);
    }
};

}  // namespace ondrel

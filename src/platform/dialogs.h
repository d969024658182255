#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <memory>

class QPrinter;

namespace ondrel {

// YesNoCancelNoAccessKeys: the same buttons without access keys, for a box that comes unbidden,
// so that letters typed ahead into the window are not taken as its answer.
enum class MessageButtons { Ok, YesNo, YesNoCancel, YesNoCancelNoAccessKeys };
enum class MessageIcon { None, Question, Critical };
enum class MessageAnswer { Ok, Yes, No, Cancel };

// Feedback for work that may take a while: a busy cursor from the start and, once the work
// has taken longer than a second, a progress window. Both end when this is destroyed.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void setPercent(int percent) = 0;
    // Whether the user has pressed Cancel; only a cancellable progress has the button.
    virtual bool cancelled() const { return false; }
};

// Every message box, prompt, common dialog, help viewer and program start the program shows
// goes through this interface. The main window is given one from outside: the program passes
// the Qt implementation, tests a scripted one that answers in order and records each call.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal message box; returns the button pressed (Ok when it only has OK). Escape or the
    // close box answer No in a Yes/No box and Cancel where there is a Cancel button.
    virtual MessageAnswer message(const QString& text, const QString& title, MessageButtons buttons,
                                  MessageIcon icon, MessageAnswer defaultButton) = 0;

    // A one-line input prompt; returns the field's text on OK and "" on Cancel.
    virtual QString prompt(const QString& message, const QString& title,
                           const QString& defaultText) = 0;

    // The file-open and file-save dialogs with Qt filter strings, the first one selected and
    // nameBoxText in the name box; return the chosen full path, or "" when cancelled.
    virtual QString openFileName(const QString& nameBoxText, const QStringList& filters) = 0;
    virtual QString saveFileName(const QString& nameBoxText, const QStringList& filters) = 0;

    // The colour dialog starting at initial; returns an invalid colour when cancelled.
    virtual QColor chooseColor(const QColor& initial) = 0;

    // The platform's printer dialog on the given printer; true when the user accepted it.
    virtual bool setupPrinter(QPrinter& printer) = 0;

    // Shows the file at path in a help viewer window of its own and returns at once.
    virtual void showHelp(const QString& path) = 0;

    // Starts the program at path without waiting for it; false when it could not be started.
    virtual bool startProgram(const QString& path) = 0;

    // Starts another Ondrel, which opens fileName (the name's bytes, passed on as they are) in
    // a window of its own; false when it could not be started.
    virtual bool startEditor(const QByteArray& fileName) = 0;

    // Shows that work described by label is under way, until the returned object is gone.
    virtual std::unique_ptr<Progress> startProgress(const QString& label) = 0;
    // The same, with a Cancel button, for work that can stop part way and leave nothing
    // half done.
    virtual std::unique_ptr<Progress> startCancellableProgress(const QString& label) = 0;
};

// The program's error box: text under the title "エラー！", with the critical icon and OK.
inline void showErrorBox(Dialogs& dialogs, const QString& text) {
    dialogs.message(text, QStringLiteral("エラー！"), MessageButtons::Ok, MessageIcon::Critical,
                    MessageAnswer::Ok);
}

}  // namespace ondrel

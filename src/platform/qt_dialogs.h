#pragma once

#include <QPointer>

#include "platform/dialogs.h"

namespace ondrel {

class HelpViewer;

// The dialogs as the program shows them: Qt's message boxes, input dialog, file, colour and
// printer dialogs, the help viewer window and QProcess. Modal dialogs belong to the active window.
class QtDialogs : public Dialogs {
public:
    QtDialogs();
    ~QtDialogs() override;

    MessageAnswer message(const QString& text, const QString& title, MessageButtons buttons,
                          MessageIcon icon, MessageAnswer defaultButton) override;
    QString prompt(const QString& message, const QString& title,
                   const QString& defaultText) override;
    QString openFileName(const QString& nameBoxText, const QStringList& filters) override;
    QString saveFileName(const QString& nameBoxText, const QStringList& filters) override;
    QColor chooseColor(const QColor& initial) override;
    bool setupPrinter(QPrinter& printer) override;
    void showHelp(const QString& path) override;
    bool startProgram(const QString& path) override;
    bool startEditor(const QByteArray& fileName) override;
    std::unique_ptr<Progress> startProgress(const QString& label) override;
    std::unique_ptr<Progress> startCancellableProgress(const QString& label) override;

private:
    QPointer<HelpViewer> m_helpViewer;
};

}  // namespace ondrel

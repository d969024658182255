#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

#include "platform/dialogs.h"

namespace ondrel {

// A Dialogs implementation for tests: answers from a queue, in order, and records every call.
// A call with no answer left is recorded as unexpected and answered as if cancelled.
class ScriptedDialogs : public Dialogs {
public:
    struct Call {
        // "message", "prompt", "open", "save", "color", "printer", "help", "start"
        QString kind;
        QString text;  // message text, prompt message, name box text, help path or program path
        QString title;
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
        MessageAnswer defaultButton = MessageAnswer::Ok;
        QString defaultText;
        QStringList filters;
        QColor initialColor;
    };

    struct Answer {
        MessageAnswer button = MessageAnswer::Ok;
        QString text;
        QColor color;
        bool accepted = true;
        std::function<void(QPrinter&)> onPrinter;
    };

    static Answer button(MessageAnswer answer) { return {answer, {}, {}, true, {}}; }
    static Answer text(const QString& text) { return {MessageAnswer::Ok, text, {}, true, {}}; }
    static Answer color(const QColor& color) { return {MessageAnswer::Ok, {}, color, true, {}}; }
    static Answer cancel() { return {MessageAnswer::No, {}, {}, false, {}}; }
    static Answer printerChosen(std::function<void(QPrinter&)> choose) {
        return {MessageAnswer::Ok, {}, {}, true, std::move(choose)};
    }

    void push(const Answer& answer) { m_answers.push_back(answer); }
    void pushText(const QString& answer) { push(text(answer)); }

    const QList<Call>& calls() const { return m_calls; }
    int unexpectedCalls() const { return m_unexpected; }
    int answersLeft() const { return static_cast<int>(m_answers.size()); }
    void clear();

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
    std::unique_ptr<Progress> startProgress(const QString& label) override;

    // Progress is feedback, not a question: it is kept apart from calls().
    QStringList progressLabels;
    // The percentages reported to the progress started last.
    QList<int> progressReported;
    // Called with each percentage as it is reported, so a test can act in the middle of the work.
    std::function<void(int percent)> duringProgress;

    // Program starts that succeed; any other path fails to start.
    QStringList startablePrograms;

private:
    Answer next(const Call& call);

    QList<Call> m_calls;
    std::deque<Answer> m_answers;
    int m_unexpected = 0;
};

}  // namespace ondrel

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
        // "message", "prompt", "open", "save", "color", "printer", "help", "start", "editor"
        QString kind;
        QString text{};  // message text, prompt message, name box text, help, program or file path
        QString title{};
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
        MessageAnswer defaultButton = MessageAnswer::Ok;
        QString defaultText{};
        QColor initialColor{};

        // A message box asking text under title, with Yes and No, the question icon, Yes first.
        bool isYesNoQuestion(const QString& question, const QString& boxTitle) const {
            return kind == QLatin1String("message") && text == question && title == boxTitle &&
                   buttons == MessageButtons::YesNo && icon == MessageIcon::Question &&
                   defaultButton == MessageAnswer::Yes;
        }
    };

    struct Answer {
        MessageAnswer button = MessageAnswer::Ok;
        QString text{};
        QColor color{};
        bool accepted = true;
        std::function<void(QPrinter&)> onPrinter{};
    };

    static Answer button(MessageAnswer answer) { return {answer}; }
    static Answer text(const QString& text) { return {MessageAnswer::Ok, text}; }
    static Answer color(const QColor& color) { return {MessageAnswer::Ok, {}, color}; }
    static Answer cancel() { return {MessageAnswer::No, {}, {}, false}; }
    // An answer as the data tables name it: "yes", "no", or anything else for a cancel.
    static Answer named(const QString& word) {
        return word == u"yes"  ? button(MessageAnswer::Yes)
               : word == u"no" ? button(MessageAnswer::No)
                               : cancel();
    }

    void push(const Answer& answer) { m_answers.push_back(answer); }
    void pushText(const QString& answer) { push(text(answer)); }

    const QList<Call>& calls() const { return m_calls; }
    int unexpectedCalls() const { return m_unexpected; }
    void clear() {
        m_calls.clear();
        m_answers.clear();
        m_unexpected = 0;
    }

    MessageAnswer message(const QString& text, const QString& title, MessageButtons buttons,
                          MessageIcon icon, MessageAnswer defaultButton) override {
        const Answer answer = next({"message", text, title, buttons, icon, defaultButton});
        // A box closed without a button answers No, or Cancel where it has that button.
        if (!answer.accepted && buttons != MessageButtons::Ok && buttons != MessageButtons::YesNo) {
            return MessageAnswer::Cancel;
        }
        return answer.button;
    }
    QString prompt(const QString& message, const QString& title,
                   const QString& defaultText) override {
        return textOf(next({"prompt", message, title, {}, {}, {}, defaultText}));
    }
    QString openFileName(const QString& nameBoxText, const QStringList&) override {
        return textOf(next({"open", nameBoxText}));
    }
    QString saveFileName(const QString& nameBoxText, const QStringList&) override {
        return textOf(next({"save", nameBoxText}));
    }
    QColor chooseColor(const QColor& initial) override {
        const Answer answer = next({"color", {}, {}, {}, {}, {}, {}, initial});
        return answer.accepted ? answer.color : QColor();
    }
    bool setupPrinter(QPrinter& printer) override {
        const Answer answer = next({"printer"});
        if (answer.accepted && answer.onPrinter) {
            answer.onPrinter(printer);
        }
        return answer.accepted;
    }
    // The help viewer and program starts answer nothing; they are only recorded.
    void showHelp(const QString& path) override { m_calls.append({"help", path}); }
    bool startProgram(const QString& path) override {
        m_calls.append({"start", path});
        return startablePrograms.contains(path);
    }
    bool startEditor(const QByteArray& fileName) override {
        m_calls.append({"editor", QString::fromUtf8(fileName)});
        return true;
    }
    std::unique_ptr<Progress> startProgress(const QString& label) override {
        progressLabels.append(label);
        progressReported.clear();
        return std::make_unique<Recorded>(*this);
    }
    std::unique_ptr<Progress> startCancellableProgress(const QString& label) override {
        return startProgress(label);
    }

    // Progress is feedback, not a question: it is kept apart from calls().
    QStringList progressLabels;
    // The percentages reported to the progress started last.
    QList<int> progressReported;
    // Called with each percentage as it is reported, so a test can act in the middle of the work.
    std::function<void(int percent)> duringProgress;
    // Set (from duringProgress, say) to press the Cancel button of a cancellable progress.
    bool cancelProgress = false;

    // Program starts that succeed; any other path fails to start.
    QStringList startablePrograms;

private:
    struct Recorded : Progress {
        explicit Recorded(ScriptedDialogs& dialogs) : m_dialogs(dialogs) {}
        void setPercent(int percent) override {
            m_dialogs.progressReported.append(percent);
            if (m_dialogs.duringProgress) {
                m_dialogs.duringProgress(percent);
            }
        }
        bool cancelled() const override { return m_dialogs.cancelProgress; }
        ScriptedDialogs& m_dialogs;
    };

    Answer next(const Call& call) {
        m_calls.append(call);
        if (m_answers.empty()) {
            ++m_unexpected;
            return cancel();
        }
        Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    static QString textOf(const Answer& answer) {
        return answer.accepted ? answer.text : QString();
    }

    QList<Call> m_calls;
    std::deque<Answer> m_answers;
    int m_unexpected = 0;
};

}  // namespace ondrel

#include "scripted_dialogs.h"

namespace ondrel {

namespace {

class RecordedProgress : public Progress {
public:
    RecordedProgress(QList<int>& values, const std::function<void(int)>& during)
        : m_values(values), m_during(during) {}
    void setPercent(int percent) override {
        m_values.append(percent);
        if (m_during) {
            m_during(percent);
        }
    }

private:
    QList<int>& m_values;
    const std::function<void(int)>& m_during;
};

}  // namespace

using Answer = ScriptedDialogs::Answer;

void ScriptedDialogs::clear() {
    m_calls.clear();
    m_answers.clear();
    m_unexpected = 0;
}

Answer ScriptedDialogs::next(const Call& call) {
    m_calls.append(call);
    if (m_answers.empty()) {
        ++m_unexpected;
        return cancel();
    }
    Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

MessageAnswer ScriptedDialogs::message(const QString& text, const QString& title,
                                       MessageButtons buttons, MessageIcon icon,
                                       MessageAnswer defaultButton) {
    return next({"message", text, title, buttons, icon, defaultButton, {}, {}, {}}).button;
}

QString ScriptedDialogs::prompt(const QString& message, const QString& title,
                                const QString& defaultText) {
    const Answer answer = next({"prompt", message, title, {}, {}, {}, defaultText, {}, {}});
    return answer.accepted ? answer.text : QString();
}

QString ScriptedDialogs::openFileName(const QString& nameBoxText, const QStringList& filters) {
    const Answer answer = next({"open", nameBoxText, {}, {}, {}, {}, {}, filters, {}});
    return answer.accepted ? answer.text : QString();
}

QString ScriptedDialogs::saveFileName(const QString& nameBoxText, const QStringList& filters) {
    const Answer answer = next({"save", nameBoxText, {}, {}, {}, {}, {}, filters, {}});
    return answer.accepted ? answer.text : QString();
}

QColor ScriptedDialogs::chooseColor(const QColor& initial) {
    const Answer answer = next({"color", {}, {}, {}, {}, {}, {}, {}, initial});
    return answer.accepted ? answer.color : QColor();
}

bool ScriptedDialogs::setupPrinter(QPrinter& printer) {
    const Answer answer = next({"printer", {}, {}, {}, {}, {}, {}, {}, {}});
    if (answer.accepted && answer.onPrinter) {
        answer.onPrinter(printer);
    }
    return answer.accepted;
}

// The help viewer and program starts answer nothing; they are only recorded.
void ScriptedDialogs::showHelp(const QString& path) {
    m_calls.append({"help", path, {}, {}, {}, {}, {}, {}, {}});
}

bool ScriptedDialogs::startProgram(const QString& path) {
    m_calls.append({"start", path, {}, {}, {}, {}, {}, {}, {}});
    return startablePrograms.contains(path);
}

std::unique_ptr<Progress> ScriptedDialogs::startProgress(const QString& label) {
    progressLabels.append(label);
    progressReported.clear();
    return std::make_unique<RecordedProgress>(progressReported, duringProgress);
}

}  // namespace ondrel

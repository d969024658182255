#include "scripted_dialogs.h"

namespace ondrel {

ScriptedDialogs::Answer ScriptedDialogs::button(MessageAnswer answer) {
    Answer a;
    a.button = answer;
    return a;
}

ScriptedDialogs::Answer ScriptedDialogs::text(const QString& text) {
    Answer a;
    a.text = text;
    return a;
}

ScriptedDialogs::Answer ScriptedDialogs::color(const QColor& color) {
    Answer a;
    a.color = color;
    return a;
}

ScriptedDialogs::Answer ScriptedDialogs::cancel() {
    Answer a;
    a.accepted = false;
    a.button = MessageAnswer::No;
    return a;
}

ScriptedDialogs::Answer ScriptedDialogs::printerChosen(std::function<void(QPrinter&)> choose) {
    Answer a;
    a.onPrinter = std::move(choose);
    return a;
}

void ScriptedDialogs::clear() {
    m_calls.clear();
    m_answers.clear();
    m_unexpected = 0;
}

ScriptedDialogs::Answer ScriptedDialogs::next(const Call& call) {
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
    Call call;
    call.kind = QStringLiteral("message");
    call.text = text;
    call.title = title;
    call.buttons = buttons;
    call.icon = icon;
    call.defaultButton = defaultButton;
    return next(call).button;
}

QString ScriptedDialogs::prompt(const QString& message, const QString& title,
                                const QString& defaultText) {
    Call call;
    call.kind = QStringLiteral("prompt");
    call.text = message;
    call.title = title;
    call.defaultText = defaultText;
    const Answer answer = next(call);
    return answer.accepted ? answer.text : QString();
}

QString ScriptedDialogs::openFileName(const QString& nameBoxText, const QStringList& filters) {
    Call call;
    call.kind = QStringLiteral("open");
    call.text = nameBoxText;
    call.filters = filters;
    const Answer answer = next(call);
    return answer.accepted ? answer.text : QString();
}

QString ScriptedDialogs::saveFileName(const QString& nameBoxText, const QStringList& filters) {
    Call call;
    call.kind = QStringLiteral("save");
    call.text = nameBoxText;
    call.filters = filters;
    const Answer answer = next(call);
    return answer.accepted ? answer.text : QString();
}

QColor ScriptedDialogs::chooseColor(const QColor& initial) {
    Call call;
    call.kind = QStringLiteral("color");
    call.initialColor = initial;
    const Answer answer = next(call);
    return answer.accepted ? answer.color : QColor();
}

bool ScriptedDialogs::setupPrinter(QPrinter& printer) {
    Call call;
    call.kind = QStringLiteral("printer");
    const Answer answer = next(call);
    if (answer.accepted && answer.onPrinter) {
        answer.onPrinter(printer);
    }
    return answer.accepted;
}

void ScriptedDialogs::showHelp(const QString& path) {
    Call call;
    call.kind = QStringLiteral("help");
    call.text = path;
    m_calls.append(call);
}

bool ScriptedDialogs::startProgram(const QString& path) {
    Call call;
    call.kind = QStringLiteral("start");
    call.text = path;
    m_calls.append(call);
    return startablePrograms.contains(path);
}

}  // namespace ondrel

namespace ondrel {

namespace {

class RecordedProgress : public Progress {
public:
    explicit RecordedProgress(QList<int>& values) : m_values(values) {}
    void setPercent(int percent) override { m_values.append(percent); }

private:
    QList<int>& m_values;
};

}  // namespace

std::unique_ptr<Progress> ScriptedDialogs::startProgress(const QString& label) {
    progressLabels.append(label);
    progressReported.clear();
    return std::make_unique<RecordedProgress>(progressReported);
}

}  // namespace ondrel

#include "editing/backslash_marks.h"

#include <Qsci/qsciscintilla.h>

#include <QElapsedTimer>
#include <QPoint>

#include "text/text_box.h"

namespace ondrel {

namespace {

using Sci = QsciScintillaBase;

// A slice of scanning leaves most of a 16 ms frame to the event loop.
constexpr qint64 kSliceMilliseconds = 6;
constexpr int kLinesBetweenClockChecks = 32;
constexpr unsigned long kWarningColour = 0x1E50E6;  // Scintilla's 0xBBGGRR: a strong orange-red
constexpr unsigned long kDwellMilliseconds = 500;
constexpr long kEscapeValue = static_cast<long>(MarkKind::Escape) + 1;

}  // namespace

BackslashMarks::BackslashMarks(TextBox& textBox, const QHash<char32_t, char>& trailBytes)
    : QObject(textBox.widget()),
      m_textBox(textBox),
      m_editor(textBox.widget()),
      m_scanner(trailBytes) {
    // A tinted box with a strong outline: plain to see on one character, the text still legible.
    m_editor->SendScintilla(Sci::SCI_INDICSETSTYLE, kIndicator, Sci::INDIC_ROUNDBOX);
    m_editor->SendScintilla(Sci::SCI_INDICSETFORE, kIndicator, kWarningColour);
    m_editor->SendScintilla(Sci::SCI_INDICSETALPHA, kIndicator, 70);
    m_editor->SendScintilla(Sci::SCI_INDICSETOUTLINEALPHA, kIndicator, 255);
    m_editor->SendScintilla(Sci::SCI_SETMOUSEDWELLTIME, kDwellMilliseconds);
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &BackslashMarks::scanSlice);
    connect(m_editor, &Sci::SCN_MODIFIED, this,
            [this](int position, int type, const char*, int, int, int, int, int, int, int) {
                aboutToEdit(position, type);
            });
    connect(m_editor, &Sci::SCN_DWELLSTART, this,
            [this](int position, int, int) { dwellStart(position); });
    connect(m_editor, &Sci::SCN_DWELLEND, this,
            [this](int, int, int) { m_editor->SendScintilla(Sci::SCI_CALLTIPCANCEL); });
    m_textBox.setTextLoaded([this] { restart(); });
    restart();
}

BackslashMarks::~BackslashMarks() {
    m_textBox.setTextLoaded({});
}

// Scintilla announces each insertion and deletion before it happens (the notifications after
// it would cost a count of characters from the start of the document in QScintilla). The
// line where it begins is known then; how many lines it adds or removes is known once it is
// done, at the next announcement or the next slice of scanning, whichever comes first.
void BackslashMarks::aboutToEdit(int position, int type) {
    if ((type & (Sci::SC_MOD_BEFOREINSERT | Sci::SC_MOD_BEFOREDELETE)) == 0) {
        return;
    }
    settleEdit();
    m_editLine = static_cast<int>(
        m_editor->SendScintilla(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
    m_linesBefore = lineCount();
    m_editPending = true;
    if (!m_timer.isActive()) {
        m_timer.start();
    }
}

void BackslashMarks::settleEdit() {
    if (m_editPending) {
        m_editPending = false;
        m_states.edited(m_editLine, lineCount() - m_linesBefore);
    }
}

int BackslashMarks::lineCount() const {
    return static_cast<int>(m_editor->SendScintilla(Sci::SCI_GETLINECOUNT));
}

void BackslashMarks::restart() {
    m_editPending = false;
    m_states.reset(lineCount());
    m_editor->SendScintilla(Sci::SCI_SETINDICATORCURRENT, kIndicator);
    m_editor->SendScintilla(Sci::SCI_INDICATORCLEARRANGE, 0UL,
                            m_editor->SendScintilla(Sci::SCI_GETLENGTH));
    m_timer.start();
}

void BackslashMarks::scanSlice() {
    // Lines that came or went unannounced (a load runs without edit notifications) call for a
    // scan from the top.
    settleEdit();
    if (m_states.lineCount() != lineCount()) {
        restart();
    }
    m_editor->SendScintilla(Sci::SCI_SETINDICATORCURRENT, kIndicator);
    QElapsedTimer clock;
    clock.start();
    while (!m_states.done() && clock.elapsed() < kSliceMilliseconds) {
        m_states.scan(
            kLinesBetweenClockChecks, [this](int line) { return lineBytes(line); },
            [this](int line, const std::vector<ByteRange>& marks) { showMarks(line, marks); });
    }
    if (!m_states.done()) {
        m_timer.start();
    }
}

std::string_view BackslashMarks::lineBytes(int line) {
    const long start = m_editor->SendScintilla(Sci::SCI_POSITIONFROMLINE, line);
    const long length = m_editor->SendScintilla(Sci::SCI_LINELENGTH, line);
    if (start < 0 || length <= 0) {
        return {};
    }
    // A copy of one line; reading the text in place would move the gap of Scintilla's buffer.
    m_lineBuffer.resize(length + 1);
    m_editor->SendScintilla(Sci::SCI_GETTEXTRANGE, start, start + length, m_lineBuffer.data());
    return {m_lineBuffer.constData(), static_cast<std::size_t>(length)};
}

void BackslashMarks::showMarks(int line, const std::vector<ByteRange>& marks) {
    const long start = m_editor->SendScintilla(Sci::SCI_POSITIONFROMLINE, line);
    const long length = m_editor->SendScintilla(Sci::SCI_LINELENGTH, line);
    m_editor->SendScintilla(Sci::SCI_INDICATORCLEARRANGE, static_cast<unsigned long>(start),
                            length);
    for (const ByteRange& mark : marks) {
        m_editor->SendScintilla(Sci::SCI_SETINDICATORVALUE, static_cast<int>(mark.kind) + 1);
        m_editor->SendScintilla(Sci::SCI_INDICATORFILLRANGE,
                                static_cast<unsigned long>(start + mark.start),
                                static_cast<long>(mark.length));
    }
}

void BackslashMarks::dwellStart(int position) {
    const long value =
        position < 0 ? 0 : m_editor->SendScintilla(Sci::SCI_INDICATORVALUEAT, kIndicator, position);
    if (value == 0) {
        return;
    }
    const auto textAt = [this](long from, long to) {
        QByteArray bytes(to - from + 1, '\0');
        m_editor->SendScintilla(Sci::SCI_GETTEXTRANGE, from, to, bytes.data());
        return QString::fromUtf8(bytes.constData(), to - from);
    };
    // One character, even where marked characters stand side by side.
    const long start = position;
    const long end =
        m_editor->SendScintilla(Sci::SCI_POSITIONAFTER, static_cast<unsigned long>(start));
    const QString character = textAt(start, end);
    // Its second byte, which the first line of every tip names.
    const QString trail = QString(QLatin1Char(m_scanner.trailOf(character.toUcs4().value(0))));
    const QString intro =
        QStringLiteral("「%1」は Shift_JIS の 2 バイト目が %2 (0x%3) のため、\n")
            .arg(character, trail, QString::number(trail.front().unicode(), 16).toUpper());
    QString tip;
    // Three short lines, so the tip fits beside a window of the designed width.
    switch (static_cast<MarkKind>(value - 1)) {
        case MarkKind::Escape: {
            // The example shows the character's own neighbour when it has one, as in 表\示.
            const QString next = textAt(
                end,
                m_editor->SendScintilla(Sci::SCI_POSITIONAFTER, static_cast<unsigned long>(end)));
            const QString example =
                character + QLatin1Char('\\') +
                (next.size() == 1 && next[0].isLetterOrNumber() ? next : QString());
            tip = intro + QStringLiteral(
                              "Perl の文字列の中ではこのままでは正しく扱われません。\n"
                              "直後に \\ を書いてください（%1）。")
                              .arg(example);
            break;
        }
        case MarkKind::Delimiter:
            tip = intro + QStringLiteral(
                              "Perl はこれを区切り文字と読み、文字列の終わりがずれます。\n"
                              "区切り文字をほかの記号に変えてください（例: qq(…)、m!…!）。");
            break;
        case MarkKind::Pattern:
            tip = intro + QStringLiteral(
                              "正規表現の中では記号 %1 として働きます。\n"
                              "\\Q と \\E で囲んでください（\\Q%2\\E）。")
                              .arg(trail, character);
            break;
        case MarkKind::Array:
            tip = intro + QStringLiteral(
                              "後ろの英数字と合わせて配列として展開されます。\n"
                              "シングルクォートで書くか、\"%1\" . \"…\" のように区切ってください。")
                              .arg(character);
            break;
    }
    m_editor->SendScintilla(Sci::SCI_CALLTIPSHOW, static_cast<unsigned long>(start),
                            tip.toUtf8().constData());
}

long BackslashMarks::backslashRemedyAt(QsciScintilla* editor, const QPoint& globalPos) {
    const auto escapeAt = [editor](long position) {
        return position >= 0 && editor->SendScintilla(Sci::SCI_INDICATORVALUEAT, kIndicator,
                                                      position) == kEscapeValue;
    };
    const QPoint point = editor->viewport()->mapFromGlobal(globalPos);
    const long clicked =
        editor->SendScintilla(Sci::SCI_CHARPOSITIONFROMPOINTCLOSE, point.x(), point.y());
    if (escapeAt(clicked)) {
        return editor->SendScintilla(Sci::SCI_POSITIONAFTER, static_cast<unsigned long>(clicked));
    }
    const long caret = editor->SendScintilla(Sci::SCI_GETCURRENTPOS);
    if (escapeAt(caret)) {
        return editor->SendScintilla(Sci::SCI_POSITIONAFTER, static_cast<unsigned long>(caret));
    }
    const long before =
        editor->SendScintilla(Sci::SCI_POSITIONBEFORE, static_cast<unsigned long>(caret));
    return before < caret && escapeAt(before) ? caret : -1;
}

}  // namespace ondrel

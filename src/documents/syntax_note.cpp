#include "documents/syntax_note.h"

#include <Qsci/qsciscintilla.h>

#include <QEvent>
#include <QMap>
#include <QPushButton>

#include "text/text_box.h"

namespace ondrel {

namespace {

using Sci = QsciScintillaBase;

constexpr unsigned long kErrorColour = 0x0000D0;  // Scintilla's 0xBBGGRR: red
constexpr unsigned long kDwellMilliseconds = 500;
constexpr int kBriefNoteMilliseconds = 2500;
constexpr int kMargin = 4;

}  // namespace

SyntaxNote::SyntaxNote(TextBox& textBox, PerlCheck::Settings settings)
    : m_editor(textBox.widget()),
      m_note(new QPushButton(m_editor)),
      m_check(settings, [this](const PerlVerdict& verdict) { show(verdict); }),
      m_seconds((settings.timeoutMs + 999) / 1000) {
    // A wavy underline, unlike the Shift_JIS marks' boxes.
    m_editor->SendScintilla(Sci::SCI_INDICSETSTYLE, kIndicator, Sci::INDIC_SQUIGGLEPIXMAP);
    m_editor->SendScintilla(Sci::SCI_INDICSETFORE, kIndicator, kErrorColour);
    m_editor->SendScintilla(Sci::SCI_SETMOUSEDWELLTIME, kDwellMilliseconds);

    m_note->setObjectName(QStringLiteral("perlCheckNote"));
    m_note->setFocusPolicy(Qt::NoFocus);
    m_note->setStyleSheet(
        QStringLiteral("QPushButton { background: #fff4c4; color: black; border: 1px solid #c89800;"
                       " border-radius: 3px; padding: 2px 6px; text-align: left; }"));
    m_note->hide();
    connect(m_note, &QPushButton::clicked, this, [this] {
        if (m_noteLine > 0) {
            m_editor->SendScintilla(Sci::SCI_GOTOLINE, m_noteLine - 1);
        }
        m_editor->setFocus();
    });
    m_briefNote.setSingleShot(true);
    connect(&m_briefNote, &QTimer::timeout, this, &SyntaxNote::hideNote);

    connect(m_editor, &Sci::SCN_MODIFIED, this,
            [this](int, int type, const char*, int, int, int, int, int, int, int) {
                if ((type & (Sci::SC_MOD_BEFOREINSERT | Sci::SC_MOD_BEFOREDELETE)) != 0) {
                    m_edited = true;
                    hideNote();
                }
            });
    // Open gives the text area another document without an edit; the note was about the old.
    connect(m_editor, &Sci::SCN_UPDATEUI, this, [this](int) {
        if (!m_note->isHidden() && document() != m_document) {
            hideNote();
        }
    });
    connect(m_editor, &Sci::SCN_DWELLSTART, this,
            [this](int position, int, int) { dwellStart(position); });
    connect(m_editor, &Sci::SCN_DWELLEND, this,
            [this](int, int, int) { m_editor->SendScintilla(Sci::SCI_CALLTIPCANCEL); });
    m_editor->installEventFilter(this);
}

SyntaxNote::~SyntaxNote() = default;

void SyntaxNote::check(const QByteArray& path) {
    hideNote();
    clearMarks();
    m_document = document();
    m_edited = false;
    m_check.start(path);
}

long SyntaxNote::document() const {
    return m_editor->SendScintilla(Sci::SCI_GETDOCPOINTER);
}

void SyntaxNote::show(const PerlVerdict& verdict) {
    if (m_edited || document() != m_document) {
        return;
    }
    using Outcome = PerlVerdict::Outcome;
    switch (verdict.outcome) {
        case Outcome::Clean:
            showNote(QStringLiteral("構文 OK"), 0);
            m_briefNote.start(kBriefNoteMilliseconds);
            return;
        case Outcome::Warnings:
        case Outcome::Errors: {
            mark(verdict.messages);
            const QString kind = verdict.outcome == Outcome::Errors ? QStringLiteral("構文エラー")
                                                                    : QStringLiteral("警告");
            if (verdict.messages.isEmpty()) {
                showNote(kind + QStringLiteral(": ") + verdict.firstLine, 0);
                return;
            }
            const PerlMessage& first = verdict.messages.first();
            const QString where =
                first.line > 0 ? QStringLiteral("%1 行目 ").arg(first.line) : QString();
            showNote(QStringLiteral("%1 %2 件: %3%4")
                         .arg(kind)
                         .arg(verdict.messages.size())
                         .arg(where, first.text.section(QLatin1Char('\n'), 0, 0)),
                     first.line);
            return;
        }
        case Outcome::TimedOut:
            showNote(
                QStringLiteral("perl -c が %1 秒で終わらないため、止めました。").arg(m_seconds), 0);
            return;
        case Outcome::Failed:
            showNote(QStringLiteral("perl を起動できませんでした: ") + verdict.firstLine, 0);
            return;
        case Outcome::PerlMissing:
            if (!std::exchange(m_toldPerlMissing, true)) {
                showNote(QStringLiteral("perl が見つからないため、構文は確かめていません。"), 0);
            }
            return;
        case Outcome::Root:
            if (!std::exchange(m_toldRoot, true)) {
                showNote(QStringLiteral("root で実行中のため、perl -c による確認はしません。"), 0);
            }
            return;
    }
}

void SyntaxNote::mark(const QList<PerlMessage>& messages) {
    QMap<int, QStringList> byLine;
    for (const PerlMessage& message : messages) {
        if (message.line > 0) {
            byLine[message.line].append(message.text);
        }
    }
    const long lines = m_editor->SendScintilla(Sci::SCI_GETLINECOUNT);
    m_editor->SendScintilla(Sci::SCI_SETINDICATORCURRENT, kIndicator);
    for (auto it = byLine.constBegin(); it != byLine.constEnd() && it.key() <= lines; ++it) {
        const unsigned long line = it.key() - 1;
        // The line's text from its first word; an empty line by its line break.
        long start = m_editor->SendScintilla(Sci::SCI_GETLINEINDENTPOSITION, line);
        long end = m_editor->SendScintilla(Sci::SCI_GETLINEENDPOSITION, line);
        if (end <= start) {
            start = m_editor->SendScintilla(Sci::SCI_POSITIONFROMLINE, line);
            end = m_editor->SendScintilla(Sci::SCI_POSITIONFROMLINE, line + 1);
        }
        m_tips.append(it.value().join(QLatin1Char('\n')));
        m_editor->SendScintilla(Sci::SCI_SETINDICATORVALUE,
                                static_cast<unsigned long>(m_tips.size()));
        m_editor->SendScintilla(Sci::SCI_INDICATORFILLRANGE, static_cast<unsigned long>(start),
                                end - start);
    }
}

void SyntaxNote::clearMarks() {
    m_tips.clear();
    m_editor->SendScintilla(Sci::SCI_SETINDICATORCURRENT, kIndicator);
    m_editor->SendScintilla(Sci::SCI_INDICATORCLEARRANGE, 0UL,
                            m_editor->SendScintilla(Sci::SCI_GETLENGTH));
}

void SyntaxNote::showNote(const QString& text, int line) {
    m_briefNote.stop();
    m_noteText = text;
    m_noteLine = line;
    m_note->setToolTip(text);
    m_note->setCursor(line > 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
    // Kept above whatever lies over the text area's bottom (the status bar): told when it moves.
    if (QWidget* parent = m_editor->parentWidget()) {
        for (QWidget* sibling : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            sibling->installEventFilter(this);
        }
    }
    m_note->show();
    placeNote();
}

void SyntaxNote::hideNote() {
    m_briefNote.stop();
    m_note->hide();
}

void SyntaxNote::placeNote() {
    const QRect view = m_editor->viewport()->geometry();
    int bottom = view.bottom();
    if (QWidget* parent = m_editor->parentWidget()) {
        const QRect area = m_editor->geometry();
        for (QWidget* sibling : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect over = sibling->geometry();
            if (sibling != m_editor && sibling->isVisible() && over.intersects(area) &&
                over.top() > area.center().y()) {
                bottom = std::min(bottom, over.top() - area.top() - 1);
            }
        }
    }
    const int width = std::max(0, view.width() - 2 * kMargin);
    const int padding =
        m_note->sizeHint().width() - m_note->fontMetrics().horizontalAdvance(m_note->text());
    m_note->setText(m_note->fontMetrics().elidedText(m_noteText, Qt::ElideRight, width - padding));
    const QSize size = m_note->sizeHint();
    m_note->setGeometry(view.left() + kMargin, bottom - size.height() - kMargin + 1,
                        std::min(size.width(), width), size.height());
    m_note->raise();
}

bool SyntaxNote::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::Show:
        case QEvent::Hide:
            if (watched != m_note && !m_note->isHidden()) {
                placeNote();
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void SyntaxNote::dwellStart(int position) {
    if (position < 0) {
        return;
    }
    const long value = m_editor->SendScintilla(Sci::SCI_INDICATORVALUEAT, kIndicator, position);
    if (value <= 0 || value > m_tips.size()) {
        return;
    }
    m_editor->SendScintilla(Sci::SCI_CALLTIPSHOW, static_cast<unsigned long>(position),
                            m_tips[value - 1].toUtf8().constData());
}

}  // namespace ondrel

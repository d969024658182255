#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

class QsciScintilla;

namespace ondrel::bench {

constexpr qsizetype kMiB = 1024 * 1024;

// A folder for the run's files, removed when the run ends.
QTemporaryDir& scratch();

// Japanese-heavy Perl, CR LF, about `bytes` long once encoded in code page 932. Every line
// holds "$title" once, so a 50 MB text holds about a million of them.
QString perlText(qsizetype bytes);

// A file of perlText(bytes) in code page 932, written once per run.
QString dataFile(qsizetype bytes);

QByteArray fileBytes(const QString& path);

// The plain way to read code page 932: Qt's own decoder, to UTF-16.
QString bareDecode(const QByteArray& bytes);
// The plain way to write it: Qt's own encoder, from UTF-16.
QByteArray bareEncode(const QString& text);

// The plain way to fill a text area: one SCI_SETTEXT.
void setTextOnce(QsciScintilla& editor, const QString& text);

// The longest the event loop waits between two of its turns while this lives, measured by a
// timer due at once.
class EventLoopGaps {
public:
    EventLoopGaps();
    double longestMs() const { return m_longest; }

private:
    QElapsedTimer m_gap;
    QTimer m_probe;
    double m_longest = 0;
};

}  // namespace ondrel::bench

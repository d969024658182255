#include "bench_inputs.h"

#include <Qsci/qsciscintilla.h>
#include <QFile>

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

#include "cp932_text.h"
#include "documents/cp932.h"

namespace ondrel::bench {

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

QString perlText(qsizetype bytes) {
    static const char* const kLines[] = {
        "$title = \"掲示板\";   #任意のタイトル %1\r\n",
        "print \"<p>$title ソ\\フト 芸能\\懸賞 %1</p>\\n\";\r\n",
        "# $title 日本語のコメント、ＭＳ Ｐゴシック %1\r\n",
        "$parts[%1] = \"$title 各種資料と情報源\";\r\n",
    };
    QString text;
    text.reserve(bytes);
    qsizetype encoded = 0;
    for (int n = 0; encoded < bytes; ++n) {
        const QString line = QString::fromUtf8(kLines[n % 4]).arg(n);
        text += line;
        encoded += line.size();
        for (QChar c : line) {
            encoded += c.unicode() > 0x7F ? 1 : 0;  // two bytes in code page 932
        }
    }
    return text;
}

QString dataFile(qsizetype bytes) {
    const QString path = scratch().filePath(QStringLiteral("data-%1.cgi").arg(bytes));
    if (!QFile::exists(path)) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(encodeCp932(perlText(bytes)).bytes);
    }
    return path;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QString bareDecode(const QByteArray& bytes) {
    QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QByteArray bareEncode(const QString& text) {
    QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

void setTextOnce(QsciScintilla& editor, const QString& text) {
    editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, text.toUtf8().constData());
}

EventLoopGaps::EventLoopGaps() {
    m_probe.setInterval(0);
    QObject::connect(&m_probe, &QTimer::timeout, [this] {
        m_longest = std::max(m_longest, m_gap.nsecsElapsed() / 1e6);
        m_gap.restart();
    });
    m_gap.start();
    m_probe.start();
}

}  // namespace ondrel::bench

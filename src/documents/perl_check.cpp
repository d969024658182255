#include "documents/perl_check.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>
#include <csignal>

#include "documents/cp932.h"

namespace ondrel {

namespace {

// Enough for every message perl -c has to say; a script that floods standard error from a
// BEGIN block is read on, so it never stalls on a full pipe, but not kept.
constexpr qsizetype kKeptOutput = 64 * 1024;
// A message is shown in a note and a call tip; past this it says no more.
constexpr qsizetype kShownMessage = 2000;

// Decodes perl's output. perl quotes source bytes as they are, and a quote can cut a character
// in two: such a byte shows as U+FFFD and the rest is still read.
// Decodes bytes whole; badOffset is that of the first byte that does not decode, or -1.
QString decodeWhole(QByteArrayView bytes, qsizetype& badOffset) {
    QByteArray utf8;
    Cp932Decoder decoder([&utf8](QByteArrayView part, qint64) { utf8 += part; });
    decoder.add(QByteArray(bytes.data(), bytes.size()));
    const Cp932StreamResult result = decoder.finish();
    badOffset = result.badOffset;
    return result.ok() ? QString::fromUtf8(utf8) : QString();
}

QString decodeLossy(QByteArrayView bytes) {
    QString text;
    while (!bytes.isEmpty()) {
        qsizetype bad = -1;
        const QString whole = decodeWhole(bytes, bad);
        if (bad < 0) {
            return text + whole;
        }
        qsizetype none = -1;
        text += decodeWhole(bytes.first(bad), none) + QChar::ReplacementCharacter;
        bytes = bytes.sliced(bad + 1);
    }
    return text;
}

// The number after " line " at from, or 0.
int lineNumberAt(QByteArrayView text, qsizetype from) {
    int number = 0;
    qsizetype at = from;
    for (; at < text.size() && at - from < 9 && text[at] >= '0' && text[at] <= '9'; ++at) {
        number = number * 10 + (text[at] - '0');
    }
    return at > from ? number : 0;
}

struct Place {
    bool found = false;
    int line = 0;        // 0 for another file's place
    qsizetype end = -1;  // where the place ends in the text
};

// Where a line of perl's output says a message belongs: " at NAME line N".
Place placeIn(QByteArrayView text, const QByteArray& scriptName) {
    const QByteArray ours = " at " + scriptName + " line ";
    const qsizetype at = text.indexOf(ours);
    if (at >= 0) {
        const int line = lineNumberAt(text, at + ours.size());
        if (line > 0) {
            return {true, line, at + ours.size()};
        }
    }
    // A library the script loads, named as perl found it.
    static constexpr QByteArrayView kLine(" line ");
    for (qsizetype word = text.indexOf(kLine); word >= 0; word = text.indexOf(kLine, word + 1)) {
        const qsizetype file = QByteArrayView(text.first(word)).lastIndexOf(" at ");
        if (file >= 0 && word > file + 4 && lineNumberAt(text, word + kLine.size()) > 0) {
            return {true, 0, word + kLine.size()};
        }
    }
    return {};
}

}  // namespace

QStringList perlCommandLineSwitches(QByteArrayView firstLine) {
    bool taint = false;
    bool taintWarn = false;
    bool warn = false;
    const qsizetype perl = firstLine.indexOf("perl");
    const QByteArray rest = perl < 0 ? QByteArray() : firstLine.sliced(perl + 4).toByteArray();
    for (const QByteArray& word : rest.simplified().split(' ')) {
        if (!word.startsWith('-')) {
            continue;
        }
        for (const char c : word.sliced(1)) {
            // The switches that take the rest of the word as their argument end the cluster.
            if (QByteArrayView("0CDFIMVdeilmx-").contains(c)) {
                break;
            }
            taint = taint || c == 'T';
            taintWarn = taintWarn || c == 't';
            warn = warn || c == 'w';
        }
    }
    QStringList switches;
    if (taint) {
        switches << QStringLiteral("-T");
    }
    if (taintWarn) {
        switches << QStringLiteral("-t");
    }
    if (warn) {
        switches << QStringLiteral("-w");
    }
    return switches;
}

QList<PerlMessage> parsePerlMessages(const QByteArray& output, const QByteArray& scriptName) {
    QList<PerlMessage> messages;
    // Lines that name no place belong to the message whose place follows (die "a\nb").
    QByteArray pending;
    bool quoting = false;
    int line = 0;
    for (const QByteArray& text : output.split('\n')) {
        if (quoting) {
            // A quote of source that spans lines, closed by the line ending in a quote mark.
            pending += '\n' + text;
            quoting = !text.endsWith('"');
        } else if (pending.isEmpty() && !messages.isEmpty() &&
                   (text.startsWith('\t') || text.startsWith(' '))) {
            // perl's indented hint to the message before: "(Missing semicolon on previous
            // line?)".
            messages.last().text += '\n' + decodeLossy(text);
            continue;
        } else {
            pending += pending.isEmpty() ? text : '\n' + text;
            const Place place = placeIn(text, scriptName);
            if (!place.found) {
                continue;
            }
            line = place.line;
            const qsizetype near = text.indexOf(", near \"", place.end);
            quoting = near >= 0 && (text.size() == near + 8 || !text.endsWith('"'));
        }
        if (!quoting) {
            messages.append({line, decodeLossy(QByteArrayView(pending).first(
                                       std::min(pending.size(), kShownMessage)))});
            pending.clear();
        }
    }
    return messages;
}

bool PerlCheck::runningAsRoot() {
    return ::geteuid() == 0;
}

PerlCheck::PerlCheck(Settings settings, Report report)
    : m_settings(std::move(settings)), m_report(std::move(report)) {
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        m_timedOut = true;
        killGroup();
    });
}

PerlCheck::~PerlCheck() {
    cancel();
}

bool PerlCheck::start(const QByteArray& path) {
    cancel();
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArrayLiteral(".")
                              : slash == 0 ? QByteArrayLiteral("/")
                                           : path.first(slash);
    const QByteArray name = path.mid(slash + 1);
    QByteArray firstLine;
    {
        QFile file;
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0) {
                ::close(fd);
            }
            return false;
        }
        firstLine = file.readLine(1024);
    }
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray suffix = dot < 0 ? QByteArray() : name.mid(dot + 1).toLower();
    // perl hands a script whose "#!" line names another program to that program.
    const bool perlScript = firstLine.startsWith("#!")
                                ? firstLine.contains("perl")
                                : suffix == "cgi" || suffix == "pl" || suffix == "pm";
    if (!perlScript) {
        return false;
    }
    if (m_settings.root) {
        m_report({PerlVerdict::Outcome::Root, {}, {}});
        return true;
    }
    const QString perl =
        m_settings.perl.contains(QLatin1Char('/'))
            ? (QFileInfo(m_settings.perl).isExecutable() ? m_settings.perl : QString())
            : QStandardPaths::findExecutable(m_settings.perl);
    if (perl.isEmpty()) {
        m_report({PerlVerdict::Outcome::PerlMissing, {}, {}});
        return true;
    }

    // Qt passes arguments as UTF-8: a name that is not is handed to perl as its standard
    // input, which perl calls "-"; so is a script named "-", which perl would look for there.
    const bool utf8Name = name.isValidUtf8() && name != "-";
    m_scriptName = utf8Name ? name : QByteArrayLiteral("-");
    m_errors.clear();
    m_timedOut = false;
    m_process = new QProcess;
    m_process->setProgram(perl);
    m_process->setArguments(
        perlCommandLineSwitches(firstLine) +
        QStringList{QStringLiteral("-c"), QStringLiteral("--"), QString::fromUtf8(m_scriptName)});
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setChildProcessModifier([folder, name, utf8Name] {
        // A session and process group of its own: whatever the script's BEGIN blocks start
        // goes when the group is killed.
        ::setsid();
        // In the script's folder, so `require './jcode.pl'` finds what it finds on the server.
        if (::chdir(folder.constData()) != 0) {
            ::_exit(127);
        }
        if (!utf8Name) {
            const int script = ::open(name.constData(), O_RDONLY | O_NOCTTY);
            if (script < 0 || ::dup2(script, STDIN_FILENO) < 0) {
                ::_exit(127);
            }
            ::close(script);
        }
    });
    QProcess* const process = m_process;
    QObject::connect(process, &QProcess::readyReadStandardError, process, [this, process] {
        const QByteArray bytes = process->readAllStandardError();
        m_errors += bytes.first(std::min(bytes.size(), kKeptOutput - m_errors.size()));
    });
    QObject::connect(process, &QProcess::finished, process,
                     [this](int exitCode, QProcess::ExitStatus status) {
                         finished(exitCode, status == QProcess::NormalExit);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [this](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             finished(-1, false);
                         }
                     });
    m_process->start();
    if (m_process == nullptr) {
        return true;  // it could not be started, and said so
    }
    m_pid = m_process->processId();
    m_timer.start(m_settings.timeoutMs);
    return true;
}

void PerlCheck::cancel() {
    if (m_process == nullptr) {
        return;
    }
    m_timer.stop();
    m_process->disconnect();
    killGroup();
    m_process->waitForFinished(1000);
    delete m_process;
    m_process = nullptr;
    m_pid = 0;
}

void PerlCheck::finished(int exitCode, bool normalExit) {
    m_timer.stop();
    // perl is gone; anything the script started in its group goes with it. The group's id
    // stays taken while any member lives, so the kill reaches only what perl left behind.
    killGroup();
    m_errors += m_process->readAllStandardError();
    const bool started = m_pid > 0 && m_process->error() != QProcess::FailedToStart;
    m_process->disconnect();
    m_process->deleteLater();
    m_process = nullptr;
    m_pid = 0;

    PerlVerdict verdict;
    verdict.messages = parsePerlMessages(m_errors, m_scriptName);
    const qsizetype newline = m_errors.indexOf('\n');
    verdict.firstLine = decodeLossy(QByteArrayView(m_errors).first(
        std::min(newline < 0 ? m_errors.size() : newline, kShownMessage)));
    if (!started) {
        verdict.outcome = PerlVerdict::Outcome::Failed;
    } else if (m_timedOut) {
        verdict.outcome = PerlVerdict::Outcome::TimedOut;
    } else if (normalExit && exitCode == 0) {
        verdict.outcome = verdict.messages.isEmpty() ? PerlVerdict::Outcome::Clean
                                                     : PerlVerdict::Outcome::Warnings;
    } else {
        verdict.outcome = PerlVerdict::Outcome::Errors;
    }
    m_report(verdict);
}

void PerlCheck::killGroup() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(-static_cast<pid_t>(m_pid), SIGKILL);
    // Until the child has made its group it is alone, and killed by its own id.
    if (m_process != nullptr) {
        m_process->kill();
    }
}

}  // namespace ondrel

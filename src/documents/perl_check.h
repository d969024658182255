#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QProcess;

namespace ondrel {

// One of perl's messages about the script: line is the script's line it names, or 0 when it
// names another file (a library the script loads) or none.
struct PerlMessage {
    int line = 0;
    QString text;
};

struct PerlVerdict {
    enum class Outcome {
        Clean,        // "syntax OK" and nothing else to say
        Warnings,     // "syntax OK", with warnings
        Errors,       // perl refused the script
        TimedOut,     // stopped after the time allowed
        PerlMissing,  // no perl to run
        Root,         // not run: the program runs as root
        Failed,       // perl could not be started
    };
    Outcome outcome = Outcome::Clean;
    QList<PerlMessage> messages;
    // perl's first line of output, for a refusal that names no place.
    QString firstLine;
};

// Which switches of a script's "#!" line perl demands, or honours only, on its command line:
// -T, -t and -w, in that order, each once.
QStringList perlCommandLineSwitches(QByteArrayView firstLine);

// perl's messages in its standard error (code page 932) about the script it was given as
// scriptName; a message quoting source across lines ("near") stays one message.
QList<PerlMessage> parsePerlMessages(const QByteArray& output, const QByteArray& scriptName);

// Runs `perl -c` on a script just saved, in the script's folder, as perl would be run on it
// on the server, and reports perl's verdict. It executes the script's BEGIN blocks and `use`
// statements, so it never runs for root. One check at a time: a new one stops the old. The
// perl process runs in a process group of its own, which is killed when the check ends, and
// the window never waits for it.
class PerlCheck {
public:
    struct Settings {
        QString perl = QStringLiteral("perl");  // a name looked up in PATH, or a path
        int timeoutMs = 10000;
        bool root = runningAsRoot();
    };
    using Report = std::function<void(const PerlVerdict&)>;

    PerlCheck(Settings settings, Report report);
    ~PerlCheck();
    PerlCheck(const PerlCheck&) = delete;
    PerlCheck& operator=(const PerlCheck&) = delete;

    // Checks the file at path when it is a Perl script (its first line a "#!" naming perl, or
    // no "#!" line and a .cgi, .pl or .pm name), stopping a check still running. False, and
    // nothing reported, for any other file. The verdict may be reported before it returns.
    bool start(const QByteArray& path);
    // Stops a running check; its verdict is never reported.
    void cancel();
    bool running() const { return m_process != nullptr; }

    static bool runningAsRoot();

private:
    void finished(int exitCode, bool normalExit);
    void killGroup();

    Settings m_settings;
    Report m_report;
    QProcess* m_process = nullptr;
    qint64 m_pid = 0;
    QByteArray m_scriptName;
    QByteArray m_errors;
    bool m_timedOut = false;
    QTimer m_timer;
};

}  // namespace ondrel

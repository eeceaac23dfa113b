#pragma once
// A scripted stand-in for adb that records every call; ADBRunner runs it while it lives.
#include <QStringList>
#include <QTemporaryDir>

#include "adbrunner.h"
#include "testsupport.h"

class FakeAdb
{
public:
    struct Reply
    {
        Reply(const QByteArray &out = {}, int exitCode = 0, const QByteArray &err = {},
              double seconds = 0, int killSignal = 0)
            : out(out), exitCode(exitCode), err(err), seconds(seconds), killSignal(killSignal)
        {}
        QByteArray out;
        int exitCode;
        QByteArray err;
        double seconds; // how long the call takes; its output comes at once, its end after this
        int killSignal; // ends by this signal instead of exiting
    };
    static Reply failure(const QByteArray &err, int exitCode = 1) { return {{}, exitCode, err}; }
    static Reply slow(const QByteArray &out, double seconds) { return {out, 0, {}, seconds}; }
    // The "devices -l" text that lists these serials as attached over USB.
    static QByteArray listing(const QStringList &serials);

    FakeAdb();
    ~FakeAdb() { ADBRunner::setExecutablePathForTesting(QString()); }
    FakeAdb(const FakeAdb &) = delete;
    FakeAdb &operator=(const FakeAdb &) = delete;

    // Rules added later win over earlier ones. Exactly this argument list:
    void respond(const QStringList &args, const Reply &reply) { respondInTurn(args, {reply}); }
    void respond(const QStringList &args, const QByteArray &out) { respond(args, Reply{out}); }
    // The n-th matching call gets the n-th reply; the last one repeats.
    void respondInTurn(const QStringList &args, const QList<Reply> &replies);
    // Every call whose arguments, joined by spaces, match this sh pattern ("*' push '*").
    void respondMatching(const QString &pattern, const Reply &reply)
    {
        addRule("case \"$*\" in " + pattern + ") true ;; *) false ;; esac", {reply});
    }
    // Calls no rule matches (initially: no output, exit 0).
    void respondByDefault(const Reply &reply) { addRule(QString(), {reply}); }

    // Every call first waits this long (0: none), as adb does behind a slow hub.
    void setLatency(double seconds);

    // Answers as these attached phones would (Wi-Fi address 192.168.1.50).
    void answerAsPhones(const QStringList &serials);

    QList<QStringList> calls() const;
    // Calls that have every one of the words among their arguments.
    QList<QStringList> callsWith(const QStringList &words) const;
    void clearCalls() { QFile::remove(m_dir.filePath("calls.log")); }

private:
    void addRule(const QString &condition, const QList<Reply> &replies); // empty: the default

    QTemporaryDir m_dir;
    QStringList m_rules; // "<sh test>; then r=<its reply files>", newest first
    QString m_defaultId;
    int m_nextId = 0;
};

#pragma once
// A scripted stand-in for adb: records every call and answers with the output, exit code and
// delay the test arranged for that exact argument list. Points ADBRunner at itself while it lives.
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

class FakeAdb
{
public:
    struct Reply
    {
        QByteArray out;
        int exitCode = 0;
        QByteArray err;
        double sleepSeconds = 0;
        int killSignal = 0; // the script kills itself with this signal
    };

    FakeAdb();
    ~FakeAdb();
    FakeAdb(const FakeAdb &) = delete;
    FakeAdb &operator=(const FakeAdb &) = delete;

    void respond(const QStringList &args, const Reply &reply);
    void respond(const QStringList &args, const QByteArray &out)
    {
        respond(args, Reply{out, 0, {}, 0, 0});
    }
    // Reply to every argument list without a reply of its own (initially: empty, exit 0).
    void respondByDefault(const Reply &reply) { writeRule("default", reply); }

    QList<QStringList> calls() const;
    void clearCalls();

private:
    void writeRule(const QString &name, const Reply &reply);

    QTemporaryDir m_dir;
};

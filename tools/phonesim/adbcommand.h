#pragma once
// One adb invocation: global options, then a host command (devices, connect, ...) or a
// command for one phone (shell, push, reverse, forward, tcpip, ...). Output, error
// texts and exit codes follow adb's own; see README.md for the list.
#include "fleetactions.h"
#include "simserver.h"

#include <QByteArray>
#include <QStringList>
#include <optional>

struct CommandResult
{
    QByteArray out;
    QByteArray err;
    int exitCode = 0;
};

class AdbCommand
{
public:
    AdbCommand(const QString &home, const QStringList &args, ProcessEntry &self);

    CommandResult run();
    // Set when the call started the phone-side server; the caller then runs it.
    const std::optional<ServerLaunch> &serverLaunch() const { return m_serverLaunch; }

private:
    struct Target
    {
        QString serial;      // -s
        int transportId = 0; // -t
    };

    bool parseGlobalOptions(CommandResult &result);
    CommandResult startServer();
    CommandResult killServer();
    CommandResult devices(const QStringList &args);
    // Runs until the adb server goes away or the reader does, writing a block in adb's
    // host format (4 hex digits of length, then "serial\tstate" lines) on every change.
    CommandResult trackDevices(const QStringList &args);
    CommandResult connectTcp(const QStringList &args);
    CommandResult pair(const QStringList &args);
    CommandResult disconnectTcp(const QStringList &args);
    CommandResult runOnPhone(const QString &command, const QStringList &args);
    CommandResult forward(const QStringList &args);

    // Run under the fleet lock with the phone resolved.
    CommandResult shell(Fleet &fleet, const Transport &transport, const QStringList &args);
    CommandResult launchServer(Fleet &fleet, const Transport &transport, const QStringList &words,
                               const QStringList &assignments);
    CommandResult push(Fleet &fleet, const Transport &transport, const QStringList &args);
    CommandResult reverse(Fleet &fleet, const Transport &transport, const QStringList &args);
    CommandResult restartAdbd(Fleet &fleet, const Transport &transport, const QStringList &args,
                              bool toTcp);
    CommandResult reboot(Fleet &fleet, const Transport &transport);
    CommandResult emu(Fleet &fleet, const Transport &transport, const QStringList &args);

    std::optional<Transport> resolve(const Fleet &fleet, CommandResult &result) const;
    void ensureServer(Fleet &fleet, CommandResult &result, bool &changed) const;

    QString m_home;
    QStringList m_args;
    ProcessEntry &m_self;
    Target m_target;
    QStringList m_command; // the arguments after the global options
    Teardown m_teardown;
    QVector<ProcessEntry> m_killed;
    std::optional<ServerLaunch> m_serverLaunch;
};

// adb's devices -l line for one entry.
QByteArray deviceLine(const Phone &phone, const Transport &transport, bool longFormat);

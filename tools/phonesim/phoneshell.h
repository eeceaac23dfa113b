#pragma once
// The phone's shell for "adb shell": the arguments arrive joined with single spaces and
// are interpreted like the phone's sh would, with the handful of commands the computer
// (and a person at a terminal) uses. Unknown commands answer like sh does, exit code 127.
#include "fleetactions.h"

#include <QByteArray>
#include <QStringList>
#include <optional>

class Fleet;
struct ShellCommand;

struct ShellContext
{
    QString home;
    Fleet *fleet = nullptr; // held under the fleet lock while the shell runs
    int phoneIndex = -1;
    QString transport;
};

struct ShellOutcome
{
    QByteArray out;
    QByteArray err;
    int exitCode = 0;
    bool fleetChanged = false;
    Teardown teardown;            // sessions that end because the phone went away
    QVector<ProcessEntry> killed; // servers pkill ended on the phone
    // An app_process command line: the caller turns this process into the server.
    std::optional<QStringList> appProcess;
    QStringList appProcessAssignments;
};

class PhoneShell
{
public:
    explicit PhoneShell(const ShellContext &context);
    ShellOutcome run(const QString &commandLine);

private:
    struct Result
    {
        QByteArray out;
        QByteArray err;
        int exitCode = 0;
    };

    Result runCommand(const ShellCommand &command, const QByteArray &input, ShellOutcome &outcome);
    Result getprop(const QStringList &args) const;
    Result wm(const QStringList &args) const;
    Result ip(const QStringList &args) const;
    Result ifconfig(const QStringList &args) const;
    Result pm(const QStringList &args) const;
    Result am(const QStringList &args) const;
    Result dumpsys(const QStringList &args) const;
    Result pkill(const QStringList &args, ShellOutcome &outcome) const;
    Result reboot(const QStringList &args, ShellOutcome &outcome) const;
    Result ps() const;
    static Result grep(const QStringList &args, const QByteArray &input);

    ShellContext m_context;
};

// Output lines of "ip addr show" / "ifconfig" for a Wi-Fi or Ethernet interface.
QByteArray ipAddrText(const QString &device, int index, const QString &address);

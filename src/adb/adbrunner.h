#pragma once
#include "adbdeviceinfo.h"
#include "adbserver.h"
#include "deviceinfo.h"

#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

class QThreadPool;

// Synchronous operations around the adb executable. Each call runs its own
// process on the calling thread, so calls may run on any number of threads at
// once. Failures come back as texts beginning with "[error]" or as false; only
// getDevices() throws.
class ADBRunner
{
public:
    ADBRunner() = delete;

    // Threads for adb work that must not hold up the GUI thread, apart from Qt's global pool
    // (kept for work that needs a core, like screenshot encoding): adb calls mostly wait on
    // a process, so more of them run at once than there are cores.
    // The work pool: calls for the whole server (listings, connects, the restart, pairing).
    static QThreadPool *workPool();
    // The phone pool: calls for one phone outside its session (property refreshes, installs,
    // uploads, typed commands, port forwards). It has no thread limit: a call holds its thread
    // at most until its time-out, so a phone whose adb hangs never keeps another phone's
    // call, or the server's, waiting.
    static QThreadPool *phonePool();

    static QString adbExecutablePath();
    static QString scrcpyServerFilePath();

    struct Outcome
    {
        bool succeeded = false; // adb started, finished in time and exited with 0
        QString output;         // as runCommand returns it
    };
    // Success is adb's exit code, never words in the output: a serial, a file name or a
    // model may contain "error". adb passes on the phone's exit code for "shell" (shell
    // protocol, adb 1.0.32 and Android 7 on) and exits non-zero when push, install,
    // reverse, forward, tcpip, usb, disconnect or reboot fail.
    static Outcome run(const QStringList &args);
    // The same with its own bound on the whole call, start included.
    static Outcome run(const QStringList &args, int timeoutMs);
    // adb's trimmed standard output, or one of the "[error]" texts.
    static QString runCommand(const QStringList &args);
    // For callers that kept only the text: whether it is not one of the "[error]" texts.
    static bool isSuccess(const QString &output);

    static bool startServer();
    static bool killServer();
    // Gives up (and ends adb) after timeoutMs.
    static bool killServer(int timeoutMs);
    static bool restartServer();

    static bool reboot(const QString &serial);
    static bool shutdown(const QString &serial);
    // `failure`, when given, receives adb's (or the package manager's) words when they fail.
    static bool push(const QString &serial, const QString &localPath, const QString &remotePath,
                     QString *failure = nullptr);
    static bool install(const QString &serial, const QString &apkPath, QString *failure = nullptr);
    static bool reverse(const QString &serial, const QString &socketName, quint16 port);
    static bool removeReverse(const QString &serial, const QString &socketName);
    static bool forward(const QString &serial, quint16 localPort, quint16 remotePort);
    // A forward from a free port on the phone's adb server to the phone's abstract socket;
    // the port, or 0 when adb refused.
    static quint16 forwardToSocket(const QString &serial, const QString &socketName);
    // The same to a TCP port on the phone.
    static quint16 forwardToPort(const QString &serial, quint16 remotePort);
    // timeoutMs 0: the usual time-out.
    static bool removeForward(const QString &serial, quint16 localPort, int timeoutMs = 0);
    static bool pushWallpaper(const QString &serial, const QString &imagePath);

    // Throws std::runtime_error whose what() is the "[error]" text when adb failed; what
    // the phones call themselves never makes the listing fail.
    static QList<ADBDeviceInfo> getDevices();
    // The listing of one adb server, its phones named as AdbServers::qualified() says.
    static QList<ADBDeviceInfo> getDevices(const AdbServer &server);
    static QList<ADBDeviceInfo> parseDevices(const QString &text);
    // The listing with one entry per physical phone: entries of the same hardware serial
    // merge into the first USB one (else the first), which lists every connection.
    // Every configured server's phones; a failed local listing throws, a server on another
    // computer that cannot be reached just offers none.
    static QList<ADBDeviceInfo> getPhones();
    static QList<ADBDeviceInfo> getPhones(const AdbServer &server);
    static QList<ADBDeviceInfo> mergeSamePhones(const QList<ADBDeviceInfo> &listed);
    static DeviceInfo getDeviceInfo(const QString &serial);
    static QString getDeviceIp(const QString &serial);

    // The readers of phone output behind getDeviceInfo and getDeviceIp; they never fail.
    // "wm size" output to a size (0 for a missing number).
    static QSize parseScreenSize(QString output);
    // "getprop" without arguments: every "[key]: [value]" line, values trimmed.
    static QHash<QString, QString> parsePropertyListing(const QString &output);
    // The first IPv4 address of "ip addr show" output, or of "ifconfig" output (which may
    // write "inet addr:"); empty when there is none.
    static QString parseIpAddrAddress(const QString &output);
    static QString parseIfconfigAddress(const QString &output);
    // A property value that is an IPv4 address as a whole (after trimming), or empty.
    static QString parsePropertyAddress(const QString &output);

    static bool tcpip(const QString &serial, quint16 port);
    static bool connect(const QString &serial, const QString &ip, quint16 port);
    static bool disconnect(const QString &serial);
    static bool usb(const QString &serial);

    // Quotes a text as one word for a POSIX shell.
    static QString shellQuote(const QString &text);

    // Test seams: another executable and shorter finish time-outs for this process.
    // An empty path or 0 restores the normal value.
    static void setExecutablePathForTesting(const QString &path);
    static void setFinishTimeoutsForTesting(int commandMs, int transferMs);
};

#pragma once
// Drives the virtual phone fleet from the outside, as adb's caller and as the computer
// end of a mirroring session. Bytes are parsed here, so the simulator is checked against
// the wire format and not against its own code.
#include "version.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

struct AVCodecContext;
struct AVPacket;
struct AVFrame;

namespace Sim {

struct Run
{
    int exitCode = -1;
    QByteArray out, err;
};

// Exit code 1 with the text on standard error, as adb reports a failure.
inline bool failsWith(const Run &run, const QByteArray &text)
{
    return run.exitCode == 1 && run.err.contains(text);
}

// Exit code 0 with the text on standard output.
inline bool prints(const Run &run, const QByteArray &text)
{
    return run.exitCode == 0 && run.out.contains(text);
}

// One entry of "devices -l": serial, state and the key:value tokens.
struct ListedDevice
{
    QString serial, state;
    QMap<QString, QString> tokens;
};

class TestFleet
{
public:
    explicit TestFleet(int phones, const QStringList &initOptions = {});
    ~TestFleet();

    bool isValid() const { return m_valid; }
    QString home() const { return m_dir.path(); }
    QStringList serials() const;
    QString serial(int i = 0) const { return serials().value(i); }

    Run adb(const QStringList &args) const;
    Run on(const QString &serial, const QStringList &args) const
    {
        return adb(QStringList{"-s", serial} + args);
    }
    Run shell(const QString &serial, const QString &line) const
    {
        return on(serial, {"shell", line});
    }
    // plug / unplug a phone; the exit code.
    int tool(const QString &verb, const QString &serial) const;
    QProcess *startAdb(const QStringList &args); // killed with the fleet

    QList<ListedDevice> devices() const;
    std::optional<ListedDevice> entry(const QString &serial) const;
    QJsonObject status() const;
    QJsonObject phone(const QString &serial) const;
    void editPhone(const QString &serial, const std::function<void(QJsonObject &)> &edit) const;
    void setFault(const QString &serial, const QString &key, const QJsonValue &value) const;
    void editFleet(const std::function<void(QJsonObject &)> &edit) const;
    void setTop(const QString &key, const QJsonValue &value) const
    {
        editFleet([&](QJsonObject &root) { root[key] = value; });
    }

    QList<QJsonObject> adbLog() const;
    QList<QJsonObject> jsonLines(const QString &serial, const QString &file) const;
    QString phoneFile(const QString &serial, const QString &phonePath) const;

private:
    QJsonObject fleetJson() const;

    QTemporaryDir m_dir;
    QString m_phonesim;
    bool m_valid = false;
    QList<QProcess *> m_processes;
};

// The keys of `expected` whose values `actual` lacks or differs in, with both values.
QString differences(const QJsonObject &actual, const QJsonObject &expected);

quint32 be32(const QByteArray &bytes, int offset);
quint64 be64(const QByteArray &bytes, int offset);
QByteArray be32Bytes(quint32 value);
QByteArray be64Bytes(quint64 value);

// Writes and waits until the bytes left (tests block instead of running an event loop).
void send(QTcpSocket *socket, const QByteArray &bytes);
// Exactly n bytes, or fewer when the peer closed or time ran out.
QByteArray readExactly(QTcpSocket *socket, int n, int timeoutMs = 15000);
// True once the peer closed within timeoutMs (data before it is drained).
bool waitForClose(QTcpSocket *socket, int timeoutMs = 15000);

struct MediaPacket
{
    quint64 ptsAndFlags = 0;
    QByteArray payload;
    bool valid = false;

    bool isConfig() const { return ptsAndFlags >> 63; }
    bool isKeyFrame() const { return (ptsAndFlags >> 62) & 1; }
    qint64 pts() const { return qint64(ptsAndFlags & ((quint64(1) << 62) - 1)); }
};
MediaPacket readPacket(QTcpSocket *socket, int timeoutMs = 15000);
// Skips packets up to the next config packet (invalid when none among the next 60).
MediaPacket nextConfigPacket(QTcpSocket *socket);

// H.264 NAL unit types found in an Annex B payload, in order.
QList<int> nalTypes(const QByteArray &annexB);

// Decodes H.264 packets with libavcodec.
class H264Probe
{
public:
    H264Probe();
    ~H264Probe();
    // The size of a picture this packet completed, invalid when none.
    QSize feed(const QByteArray &payload);

private:
    AVCodecContext *m_context = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_frame = nullptr;
};

// Control messages built by hand from their byte layout.
QByteArray keycodeMessage(int action, int keycode, int repeat = 0, int metaState = 0);
QByteArray keyPress(int keycode); // down and up
QByteArray touchMessage(int action, quint64 pointerId, int x, int y, int width, int height,
                        quint16 pressure, int actionButton = 0, int buttons = 0);
QByteArray clipboardMessage(quint64 sequence, bool paste, const QByteArray &utf8);

// The computer's end of one mirroring session: listen, tunnel, start the server with the
// exact app_process command line, accept the connections in order.
class Session
{
public:
    struct Options
    {
        QString serial;
        quint32 scid = 0x1a;
        bool audio = false;
        int maxSize = 160;
        QString version = QStringLiteral(PARVIX_SERVER_VERSION);
        QStringList extra;  // more key=value arguments
        bool push = true;   // push the server file first
        bool tunnel = true; // set the reverse tunnel first
    };

    Session(TestFleet &fleet, const Options &options);
    ~Session();

    // Pushes, tunnels and launches; false when a step failed.
    bool launch();
    bool acceptAll(int timeoutMs = 20000);
    bool waitForExit(int timeoutMs = 15000);
    int exitCode() const { return process->exitCode(); }

    // The 76-byte video header: name field, codec id, size (invalid when short).
    struct VideoHeader
    {
        QByteArray name, codec;
        QSize size;
    };
    VideoHeader readVideoHeader();

    QTcpServer listener;
    QProcess *process = nullptr; // owned by the fleet
    QTcpSocket *video = nullptr, *audio = nullptr, *control = nullptr;

private:
    TestFleet &m_fleet;
    Options m_options;
};

// A launched session with every connection accepted, or null. The first phone by default.
std::unique_ptr<Session> openSession(TestFleet &fleet, Session::Options options = {});

} // namespace Sim

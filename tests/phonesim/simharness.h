#pragma once
// Drives the virtual phone fleet from the outside, as adb's caller and as the computer
// end of a mirroring session. Everything here parses bytes itself: the point is to check
// the simulator against the wire format, not against its own code.
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace Sim {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// One entry of "devices -l", split by the test's own reading of adb's format.
struct ListedDevice
{
    QString serial;
    QString state;
    QMap<QString, QString> tokens; // usb, product, model, device, transport_id
};

class TestFleet
{
public:
    explicit TestFleet(int phones, const QStringList &initOptions = {});
    ~TestFleet();

    bool isValid() const { return m_valid; }
    QString home() const { return m_dir.path(); }
    QString phonesim() const { return m_phonesim; }
    QStringList serials() const;

    Run adb(const QStringList &args, int timeoutMs = 30000) const;
    Run tool(const QStringList &args) const { return adb(args); } // init / plug / unplug / status
    QProcess *startAdb(const QStringList &args); // owned by the fleet, killed at the end

    QList<ListedDevice> devices() const;
    QJsonObject status() const;
    QJsonObject fleetJson() const;
    void setFleetJson(const QJsonObject &json) const;
    void editPhone(const QString &serial, const std::function<void(QJsonObject &)> &edit) const;
    QJsonObject phone(const QString &serial) const;
    void setFault(const QString &serial, const QString &key, const QJsonValue &value) const;
    void setTop(const QString &key, const QJsonValue &value) const;

    QList<QJsonObject> adbLog() const;
    QList<QJsonObject> jsonLines(const QString &serial, const QString &file) const;
    QString phoneFile(const QString &serial, const QString &phonePath) const;

private:
    QTemporaryDir m_dir;
    QString m_phonesim;
    bool m_valid = false;
    QList<QProcess *> m_processes;
};

// Exit code 1 with the text on standard error, as adb reports a failure.
inline bool failsWith(const Run &run, const QByteArray &text)
{
    return run.exitCode == 1 && run.err.contains(text);
}

// The keys of `expected` whose values `actual` lacks or differs in, with both values.
QString differences(const QJsonObject &actual, const QJsonObject &expected);

// Big-endian fields.
quint32 be32(const QByteArray &bytes, int offset);
quint64 be64(const QByteArray &bytes, int offset);
QByteArray be32Bytes(quint32 value);
QByteArray be64Bytes(quint64 value);

// Writes and waits until the bytes left this process (tests block instead of running
// an event loop, so nothing else would send them).
void send(QTcpSocket *socket, const QByteArray &bytes);
// Reads exactly n bytes, waiting up to timeoutMs; fewer when the peer closed or time ran out.
QByteArray readExactly(QTcpSocket *socket, int n, int timeoutMs = 15000);
// True once the peer closed the connection within timeoutMs (data before it is drained).
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

// H.264 NAL unit types found in an Annex B payload, in order.
QList<int> nalTypes(const QByteArray &annexB);

// Decodes H.264 packets with libavcodec and reports the size of the last picture.
class H264Probe
{
public:
    H264Probe();
    ~H264Probe();
    // Feeds one packet; returns the size of a picture it produced, invalid when none yet.
    QSize feed(const QByteArray &payload);
    // The Cr sample of the last picture at a pixel, -1 when there is none.
    int redChroma(const QPoint &at) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Control messages built by hand from their byte layout.
QByteArray keycodeMessage(int action, int keycode, int repeat = 0, int metaState = 0);
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
        bool video = true;
        bool audio = false;
        bool control = true;
        int maxSize = 160;
        int maxFps = 10;
        int bitRate = 500000;
        QString version = QStringLiteral("3.3.1");
        QStringList extra;  // more key=value arguments
        bool push = true;   // push the server file first
        bool tunnel = true; // set the reverse tunnel first
    };

    Session(TestFleet &fleet, const Options &options);
    ~Session();

    static QStringList serverArguments(const Options &options);

    // Pushes, tunnels and launches; false when a step failed.
    bool launch();
    // Accepts the requested connections in order.
    bool acceptAll(int timeoutMs = 20000);
    QTcpSocket *video() const { return m_video; }
    QTcpSocket *audio() const { return m_audio; }
    QTcpSocket *control() const { return m_control; }
    QProcess *process() const { return m_process; }
    QTcpServer *listener() const { return m_listener; }
    bool waitForExit(int timeoutMs = 15000);

    // Reads the 76-byte video header: name field, codec id, size; invalid size when short.
    struct VideoHeader
    {
        QByteArray name, codec;
        QSize size;
    };
    VideoHeader readVideoHeader();

private:
    TestFleet &m_fleet;
    Options m_options;
    QTcpServer *m_listener = nullptr;
    QProcess *m_process = nullptr;
    QTcpSocket *m_video = nullptr;
    QTcpSocket *m_audio = nullptr;
    QTcpSocket *m_control = nullptr;
};

} // namespace Sim

#pragma once
// Stand-ins for the outside world of a device group: a scripted adb, a phone end of
// one mirroring session over loopback, and decoded-frame sizes without a decoder.
#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class Device;
class QTcpSocket;

namespace GroupTest {

// The local server file every session pushes. The adb bridge reads its location once
// per process, so this runs before the first session of the executable.
void ensureServerFile();

// A shell script in place of adb. "devices -l" lists the serials given, "shell echo
// WORDS" answers "SERIAL:WORDS", app_process runs until killed, everything else says
// nothing. Every call is logged, one line each.
class ScriptedAdb
{
public:
    ScriptedAdb();
    ~ScriptedAdb();
    ScriptedAdb(const ScriptedAdb &) = delete;
    ScriptedAdb &operator=(const ScriptedAdb &) = delete;

    bool isValid() const { return m_valid; }
    QString path() const;

    void setAttached(const QStringList &serials);
    // The listing fails with this text on standard error (empty: it succeeds again).
    void setListingFailure(const QString &stderrText);
    // The n-th listing (from 1) waits this long before it answers and names itself
    // with an extra phone "LISTING<n>".
    void setListingDelay(int n, double seconds);
    void setNumberedListings(bool on);

    QStringList calls() const;
    int listingCount() const;

private:
    void write(const QString &name, const QByteArray &content);
    void remove(const QString &name);

    QTemporaryDir m_dir;
    bool m_valid = false;
};

// One decoded-frame size, delivered the way the decoder delivers it.
void setFrameSize(Device *device, const QSize &size);

// The phone's side of a running session: the video and control connections, opened
// in the order the phone-side server opens them.
class LoopbackPhone
{
public:
    explicit LoopbackPhone(Device *device);
    ~LoopbackPhone();
    bool connect();
    // Touch messages read so far: x, y, width, height (of the position rectangle).
    struct Touch
    {
        int action = -1;
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        quint64 pointerId = 0;
        quint16 pressure = 0;
    };
    // Waits until n messages arrived (or the time ran out) and returns them raw.
    QList<QByteArray> takeMessages(int n, int timeoutMs = 3000);
    static Touch parseTouch(const QByteArray &message);

private:
    Device *m_device;
    std::unique_ptr<QTcpSocket> m_video;
    std::unique_ptr<QTcpSocket> m_control;
    QByteArray m_buffer;
};

} // namespace GroupTest

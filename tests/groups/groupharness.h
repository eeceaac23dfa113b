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
class DeviceGroup;
class QTcpSocket;

namespace GroupTest {

// A shell script in place of adb while it lives. "devices -l" lists the serials in the file
// "attached"; it first sleeps as long as "delay_<n>" says for the n-th listing, fails with
// the text of "failure", and with "numbered" present names an extra phone "LISTING<n>".
// "shell echo WORDS" answers "SERIAL:WORDS", app_process runs until killed.
class ScriptedAdb
{
public:
    ScriptedAdb();
    ~ScriptedAdb();
    bool isValid() const { return m_valid; }
    // Writes one of the files above; empty content removes it.
    void set(const QString &name, const QByteArray &content);
    void setAttached(const QStringList &serials) { set("attached", serials.join(' ').toUtf8()); }
    int listingCount() const;

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

// A member added at once, the way the timed insertion finally does it.
Device *addMember(DeviceGroup *group, const QString &serial);

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
    // Position rectangle of each of the next n touch messages (fewer on time-out).
    QList<QRect> takeTouches(int n);

private:
    Device *m_device;
    std::unique_ptr<QTcpSocket> m_video;
    std::unique_ptr<QTcpSocket> m_control;
    QByteArray m_buffer;
};

} // namespace GroupTest

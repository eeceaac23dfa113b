// Group membership and group control through real sessions of two devices.
#include "devicegroup.h"
#include "controller.h"
#include "controlmsg.h"
#include "device.h"
#include "fakephoneadb.h"
#include "serverparams.h"
#include "testregistry.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

#include <memory>

extern "C" {
#include <libavutil/frame.h>
}

namespace {
// The phone end of one device's session: its video and control connections.
struct PhoneEnd
{
    std::unique_ptr<QTcpSocket> video;
    std::unique_ptr<QTcpSocket> control;
};

std::unique_ptr<QTcpSocket> connectTo(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket->waitForConnected(3000) ? std::move(socket) : nullptr;
}

void decodeFrameOfSize(Device *device, int width, int height)
{
    AVFrame *frame = av_frame_alloc();
    frame->width = width;
    frame->height = height;
    frame->format = AV_PIX_FMT_YUV420P;
    av_frame_get_buffer(frame, 32);
    device->handleDecodedVideoFrame(frame);
    av_frame_free(&frame);
}

struct TouchOnWire
{
    qint32 x = -1, y = -1;
    quint16 width = 0, height = 0;
};

// Reads one 32-byte inject-touch message from the phone end.
TouchOnWire readTouch(QTcpSocket *socket)
{
    QByteArray bytes;
    QElapsedTimer clock;
    clock.start();
    while (bytes.size() < 32 && clock.elapsed() < 3000) {
        if (socket->bytesAvailable() == 0)
            socket->waitForReadyRead(100);
        bytes += socket->read(32 - bytes.size());
    }
    TouchOnWire touch;
    if (bytes.size() < 32 || bytes.at(0) != char(ControlMsg::InjectTouchEvent))
        return touch;
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    touch.x = qFromBigEndian<qint32>(data + 10);
    touch.y = qFromBigEndian<qint32>(data + 14);
    touch.width = qFromBigEndian<quint16>(data + 18);
    touch.height = qFromBigEndian<quint16>(data + 20);
    return touch;
}
} // namespace

class DeviceGroupTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePhoneAdb> m_adb;
    std::unique_ptr<DeviceGroup> m_group;

    Device *addDevice(const QString &serial)
    {
        auto *device = new Device(nullptr, m_group.get(), serial);
        m_group->addDevice(device);
        return device;
    }

    PhoneEnd startSession(Device *device)
    {
        PhoneEnd phone;
        device->startScrcpySession();
        const quint16 port = device->currentServerParams()->port();
        phone.video = connectTo(port);
        if (!QTest::qWaitFor([&] { return device->videoDemuxer() != nullptr; }))
            return {};
        phone.control = connectTo(port);
        if (!QTest::qWaitFor([&] { return device->controller() != nullptr; }))
            return {};
        return phone;
    }

private slots:
    void init()
    {
        m_adb = std::make_unique<FakePhoneAdb>();
        QVERIFY(m_adb->isValid());
        m_adb->setAttachedSerials({"A", "B", "C"});
        m_group = std::make_unique<DeviceGroup>();
    }

    void cleanup()
    {
        m_group.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_adb.reset();
    }

    void rowsFollowMembership()
    {
        QSignalSpy count(m_group.get(), &DeviceGroup::deviceCountChanged);
        Device *a = addDevice("A");
        Device *b = addDevice("B");
        QPointer<Device> c = addDevice("C");
        QCOMPARE(m_group->rowCount(), 3);
        QCOMPARE(m_group->data(m_group->index(1), DeviceGroup::DeviceRole).value<Device *>(), b);
        QVERIFY(!m_group->data(m_group->index(1), Qt::DisplayRole).isValid());
        QCOMPARE(m_group->roleNames().value(DeviceGroup::DeviceRole), QByteArray("device"));
        QCOMPARE(c->deviceGroup(), m_group.get());

        QSignalSpy indexOfC(c.data(), &Device::indexInGroupChanged);
        m_group->removeDevice(b);
        QCOMPARE(m_group->rowCount(), 2);
        QCOMPARE(c->indexInGroup(), 1);
        QCOMPARE(indexOfC.count(), 1);
        QCOMPARE(count.count(), 4);
        m_group->removeDevice(b); // no longer a member
        QCOMPARE(count.count(), 4);
        QTRY_VERIFY(!m_group->devices().contains(b));
        QCOMPARE(a->indexInGroup(), 0);
    }

    void groupControlReplaysRescaledTouches()
    {
        Device *host = addDevice("A");
        Device *target = addDevice("B");
        Device *unstarted = addDevice("C");
        PhoneEnd hostPhone = startSession(host);
        PhoneEnd targetPhone = startSession(target);
        QVERIFY(hostPhone.control && targetPhone.control);
        decodeFrameOfSize(host, 1080, 2400);
        decodeFrameOfSize(target, 720, 1600);

        m_group->startGroupControl();
        QCOMPARE(m_group->hostDevice(), host);
        QVERIFY(host->isHostDevice());
        QVERIFY(!unstarted->controller()); // skipped without a controller

        ControlMsg touch(ControlMsg::InjectTouchEvent);
        touch.setInjectTouchEvent(ControlMsg::kGenericFingerPointerId, 0, 0, 0,
                                  QRect(540, 1200, 1080, 2400), 1.0f);
        host->controller()->send(touch);
        TouchOnWire own = readTouch(hostPhone.control.get());
        QCOMPARE(own.x, 540);
        TouchOnWire replayed = readTouch(targetPhone.control.get());
        QCOMPARE(replayed.x, 360);
        QCOMPARE(replayed.y, 800);
        QCOMPARE(replayed.width, quint16(720));
        QCOMPARE(replayed.height, quint16(1600));

        // Two thirds of a pixel rounds up rather than vanishing.
        touch.setInjectTouchEvent(1, 2, 0, 0, QRect(1, 1, 1080, 2400), 1.0f);
        host->controller()->send(touch);
        readTouch(hostPhone.control.get());
        replayed = readTouch(targetPhone.control.get());
        QCOMPARE(replayed.x, 1);
        QCOMPARE(replayed.y, 1);

        // A non-host's own messages are not replayed.
        target->controller()->send(touch);
        readTouch(targetPhone.control.get());
        QTest::qWait(100);
        QCOMPARE(hostPhone.control->bytesAvailable(), 0);

        // Removing the host ends group control.
        QSignalSpy mode(m_group.get(), &DeviceGroup::groupControlModeChanged);
        m_group->removeDevice(host);
        QVERIFY(!m_group->groupControlMode());
        QCOMPARE(mode.count(), 1);
    }

    void touchesReachUnsizedTargetsUnchanged()
    {
        Device *host = addDevice("A");
        Device *target = addDevice("B");
        PhoneEnd hostPhone = startSession(host);
        PhoneEnd targetPhone = startSession(target);
        QVERIFY(hostPhone.control && targetPhone.control);
        decodeFrameOfSize(host, 1080, 2400); // the target has no frame yet
        m_group->startGroupControl();
        ControlMsg touch(ControlMsg::InjectTouchEvent);
        touch.setInjectTouchEvent(0, 0, 0, 0, QRect(540, 1200, 1080, 2400), 1.0f);
        host->controller()->send(touch);
        const TouchOnWire replayed = readTouch(targetPhone.control.get());
        QCOMPARE(replayed.x, 540);
        QCOMPARE(replayed.width, quint16(1080));

        m_group->stopGroupControl();
        QVERIFY(!host->isHostDevice());
        host->controller()->send(touch);
        QTest::qWait(100);
        QCOMPARE(targetPhone.control->bytesAvailable(), 0);
    }
};

PARVIX_TEST(DeviceGroupTest)
#include "devicegrouptest.moc"

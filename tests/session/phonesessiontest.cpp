// Whole sessions against the virtual phone fleet: real adb-like processes, the
// phone-side server's connections, streams and control channel.
#include "adbrunner.h"
#include "audiodecoder.h"
#include "audiodemuxer.h"
#include "controller.h"
#include "device.h"
#include "devicegroup.h"
#include "fakephoneadb.h"
#include "scrcpyserver.h"
#include "serverparams.h"
#include "testregistry.h"
#include "testsupport.h"
#include "videodemuxer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString kFirst = QStringLiteral("PXSIM0001");
const QString kSecond = QStringLiteral("PXSIM0002");

struct AdbCall
{
    QStringList args;
    qint64 startMs = 0;
};

bool containsAll(const QStringList &args, const QStringList &words)
{
    for (const QString &word : words) {
        if (!args.contains(word))
            return false;
    }
    return true;
}
} // namespace

class PhoneSessionTest : public QObject
{
    Q_OBJECT

private:
    QString m_phonesim;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<DeviceGroup> m_group;

    QByteArray phonesim(const QStringList &args)
    {
        QProcess process;
        process.start(m_phonesim, args);
        process.waitForFinished(30000);
        return process.readAllStandardOutput();
    }

    void editPhone(const QString &serial, const std::function<void(QJsonObject &)> &edit)
    {
        QFile file(m_home->filePath("fleet.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonObject fleet = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        QJsonArray phones = fleet.value("phones").toArray();
        for (int i = 0; i < phones.size(); ++i) {
            QJsonObject phone = phones.at(i).toObject();
            if (phone.value("serial").toString() == serial) {
                edit(phone);
                phones[i] = phone;
            }
        }
        fleet.insert("phones", phones);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(fleet).toJson());
    }

    void setFault(const QString &serial, const QString &fault, const QJsonValue &value)
    {
        editPhone(serial, [&](QJsonObject &phone) {
            QJsonObject faults = phone.value("faults").toObject();
            faults.insert(fault, value);
            phone.insert("faults", faults);
        });
    }

    // Finished adb calls, from the fleet's log.
    QList<AdbCall> adbCalls(const QStringList &words = {}) const
    {
        QList<AdbCall> calls;
        QFile log(m_home->filePath("adb.log"));
        if (!log.open(QIODevice::ReadOnly))
            return calls;
        for (const QByteArray &line : log.readAll().split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (entry.isEmpty())
                continue;
            AdbCall call;
            for (const QJsonValue &arg : entry.value("args").toArray())
                call.args << arg.toString();
            call.startMs = qint64(entry.value("startMs").toDouble());
            if (containsAll(call.args, words))
                calls << call;
        }
        return calls;
    }

    QJsonObject status()
    {
        return QJsonDocument::fromJson(phonesim({"status", "--home", m_home->path()})).object();
    }

    // Server launches still running on the computer side.
    int liveServerCalls()
    {
        int count = 0;
        for (const QJsonValue &entry : status().value("processes").toArray()) {
            const QJsonArray args = entry.toObject().value("args").toArray();
            if (args.contains(QJsonValue("app_process")))
                ++count;
        }
        return count;
    }

    QStringList controlLogTypes(const QString &serial) const
    {
        QStringList types;
        QFile log(m_home->filePath(serial + "/control.jsonl"));
        if (!log.open(QIODevice::ReadOnly))
            return types;
        for (const QByteArray &line : log.readAll().split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (!entry.isEmpty())
                types << entry.value("type").toString() + ":" +
                             QString::number(entry.value("keycode").toInt());
        }
        return types;
    }

    Device *addDevice(const QString &serial)
    {
        auto *device = new Device(nullptr, m_group.get(), serial);
        m_group->addDevice(device);
        return device;
    }

    static bool streaming(Device *device)
    {
        return device->controller() && device->frameSize().isValid();
    }

private slots:
    void initTestCase()
    {
        m_phonesim = TestSupport::phonesimPath();
        if (m_phonesim.isEmpty())
            QSKIP("the virtual phone is not built");
        SessionTestEnv::serverFilePath();
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        QProcess init;
        init.start(m_phonesim, {"init", "--home", m_home->path(), "--phones", "2", "--size",
                                "1080x2400", "--fps", "10"});
        QVERIFY(init.waitForFinished(30000));
        QCOMPARE(init.exitCode(), 0);
        qputenv("PHONESIM_HOME", m_home->path().toUtf8());
        ADBRunner::setExecutablePathForTesting(m_phonesim);
        m_group = std::make_unique<DeviceGroup>();
        m_group->setName(QStringLiteral("fleet"));
    }

    void cleanup()
    {
        m_group.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ADBRunner::setExecutablePathForTesting(QString());
        QTRY_COMPARE(liveServerCalls(), 0);
        m_home.reset();
    }

    void sessionStreamsAndControls_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::newRow("video, audio, control") << true;
        QTest::newRow("video, control") << false;
    }

    void sessionStreamsAndControls()
    {
        QFETCH(bool, audio);
        Device *device = addDevice(kFirst);
        device->setEnableAudio(audio);
        device->serverParamsSmallView()->setMaxSize(280);
        device->startScrcpySession();
        QVERIFY(device->running());
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);

        // First connection: the video stream, at the size the session asked for.
        const QSize frame = device->frameSize();
        QCOMPARE(qMax(frame.width(), frame.height()), 280);
        QCOMPARE(device->videoDemuxer()->codecId(), QByteArray("h264"));
        QCOMPARE(device->videoDemuxer()->deviceName(), QStringLiteral("Pixel 7"));
        if (audio) {
            // Second connection: sound that decodes.
            QVERIFY(device->audioDemuxer());
            auto *decoder = device->findChild<AudioDecoder *>();
            QVERIFY(decoder);
            QSignalSpy decoded(decoder, &AudioDecoder::frameDecoded);
            QTRY_VERIFY_WITH_TIMEOUT(decoded.count() > 0, 5000);
            QCOMPARE(device->audioDemuxer()->codecId(), QByteArray("opus"));
        } else {
            QVERIFY(!device->audioDemuxer());
            QVERIFY(!device->findChild<AudioDecoder *>());
        }
        // The last connection carries control messages to the phone.
        device->home();
        QTRY_COMPARE(controlLogTypes(kFirst),
                     QStringList({"inject_keycode:3", "inject_keycode:3"}));

        // A connection beyond the requested streams is refused.
        QTcpSocket extra;
        extra.connectToHost(QHostAddress::LocalHost, device->currentServerParams()->port());
        QVERIFY(extra.waitForConnected(3000));
        QTRY_COMPARE(extra.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(streaming(device));
    }

    void stopLeavesNothingBehind()
    {
        Device *device = addDevice(kFirst);
        device->setEnableAudio(true);
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device) && device->audioDemuxer(), 15000);
        const QString socketName = device->currentServerParams()->socketName();
        QCOMPARE(status().value("reverse").toArray().size(), 1);
        QCOMPARE(liveServerCalls(), 1);

        device->stopScrcpySession();
        QVERIFY(!device->running());
        QCOMPARE(liveServerCalls(), 0);
        QVERIFY(status().value("reverse").toArray().isEmpty());
        QCOMPARE(
            adbCalls({"-s", kFirst, "shell", "pkill", "-f", "com.genymobile.scrcpy.Server"}).size(),
            1);
        QCOMPARE(
            adbCalls({"-s", kFirst, "reverse", "--remove", "localabstract:" + socketName}).size(),
            1);
        QCOMPARE(m_group->deviceCount(), 1);
    }

    void serverEndStopsTheSession()
    {
        setFault(kFirst, "serverExitAfterSec", 2);
        Device *device = addDevice(kFirst);
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        QSignalSpy controllerChanged(device, &Device::controllerChanged);
        QSignalSpy runningChanged(device, &Device::runningChanged);
        QPointer<ScrcpyServer> server = device->server();
        // Whatever the ended session's sockets still hold must not reach a decoder.
        QPointer<VideoDemuxer> demuxer = device->videoDemuxer();
        bool demuxerOutlivedTheSession = true;
        connect(device, &Device::runningChanged, this,
                [&] { demuxerOutlivedTheSession = !demuxer.isNull(); });

        QTRY_VERIFY_WITH_TIMEOUT(!device->running(), 10000);
        QVERIFY(!demuxerOutlivedTheSession);
        QVERIFY(!device->controller());
        QCOMPARE(controllerChanged.count(), 1);
        QCOMPARE(runningChanged.count(), 1);
        QTRY_VERIFY(!server); // released once its own signal returned
        // Still attached: stays in the group, ready for the next session.
        QVERIFY(!adbCalls({"devices", "-l"}).isEmpty());
        QCOMPARE(m_group->deviceCount(), 1);
        setFault(kFirst, "serverExitAfterSec", 0);
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device) && device->running(), 15000);
    }

    void unpluggedPhoneLeavesAttachedOneStays()
    {
        Device *first = addDevice(kFirst);
        QPointer<Device> second = addDevice(kSecond);
        QPointer<Device> firstGuard = first;
        for (Device *device : {first, second.data()}) {
            device->setEnableAudio(true);
            device->startScrcpySession();
        }
        QTRY_VERIFY_WITH_TIMEOUT(streaming(first) && streaming(second), 20000);
        QSignalSpy removed(m_group.get(), &DeviceGroup::deviceRemovedFromGroup);

        phonesim({"unplug", "--home", m_home->path(), kFirst});
        QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, 10000);
        QTRY_VERIFY(!firstGuard);
        QCOMPARE(m_group->deviceCount(), 1);
        QVERIFY(second);
        QVERIFY(second->running());
        QCOMPARE(second->indexInGroup(), 0);
        // The other phone's session goes on.
        QSignalSpy frames(second.data(), &Device::yuvFrameReady);
        second->home();
        QTRY_VERIFY(controlLogTypes(kSecond).contains("inject_keycode:3"));
        QTRY_VERIFY(frames.count() > 0);
    }

    void failedPushRemovesTheDevice()
    {
        setFault(kFirst, "pushFails", true);
        QPointer<Device> device = addDevice(kFirst);
        QSignalSpy removed(m_group.get(), &DeviceGroup::deviceRemovedFromGroup);
        device->startScrcpySession();
        QVERIFY(device);
        QTRY_COMPARE(removed.count(), 1);
        QTRY_VERIFY(!device);
        QVERIFY(adbCalls({"reverse"}).isEmpty());
        QVERIFY(adbCalls({"app_process"}).isEmpty());
    }

    void onlyTheHostsMessagesAreReplayed()
    {
        Device *host = addDevice(kFirst);
        Device *other = addDevice(kSecond);
        host->startScrcpySession();
        other->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(host) && streaming(other), 20000);
        m_group->startGroupControl();
        QCOMPARE(m_group->hostDevice(), host);

        other->home(); // its own phone only
        host->back();  // both phones
        QTRY_COMPARE(controlLogTypes(kSecond),
                     QStringList({"inject_keycode:3", "inject_keycode:3", "inject_keycode:4",
                                  "inject_keycode:4"}));
        QCOMPARE(controlLogTypes(kFirst), QStringList({"inject_keycode:4", "inject_keycode:4"}));
    }

    void wifiSwitchDuringASession()
    {
        Device *device = addDevice(kFirst);
        QTRY_COMPARE_WITH_TIMEOUT(device->ipAddress(), QStringLiteral("192.168.50.101"), 10000);
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        QSignalSpy messages(device, &Device::deviceMessage);

        device->setWiFiConnection();
        QVERIFY(device->switchingToWiFi());
        QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), 10000);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last(), QVariantList({QStringLiteral("WiFi connection enabled"),
                                                QStringLiteral("success"), 3000}));
        QVERIFY(!device->switchingToWiFi());
        const QList<AdbCall> tcpip = adbCalls({"-s", kFirst, "tcpip", "5555"});
        const QList<AdbCall> connect =
            adbCalls({"-s", kFirst, "connect", QStringLiteral("192.168.50.101:5555")});
        QCOMPARE(tcpip.size(), 1);
        QCOMPARE(connect.size(), 1);
        QVERIFY2(connect.first().startMs - tcpip.first().startMs >= 1000,
                 qPrintable(QString::number(connect.first().startMs - tcpip.first().startMs)));
        // adbd's restart ended the session, but the device did not leave its group.
        QTRY_VERIFY_WITH_TIMEOUT(!device->running(), 5000);
        QCOMPARE(m_group->deviceCount(), 1);
        const QByteArray listing = ADBRunner::runCommand({"devices", "-l"}).toUtf8();
        QVERIFY2(listing.contains("192.168.50.101:5555"), listing.constData());
    }

    void executeAdbCommandOverTwoLines()
    {
        Device *device = addDevice(kFirst);
        const QString output =
            device->executeADBCommand(QStringLiteral("shell echo hello phone\n\n  \ndevices"));
        QVERIFY2(output.startsWith(QStringLiteral("hello phone\nList of devices attached\n")),
                 qPrintable(output));
        QVERIFY(output.contains(kFirst) && output.contains(kSecond));
        QVERIFY(output.endsWith('\n'));
        QCOMPARE(adbCalls({"-s", kFirst, "shell", "echo", "hello", "phone"}).size(), 1);
        QCOMPARE(adbCalls({"-s", kFirst, "devices"}).size(), 1);
    }
};

PARVIX_TEST(PhoneSessionTest)
#include "phonesessiontest.moc"

// What a device offers beside its mirroring session: the phone's properties read by adb, the
// user's tools (screenshots, recordings, installs, uploads, scripts, adb commands, the key
// mapping in use, the name) and its Wi-Fi adb connection.
#include "device.h"

#include "adblane.h"
#include "adbrunner.h"
#include "adbserver.h"
#include "appconfig.h"
#include "autojs.h"
#include "controller.h"
#include "devicesettings.h"
#include "keymapping.h"
#include "mediarecorder.h"
#include "videodecoder.h"
#include "wifiadbswitch.h"

#include <QDir>
#include <QFutureWatcher>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

namespace {
using Kind = UserMessage::Kind;

struct PhoneSnapshot
{
    DeviceInfo info;
    QString ip;
};
} // namespace

// ---- background refresh ------------------------------------------------------

void Device::refreshDeviceInfo()
{
    const DeviceInfo info = ADBRunner::getDeviceInfo(m_adbConnectionSerial);
    if (QThread::currentThread() == thread())
        applyDeviceInfo(info);
    else
        QMetaObject::invokeMethod(
            this, [this, info] { applyDeviceInfo(info); }, Qt::QueuedConnection);
}

void Device::refreshIpAddress()
{
    const QString ip = ADBRunner::getDeviceIp(m_adbConnectionSerial);
    if (QThread::currentThread() == thread())
        applyIpAddress(ip);
    else
        QMetaObject::invokeMethod(
            this, [this, ip] { applyIpAddress(ip); }, Qt::QueuedConnection);
}

void Device::refreshInBackground()
{
    // The task gets only the serial, so it never touches a device deleted meanwhile;
    // the watcher dies with the device and the result is then dropped.
    const QString serial = m_adbConnectionSerial;
    auto *watcher = new QFutureWatcher<PhoneSnapshot>(this);
    connect(watcher, &QFutureWatcher<PhoneSnapshot>::finished, this, [this, watcher] {
        const PhoneSnapshot snapshot = watcher->result();
        watcher->deleteLater();
        applyDeviceInfo(snapshot.info);
        applyIpAddress(snapshot.ip);
    });
    watcher->setFuture(QtConcurrent::run(ADBRunner::phonePool(), [serial] {
        PhoneSnapshot snapshot;
        snapshot.info = ADBRunner::getDeviceInfo(serial);
        snapshot.ip = ADBRunner::getDeviceIp(serial);
        return snapshot;
    }));
}

void Device::applyDeviceInfo(const DeviceInfo &info)
{
    m_deviceInfo = info;
    emit deviceInfoChanged();
}

void Device::applyIpAddress(const QString &ip)
{
    m_ipAddress = ip;
    emit ipAddressChanged();
}

// ---- actions -------------------------------------------------------------------

void Device::setNickName(QString nickname)
{
    DeviceSettings *settings = DeviceSettings::instance();
    settings->setDeviceNickname(m_adbConnectionSerial, nickname);
    // The tile and the list show the name whether or not the phone streams.
    emit nickNameChanged();
    // A name the store refused (too long, store full) must not reach the phone's wallpaper.
    if (settings->getDeviceNickname(m_adbConnectionSerial) != nickname)
        return;
    if (m_controller)
        m_controller->setWallpaper(nickname, m_deviceInfo.screen_size.width(),
                                   m_deviceInfo.screen_size.height());
}

void Device::takeScreenshot()
{
    if (m_isScreenShotting)
        return;
    if (!m_pipeline || !m_pipeline->hasVideo() || !m_server) {
        showUserMessage(tr("Not Connected"), Kind::BriefError);
        emit screenshotFinished(tr("Not Connected"));
        return;
    }
    setIsScreenShotting(true);
    // The watcher belongs to the device: the result still arrives when the decoder is
    // replaced meanwhile (a new session), and is dropped when the device is gone.
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher] {
        const QString failure = watcher->result();
        watcher->deleteLater();
        if (failure.isEmpty())
            showUserMessage(
                VideoDecoder::tr("Screenshot Saved") + QLatin1Char('\n') +
                    QDir::toNativeSeparators(AppConfig::instance()->getScreenshotSavePath()),
                Kind::Success);
        else
            showUserMessage(failure, Kind::Error);
        setIsScreenShotting(false);
        emit screenshotFinished(failure);
    });
    watcher->setFuture(m_pipeline->takeScreenshot());
}

void Device::startRecord()
{
    if (m_controller)
        m_videoRecorder->start();
}

void Device::stopRecord()
{
    // A session that ended under a recording leaves no controller; the file still has to
    // be closed when the user asks.
    if (m_controller || m_videoRecorder->isRecording())
        m_videoRecorder->stop();
}

void Device::installAPK(QString filePath)
{
    if (m_controller)
        m_controller->installApk(filePath);
    else
        showUserMessage(tr("Not Connected"), Kind::BriefError);
}

void Device::runAutojs(QString filePath)
{
    if (!m_autojs || !m_controller)
        return;
    m_autojs->run(filePath);
}

void Device::stopAutojs()
{
    if (!m_controller || !m_autojs || !m_autojs->isRunning())
        return;
    m_autojs->stop();
}

void Device::uploadFile(QString filePath)
{
    if (!m_controller) {
        showUserMessage(tr("Not Connected"), Kind::Error);
        return;
    }
    showUserMessage(tr("Uploading File"), Kind::Progress);
    m_controller->uploadFile(filePath);
}

QString Device::executeADBCommand(QString input)
{
    return runADBCommandLines(m_adbConnectionSerial, input);
}

void Device::executeADBCommandAsync(QString input)
{
    if (m_adbCommandRunning)
        return;
    m_adbCommandRunning = true;
    emit adbCommandRunningChanged();
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_adbCommandRunning = false;
        emit adbCommandRunningChanged();
        emit adbCommandFinished(watcher->result());
    });
    const QString serial = m_adbConnectionSerial;
    watcher->setFuture(QtConcurrent::run(
        ADBRunner::phonePool(), [serial, input] { return runADBCommandLines(serial, input); }));
}

QString Device::runADBCommandLines(const QString &serial, const QString &input)
{
    QString result;
    const QStringList lines = input.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString command = line.trimmed();
        if (command.isEmpty())
            continue;
        QStringList args = AdbServers::phoneOptions(serial);
        args << command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString output = ADBRunner::runCommand(args);
        result += output;
        if (!output.endsWith(QLatin1Char('\n')))
            result += QLatin1Char('\n');
    }
    return result;
}

void Device::setCurrentKeyMappingProfile(KeyMappingProfile *profile)
{
    if (m_currentKeyMappingProfile == profile)
        return;
    m_currentKeyMappingProfile = profile;
    emit currentKeyMappingProfileChanged();
    showUserMessage(profile ? tr("KeyMapping Profile: %1").arg(profile->name())
                            : tr("KeyMapping Disabled"),
                    Kind::Info);
}

// ---- Wi-Fi and USB adb -------------------------------------------------------

void Device::setWiFiConnection()
{
    m_wifi->start();
}

bool Device::switchingToWiFi() const
{
    return m_wifi->switching();
}

QString Device::wifiSerial() const
{
    return m_wifi->wifiSerial();
}

QStringList Device::identities() const
{
    QStringList names{m_adbConnectionSerial};
    if (!wifiSerial().isEmpty())
        names << wifiSerial();
    const QString hardware = m_deviceInfo.hardward_serial.trimmed();
    if (!hardware.isEmpty() && !hardware.startsWith(QLatin1String("[error]")))
        names << AdbServers::qualified(hardware, AdbServers::serverOf(m_adbConnectionSerial));
    return names;
}

bool Device::disconnectWiFi()
{
    const bool disconnected = ADBRunner::disconnect(m_adbConnectionSerial);
    if (disconnected)
        removeFromDeviceGroup();
    return disconnected;
}

void Device::disconnectWiFiAsync()
{
    const QString serial = m_adbConnectionSerial;
    AdbLane::run<bool>(
        serial, this, [serial] { return ADBRunner::disconnect(serial); },
        [this](bool disconnected) {
            if (disconnected)
                removeFromDeviceGroup();
        });
}

bool Device::setUSBConnection()
{
    return ADBRunner::usb(m_adbConnectionSerial);
}

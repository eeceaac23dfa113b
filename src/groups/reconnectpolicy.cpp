#include "reconnectpolicy.h"

#include "adbrunner.h"
#include "appconfig.h"
#include "device.h"
#include "devicelink.h"
#include "mediarecorder.h"

#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <optional>

Q_LOGGING_CATEGORY(lcReconnect, "parvix.groups.reconnect")

namespace {
const QString kReady = QStringLiteral("device");
const QString kGone = QStringLiteral("gone");

// Wi-Fi adb serials are ip:port; adb forgets them when its server restarts.
bool isWifiSerial(const QString &serial)
{
    return serial.contains(QLatin1Char(':')) && serial.contains(QLatin1Char('.'));
}
} // namespace

ReconnectPolicy::ReconnectPolicy(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_poll = new QTimer(this);
    m_poll->setInterval(kFallbackPollMs);
    connect(m_poll, &QTimer::timeout, this, &ReconnectPolicy::pollIfNeeded);
    connect(AppConfig::instance(), &AppConfig::autoReconnectChanged, this,
            &ReconnectPolicy::applyKeepSetting);
}

ReconnectPolicy::~ReconnectPolicy()
{
    for (Watch *watch : std::as_const(m_watches)) {
        if (watch->device) {
            watch->device->disconnect(this);
            watch->device->link()->disconnect(this);
        }
        delete watch;
    }
}

ReconnectPolicy::Watch *ReconnectPolicy::find(const Device *device) const
{
    for (Watch *watch : m_watches) {
        if (watch->device == device)
            return watch;
    }
    return nullptr;
}

bool ReconnectPolicy::wanted(const Device *device) const
{
    const Watch *watch = find(device);
    return watch && watch->wanted;
}

QString ReconnectPolicy::stateOf(const Device *device) const
{
    if (!m_statesKnown)
        return {};
    return m_states.value(device->adbConnectionSerial(), kGone);
}

void ReconnectPolicy::watch(Device *device)
{
    if (!device || find(device))
        return;
    auto *watch = new Watch;
    watch->device = device;
    watch->retry = new QTimer(this);
    watch->retry->setSingleShot(true);
    m_watches.append(watch);
    device->link()->setKeepWhenGone(AppConfig::instance()->autoReconnect());
    device->link()->setAdbState(stateOf(device));

    connect(watch->retry, &QTimer::timeout, this, [this, watch] { attempt(watch); });
    connect(device, &Device::runningChanged, this, [this, watch] {
        if (!watch->device || !watch->device->running())
            return;
        watch->awaiting = false;
        watch->retry->stop();
        watch->running.start();
        watch->device->link()->setReconnecting(false);
        setWanted(watch, true);
    });
    connect(device->link(), &DeviceLink::stopRequested, this, [this, watch] {
        watch->awaiting = false;
        watch->retry->stop();
        if (watch->device)
            watch->device->link()->setReconnecting(false);
        setWanted(watch, false);
    });
    connect(device->link(), &DeviceLink::sessionEnded, this,
            [this, watch](bool failedToStart) { handleEnded(watch, failedToStart); });
    connect(device, &QObject::destroyed, this, [this, watch] {
        m_watches.removeOne(watch);
        delete watch->retry;
        const bool wasWanted = watch->wanted;
        delete watch;
        if (wasWanted)
            emit wantedChanged();
        emit unreadyPhonesChanged();
    });
    if (device->running()) {
        watch->running.start();
        setWanted(watch, true);
    }
}

void ReconnectPolicy::resume(Device *device)
{
    watch(device);
    Watch *watch = find(device);
    if (!watch || device->running())
        return;
    watch->awaiting = true;
    device->link()->setReconnecting(true);
    setWanted(watch, true);
    schedule(watch);
}

void ReconnectPolicy::setWanted(Watch *watch, bool wanted)
{
    if (watch->wanted == wanted)
        return;
    watch->wanted = wanted;
    emit wantedChanged();
}

void ReconnectPolicy::handleEnded(Watch *watch, bool failedToStart)
{
    Device *device = watch->device;
    if (!device)
        return;
    if (!watch->wanted || device->switchingToWiFi())
        return;
    if (!AppConfig::instance()->autoReconnect()) {
        watch->awaiting = false;
        setWanted(watch, false);
        return;
    }
    if (failedToStart)
        ++watch->failures;
    else if (watch->running.isValid() && watch->running.elapsed() >= kStableSessionMs)
        watch->failures = 0;
    watch->awaiting = true;
    device->link()->setReconnecting(true);
    qCInfo(lcReconnect) << device->adbConnectionSerial() << "dropped; state" << stateOf(device);
    schedule(watch);
    pollIfNeeded();
}

void ReconnectPolicy::schedule(Watch *watch)
{
    if (!watch->awaiting || !watch->device)
        return;
    const QString state = stateOf(watch->device);
    // Before anything was listed the phone is tried anyway; the try's failure tells. A
    // Wi-Fi phone adb no longer lists is asked for with adb connect at the same pace.
    const bool reconnectWifi = state == kGone && isWifiSerial(watch->device->adbConnectionSerial());
    if (state.isEmpty() || state == kReady || reconnectWifi) {
        if (!watch->retry->isActive())
            watch->retry->start(DeviceTracker::retryDelayMs(watch->failures));
    } else {
        watch->retry->stop();
    }
}

void ReconnectPolicy::attempt(Watch *watch)
{
    Device *device = watch->device;
    if (!device || !watch->awaiting || device->running())
        return;
    const QString serial = device->adbConnectionSerial();
    if (stateOf(device) == kGone && isWifiSerial(serial)) {
        ++watch->failures;
        auto *connecting = new QFutureWatcher<void>(this);
        connect(connecting, &QFutureWatcher<void>::finished, this,
                [this, connecting, watch, device = QPointer<Device>(device)] {
                    connecting->deleteLater();
                    if (device)
                        schedule(watch);
                });
        connecting->setFuture(QtConcurrent::run(ADBRunner::workPool(), [serial] {
            ADBRunner::run({QStringLiteral("connect"), serial}, kConnectTimeoutMs);
        }));
        return;
    }
    const qint64 now = m_clock.elapsed();
    if (now < m_nextStartMs) {
        watch->retry->start(int(m_nextStartMs - now));
        return;
    }
    m_nextStartMs = now + kStartSpacingMs;
    // A new session starts a new recording; the one the drop cut is finished whole first.
    closeRecording(device);
    qCInfo(lcReconnect) << "starting" << device->adbConnectionSerial() << "again, try"
                        << watch->failures + 1;
    device->startScrcpySession();
}

void ReconnectPolicy::closeRecording(Device *device)
{
    if (device->videoRecorder()->isRecording())
        device->videoRecorder()->stop();
}

void ReconnectPolicy::setTrackerLive(bool live)
{
    m_trackerLive = live;
    pollIfNeeded();
}

void ReconnectPolicy::setStates(const DeviceTracker::States &states)
{
    m_localStates = states;
    applyStates();
}

void ReconnectPolicy::setRemoteStates(const DeviceTracker::States &states)
{
    m_remoteStates = states;
    if (m_statesKnown)
        applyStates();
}

void ReconnectPolicy::applyStates()
{
    const DeviceTracker::States before = m_states;
    const bool knewBefore = m_statesKnown;
    DeviceTracker::States states = m_localStates;
    states.insert(m_remoteStates);
    m_states = states;
    m_statesKnown = true;
    for (Watch *watch : std::as_const(m_watches)) {
        Device *device = watch->device;
        if (!device)
            continue;
        const QString serial = device->adbConnectionSerial();
        const bool wasReady = knewBefore && before.value(serial) == kReady;
        const bool ready = states.value(serial) == kReady;
        device->link()->setAdbState(stateOf(device));
        if (wasReady && !ready) {
            // Away for good this time: its return starts the pauses from the shortest.
            watch->failures = 0;
            closeRecording(device);
        }
        if (!wasReady && ready && device->deviceInfo().screen_size.width() <= 0)
            device->refreshInBackground(); // a member restored while the phone was away
        schedule(watch);
    }
    if (states != before || !knewBefore)
        emit unreadyPhonesChanged();
}

QVariantList ReconnectPolicy::unreadyPhones() const
{
    QVariantList phones;
    for (auto it = m_states.cbegin(); it != m_states.cend(); ++it) {
        if (it.value() == kReady)
            continue;
        phones.append(QVariantMap{{QStringLiteral("serial"), it.key()},
                                  {QStringLiteral("state"), it.value()},
                                  {QStringLiteral("hint"), DeviceLink::describe(it.value())}});
    }
    return phones;
}

void ReconnectPolicy::applyKeepSetting()
{
    const bool keep = AppConfig::instance()->autoReconnect();
    for (Watch *watch : std::as_const(m_watches)) {
        if (!watch->device)
            continue;
        watch->device->link()->setKeepWhenGone(keep);
        if (!keep && watch->awaiting) {
            watch->awaiting = false;
            watch->retry->stop();
            watch->device->link()->setReconnecting(false);
            setWanted(watch, false);
        }
    }
}

void ReconnectPolicy::pollIfNeeded()
{
    const bool waiting = std::any_of(m_watches.cbegin(), m_watches.cend(),
                                     [](const Watch *watch) { return watch->awaiting; });
    if (m_trackerLive || !waiting) {
        m_poll->stop();
        return;
    }
    if (!m_poll->isActive())
        m_poll->start();
    if (m_polling)
        return;
    m_polling = true;
    auto *watcher = new QFutureWatcher<std::optional<DeviceTracker::States>>(this);
    connect(watcher, &QFutureWatcher<std::optional<DeviceTracker::States>>::finished, this,
            [this, watcher] {
                watcher->deleteLater();
                m_polling = false;
                const std::optional<DeviceTracker::States> states = watcher->result();
                // The tracker's word counts over a listing that began before it came back.
                if (states && !m_trackerLive)
                    setStates(*states);
            });
    watcher->setFuture(QtConcurrent::run(ADBRunner::workPool(), [] {
        const ADBRunner::Outcome listing = ADBRunner::run({QStringLiteral("devices")});
        return listing.succeeded ? std::optional(parseListing(listing.output)) : std::nullopt;
    }));
}

DeviceTracker::States ReconnectPolicy::parseListing(const QString &text)
{
    DeviceTracker::States states;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() >= 2 && !line.startsWith(QLatin1String("List of devices")) &&
            !line.startsWith(QLatin1Char('*')))
            states.insert(fields.at(0), fields.at(1));
    }
    return states;
}

#include "moc_reconnectpolicy.cpp"

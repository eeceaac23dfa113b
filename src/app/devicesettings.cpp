#include "devicesettings.h"

#include "appconfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>
#include <QThread>

namespace {
const QString kRootMember = QStringLiteral("device_nicknames");
} // namespace

DeviceSettings::DeviceSettings(QObject *parent) : QObject(parent)
{
    load();
}

DeviceSettings *DeviceSettings::instance()
{
    static DeviceSettings *const shared = [] {
        auto *settings = new DeviceSettings(nullptr); // lives until the process ends
        // The device listing may be the first user, on a worker thread.
        if (auto *app = QCoreApplication::instance(); app && settings->thread() != app->thread())
            settings->moveToThread(app->thread());
        return settings;
    }();
    return shared;
}

QString DeviceSettings::filePath()
{
    return QDir(AppConfig::instance()->getDeviceNicknameSavePath()).filePath(fileName());
}

QString DeviceSettings::getDeviceNickname(const QString &serial) const
{
    QReadLocker locker(&m_lock);
    return m_nicknames.value(serial);
}

void DeviceSettings::setDeviceNickname(const QString &serial, const QString &nickname)
{
    if (serial.isEmpty() || getDeviceNickname(serial) == nickname)
        return;
    if (nickname.isEmpty()) {
        removeDeviceNickname(serial);
        return;
    }
    if (!StoreFile::acceptText(serial, kMaxSerialLength) ||
        !StoreFile::acceptText(nickname, kMaxNicknameLength))
        return;
    if (getDeviceNickname(serial).isEmpty() &&
        !StoreFile::acceptOneMore(getAllDeviceSerials().size(), kMaxNicknames, tr("nicknames")))
        return;
    {
        QWriteLocker locker(&m_lock);
        m_nicknames.insert(serial, nickname);
    }
    save();
    emit deviceNicknameChanged(serial, nickname);
}

void DeviceSettings::removeDeviceNickname(const QString &serial)
{
    {
        QWriteLocker locker(&m_lock);
        if (m_nicknames.remove(serial) == 0)
            return;
    }
    save();
    emit deviceNicknameChanged(serial, QString());
}

void DeviceSettings::clearAllDeviceNicknames()
{
    QStringList former;
    {
        QWriteLocker locker(&m_lock);
        former = m_nicknames.keys();
        m_nicknames.clear();
    }
    save();
    for (const QString &serial : std::as_const(former))
        emit deviceNicknameChanged(serial, QString());
}

QStringList DeviceSettings::getAllDeviceSerials() const
{
    QReadLocker locker(&m_lock);
    return m_nicknames.keys();
}

void DeviceSettings::sync()
{
    save();
}

void DeviceSettings::load()
{
    const QString folder = AppConfig::instance()->getDeviceNicknameSavePath();
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(fileName());

    const QJsonValue member = m_file.load(path).value_or(QJsonObject()).value(kRootMember);
    if (!member.isUndefined() && !member.isObject())
        m_file.markDamaged();
    QMap<QString, QString> loaded;
    const QJsonObject nicknames = member.toObject();
    for (auto it = nicknames.begin(); it != nicknames.end(); ++it) {
        // An empty nickname is no nickname; anything else that cannot be kept is damage.
        if (it.value().isString() && it.value().toString().isEmpty())
            continue;
        if (!it.value().isString() || it.key().size() > kMaxSerialLength ||
            loaded.size() >= kMaxNicknames) {
            m_file.markDamaged();
            continue;
        }
        QString nickname = it.value().toString();
        if (nickname.size() > kMaxNicknameLength) {
            m_file.markDamaged();
            nickname = StoreFile::cut(nickname, kMaxNicknameLength);
        }
        loaded.insert(it.key(), nickname);
    }
    m_file.finishLoad();
    QWriteLocker locker(&m_lock);
    m_nicknames = loaded;
}

void DeviceSettings::save()
{
    QJsonObject nicknames;
    {
        QReadLocker locker(&m_lock);
        for (auto it = m_nicknames.cbegin(); it != m_nicknames.cend(); ++it)
            nicknames.insert(it.key(), it.value());
    }
    m_file.save(filePath(), QJsonObject{{kRootMember, nicknames}});
}

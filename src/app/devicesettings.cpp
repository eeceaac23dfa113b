#include "devicesettings.h"

#include "appconfig.h"
#include "jsonfile.h"

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

    const JsonFile::ReadResult file = JsonFile::read(path);
    if (file.status == JsonFile::ReadStatus::Missing)
        return;
    const QJsonValue member = file.document.object().value(kRootMember);
    // Content that is present but unusable would be lost by the next save.
    if (file.status != JsonFile::ReadStatus::Ok || !file.document.isObject() ||
        (!member.isUndefined() && !member.isObject())) {
        m_unusableFile = path;
        return;
    }

    QMap<QString, QString> loaded;
    const QJsonObject nicknames = member.toObject();
    for (auto it = nicknames.begin(); it != nicknames.end(); ++it) {
        if (it.value().isString() && !it.value().toString().isEmpty())
            loaded.insert(it.key(), it.value().toString());
    }
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
    const QString path = filePath();
    if (!m_unusableFile.isEmpty() && m_unusableFile == path) {
        JsonFile::keepBackup(path);
        m_unusableFile.clear();
    }
    // A failed write leaves the previous file untouched; nothing is reported.
    JsonFile::write(path, QJsonDocument(QJsonObject{{kRootMember, nicknames}}));
}

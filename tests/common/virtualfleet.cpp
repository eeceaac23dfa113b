#include "virtualfleet.h"

#include "adbrunner.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>

VirtualFleet::VirtualFleet(const QString &phonesimPath, const Options &options, const QString &host)
{
    if (phonesimPath.isEmpty() || !m_home.isValid()) {
        m_error = QStringLiteral("the virtual phone is not built");
        return;
    }
    QProcess init;
    QStringList initArgs{
        "init",
        "--home",
        m_home.path(),
        "--phones",
        QString::number(options.phones),
        "--size",
        QStringLiteral("%1x%2").arg(options.screen.width()).arg(options.screen.height()),
        "--fps",
        QString::number(options.fps)};
    const AdbServer server = AdbServer::parse(host).value_or(AdbServer());
    if (!host.isEmpty())
        initArgs << "--host" << host;
    m_adbOptions = server.options();
    init.start(phonesimPath, initArgs);
    if (!init.waitForFinished(30000) || init.exitCode() != 0) {
        m_error = QStringLiteral("phonesim init failed: ") +
                  QString::fromUtf8(init.readAllStandardError());
        return;
    }
    for (const QByteArray &line : init.readAllStandardOutput().split('\n')) {
        if (!line.trimmed().isEmpty())
            m_serials << AdbServers::qualified(QString::fromUtf8(line).section('\t', 0, 0), server);
    }
    if (m_serials.size() != options.phones) {
        m_error = QStringLiteral("phonesim init listed %1 phones").arg(m_serials.size());
        return;
    }
    if (options.replay && !setReplay()) {
        m_error = QStringLiteral("cannot switch the fleet to replay");
        return;
    }
    TestSupport::serverFile(); // the launcher pushes it; the virtual phone only needs it to exist
    qputenv("PHONESIM_HOME", m_home.path().toUtf8());
    ADBRunner::setExecutablePathForTesting(phonesimPath);
    m_valid = true;
}

VirtualFleet::~VirtualFleet()
{
    if (!m_valid)
        return;
    qputenv("PHONESIM_HOME", m_home.path().toUtf8());
    ADBRunner::runCommand(m_adbOptions + QStringList{"kill-server"});
    ADBRunner::setExecutablePathForTesting(QString());
    qunsetenv("PHONESIM_HOME");
}

bool VirtualFleet::editFleet(const std::function<bool(QJsonObject &)> &edit)
{
    QFile file(m_home.filePath(QStringLiteral("fleet.json")));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QJsonObject fleet = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    if (!edit(fleet))
        return false;
    // Whole or not at all: running phonesim processes read the file meanwhile.
    QSaveFile out(file.fileName());
    return out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(fleet).toJson()) > 0 &&
           out.commit();
}

bool VirtualFleet::editPhones(const std::function<bool(QJsonArray &)> &edit)
{
    return editFleet([&edit](QJsonObject &fleet) {
        QJsonArray phones = fleet.value(QStringLiteral("phones")).toArray();
        if (!edit(phones))
            return false;
        fleet.insert(QStringLiteral("phones"), phones);
        return true;
    });
}

bool VirtualFleet::setHostCut(bool cut)
{
    return editFleet([cut](QJsonObject &fleet) {
        fleet.insert(QStringLiteral("hostCut"), cut);
        return true;
    });
}

void VirtualFleet::serveTogether(const QList<VirtualFleet *> &fleets)
{
    QStringList homes;
    for (const VirtualFleet *fleet : fleets)
        homes << fleet->home();
    qputenv("PHONESIM_HOME", homes.join(QLatin1Char(':')).toUtf8());
}

bool VirtualFleet::setReplay()
{
    return editPhones([](QJsonArray &phones) {
        for (int i = 0; i < phones.size(); ++i) {
            QJsonObject phone = phones.at(i).toObject();
            phone.insert(QStringLiteral("replay"), true);
            phones[i] = phone;
        }
        return true;
    });
}

bool VirtualFleet::setPhoneOption(int index, const QString &key, const QJsonValue &value)
{
    return editPhones([&](QJsonArray &phones) {
        if (index < 0 || index >= phones.size())
            return false;
        QJsonObject phone = phones.at(index).toObject();
        phone.insert(key, value);
        phones[index] = phone;
        return true;
    });
}

QList<QJsonObject> VirtualFleet::jsonLines(const QString &relativePath) const
{
    QList<QJsonObject> entries;
    QFile log(m_home.filePath(relativePath));
    if (!log.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            entries << QJsonDocument::fromJson(line).object();
    }
    return entries;
}

QStringList VirtualFleet::controlTypes(const QString &serial) const
{
    QStringList types;
    for (const QJsonObject &entry : controlLog(serial))
        types << entry.value(QStringLiteral("type")).toString();
    return types;
}

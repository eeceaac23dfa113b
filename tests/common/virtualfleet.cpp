#include "virtualfleet.h"

#include "adbrunner.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

VirtualFleet::VirtualFleet(const QString &phonesimPath, const Options &options)
    : m_phonesim(phonesimPath)
{
    if (phonesimPath.isEmpty() || !m_home.isValid()) {
        m_error = QStringLiteral("the virtual phone is not built");
        return;
    }
    QProcess init;
    init.start(phonesimPath,
               {"init", "--home", m_home.path(), "--phones", QString::number(options.phones),
                "--size",
                QStringLiteral("%1x%2").arg(options.screen.width()).arg(options.screen.height()),
                "--fps", QString::number(options.fps)});
    if (!init.waitForFinished(30000) || init.exitCode() != 0) {
        m_error = QStringLiteral("phonesim init failed: ") +
                  QString::fromUtf8(init.readAllStandardError());
        return;
    }
    for (const QByteArray &line : init.readAllStandardOutput().split('\n')) {
        if (!line.trimmed().isEmpty())
            m_serials << QString::fromUtf8(line).section('\t', 0, 0);
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
    ADBRunner::runCommand({"kill-server"});
    ADBRunner::setExecutablePathForTesting(QString());
    qunsetenv("PHONESIM_HOME");
}

bool VirtualFleet::editPhones(const std::function<bool(QJsonArray &)> &edit)
{
    QFile file(m_home.filePath(QStringLiteral("fleet.json")));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QJsonObject fleet = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonArray phones = fleet.value(QStringLiteral("phones")).toArray();
    if (!edit(phones))
        return false;
    fleet.insert(QStringLiteral("phones"), phones);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(QJsonDocument(fleet).toJson()) > 0;
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

bool VirtualFleet::plug(const QString &serial, bool attached)
{
    QProcess cli;
    cli.start(m_phonesim, {attached ? "plug" : "unplug", "--home", m_home.path(), serial});
    return cli.waitForFinished(30000) && cli.exitStatus() == QProcess::NormalExit &&
           cli.exitCode() == 0;
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

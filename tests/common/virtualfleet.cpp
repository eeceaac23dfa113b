#include "virtualfleet.h"

#include "adbrunner.h"
#include "adbserver.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QSaveFile>

namespace {
void startIn(QProcess &process, const QString &home, const QString &program,
             const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PHONESIM_HOME", home);
    env.remove("ANDROID_SERIAL");
    process.setProcessEnvironment(env);
    process.start(program, args);
}
} // namespace

VirtualFleet::VirtualFleet(const QString &phonesimPath, const Options &options, const QString &host,
                           const QStringList &initOptions)
    : m_phonesim(phonesimPath)
{
    if (phonesimPath.isEmpty() || !m_home.isValid()) {
        m_error = QStringLiteral("the virtual phone is not built");
        return;
    }
    QStringList args{"init", "--home", home(), "--phones", QString::number(options.phones)};
    args << "--fps" << QString::number(options.fps);
    if (options.screen.isValid())
        args << "--size"
             << QStringLiteral("%1x%2").arg(options.screen.width()).arg(options.screen.height());
    if (!host.isEmpty())
        args << "--host" << host;
    const AdbRun init = adb(args + initOptions);
    const AdbServer server = AdbServer::parse(host).value_or(AdbServer());
    m_adbOptions = server.options();
    for (const QString &line : QString::fromUtf8(init.out).split('\n', Qt::SkipEmptyParts))
        m_serials << AdbServers::qualified(line.section('\t', 0, 0), server);
    if (init.exitCode != 0 || m_serials.size() != options.phones) {
        m_error = QStringLiteral("phonesim init failed: ") + QString::fromUtf8(init.err);
        return;
    }
    for (int i = 0; options.replay && i < options.phones; ++i)
        setPhoneOption(i, "replay", true);
    TestSupport::serverFile(); // the launcher pushes it; the virtual phone only needs it to exist
    qputenv("PHONESIM_HOME", home().toUtf8());
    ADBRunner::setExecutablePathForTesting(phonesimPath);
    m_valid = true;
}

VirtualFleet::VirtualFleet(int phones, const QStringList &initOptions)
    : VirtualFleet(TestSupport::phonesimPath(), {phones, QSize(), 30, false}, {}, initOptions)
{}

VirtualFleet::~VirtualFleet()
{
    for (QProcess *process : std::as_const(m_processes)) {
        process->kill();
        process->waitForFinished(3000);
        delete process;
    }
    if (!m_valid)
        return;
    // Forward helpers outlive adb calls, as adb's own server does.
    adb(m_adbOptions + QStringList{"kill-server"});
    ADBRunner::setExecutablePathForTesting(QString());
    qunsetenv("PHONESIM_HOME");
}

void VirtualFleet::serveTogether(const QList<VirtualFleet *> &fleets)
{
    const QStringList homes = TestSupport::mapped(fleets, &VirtualFleet::home);
    qputenv("PHONESIM_HOME", homes.join(QLatin1Char(':')).toUtf8());
}

QProcess *VirtualFleet::startAdb(const QStringList &args)
{
    m_processes << new QProcess;
    startIn(*m_processes.last(), home(), m_phonesim, args);
    return m_processes.last();
}

AdbRun VirtualFleet::adb(const QStringList &args) const
{
    QProcess process;
    startIn(process, home(), m_phonesim, args);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(3000);
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

QList<ListedDevice> VirtualFleet::devices() const
{
    QList<ListedDevice> result;
    for (const QByteArray &line : adb({"devices", "-l"}).out.split('\n').mid(1)) {
        const QStringList words = QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts);
        if (words.size() < 2)
            continue;
        ListedDevice device{words.at(0), words.at(1), {}};
        for (const QString &word : words.mid(2))
            device.tokens.insert(word.section(':', 0, 0), word.section(':', 1));
        result << device;
    }
    return result;
}

std::optional<ListedDevice> VirtualFleet::entry(const QString &serial) const
{
    for (const ListedDevice &device : devices())
        if (device.serial == serial)
            return device;
    return std::nullopt;
}

QJsonObject VirtualFleet::status() const
{
    return QJsonDocument::fromJson(adb({"status", "--home", home()}).out).object();
}

int VirtualFleet::liveServers() const
{
    int count = 0;
    for (const QJsonValue &process : status().value("processes").toArray())
        count += process["kind"].toString() == "server";
    return count;
}

QJsonObject VirtualFleet::phone(const QString &serial) const
{
    for (const QJsonValue &phone :
         TestSupport::readJson(home() + "/fleet.json")["phones"].toArray())
        if (phone["serial"].toString() == serial)
            return phone.toObject();
    return {};
}

bool VirtualFleet::editFleet(const std::function<void(QJsonObject &)> &edit) const
{
    QJsonObject root = TestSupport::readJson(home() + "/fleet.json");
    edit(root);
    // Whole or not at all: running phonesim processes read the file meanwhile.
    QSaveFile out(home() + "/fleet.json");
    return out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(root).toJson()) > 0 &&
           out.commit();
}

bool VirtualFleet::setPhoneOption(int index, const QString &key, const QJsonValue &value)
{
    editFleet([&](QJsonObject &root) {
        QJsonArray phones = root.value("phones").toArray();
        for (auto it = phones.begin(); it != phones.end(); ++it) {
            QJsonObject phone = it->toObject();
            if (phone.value("serial").toString() == serial(index)) {
                phone.insert(key, value);
                *it = phone;
            }
        }
        root["phones"] = phones;
    });
    return phone(serial(index)).value(key) == value;
}

QList<QJsonObject> VirtualFleet::jsonLines(const QString &relativePath) const
{
    QList<QJsonObject> entries;
    for (const QByteArray &line : TestSupport::readFile(home() + '/' + relativePath).split('\n'))
        if (!line.trimmed().isEmpty())
            entries << QJsonDocument::fromJson(line).object();
    return entries;
}

QList<QStringList> VirtualFleet::adbCalls(const QStringList &words) const
{
    QList<QStringList> calls;
    for (const QJsonObject &call : adbLog())
        calls << call.value(QStringLiteral("args")).toVariant().toStringList();
    return TestSupport::havingAll(calls, words);
}

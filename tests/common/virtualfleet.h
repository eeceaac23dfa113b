#pragma once
// Virtual phones (tools/phonesim); while a fleet lives, every adb call of the process goes to it.
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>

struct AdbRun
{
    int exitCode = -1;
    QByteArray out, err;
};

// As adb reports a failure.
inline bool failsWith(const AdbRun &run, const QByteArray &text)
{
    return run.exitCode == 1 && run.err.contains(text);
}

inline bool prints(const AdbRun &run, const QByteArray &text)
{
    return run.exitCode == 0 && run.out.contains(text);
}

struct ListedDevice
{
    QString serial, state;
    QMap<QString, QString> tokens;
};

class VirtualFleet
{
public:
    struct Options
    {
        int phones = 1;
        QSize screen{1080, 2400}; // invalid: the virtual phone's own default
        int fps = 30;
        // Stream a cached loop instead of drawing live: cheap, but shows no serial or touches.
        bool replay = false;
    };

    // `host`: the adb server it answers as ("127.0.0.2:5037", phones then SERIAL@HOST:PORT).
    VirtualFleet(const QString &phonesimPath, const Options &options, const QString &host = {},
                 const QStringList &initOptions = {});
    explicit VirtualFleet(int phones, const QStringList &initOptions = {});
    ~VirtualFleet(); // ends the fleet's adb server and points adb back to the real one
    VirtualFleet(const VirtualFleet &) = delete;
    VirtualFleet &operator=(const VirtualFleet &) = delete;

    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }
    QStringList serials() const { return m_serials; }
    QString serial(int i = 0) const { return m_serials.value(i); }
    QString home() const { return m_home.path(); }
    // Every adb call of the process reaches these fleets, each at its own address.
    static void serveTogether(const QList<VirtualFleet *> &fleets);
    // true: calls fail, sockets close; "silent": everything hangs; false: restored.
    bool setHostCut(const QJsonValue &cut) { return setTop(QStringLiteral("hostCut"), cut); }

    AdbRun adb(const QStringList &args) const;
    AdbRun on(const QString &serial, const QStringList &args) const
    {
        return adb(QStringList{"-s", serial} + args);
    }
    AdbRun shell(const QString &serial, const QString &line) const
    {
        return on(serial, {"shell", line});
    }
    QProcess *startAdb(const QStringList &args); // killed with the fleet
    QList<ListedDevice> devices() const;
    std::optional<ListedDevice> entry(const QString &serial) const;
    QJsonObject status() const; // running processes, tunnels and forwards
    int liveServers() const;

    // The phone's settings in fleet.json.
    QJsonObject phone(const QString &serial) const;
    bool setPhoneOption(int index, const QString &key, const QJsonValue &value);
    bool setTop(const QString &key, const QJsonValue &value) const
    {
        return editFleet([&](QJsonObject &root) { root[key] = value; });
    }
    bool plug(const QString &serial, bool attached)
    {
        return adb({attached ? "plug" : "unplug", "--home", home(), serial}).exitCode == 0;
    }

    // A JSON-lines log under the fleet's home ("adb.log", "<serial>/autojs.jsonl").
    QList<QJsonObject> jsonLines(const QString &relativePath) const;
    QList<QJsonObject> adbLog() const { return jsonLines(QStringLiteral("adb.log")); }
    // The arguments of the finished adb calls that have every one of the words among them.
    QList<QStringList> adbCalls(const QStringList &words) const;
    QList<QJsonObject> controlLog(const QString &serial) const
    {
        // A phone of another host is named SERIAL@HOST:PORT; its folder is the serial's.
        return jsonLines(serial.section(QLatin1Char('@'), 0, 0) + QStringLiteral("/control.jsonl"));
    }

private:
    bool editFleet(const std::function<void(QJsonObject &)> &edit) const;

    QTemporaryDir m_home;
    QString m_phonesim, m_error;
    QStringList m_serials;
    QStringList m_adbOptions; // -H/-P of the fleet's host
    bool m_valid = false;
    QList<QProcess *> m_processes;
};

#define PARVIX_NEEDS_PHONESIM()                                                                    \
    do {                                                                                           \
        if (TestSupport::phonesimPath().isEmpty())                                                 \
            QSKIP("the virtual phones are not built");                                             \
    } while (false)
// Starts `fleet`, a std::unique_ptr<VirtualFleet>, on these options.
#define PARVIX_START_FLEET(fleet, ...)                                                             \
    do {                                                                                           \
        PARVIX_NEEDS_PHONESIM();                                                                   \
        fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(), __VA_ARGS__);          \
        QVERIFY2(fleet->isValid(), qPrintable(fleet->errorString()));                              \
    } while (false)

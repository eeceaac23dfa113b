#pragma once
// Virtual phones (tools/phonesim) for whole sessions in tests and benchmarks, also driven as
// adb's caller. While a fleet lives, every adb call of the process goes to it.
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>

// One adb call: its exit code and output.
struct AdbRun
{
    int exitCode = -1;
    QByteArray out, err;
};

// Exit code 1 with the text on standard error, as adb reports a failure.
inline bool failsWith(const AdbRun &run, const QByteArray &text)
{
    return run.exitCode == 1 && run.err.contains(text);
}

// Exit code 0 with the text on standard output.
inline bool prints(const AdbRun &run, const QByteArray &text)
{
    return run.exitCode == 0 && run.out.contains(text);
}

// One entry of "devices -l": serial, state and the key:value tokens.
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

    // `host`: the adb server address the fleet answers ("127.0.0.2:5037"), its phones then
    // named SERIAL@HOST:PORT; empty: the local server. initOptions: more arguments of
    // "phonesim init".
    VirtualFleet(const QString &phonesimPath, const Options &options, const QString &host = {},
                 const QStringList &initOptions = {});
    // The built virtual phone with its own screen defaults.
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
    // Cuts the fleet's host off (true: calls fail, sockets close; "silent": everything
    // hangs) or restores it (false).
    bool setHostCut(const QJsonValue &cut) { return setTop(QStringLiteral("hostCut"), cut); }

    // adb calls made as a separate caller would make them.
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
    // "phonesim status": the running processes, tunnels and forwards.
    QJsonObject status() const;
    // Phone-side servers still running.
    int liveServers() const;

    // The phone's settings in fleet.json, and changes to them.
    QJsonObject phone(const QString &serial) const;
    bool setPhoneOption(int index, const QString &key, const QJsonValue &value);
    void setFault(const QString &serial, const QString &key, const QJsonValue &value) const;
    bool setTop(const QString &key, const QJsonValue &value) const
    {
        return editFleet([&](QJsonObject &root) { root[key] = value; });
    }
    // Pulls the phone's USB cable, ending what ran over it, or plugs it back.
    bool plug(const QString &serial, bool attached)
    {
        return adb({attached ? "plug" : "unplug", "--home", home(), serial}).exitCode == 0;
    }

    // The lines of a JSON-lines log under the fleet's home ("adb.log", "<serial>/autojs.jsonl").
    QList<QJsonObject> jsonLines(const QString &relativePath) const;
    QList<QJsonObject> adbLog() const { return jsonLines(QStringLiteral("adb.log")); }
    // Every control message the phone has logged, in order of arrival.
    QList<QJsonObject> controlLog(const QString &serial) const
    {
        // A phone of another host is named SERIAL@HOST:PORT; its folder is the serial's.
        return jsonLines(serial.section(QLatin1Char('@'), 0, 0) + QStringLiteral("/control.jsonl"));
    }
    // The "type" of every control message the phone has logged, in order.
    QStringList controlTypes(const QString &serial) const;
    // Where a file of the phone's storage lies on the computer.
    QString phoneFile(const QString &serial, const QString &phonePath) const
    {
        return home() + "/" + serial + "/fs" + phonePath;
    }

private:
    bool editFleet(const std::function<void(QJsonObject &)> &edit) const;
    void editPhone(const QString &serial, const std::function<void(QJsonObject &)> &edit) const;

    QTemporaryDir m_home;
    QString m_phonesim;
    QStringList m_serials;
    QString m_error;
    QStringList m_adbOptions; // -H/-P of the fleet's host
    bool m_valid = false;
    QList<QProcess *> m_processes;
};

// The keys of `expected` whose values `actual` lacks or differs in, with both values.
QString jsonDifferences(const QJsonObject &actual, const QJsonObject &expected);

// Skips the test (from initTestCase: the class) when the build has no virtual phone.
#define PARVIX_NEEDS_PHONESIM()                                                                    \
    do {                                                                                           \
        if (TestSupport::phonesimPath().isEmpty())                                                 \
            QSKIP("the virtual phones are not built");                                             \
    } while (false)
// Starts `fleet`, a std::unique_ptr<VirtualFleet>, on these options; fails when it does not start.
#define PARVIX_START_FLEET(fleet, ...)                                                             \
    do {                                                                                           \
        PARVIX_NEEDS_PHONESIM();                                                                   \
        fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(), __VA_ARGS__);          \
        QVERIFY2(fleet->isValid(), qPrintable(fleet->errorString()));                              \
    } while (false)

#pragma once
// Virtual phones (tools/phonesim) that the adb runner reaches, for whole mirroring sessions
// in tests and benchmarks. While a fleet lives, every adb call of the process goes to it.
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

class VirtualFleet
{
public:
    struct Options
    {
        int phones = 1;
        QSize screen{1080, 2400};
        int fps = 30;
        // Stream a cached loop instead of drawing live: cheap, but shows no serial or touches.
        bool replay = false;
    };

    // `host`: the adb server address the fleet answers ("127.0.0.2:5037"), its phones then
    // named SERIAL@HOST:PORT; empty: the local server.
    VirtualFleet(const QString &phonesimPath, const Options &options, const QString &host = {});
    ~VirtualFleet(); // ends the fleet's adb server and points adb back to the real one
    VirtualFleet(const VirtualFleet &) = delete;
    VirtualFleet &operator=(const VirtualFleet &) = delete;

    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }
    QStringList serials() const { return m_serials; }
    // Every adb call of the process reaches these fleets, each at its own address.
    static void serveTogether(const QList<VirtualFleet *> &fleets);
    // Cuts the fleet's host off (calls fail, sockets close) or restores it.
    bool setHostCut(bool cut);
    QString home() const { return m_home.path(); }
    // Changes one setting of a phone in fleet.json; false when the file cannot be rewritten.
    bool setPhoneOption(int index, const QString &key, const QJsonValue &value);
    // The lines of a JSON-lines log under the fleet's home ("adb.log", "<serial>/autojs.jsonl").
    QList<QJsonObject> jsonLines(const QString &relativePath) const;
    // Every control message the phone has logged, in order of arrival.
    QList<QJsonObject> controlLog(const QString &serial) const
    {
        return jsonLines(serial.section(QLatin1Char('@'), 0, 0) + QStringLiteral("/control.jsonl"));
    }
    // The "type" of every control message the phone has logged, in order.
    QStringList controlTypes(const QString &serial) const;

private:
    // Rewrites fleet.json with the phones as `edit` leaves them; false when it refuses.
    bool editPhones(const std::function<bool(QJsonArray &)> &edit);
    bool setReplay();
    bool editFleet(const std::function<bool(QJsonObject &)> &edit);

    QTemporaryDir m_home;
    QStringList m_serials;
    QString m_error;
    QStringList m_adbOptions; // -H/-P of the fleet's host
    bool m_valid = false;
};

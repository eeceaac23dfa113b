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

    VirtualFleet(const QString &phonesimPath, const Options &options);
    ~VirtualFleet(); // ends the fleet's adb server and points adb back to the real one
    VirtualFleet(const VirtualFleet &) = delete;
    VirtualFleet &operator=(const VirtualFleet &) = delete;

    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }
    QStringList serials() const { return m_serials; }
    QString home() const { return m_home.path(); }
    // Changes one setting of a phone in fleet.json; false when the file cannot be rewritten.
    bool setPhoneOption(int index, const QString &key, const QJsonValue &value);
    // Pulls the phone's USB cable, ending what ran over it, or plugs it back.
    bool plug(const QString &serial, bool attached);
    // The lines of a JSON-lines log under the fleet's home ("adb.log", "<serial>/autojs.jsonl").
    QList<QJsonObject> jsonLines(const QString &relativePath) const;
    // Every control message the phone has logged, in order of arrival.
    QList<QJsonObject> controlLog(const QString &serial) const
    {
        return jsonLines(serial + QStringLiteral("/control.jsonl"));
    }
    // The "type" of every control message the phone has logged, in order.
    QStringList controlTypes(const QString &serial) const;

private:
    // Rewrites fleet.json with the phones as `edit` leaves them; false when it refuses.
    bool editPhones(const std::function<bool(QJsonArray &)> &edit);
    bool setReplay();

    QTemporaryDir m_home;
    QString m_phonesim;
    QStringList m_serials;
    QString m_error;
    bool m_valid = false;
};

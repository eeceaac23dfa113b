#pragma once
// The fleet file (HOME/fleet.json): every simulated phone, its adb transports and its
// faults. Known keys are read into plain structures; keys we do not know survive a
// rewrite untouched, so tests and people can annotate the file freely.
#include <QJsonObject>
#include <QSize>
#include <QString>
#include <QVector>
#include <optional>

struct PhoneFaults
{
    bool pushFails = false;
    bool reverseFails = false;
    double serverExitAfterSec = 0; // 0: never
    bool serverNeverConnects = false;
    int delayMs = 0;               // every adb call addressed to the phone waits this long
    bool shellPrintsError = false; // a noise line containing "error" before shell output
    bool audioSetupFails = false;
    // Codec ids the server announces instead of "h264" / "opus" (the streams stay the
    // same); empty: the real ones.
    QString videoCodecId;
    QString audioCodecId;

    static PhoneFaults fromJson(const QJsonObject &json);
    QJsonObject toJson() const;
};

struct Phone
{
    QString serial; // the phone's own serial (USB serial, ro.serialno); names its folder
    QString state = QStringLiteral("device"); // device | unauthorized | offline
    QString model;
    QString product;
    QString device;

    bool usb = true; // the USB cable is attached
    QString usbPort; // shown as usb:<port>; empty for emulators
    int transportId = 0;

    QString tcpSerial; // "ip:port" while connected over Wi-Fi adb
    int tcpTransportId = 0;
    int tcpipPort = 0;         // adbd also listens on TCP (after tcpip); 0: USB only
    qint64 offlineUntilMs = 0; // adbd restarting or phone rebooting until then
    bool poweredOff = false;

    QString ip;                              // Wi-Fi address; empty: no Wi-Fi
    QString ipLookup = QStringLiteral("ip"); // which shell command reveals the address
    QSize size;                              // physical screen, portrait
    QSize overrideSize;                      // wm size override, invalid: none
    int fps = 60;
    bool audio = true;
    int toneHz = 440;
    QString selectedText; // what cut/copy key codes put on the clipboard
    bool replay = false;
    // An H.264 clip (phonesim make-clip) streamed in a loop instead of the screen, whatever
    // replay says; the screen then has the clip's size. Relative to the fleet's home; empty: none.
    QString clip;
    bool autojs = true; // the AutoJS service listens on port 7347

    QJsonObject properties; // getprop values not derived from the fields above
    PhoneFaults faults;
    QJsonObject extra; // unknown keys, kept as they were

    static Phone fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    QString property(const QString &key) const;
    QJsonObject allProperties() const;
    bool isEmulator() const;
    bool isRestarting(qint64 nowMs) const { return offlineUntilMs > nowMs; }
};

enum class TransportKind { Usb, Tcp };

struct Transport
{
    int phoneIndex = -1;
    TransportKind kind = TransportKind::Usb;
    QString serial;
    int id = 0;
};

class Fleet
{
public:
    static std::optional<Fleet> load(const QString &home, QString *error);
    bool save(QString *error = nullptr) const;

    // Entries adb lists right now, in file order (USB entry before the TCP one).
    QVector<Transport> listed(qint64 nowMs) const;
    std::optional<Transport> findListed(const QString &serial, qint64 nowMs) const;
    std::optional<Transport> findListedById(int transportId, qint64 nowMs) const;

    int phoneIndex(const QString &serial) const;
    int phoneIndexByIp(const QString &ip) const;
    int allocateTransportId() { return nextTransportId++; }

    QString home;
    QVector<Phone> phones;
    bool adbServerRunning = false;
    int nextTransportId = 1;
    int restartMs = 1000; // how long adbd is away after tcpip / usb
    int rebootMs = 3000;
    // The adb server address this fleet answers (-H/-P), and whether the host is cut off:
    // then every call to it fails as with an unreachable server and open sockets close.
    // A silent cut ("hostCut": "silent", a pulled cable) closes nothing: new calls wait and
    // open connections stay quiet until it is lifted.
    QString host = QStringLiteral("127.0.0.1");
    int hostPort = 5037;
    bool hostCut = false;
    bool hostSilent = false;
    QJsonObject extra;
};

QString fleetFilePath(const QString &home);
QString phoneDir(const QString &home, const QString &serial);
// The phone's clip as an absolute path; empty when it has none.
QString clipFilePath(const QString &home, const Phone &phone);
QSize parseSize(const QString &text);
QString sizeText(const QSize &size);

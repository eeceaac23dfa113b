#pragma once
#include <QObject>
#include <QString>

// Stream parameters of one mirroring session. A Device keeps one set for the
// tile and one for the enlarged view and hands one to each ScrcpyServer.
class ServerParams : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int maxSize READ maxSize WRITE setMaxSize NOTIFY maxSizeChanged)
    Q_PROPERTY(int maxFps READ maxFps WRITE setMaxFps NOTIFY maxFpsChanged)
    Q_PROPERTY(int bitRate READ bitRate WRITE setBitRate NOTIFY bitRateChanged)
    Q_PROPERTY(
        QString deviceSerial READ deviceSerial WRITE setDeviceSerial NOTIFY deviceSerialChanged)
    Q_PROPERTY(QString socketName READ socketName WRITE setSocketName NOTIFY socketNameChanged)
    Q_PROPERTY(bool audio READ audio WRITE setAudio NOTIFY audioChanged)

public:
    explicit ServerParams(QObject *parent = nullptr);

    QString deviceSerial() const { return m_deviceSerial; }
    int bitRate() const { return m_bitRate; }
    int maxSize() const { return m_maxSize; }
    int maxFps() const { return m_maxFps; }
    bool stayAwake() const { return m_stayAwake; }
    QString socketName() const { return m_socketName; }
    quint16 port() const { return m_port; }
    QString audioCodec() const { return m_audioCodec; }
    bool video() const { return m_video; }
    bool audio() const { return m_audio; }
    bool control() const { return m_control; }
    int scid() const { return m_scid; }

    // The session id as the phone-side server expects it: 8 lowercase hex digits.
    QString scidHex() const;

    void setDeviceSerial(const QString &serial);
    void setBitRate(int bitRate);
    void setMaxSize(int maxSize);
    void setMaxFps(int maxFps);
    void setSocketName(const QString &name);
    void setPort(quint16 port) { m_port = port; }
    void setAudio(bool audio);
    // Fixed per object in production; tests pin it to check the command line.
    void setScid(int scid) { m_scid = scid & 0x7fffffff; }

signals:
    void maxSizeChanged();
    void maxFpsChanged();
    void bitRateChanged();
    void deviceSerialChanged();
    void socketNameChanged();
    void audioChanged();

private:
    QString m_deviceSerial;
    int m_bitRate = 2000000;
    int m_maxSize = 280;
    int m_maxFps = 5;
    bool m_stayAwake = true;
    QString m_socketName;
    quint16 m_port = 0;
    QString m_audioCodec = QStringLiteral("opus");
    bool m_video = true;
    bool m_audio = false;
    bool m_control = true;
    int m_scid = 0;
};

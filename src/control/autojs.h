#pragma once
// Sends a script to the AutoJS app on one phone and asks it to run or stop scripts.
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "usermessage.h"

#include <atomic>
#include <functional>

class QJsonObject;
class QTcpSocket;

class Autojs : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY runningStatusChanged)

public:
    static constexpr quint16 kRemotePort = 7347;

    Autojs(const QString &serial, QObject *parent);
    ~Autojs() override;

    bool isRunning() const { return m_running.load(); }
    quint16 localPort() const { return m_localPort; }

    // The JSON text of a command in its frame: a 16-byte header, then the UTF-8 text.
    static QByteArray frame(const QByteArray &jsonText);
    // The script name sent with a run command: the file name up to its first dot.
    static QString scriptName(const QString &path);
    // Takes every complete reply frame (8-byte header: length and kind, big-endian) off the
    // front of the buffer and returns the "type" of each JSON reply among them. A length no
    // reply can have means the stream is out of step: the buffer is then emptied.
    static QStringList parseReplies(QByteArray &buffer);

signals:
    void runningStatusChanged();
    // Every outcome reported to the user.
    void userMessage(QString message, UserMessage::Kind kind);

public:
    // Both may be called from any thread; one operation runs at a time, in call order.
    Q_INVOKABLE void run(QString autojsPath);
    Q_INVOKABLE void stop();

private:
    struct ConnectAttempt;

    void chooseLocalPort();
    bool connectToService();
    void sendCommand(const QJsonObject &command);
    void readReplies();
    bool onOwnerThread(const std::function<void()> &step);
    void setRunning(bool running);
    void report(const QString &message, UserMessage::Kind kind);

    QString m_serial;
    QTcpSocket *m_socket = nullptr; // used on this object's thread only
    QByteArray m_receiveBuffer;
    std::atomic_bool m_running{false};
    quint16 m_localPort = 0;
    QMutex m_operationMutex;
};

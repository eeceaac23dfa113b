#pragma once
// Sends a script to the AutoJS app on one phone and asks it to run or stop scripts.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "usermessage.h"

class QJsonObject;
class QTcpSocket;
class QTimer;
template<typename T> class QFutureWatcher;

// Everything happens on this object's thread without waiting: only the adb port forward
// runs on the thread pool, watched by a child of this object and given nothing but values,
// so the object may be deleted at any moment, a run under way included.
class Autojs : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY runningStatusChanged)

public:
    static constexpr quint16 kRemotePort = 7347;
    static constexpr int kConnectTimeoutMs = 30000;

    Autojs(const QString &serial, QObject *parent);
    ~Autojs() override;

    bool isRunning() const { return m_running; }
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
    // Both return at once; call them on this object's thread. Operations are carried out
    // one after another in call order: a stop given while a run still connects follows it.
    Q_INVOKABLE void run(QString autojsPath);
    Q_INVOKABLE void stop();

private:
    struct Operation
    {
        bool isRun = false;
        QString path;
    };

    void startNext();
    void beginRun(const QString &path);
    void handleForwarded();
    void handleConnected();
    void handleConnectFailed();
    void endRun();
    void sendStop();
    void sendCommand(const QJsonObject &command);
    void readReplies();
    void setRunning(bool running);

    QString m_serial;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_connectTimer = nullptr;
    QFutureWatcher<quint16> *m_forward = nullptr;
    QList<Operation> m_queue;
    bool m_runUnderWay = false; // forwarding or connecting; later operations wait
    bool m_connecting = false;
    QString m_runPath;
    QByteArray m_receiveBuffer;
    bool m_running = false;
    quint16 m_localPort = 0;
    quint16 m_serverPort = 0; // where the forward listens on the phone's adb server
};

#pragma once
// The connections of a session that runs through an adb forward (a phone on another
// computer's adb server): one per requested stream, made one after another. adb accepts and
// then closes, or refuses, a connection while the phone-side server does not listen yet, so
// each is retried for a while. The server writes one byte 0 on the first connection it
// accepts; that byte is read here, so the sockets handed out begin with the stream itself.
#include <QObject>
#include <QString>

class QTcpSocket;
class QTimer;

class ForwardConnector : public QObject
{
    Q_OBJECT

public:
    static constexpr int kAttempts = 100;
    static constexpr int kRetryMs = 100;

    ForwardConnector(QObject *parent, const QString &host, quint16 port, int streams);

    void start();

signals:
    // In connection order; the socket is a child of this connector until taken.
    void connected(QTcpSocket *socket);
    void failed(const QString &reason);

private:
    void connectNext();
    void handleConnected();
    void handleFirstByte();
    void retry(const QString &why);
    void deliver();

    QString m_host;
    quint16 m_port = 0;
    int m_remaining = 0;
    int m_attempts = 0;
    bool m_first = true;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_retryTimer = nullptr;
};

#include "forwardconnector.h"

#include <QLoggingCategory>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

Q_LOGGING_CATEGORY(lcForward, "parvix.session.forward")

ForwardConnector::ForwardConnector(QObject *parent, const QString &host, quint16 port, int streams)
    : QObject(parent), m_host(host), m_port(port), m_remaining(streams),
      m_retryTimer(new QTimer(this))
{
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setInterval(kRetryMs);
    connect(m_retryTimer, &QTimer::timeout, this, &ForwardConnector::connectNext);
}

void ForwardConnector::start()
{
    if (m_remaining > 0)
        connectNext();
}

void ForwardConnector::connectNext()
{
    m_socket = new QTcpSocket(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::connected, this, &ForwardConnector::handleConnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { retry(m_socket->errorString()); });
    ++m_attempts;
    m_socket->connectToHost(m_host, m_port);
}

void ForwardConnector::handleConnected()
{
    if (!m_first) {
        deliver();
        return;
    }
    // Connected to adb only: the phone-side server is there once its byte arrives.
    connect(m_socket, &QTcpSocket::readyRead, this, &ForwardConnector::handleFirstByte);
    if (m_socket->bytesAvailable() > 0)
        handleFirstByte();
}

void ForwardConnector::handleFirstByte()
{
    char byte = 1;
    if (m_socket->read(&byte, 1) != 1)
        return;
    if (byte != 0) {
        retry(QStringLiteral("unexpected first byte %1").arg(int(quint8(byte))));
        return;
    }
    m_first = false;
    deliver();
}

void ForwardConnector::deliver()
{
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    m_attempts = 0;
    --m_remaining;
    emit connected(socket);
    if (m_remaining > 0)
        connectNext();
}

void ForwardConnector::retry(const QString &why)
{
    if (!m_socket)
        return;
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (m_attempts >= kAttempts) {
        const QString reason = QStringLiteral("no connection through the adb forward to %1:%2 "
                                              "after %3 attempts: %4")
                                   .arg(m_host)
                                   .arg(m_port)
                                   .arg(m_attempts)
                                   .arg(why);
        qCWarning(lcForward).noquote() << reason;
        emit failed(reason);
        return;
    }
    m_retryTimer->start();
}

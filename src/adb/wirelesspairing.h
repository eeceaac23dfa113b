#pragma once
// Android 11's wireless debugging: "adb pair HOST:PORT CODE", then "adb connect" to the port
// the phone's Wireless debugging screen shows. adb runs on the adb work pool, never on the
// calling thread.
#include <QObject>
#include <QString>

class WirelessPairing : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    // The outcome of the last attempt, or why the input was refused; empty before any.
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(bool succeeded READ succeeded NOTIFY messageChanged)

public:
    struct Outcome
    {
        bool ok = false;
        QString message;
    };

    explicit WirelessPairing(QObject *parent = nullptr);

    bool busy() const { return m_busy; }
    QString message() const { return m_message; }
    bool succeeded() const { return m_succeeded; }

    // Empty when adb may be given these, else what is wrong with them.
    static QString checkInput(const QString &pairAddress, const QString &code,
                              const QString &connectPort);
    // The whole exchange, blocking.
    static Outcome pairAndConnect(const QString &pairAddress, const QString &code, int connectPort);

    // False (and the reason in message) when the input is refused or an attempt runs.
    Q_INVOKABLE bool start(const QString &pairAddress, const QString &code,
                           const QString &connectPort);

signals:
    void busyChanged();
    void messageChanged();
    void finished(bool ok);

private:
    void setOutcome(const Outcome &outcome);

    bool m_busy = false;
    bool m_succeeded = false;
    QString m_message;
};

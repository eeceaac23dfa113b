#pragma once
// Turns POSIX signals into a Qt signal delivered on the event loop, so long-running
// processes can end cleanly (unregister, close sockets) when told to.
#include <QObject>
#include <initializer_list>

class QSocketNotifier;

class SignalBridge : public QObject
{
    Q_OBJECT
public:
    SignalBridge(std::initializer_list<int> watched, QObject *parent = nullptr);

signals:
    void received(int signal);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
};

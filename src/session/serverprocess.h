#pragma once
// The local adb process that runs the phone-side server, started and ended on a thread of its
// own: starting a process forks the application, which takes tens of milliseconds once the
// application is large and the machine busy, and the GUI thread must not pay that per phone.
// Created on the caller's thread, the object moves itself to the process thread; its signals
// reach the caller queued.
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

class ServerProcess : public QObject
{
    Q_OBJECT

public:
    ServerProcess();

    // From any thread; the work happens on the process thread, in the order asked.
    void start(const QString &program, const QStringList &arguments);
    void kill();
    // Kills the process if it runs and deletes this object once it has ended. No signal
    // comes after the caller has disconnected.
    void release();

signals:
    void output(QByteArray data);
    void finished(int exitCode, QProcess::ExitStatus status);
    void failedToStart();

private:
    struct Request
    {
        enum Kind { Start, Kill, Release } kind;
        QString program;
        QStringList arguments;
    };
    void ask(Request request);
    void handleRequests();
    void startHere(const QString &program, const QStringList &arguments);
    void killHere();
    void releaseHere();

    // Requests reach the process thread through this lock, not only through Qt's event
    // queue: whatever the caller did before asking (the move to the process thread
    // included) is ordered before the work for a thread checker too, even when the
    // process thread's event loop has not started yet.
    std::mutex m_requestsMutex;
    std::vector<Request> m_requests;

    QProcess *m_process = nullptr; // process thread
    bool m_released = false;
};

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
    void startHere(const QString &program, const QStringList &arguments);
    void releaseHere();

    QProcess *m_process = nullptr; // process thread
    bool m_released = false;
};

#pragma once
#include <QGuiApplication>
#include <QString>
#include <QStringList>

#include <atomic>

// bench_groups --busy: phones streaming a busy clip against the machine's decode capacity, and
// Start All / Stop All on many phones. Returns the process's exit code.
int runBusyBench(const QStringList &args);

// Times every event the GUI thread handles, so that a stall can be told apart: our own work
// (a long handler) or the thread waiting for a core (no long handler).
class EventTimingApplication : public QGuiApplication
{
public:
    EventTimingApplication(int &argc, char **argv) : QGuiApplication(argc, argv) {}
    bool notify(QObject *receiver, QEvent *event) override;

    static void reset();
    // The longest handler since reset(), in ms of the thread's CPU time, and what it was.
    static double longestMs();
    static QString longestWhat();

private:
    int m_depth = 0;
};

// The server's local process on its own thread: what it prints and how it ends reach the
// caller's thread, a process that cannot start says so, and releasing it ends it.
#include "serverprocess.h"
#include "testregistry.h"

#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

class ServerProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void aProgramThatCannotStartSaysSo()
    {
        auto *process = new ServerProcess;
        int failed = 0;
        QObject scope;
        connect(process, &ServerProcess::failedToStart, &scope, [&] { ++failed; });
        process->start("/nonexistent/adb", {});
        QTRY_COMPARE(failed, 1);
        process->release();
    }

    void releasingEndsARunningProcess()
    {
        auto *process = new ServerProcess;
        QByteArray printed;
        QObject scope;
        connect(process, &ServerProcess::output, &scope,
                [&](const QByteArray &data) { printed += data; });
        process->start("/bin/sh", {"-c", "echo $$; exec sleep 60"});
        QTRY_VERIFY(printed.endsWith('\n'));
        const pid_t pid = printed.trimmed().toInt();
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid, 0), 0);
        scope.disconnect();
        process->release();
        // Killed and reaped: the pid no longer names a process.
        QTRY_VERIFY_WITH_TIMEOUT(::kill(pid, 0) != 0, 5000);
    }
};

PARVIX_TEST(ServerProcessTest)
#include "serverprocesstest.moc"

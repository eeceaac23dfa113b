#include "serverprocess.h"

#include "sessionlog.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

namespace {
constexpr int kJoinWaitMs = 3000;

QThread *s_thread = nullptr;
QMutex s_mutex;

void joinThread()
{
    QThread *thread = nullptr;
    {
        QMutexLocker locker(&s_mutex);
        std::swap(thread, s_thread);
    }
    if (!thread)
        return;
    thread->quit();
    if (thread->wait(kJoinWaitMs))
        delete thread;
}

QThread *processThread()
{
    QMutexLocker locker(&s_mutex);
    if (!s_thread) {
        s_thread = new QThread;
        s_thread->setObjectName(QStringLiteral("ServerProcessThread"));
        s_thread->start();
        if (QCoreApplication::instance())
            qAddPostRoutine(joinThread);
    }
    return s_thread;
}
} // namespace

ServerProcess::ServerProcess()
{
    moveToThread(processThread());
}

void ServerProcess::start(const QString &program, const QStringList &arguments)
{
    QMetaObject::invokeMethod(
        this, [this, program, arguments] { startHere(program, arguments); }, Qt::QueuedConnection);
}

void ServerProcess::kill()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_process && m_process->state() != QProcess::NotRunning)
                m_process->kill();
        },
        Qt::QueuedConnection);
}

void ServerProcess::release()
{
    QMetaObject::invokeMethod(this, &ServerProcess::releaseHere, Qt::QueuedConnection);
}

void ServerProcess::startHere(const QString &program, const QStringList &arguments)
{
    if (m_released || m_process)
        return;
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_process, &QProcess::readyReadStandardOutput, this,
            [this] { emit output(m_process->readAllStandardOutput()); });
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                emit finished(exitCode, status);
                if (m_released)
                    deleteLater();
            });
    // A process that never started sends no finished().
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        qCWarning(lcSession) << "the server process did not start:" << m_process->errorString();
        emit failedToStart();
        if (m_released)
            deleteLater();
    });
    m_process->start(program, arguments, QIODevice::ReadWrite);
}

void ServerProcess::releaseHere()
{
    m_released = true;
    if (!m_process || m_process->state() == QProcess::NotRunning) {
        deleteLater();
        return;
    }
    // Destroying a running QProcess would wait for it: it goes once it has ended.
    m_process->kill();
}

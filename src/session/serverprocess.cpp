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
    ask({Request::Start, program, arguments});
}

void ServerProcess::kill()
{
    ask({Request::Kill, {}, {}});
}

void ServerProcess::release()
{
    ask({Request::Release, {}, {}});
}

void ServerProcess::ask(Request request)
{
    std::lock_guard<std::mutex> lock(m_requestsMutex);
    m_requests.push_back(std::move(request));
    // Posted under the lock, so the event is older than the unlock the process thread
    // synchronises with; one event serves every request queued before it runs.
    if (m_requests.size() == 1)
        QMetaObject::invokeMethod(this, &ServerProcess::handleRequests, Qt::QueuedConnection);
}

void ServerProcess::handleRequests()
{
    std::vector<Request> requests;
    {
        std::lock_guard<std::mutex> lock(m_requestsMutex);
        requests.swap(m_requests);
    }
    for (const Request &request : requests) {
        switch (request.kind) {
        case Request::Start:
            startHere(request.program, request.arguments);
            break;
        case Request::Kill:
            killHere();
            break;
        case Request::Release:
            releaseHere();
            break;
        }
    }
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

void ServerProcess::killHere()
{
    if (m_process && m_process->state() != QProcess::NotRunning)
        m_process->kill();
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

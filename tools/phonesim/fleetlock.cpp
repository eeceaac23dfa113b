#include "fleetlock.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FleetLock::FleetLock(const QString &home)
{
    const QByteArray path = QFile::encodeName(home + QStringLiteral("/.lock"));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return;
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
}

FleetLock::~FleetLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing releases the lock
}

#include "smalldisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <sys/statvfs.h>
#ifdef __linux__
#include <sys/mount.h>
#endif

namespace {
constexpr qint64 Page = 4096;
#ifndef __linux__
constexpr unsigned long MS_RDONLY = 0;
#endif

qint64 freeBytes(const QString &folder)
{
    struct statvfs info;
    if (statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

QString systemError(const char *what)
{
    return QString::fromLatin1(what) + ": " + QString::fromLocal8Bit(std::strerror(errno));
}

bool mountOn([[maybe_unused]] const QString &folder, [[maybe_unused]] unsigned long flags,
             [[maybe_unused]] const QByteArray &options)
{
#ifdef __linux__
    return ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs",
                   flags | MS_NOSUID | MS_NODEV, options.constData()) == 0;
#else
    errno = ENOSYS;
    return false;
#endif
}

void unmount([[maybe_unused]] const QString &folder)
{
#ifdef __linux__
    ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
#endif
}
} // namespace

SmallDisk::SmallDisk(const QString &folder, qint64 room) : m_folder(folder)
{
    QDir().mkpath(folder);
    if ((qgetenv("PARVIX_SMALL_DISK") != "fsize" && mountTmpfs(room)) || limitFileSize(room))
        m_error.clear();
}

SmallDisk::~SmallDisk()
{
    struct rlimit limit;
    if (m_limitSet && getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = m_oldLimit;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (m_tmpfs)
        unmount(m_folder); // and the fillers with it
}

bool SmallDisk::mountTmpfs(qint64 room)
{
    if (!mountOn(m_folder, 0,
                 "size=" + QByteArray::number((room + Page - 1) / Page * Page + Page))) {
        m_error = systemError("tmpfs");
        return false;
    }
    m_tmpfs = fillUntil(room);
    if (!m_tmpfs)
        unmount(m_folder);
    return m_tmpfs;
}

bool SmallDisk::limitFileSize(qint64 room)
{
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) {
        m_error = systemError("file-size limit");
        return false;
    }
    m_oldLimit = limit.rlim_cur;
    limit.rlim_cur = rlim_t(qMax<qint64>(room, 0));
    // Past the limit a write would raise SIGXFSZ and end the process; ignored, it fails.
    std::signal(SIGXFSZ, SIG_IGN);
    m_limitSet = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (!m_limitSet)
        m_error = systemError("file-size limit");
    return m_limitSet;
}

bool SmallDisk::fillUntil(qint64 room)
{
    const qint64 available = freeBytes(m_folder);
    if (available < 0) {
        m_error = systemError("statvfs");
        return false;
    }
    if (available <= room)
        return true;
    QFile filler(QDir(m_folder).filePath(QStringLiteral(".filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_error = QStringLiteral("filler: ") + filler.errorString();
        return false;
    }
    const QByteArray block(64 * 1024, 'f');
    for (qint64 excess = available - room; excess > 0;) {
        const qint64 written = filler.write(block.constData(), qMin<qint64>(excess, block.size()));
        if (written <= 0)
            break; // full before the count says so
        excess -= written;
    }
    // The filler's own bookkeeping (indirect blocks) can take what was meant to stay free.
    for (int i = 0; i < 16; ++i) {
        const qint64 left = freeBytes(m_folder);
        if (left >= room || filler.size() == 0)
            break;
        filler.resize(qMax<qint64>(0, filler.size() - (room - left) - Page));
    }
    filler.close();
    // ... or leave blocks the big filler cannot use but a small file can: take them too.
    QFile rest(filler.fileName() + QStringLiteral("-rest"));
    if (freeBytes(m_folder) > room && rest.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        while (freeBytes(m_folder) > room && rest.write(block.constData(), 512) == 512) {
        }
    }
    return true;
}

ReadOnlyFolder::ReadOnlyFolder(const QString &folder) : m_folder(folder)
{
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QFile probe(QDir(folder).filePath(QStringLiteral(".probe")));
    // Permissions do not stop root; a read-only file system does.
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        m_mounted = mountOn(folder, MS_RDONLY, "size=4k");
        if (!m_mounted)
            m_error = systemError("permissions do not apply to this user, and mounting failed");
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_mounted)
        unmount(m_folder);
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                        QFile::ExeOther);
}

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

qint64 freeBytes(const QString &folder)
{
    struct statvfs info;
    if (statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

SmallDisk::SmallDisk(const QString &folder, qint64 room) : m_folder(folder)
{
    QDir().mkpath(folder);
    // PARVIX_SMALL_DISK=fsize tries the fallback first.
    if ((qgetenv("PARVIX_SMALL_DISK") != "fsize" && mountTmpfs(room)) || limitFileSize(room))
        m_error.clear();
}

SmallDisk::~SmallDisk()
{
    makeRoom();
    unmount();
}

QString SmallDisk::kindName() const
{
    return QString::fromLatin1(m_kind == Kind::Tmpfs           ? "tmpfs"
                               : m_kind == Kind::FileSizeLimit ? "file-size limit"
                                                               : "none");
}

bool SmallDisk::mountTmpfs(qint64 room)
{
#ifdef __linux__
    const QByteArray options = "size=" + QByteArray::number((room + Page - 1) / Page * Page + Page);
    if (::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.constData()) != 0) {
        m_error = QStringLiteral("tmpfs: ") + systemError();
        return false;
    }
    m_kind = Kind::Tmpfs; // so that a failed fill unmounts it
    if (fillUntil(room))
        return true;
    unmount();
    m_kind = Kind::None;
    return false;
#else
    Q_UNUSED(room)
    m_error = QStringLiteral("tmpfs: not on this system");
    return false;
#endif
}

bool SmallDisk::limitFileSize(qint64 room)
{
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) {
        m_error = QStringLiteral("file-size limit: ") + systemError();
        return false;
    }
    if (limit.rlim_max != RLIM_INFINITY && rlim_t(room) > limit.rlim_max) {
        m_error = QStringLiteral("file-size limit: the hard limit is lower");
        return false;
    }
    m_oldLimit = limit.rlim_cur;
    limit.rlim_cur = rlim_t(qMax<qint64>(room, 0));
    // Past the limit a write would raise SIGXFSZ and end the process; ignored, it fails.
    std::signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        m_error = QStringLiteral("file-size limit: ") + systemError();
        return false;
    }
    m_limitSet = true;
    m_kind = Kind::FileSizeLimit;
    return true;
}

bool SmallDisk::fillUntil(qint64 room)
{
    const qint64 available = freeBytes(m_folder);
    if (available < 0) {
        m_error = QStringLiteral("statvfs: ") + systemError();
        return false;
    }
    if (available <= room)
        return true;
    m_filler = QDir(m_folder).filePath(QStringLiteral(".filler"));
    QFile filler(m_filler);
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
    QFile rest(m_filler + QStringLiteral("-rest"));
    if (freeBytes(m_folder) > room && rest.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        while (freeBytes(m_folder) > room && rest.write(block.constData(), 512) == 512) {
        }
    }
    return true;
}

void SmallDisk::makeRoom()
{
    if (!m_filler.isEmpty()) {
        QFile::remove(m_filler);
        QFile::remove(m_filler + QStringLiteral("-rest"));
        m_filler.clear();
    }
#ifdef __linux__
    if (m_kind == Kind::Tmpfs)
        ::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs",
                MS_REMOUNT | MS_NOSUID | MS_NODEV, "size=64m");
#endif
    if (m_limitSet) {
        struct rlimit limit;
        if (getrlimit(RLIMIT_FSIZE, &limit) == 0) {
            limit.rlim_cur = m_oldLimit;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        m_limitSet = false;
    }
}

void SmallDisk::unmount()
{
#ifdef __linux__
    if (m_kind == Kind::Tmpfs)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
#endif
}

ReadOnlyFolder::ReadOnlyFolder(const QString &folder) : m_folder(folder)
{
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QFile probe(QDir(folder).filePath(QStringLiteral(".probe")));
    if (!probe.open(QIODevice::WriteOnly)) {
        m_valid = true;
        return;
    }
    // Permissions do not stop this user (root); a read-only file system does.
    probe.close();
    probe.remove();
#ifdef __linux__
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs",
                MS_RDONLY | MS_NOSUID | MS_NODEV, "size=4k") == 0) {
        m_mounted = true;
        m_valid = true;
        return;
    }
    m_error = QStringLiteral("permissions do not apply to this user, and mounting failed: ") +
              systemError();
#else
    m_error = QStringLiteral("permissions do not apply to this user");
#endif
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    release();
}

void ReadOnlyFolder::release()
{
#ifdef __linux__
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
#endif
    m_mounted = false;
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                        QFile::ExeOther);
}

#pragma once
// Real write failures for the recorder tests.
#include <QString>

// A folder whose writes fail once about `room` bytes are in use: a small tmpfs when this
// process may mount, else a file-size limit of the process (EFBIG instead of ENOSPC).
// PARVIX_SMALL_DISK=fsize takes the limit at once.
class SmallDisk
{
public:
    SmallDisk(const QString &folder, qint64 room);
    ~SmallDisk(); // frees the disk
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isValid() const { return m_tmpfs || m_limitSet; }
    QString errorString() const { return m_error; }
    // Writes fail with "no space left" rather than "file too large".
    bool reportsDiskFull() const { return m_tmpfs; }

private:
    bool mountTmpfs(qint64 room);
    bool limitFileSize(qint64 room);
    bool fillUntil(qint64 room);

    QString m_folder;
    QString m_error;
    bool m_tmpfs = false, m_limitSet = false;
    quint64 m_oldLimit = 0;
};

// A folder that cannot be written: read-only permissions, or for root a read-only tmpfs.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &folder);
    ~ReadOnlyFolder(); // writable again
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

private:
    QString m_folder;
    bool m_mounted = false;
    QString m_error;
};

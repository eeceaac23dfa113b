#pragma once
// Real write failures for the recorder tests: a folder whose disk fills up, and a folder
// that cannot be written at all.
#include <QString>

// A folder on which writes fail once about `room` bytes are in use: a small tmpfs mounted
// on it when this process may mount, else a file-size limit of the whole process
// (RLIMIT_FSIZE with SIGXFSZ ignored; writes then fail with EFBIG instead of ENOSPC).
// room 0: full from the start. PARVIX_SMALL_DISK=fsize takes the limit at once.
class SmallDisk
{
public:
    SmallDisk(const QString &folder, qint64 room);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isValid() const { return m_tmpfs || m_limitSet; }
    // Why neither could be set up.
    QString errorString() const { return m_error; }
    // Writes fail with "no space left" rather than "file too large".
    bool reportsDiskFull() const { return m_tmpfs; }
    // Frees the disk: writes succeed again.
    void makeRoom();

private:
    bool mountTmpfs(qint64 room);
    bool limitFileSize(qint64 room);
    bool fillUntil(qint64 room);

    QString m_folder;
    QString m_filler;
    QString m_error;
    bool m_tmpfs = false;
    bool m_limitSet = false;
    quint64 m_oldLimit = 0;
};

// A folder that exists but cannot be written: read-only permissions, or, for root (who
// writes anyway), a read-only tmpfs mounted on it.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &folder);
    ~ReadOnlyFolder(); // writable again
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }

private:
    QString m_folder;
    bool m_valid = false;
    bool m_mounted = false;
    QString m_error;
};

#include "devicefs.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

namespace {

const QStringList writableRoots{QStringLiteral("/data/local/tmp"), QStringLiteral("/sdcard")};

bool isUnder(const QString &path, const QString &root)
{
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

QString joinPhone(const QString &dir, const QString &name)
{
    return dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
}

bool copyFileReplacing(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    if (QFileInfo(to).isDir())
        return false;
    QFile::remove(to);
    return QFile::copy(from, to);
}

QByteArray transferLine(const QString &what, int files, qint64 bytes, qint64 elapsedNs)
{
    const double seconds = qMax<double>(elapsedNs / 1e9, 0.001);
    return QStringLiteral("%1: %2 file%3 pushed, 0 skipped. %4 MB/s (%5 bytes in %6s)\n")
        .arg(what)
        .arg(files)
        .arg(files == 1 ? QString() : QStringLiteral("s"))
        .arg(bytes / seconds / 1e6, 0, 'f', 1)
        .arg(bytes)
        .arg(seconds, 0, 'f', 3)
        .toUtf8();
}

} // namespace

DeviceFs::DeviceFs(const QString &home, const QString &phoneSerial)
    : m_root(home + QLatin1Char('/') + phoneSerial + QStringLiteral("/fs"))
{}

QString DeviceFs::normalize(const QString &phonePath)
{
    QString path = QDir::cleanPath(QLatin1Char('/') + phonePath);
    if (path.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return {};
    for (const QString &alias :
         {QStringLiteral("/storage/emulated/0"), QStringLiteral("/storage/self/primary")}) {
        if (isUnder(path, alias))
            path = QStringLiteral("/sdcard") + path.mid(alias.size());
    }
    return path;
}

QString DeviceFs::hostPath(const QString &phonePath) const
{
    const QString path = normalize(phonePath);
    return path.isEmpty() ? QString() : m_root + (path == QLatin1String("/") ? QString() : path);
}

bool DeviceFs::isFile(const QString &phonePath) const
{
    const QString host = hostPath(phonePath);
    return !host.isEmpty() && QFileInfo(host).isFile();
}

bool DeviceFs::isDir(const QString &phonePath) const
{
    const QString host = hostPath(phonePath);
    return !host.isEmpty() && QFileInfo(host).isDir();
}

bool DeviceFs::isWritable(const QString &phonePath)
{
    const QString path = normalize(phonePath);
    for (const QString &root : writableRoots) {
        if (isUnder(path, root))
            return true;
    }
    return false;
}

FsResult DeviceFs::push(const QStringList &localPaths, const QString &remote, bool failWrites) const
{
    FsResult result;
    if (localPaths.isEmpty() || remote.isEmpty()) {
        result.err = "adb: usage: push [--sync] [-z ALGORITHM] [-Z] LOCAL... REMOTE\n";
        result.exitCode = 1;
        return result;
    }
    for (const QString &local : localPaths) {
        if (!QFileInfo::exists(local)) {
            result.err = QStringLiteral("adb: error: cannot stat '%1': No such file or directory\n")
                             .arg(local)
                             .toUtf8();
            result.exitCode = 1;
            return result;
        }
    }
    const bool remoteIsDir = remote.endsWith(QLatin1Char('/')) || isDir(remote);
    if (localPaths.size() > 1 && !remoteIsDir) {
        result.err =
            QStringLiteral("adb: error: target '%1' is not a directory\n").arg(remote).toUtf8();
        result.exitCode = 1;
        return result;
    }

    for (const QString &local : localPaths) {
        const QFileInfo localInfo(local);
        const QString target = remoteIsDir ? joinPhone(remote, localInfo.fileName()) : remote;
        const QString targetPath = normalize(target);
        auto refuse = [&](const char *reason) {
            result.err = QStringLiteral("adb: error: failed to copy '%1' to '%2': %3\n")
                             .arg(local, target, QLatin1String(reason))
                             .toUtf8();
            result.exitCode = 1;
            return result;
        };
        if (failWrites)
            return refuse("remote write failed: No space left on device");
        if (targetPath.isEmpty() || !isWritable(targetPath))
            return refuse("remote couldn't create file: Permission denied");

        QElapsedTimer clock;
        clock.start();
        int files = 0;
        qint64 bytes = 0;
        if (localInfo.isDir()) {
            QDirIterator it(local, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                            QDirIterator::Subdirectories);
            QDir().mkpath(hostPath(targetPath));
            while (it.hasNext()) {
                const QString file = it.next();
                const QString relative = QDir(local).relativeFilePath(file);
                if (!copyFileReplacing(file, hostPath(joinPhone(targetPath, relative))))
                    return refuse("remote couldn't create file: Is a directory");
                ++files;
                bytes += QFileInfo(file).size();
            }
            result.out +=
                transferLine(local + QLatin1Char('/'), files, bytes, clock.nsecsElapsed());
        } else {
            if (!copyFileReplacing(local, hostPath(targetPath)))
                return refuse("remote couldn't create file: Is a directory");
            result.out += transferLine(local, 1, localInfo.size(), clock.nsecsElapsed());
        }
    }
    return result;
}

FsResult DeviceFs::list(const QStringList &phonePaths, bool longFormat, bool showHidden) const
{
    FsResult result;
    const QStringList paths = phonePaths.isEmpty() ? QStringList{QStringLiteral("/")} : phonePaths;
    for (const QString &path : paths) {
        const QString host = hostPath(path);
        const QFileInfo info(host);
        if (host.isEmpty() || !info.exists()) {
            result.err += QStringLiteral("ls: %1: No such file or directory\n").arg(path).toUtf8();
            result.exitCode = 1;
            continue;
        }
        QFileInfoList entries;
        if (info.isDir()) {
            QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot;
            if (showHidden)
                filters |= QDir::Hidden;
            entries = QDir(host).entryInfoList(filters, QDir::Name);
            if (paths.size() > 1)
                result.out += path.toUtf8() + ":\n";
        } else {
            entries << info;
        }
        for (const QFileInfo &entry : entries) {
            const QString name = info.isDir() ? entry.fileName() : path;
            if (longFormat) {
                result.out +=
                    QStringLiteral("%1 1 shell shell %2 %3 %4\n")
                        .arg(entry.isDir() ? QStringLiteral("drwxrwx--x")
                                           : QStringLiteral("-rw-rw-rw-"))
                        .arg(entry.isDir() ? 4096 : entry.size(), 8)
                        .arg(entry.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                             name)
                        .toUtf8();
            } else {
                result.out += name.toUtf8() + '\n';
            }
        }
    }
    return result;
}

FsResult DeviceFs::cat(const QStringList &phonePaths) const
{
    FsResult result;
    for (const QString &path : phonePaths) {
        QFile file(hostPath(path));
        if (hostPath(path).isEmpty() || QFileInfo(file.fileName()).isDir() ||
            !file.open(QIODevice::ReadOnly)) {
            result.err += QStringLiteral("cat: %1: No such file or directory\n").arg(path).toUtf8();
            result.exitCode = 1;
            continue;
        }
        result.out += file.readAll();
    }
    return result;
}

void DeviceFs::createSkeleton(const QString &home, const QString &phoneSerial)
{
    const DeviceFs fs(home, phoneSerial);
    for (const char *dir :
         {"/data/local/tmp", "/sdcard/Download", "/sdcard/DCIM/Camera", "/sdcard/Pictures",
          "/sdcard/Music", "/sdcard/Movies", "/system/bin", "/vendor", "/proc"}) {
        QDir().mkpath(fs.hostPath(QLatin1String(dir)));
    }
}

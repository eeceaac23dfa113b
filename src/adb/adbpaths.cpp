#include "adbpaths.h"

#include <QDir>
#include <QFileInfo>

namespace AdbPaths {

QString platformFolder()
{
#if defined(Q_OS_MACOS)
    return QStringLiteral("mac");
#elif defined(Q_OS_WIN)
    return QStringLiteral("windows");
#else
    return QStringLiteral("linux");
#endif
}

QString adbRelativePath()
{
#if defined(Q_OS_WIN)
    const QString executable = QStringLiteral("adb.exe");
#else
    const QString executable = QStringLiteral("adb");
#endif
    return QStringLiteral("/third_party/adb/") + platformFolder() + QLatin1Char('/') + executable;
}

QString scrcpyServerRelativePath()
{
    return QStringLiteral("/third_party/scrcpy-server");
}

QString installedServerPath(const QString &appDir)
{
    return QDir::cleanPath(appDir + QStringLiteral("/../share/parvix/scrcpy-server"));
}

QString resolve(const QString &overridePath, const QString &appDir, const QString &relativePath,
                const QStringList &fallbacks)
{
    if (!overridePath.isEmpty())
        return QFileInfo(overridePath).absoluteFilePath();
    const QString beside = appDir + relativePath;
    if (QFileInfo::exists(beside))
        return beside;
    for (const QString &fallback : fallbacks) {
        if (!fallback.isEmpty() && QFileInfo::exists(fallback))
            return fallback;
    }
    return beside;
}

} // namespace AdbPaths

#include "adbpaths.h"

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

QString resolve(const QString &overridePath, const QString &appDir, const QString &relativePath)
{
    if (!overridePath.isEmpty())
        return QFileInfo(overridePath).absoluteFilePath();
    return appDir + relativePath;
}

} // namespace AdbPaths

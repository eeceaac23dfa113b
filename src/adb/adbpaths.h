#pragma once
#include <QString>
#include <QStringList>

// Where the adb executable and the scrcpy server file are found: beside the
// application unless an environment variable names another file; an installed
// application without them beside it uses the system's (adb on the PATH, the server
// file under the installation's share folder).
namespace AdbPaths {

// Folder under "third_party/adb/" that holds this platform's adb ("mac", "linux", ...).
QString platformFolder();

// Default locations relative to the application's directory.
QString adbRelativePath();
QString scrcpyServerRelativePath();

// The installation's own copy of the server file for an executable in <prefix>/bin.
QString installedServerPath(const QString &appDir);

// The override when set (made absolute against the working directory), otherwise the
// application directory joined with the relative default when that exists, otherwise the
// first fallback that exists, otherwise the relative default all the same (so a failure
// names the place the file was expected).
QString resolve(const QString &overridePath, const QString &appDir, const QString &relativePath,
                const QStringList &fallbacks = {});

} // namespace AdbPaths

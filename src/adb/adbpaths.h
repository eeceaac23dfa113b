#pragma once
#include <QString>

// Where the adb executable and the scrcpy server file are found: beside the
// application unless an environment variable names another file.
namespace AdbPaths {

// Folder under "third_party/adb/" that holds this platform's adb ("mac", "linux", ...).
QString platformFolder();

// Default locations relative to the application's directory.
QString adbRelativePath();
QString scrcpyServerRelativePath();

// The override when set (made absolute against the working directory), otherwise
// the application directory joined with the relative default.
QString resolve(const QString &overridePath, const QString &appDir, const QString &relativePath);

} // namespace AdbPaths

#pragma once
// Small helpers shared by the test executables (files and the private home are inline for
// the fuzz targets too).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSize>

#include <functional>

class Device;

namespace TestSupport {
// Points HOME and the XDG folders into `home`, so settings, desktop folders and data
// files never touch the user's own; a crash ends the run instead of QtTest's stack dump.
inline void usePrivateHome(const QString &home)
{
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home + "/.local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", (home + "/.cache").toUtf8());
    qputenv("XDG_CONFIG_DIRS", (home + "/.xdg").toUtf8());
    qunsetenv("XDG_DESKTOP_DIR");
    // QtTest's stack dump forks inside the signal handler and can hang on a heap fault
    // (malloc's lock held); a crash must end the run, not stall it.
    qputenv("QTEST_DISABLE_STACK_DUMP", "1");
}
// The whole file, empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
// Writes the file, making its folder; the path, or empty when that failed.
inline QString writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(content) == content.size();
    return written ? path : QString();
}
// The JSON object in the file, empty when there is none.
QJsonObject readJson(const QString &path);
// Path of the virtual phone executable (empty when the build has none).
QString phonesimPath();
// A placeholder for the server file each session pushes. The adb bridge reads its
// location once per process, so this must run before the first session.
QString serverFile();
// One decoded frame of this size handed to the device, as its decoder hands it.
void deliverFrame(Device *device, const QSize &size);
// Runs `work` on the thread of `context` and returns when it is done (the media pipeline's
// objects are looked at on their own thread).
void runOn(QObject *context, const std::function<void()> &work);
} // namespace TestSupport

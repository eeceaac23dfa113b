#pragma once
// Small helpers shared by the test executables (the inline ones also by the fuzz targets).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSize>

#include <functional>

class Device;

namespace TestSupport {
// Points HOME and the XDG folders into `home`: settings and data never touch the user's own.
inline void usePrivateHome(const QString &home)
{
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home + "/.local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", (home + "/.cache").toUtf8());
    qputenv("XDG_CONFIG_DIRS", (home + "/.xdg").toUtf8());
    qunsetenv("XDG_DESKTOP_DIR");
    // QtTest's stack dump forks in the signal handler and can hang on malloc's lock.
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
QJsonObject readJson(const QString &path);
// Path of the virtual phone executable (empty when the build has none).
QString phonesimPath();
// A placeholder server file; before the first session, as the adb bridge reads it once.
QString serverFile();
// One decoded frame of this size handed to the device, as its decoder hands it.
void deliverFrame(Device *device, const QSize &size);
// Every background adb walk and pooled task has run, and the work they posted too.
void settle();
// The device shows n more frames than now within the time (false also when it is deleted).
bool moreFrames(Device *device, int n, int timeoutMs);
// The calls (argument lists) that have every one of the words among their arguments.
QList<QStringList> havingAll(QList<QStringList> calls, const QStringList &words);
// What `field` (a callable, member function or data member) gives for each item, in order.
template<class List, class Field> QStringList mapped(const List &list, Field field)
{
    QStringList out;
    for (const auto &item : list)
        out << std::invoke(field, item);
    return out;
}
} // namespace TestSupport

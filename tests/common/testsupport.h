#pragma once
// Small helpers shared by the test executables.
#include <QJsonObject>
#include <QSize>
#include <QString>

#include <functional>

class Device;
class QObject;

namespace TestSupport {
// Points HOME and the XDG folders into `home`, so settings, desktop folders and data
// files never touch the user's own; a crash ends the run instead of QtTest's stack dump.
void usePrivateHome(const QString &home);
// Path of the virtual phone executable (empty when the build has none).
QString phonesimPath();
// The whole file, empty when it cannot be read.
QByteArray readFile(const QString &path);
// The JSON object in the file, empty when there is none.
QJsonObject readJson(const QString &path);
// Writes the file, making its folder; the path, or empty when that failed.
QString writeFile(const QString &path, const QByteArray &content);
// A placeholder for the server file each session pushes. The adb bridge reads its
// location once per process, so this must run before the first session.
QString serverFile();
// One decoded frame of this size handed to the device, as its decoder hands it.
void deliverFrame(Device *device, const QSize &size);
// Runs `work` on the thread of `context` and returns when it is done (the media pipeline's
// objects are looked at on their own thread).
void runOn(QObject *context, const std::function<void()> &work);
} // namespace TestSupport

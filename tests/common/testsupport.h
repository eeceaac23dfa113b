#pragma once
// Small helpers shared by the test executables.
#include <QString>

#include <functional>

class QObject;

namespace TestSupport {
// Path of the virtual phone executable (empty when the build has none).
QString phonesimPath();
// Folder of the test sources (for fixtures).
QString sourceDir();
// Runs `work` on the thread of `context` and returns when it is done (the media pipeline's
// objects are looked at on their own thread).
void runOn(QObject *context, const std::function<void()> &work);
} // namespace TestSupport

#pragma once
// Small helpers shared by the test executables.
#include <QString>

namespace TestSupport {
// Path of the virtual phone executable (empty when the build has none).
QString phonesimPath();
// Folder of the test sources (for fixtures).
QString sourceDir();
} // namespace TestSupport

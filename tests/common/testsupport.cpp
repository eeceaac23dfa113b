#include "testsupport.h"

#include <QCoreApplication>
#include <QFileInfo>

QString TestSupport::phonesimPath()
{
    const QString fromEnv = qEnvironmentVariable("PHONESIM");
    if (!fromEnv.isEmpty())
        return fromEnv;
    const QString built = QStringLiteral(PARVIX_BINARY_DIR) + "/tools/phonesim/phonesim";
    return QFileInfo::exists(built) ? built : QString();
}

QString TestSupport::sourceDir()
{
    return QStringLiteral(PARVIX_TEST_SOURCE_DIR);
}

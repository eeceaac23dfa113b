#include "testsupport.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

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

void TestSupport::runOn(QObject *context, const std::function<void()> &work)
{
    if (!context || context->thread() == QThread::currentThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(context, work, Qt::BlockingQueuedConnection);
}

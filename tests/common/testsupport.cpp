#include "testsupport.h"

#include "device.h"
#include "videoframefeed.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMetaObject>
#include <QObject>
#include <QTemporaryDir>
#include <QThread>

extern "C" {
#include <libavutil/frame.h>
}

void TestSupport::usePrivateHome(const QString &home)
{
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home + "/.local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", (home + "/.cache").toUtf8());
    qunsetenv("XDG_DESKTOP_DIR");
    qputenv("XDG_CONFIG_DIRS", (home + "/.xdg").toUtf8());
    // QtTest's stack dump forks inside the signal handler and can hang on a heap fault
    // (malloc's lock held); a crash must end the run, not stall it.
    qputenv("QTEST_DISABLE_STACK_DUMP", "1");
}

QString TestSupport::phonesimPath()
{
    const QString built = QStringLiteral(PARVIX_BINARY_DIR) + "/tools/phonesim/phonesim";
    return qEnvironmentVariable("PHONESIM", QFileInfo::exists(built) ? built : QString());
}

QByteArray TestSupport::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject TestSupport::readJson(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path)).object();
}

QString TestSupport::writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(content) == content.size()
               ? path
               : QString();
}

QString TestSupport::serverFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = writeFile(dir.filePath("scrcpy-server"), "placeholder server\n");
        qputenv("PARVIX_SCRCPY_SERVER", file.toUtf8());
        return file;
    }();
    return path;
}

void TestSupport::deliverFrame(Device *device, const QSize &size)
{
    AVFrame *frame = av_frame_alloc();
    frame->width = size.width();
    frame->height = size.height();
    frame->format = AV_PIX_FMT_YUV420P;
    if (av_frame_get_buffer(frame, 0) == 0) {
        device->videoFeed()->publish(YuvFrame::share(frame));
        device->handleVideoFrameSize(size);
    }
    av_frame_free(&frame);
}

void TestSupport::runOn(QObject *context, const std::function<void()> &work)
{
    if (!context || context->thread() == QThread::currentThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(context, work, Qt::BlockingQueuedConnection);
}

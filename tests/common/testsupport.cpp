#include "testsupport.h"

#include "adbrunner.h"
#include "device.h"
#include "videoframefeed.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QPointer>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtCore/qtestsupport_core.h>

#include <algorithm>

extern "C" {
#include <libavutil/frame.h>
}

QJsonObject TestSupport::readJson(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path)).object();
}

QString TestSupport::phonesimPath()
{
    const QString built = QStringLiteral(PARVIX_BINARY_DIR) + "/tools/phonesim/phonesim";
    return qEnvironmentVariable("PHONESIM", QFileInfo::exists(built) ? built : QString());
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

void TestSupport::settle()
{
    ADBRunner::workPool()->waitForDone();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}

bool TestSupport::moreFrames(Device *device, int n, int timeoutMs)
{
    const QPointer<Device> guard(device);
    const quint64 until = device->videoFeed()->publishedCount() + quint64(n);
    // QtCore's own wait: the benches that share this file have no QtTest.
    return QTest::qWaitFor([&] { return !guard || guard->videoFeed()->publishedCount() >= until; },
                           timeoutMs) &&
           guard;
}

QList<QStringList> TestSupport::havingAll(QList<QStringList> calls, const QStringList &words)
{
    calls.removeIf([&](const QStringList &call) {
        return !std::all_of(words.begin(), words.end(),
                            [&](const QString &word) { return call.contains(word); });
    });
    return calls;
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

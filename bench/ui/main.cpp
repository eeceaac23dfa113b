// The real main window with N virtual phones streaming at tile settings: how busy the GUI
// thread is and how many frames per second each tile shows.
//
//   ui_bench [--busy WxH [--match]] [phones...]   (default: 16 32; run under Xvfb with
//                                                    LIBGL_ALWAYS_SOFTWARE=1)
//
// --busy: every phone streams a busy clip (phonesim make-clip, 30 fps, 4 Mbit/s scaled by its
// pixels) of that size with "Match tile size" off; with --match it is on and the clip has the
// size and bit rate the tiles ask for (the phone's own aspect, WxH). Per phone count:
// - shown: tiles whose window frames showed 28.5 new frames a second, late frames (over two
//   frame intervals), lateness p50/p99/max of each frame when its window frame was swapped
//   against the phone's own clock (its time stamp, relative to the phone's most punctual
//   frame), the frames a tile showed per second;
// - decoded: the same taken when the decoder publishes a frame, and the catch-ups;
// - the CPU of the GUI, render, software rasteriser and media threads, window swaps per second,
//   the render and rasteriser threads' CPU per swap and per shown tile;
// - input: a press queued to the window on each tile in turn (10 a second) against the phone
//   logging the touch; Start All: the longest the GUI thread went without turning from the
//   click until every phone runs.
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "eventwait.h"
#include "serverparams.h"
#include "stallprobe.h"
#include "testsupport.h"
#include "typeregistration.h"
#include "virtualfleet.h"
#include "yuvvideoitem.h"

#include "videoframefeed.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QJsonObject>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <vector>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

namespace {
constexpr int kWarmUpMs = 5000;
constexpr int kMeasureMs = 10000;
constexpr char kRasterThreads[] = "llvmpipe"; // Mesa's software rasteriser's workers

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// CPU seconds of each of this process's threads whose name starts with `prefix` (/proc,
// Linux), by thread id; an empty prefix: the GUI thread.
QHash<QString, double> threadsCpuSeconds(const QByteArray &prefix)
{
    QHash<QString, double> seconds;
    const long ticks = sysconf(_SC_CLK_TCK);
    for (const QString &tid :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!comm.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        const bool gui = tid.toLongLong() == getpid();
        if (!(prefix.isEmpty() ? gui : !gui && comm.readAll().startsWith(prefix)))
            continue;
        // Fields after the name in parentheses: utime and stime are the 12th and 13th.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        seconds.insert(tid, double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) /
                                ticks);
    }
    return seconds;
}

// CPU seconds the threads alive now spent since `before` was taken (a thread that ended
// meanwhile, such as an earlier window's render thread, counts for nothing).
double cpuSecondsSince(const QHash<QString, double> &before, const QByteArray &prefix)
{
    double total = 0;
    const QHash<QString, double> now = threadsCpuSeconds(prefix);
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        total += it.value() - before.value(it.key(), 0.0);
    return total;
}

qint64 steadyUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[size_t(std::min<double>(values.size() - 1, p * (values.size() - 1) + 0.5))];
}

// One phone's published frames: lateness against the phone's most punctual frame.
struct Lateness
{
    std::mutex mutex;
    qint64 quickestUs = std::numeric_limits<qint64>::max();
    std::vector<double> lateMs;
    bool recording = false;
};

QSize g_clipSize;             // --busy: every phone streams a busy clip of that size
bool g_matchTileSize = false; // --match: ... or of the size the tiles ask for

// One run: the window with `phones` tiles; prints one line of figures.
// Items named "video" that are shown, each with the device of the view it belongs to.
QList<QPair<QQuickItem *, QObject *>> shownVideoItems(QQuickItem *root)
{
    QList<QPair<QQuickItem *, QObject *>> found;
    std::function<void(QQuickItem *)> visit = [&](QQuickItem *item) {
        if (item->objectName() == QLatin1String("video") && item->isVisible()) {
            QObject *device = nullptr;
            for (QQuickItem *up = item->parentItem(); up && !device; up = up->parentItem())
                device = up->property("device").value<QObject *>();
            found.append({item, device});
        }
        for (QQuickItem *child : item->childItems())
            visit(child);
    };
    visit(root);
    return found;
}

// The tiles' frames as the window shows them: at every swap (on the render thread), each tile
// whose item took a new frame adds the lateness of that frame against its phone's clock.
struct ShownFrames
{
    struct Tile
    {
        YuvVideoItem *item;
        Lateness *phone;
        qint64 lastPts;
    };
    std::mutex mutex; // the render thread reads while the GUI thread sets up and reads back
    std::vector<Tile> tiles;
    std::vector<double> lateMs;
    std::vector<int> shown; // per tile
    std::atomic_bool recording{false};

    void swapped()
    {
        const qint64 now = steadyUs();
        std::lock_guard<std::mutex> lock(mutex);
        for (size_t i = 0; i < tiles.size(); ++i) {
            Tile &tile = tiles[i];
            const qint64 pts = tile.item->takenPts();
            if (pts < 0 || pts == tile.lastPts)
                continue;
            tile.lastPts = pts;
            qint64 quickest = 0;
            {
                std::lock_guard<std::mutex> lock(tile.phone->mutex);
                quickest = tile.phone->quickestUs;
            }
            if (recording && quickest != std::numeric_limits<qint64>::max()) {
                lateMs.push_back((now - pts - quickest) / 1000.0);
                ++shown[i];
            }
        }
    }
};

double epochMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

// A press and a release in the middle of a tile, queued to the window's thread as the window
// system's input is; returns when they were queued (ms since the epoch, as the phone logs).
// The press handler writes the touch to the control socket before it returns: `*written` is
// then set to that moment.
double tap(QQuickWindow *window, QQuickItem *input, double *written)
{
    const QPoint at = input->mapToScene(QPointF(input->width() / 2, input->height() / 2)).toPoint();
    const double queued = epochMs();
    QMetaObject::invokeMethod(
        window,
        [window, at, written] {
            QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at);
            *written = epochMs();
            QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at);
        },
        Qt::QueuedConnection);
    return queued;
}

QQuickItem *childNamed(QQuickItem *item, const QString &name)
{
    for (QQuickItem *child : item->childItems()) {
        if (child->objectName() == name)
            return child;
        if (QQuickItem *found = childNamed(child, name))
            return found;
    }
    return nullptr;
}

// A clip of `size` made once per run of the bench (phonesim make-clip), its bit rate the one
// asked (4 Mbit/s for 720x1600, scaled by pixels, when none).
QString busyClip(const QSize &size, int bitRate)
{
    static QHash<QString, QString> made;
    const QString key = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    if (made.contains(key))
        return made[key];
    if (bitRate <= 0)
        bitRate = qMin(4000000, int(4000000.0 * size.width() * size.height() / (720 * 1600)));
    const QString path = QDir(qEnvironmentVariable("HOME")).filePath(key + ".h264");
    QProcess make;
    make.start(TestSupport::phonesimPath(),
               {"make-clip", "--size", key, "--fps", "30", "--bitrate", QString::number(bitRate),
                "--seconds", "10", "--out", path});
    if (!make.waitForFinished(600000) || make.exitCode() != 0)
        return {};
    printf("busy clip %s, %d bit/s asked\n", qPrintable(key), bitRate);
    return made[key] = path;
}

QString loadAverage()
{
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    loadavg.open(QIODevice::ReadOnly);
    return QString::fromLatin1(loadavg.readAll()).section(QLatin1Char(' '), 0, 2);
}

bool run(QQmlApplicationEngine &engine, int phones)
{
    VirtualFleet fleet(TestSupport::phonesimPath(),
                       VirtualFleet::Options{phones, {720, 1280}, 30, g_clipSize.isEmpty()});
    if (!fleet.isValid()) {
        fprintf(stderr, "fleet: %s\n", qPrintable(fleet.errorString()));
        return false;
    }
    engine.load(QUrl(QStringLiteral("qrc:/Parvix/src/qml/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return false;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().last());
    // The whole screen, as an operator of many phones would have it.
    window->setGeometry(window->screen()->availableGeometry());
    std::atomic_int swaps{0};
    ShownFrames shownFrames;
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [&] {
            ++swaps;
            shownFrames.swapped();
        },
        Qt::DirectConnection);
    auto *manager = window->findChild<DeviceGroupManager *>();
    manager->scanDevices();
    waitFor(
        [&] { return !manager->isScanning() && manager->availableDeviceInfos().size() >= phones; },
        30000);
    DeviceGroup *group = manager->currentSelectedGroup();
    group->setCellWidth(220);
    group->setMatchTileSize(g_matchTileSize);
    group->addDevices(manager->availableDeviceInfos());
    waitFor([&] { return group->deviceCount() == phones; }, 30000);
    // The tiles have their sizes: with "Match tile size" the phones stream what the tiles ask.
    spin(500);
    QString clipNote;
    if (!g_clipSize.isEmpty()) {
        QSize size = g_clipSize;
        int bitRate = 0;
        if (g_matchTileSize) {
            const ServerParams *asked = group->devices().constFirst()->serverParamsSmallView();
            const int longer = asked->maxSize();
            const int shorter = qMax(16, int(longer * double(qMin(size.width(), size.height())) /
                                             qMax(size.width(), size.height())) /
                                             8 * 8);
            size = size.width() < size.height() ? QSize(shorter, longer) : QSize(longer, shorter);
            bitRate = asked->bitRate();
        }
        const QString clip = busyClip(size, bitRate);
        if (clip.isEmpty())
            return false;
        for (int i = 0; i < phones; ++i)
            fleet.setPhoneOption(i, QStringLiteral("clip"), clip);
        clipNote = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    }

    // Start All: the longest the window's thread goes without turning until every phone runs.
    StallProbe stall;
    stall.reset();
    group->startAllDevices();
    const bool allRunning = waitFor(
        [&] {
            for (Device *d : group->devices())
                if (!d->running())
                    return false;
            return true;
        },
        60000);
    spin(1000);
    const double startStallMs = stall.longestMs();

    std::vector<std::unique_ptr<Lateness>> lateness;
    QHash<QObject *, Lateness *> latenessOf;
    for (Device *device : group->devices()) {
        lateness.push_back(std::make_unique<Lateness>());
        Lateness *l = lateness.back().get();
        latenessOf.insert(device, l);
        device->videoFeed()->setObserver([l](const YuvFrame &frame) {
            if (frame.pts < 0)
                return;
            const qint64 offset = steadyUs() - frame.pts;
            std::lock_guard<std::mutex> lock(l->mutex);
            l->quickestUs = std::min(l->quickestUs, offset);
            if (l->recording)
                l->lateMs.push_back((offset - l->quickestUs) / 1000.0);
        });
    }
    // Only the tiles inside the window are drawn, measured and tapped.
    auto tiles = shownVideoItems(window->contentItem());
    tiles.removeIf([](const QPair<QQuickItem *, QObject *> &tile) {
        const auto *item = qobject_cast<YuvVideoItem *>(tile.first);
        return !item || !item->isShown();
    });
    // Read on the render thread at every swap, written here only while no frame is drawn.
    {
        std::lock_guard<std::mutex> lock(shownFrames.mutex);
        for (const auto &[video, device] : tiles)
            if (auto *item = qobject_cast<YuvVideoItem *>(video); item && latenessOf.value(device))
                shownFrames.tiles.push_back({item, latenessOf.value(device), -1});
        shownFrames.shown.assign(shownFrames.tiles.size(), 0);
    }
    spin(kWarmUpMs);

    // Taps on the tiles in turn, one every 100 ms, while the figures are taken.
    struct Tap
    {
        QString serial;
        double queuedMs;
        std::unique_ptr<double> writtenMs = std::make_unique<double>(-1);
    };
    std::vector<Tap> taps;
    QTimer tapper;
    int tapIndex = 0;
    QObject::connect(&tapper, &QTimer::timeout, [&] {
        if (tiles.isEmpty())
            return;
        const auto &[video, device] = tiles.at(tapIndex++ % tiles.size());
        QQuickItem *input = childNamed(video->parentItem(), QStringLiteral("input"));
        auto *phone = qobject_cast<Device *>(device);
        if (input && phone) {
            Tap t{phone->adbConnectionSerial(), 0};
            t.queuedMs = tap(window, input, t.writtenMs.get());
            taps.push_back(std::move(t));
        }
    });

    swaps = 0;
    for (auto &l : lateness) {
        std::lock_guard<std::mutex> lock(l->mutex);
        l->recording = true;
    }
    shownFrames.recording = true;
    int catchUps0 = 0;
    for (Device *device : group->devices())
        catchUps0 += device->pipeline() ? device->pipeline()->catchUpCount() : 0;
    const QHash<QString, double> render0 = threadsCpuSeconds("QSGRenderThread");
    const QHash<QString, double> media0 = threadsCpuSeconds("MediaThread");
    // Software OpenGL rasterises on its own threads, so the window's cost is not all on the
    // render thread (a GPU driver has none: 0).
    const QHash<QString, double> raster0 = threadsCpuSeconds(kRasterThreads);
    const double cpuStart = threadCpuMs();
    const double measureStartMs = epochMs();
    tapper.start(100);
    QElapsedTimer wall;
    wall.start();
    spin(kMeasureMs);
    tapper.stop();
    shownFrames.recording = false;
    const double busy = (threadCpuMs() - cpuStart) / wall.elapsed();
    const double windowFps = swaps * 1000.0 / wall.elapsed();
    const double renderCpu = cpuSecondsSince(render0, "QSGRenderThread");
    const double mediaCpu = cpuSecondsSince(media0, "MediaThread");
    const double rasterCpu = cpuSecondsSince(raster0, kRasterThreads);
    const QString load = loadAverage();
    int catchUps = -catchUps0;
    for (Device *device : group->devices())
        catchUps += device->pipeline() ? device->pipeline()->catchUpCount() : 0;
    std::vector<double> decodedLate;
    int decodedAt30 = 0;
    for (auto &l : lateness) {
        std::lock_guard<std::mutex> lock(l->mutex);
        l->recording = false;
        decodedAt30 += l->lateMs.size() * 1000.0 / wall.elapsed() >= 28.5 ? 1 : 0;
        decodedLate.insert(decodedLate.end(), l->lateMs.begin(), l->lateMs.end());
    }
    std::vector<double> shownLate;
    int shownAt30 = 0;
    double shownFps = 0;
    {
        std::lock_guard<std::mutex> lock(shownFrames.mutex);
        shownLate = shownFrames.lateMs;
        for (int count : shownFrames.shown) {
            shownAt30 += count * 1000.0 / wall.elapsed() >= 28.5 ? 1 : 0;
            shownFps += count * 1000.0 / wall.elapsed();
        }
    }
    const int shownTiles = int(shownFrames.shown.size());
    const auto lateShare = [](const std::vector<double> &ms) {
        const auto late =
            std::count_if(ms.begin(), ms.end(), [](double v) { return v > 2 * 1000.0 / 30; });
        return ms.empty() ? 0.0 : 100.0 * late / ms.size();
    };

    // Taps: the press queued to the window against the phone logging its touch-down.
    spin(1000);
    std::vector<double> inputMs;
    std::vector<double> writtenMs; // our part: queued to the window until on the socket
    QHash<QString, QList<double>> downs;
    for (const QString &serial : fleet.serials())
        for (const QJsonObject &entry : fleet.controlLog(serial))
            if (entry.value("type") == QLatin1String("inject_touch_event") &&
                entry.value("action").toInt() == 0 &&
                entry.value("timeMs").toDouble() >= measureStartMs)
                downs[serial] << entry.value("timeMs").toDouble();
    QHash<QString, int> nextDown;
    int lostTaps = 0;
    for (const Tap &t : taps) {
        if (*t.writtenMs >= 0)
            writtenMs.push_back(*t.writtenMs - t.queuedMs);
        const QList<double> &arrived = downs.value(t.serial);
        const int i = nextDown[t.serial]++;
        if (i < arrived.size())
            inputMs.push_back(arrived.at(i) - t.queuedMs);
        else
            ++lostTaps;
    }

    const double seconds = wall.elapsed() / 1000.0;
    if (g_clipSize.isEmpty()) {
        printf("phones %2d  running %s  GUI thread busy %5.1f %%  window frames/s %5.1f  "
               "tiles shown %2d  mean fps per tile %5.1f  load %s\n",
               phones, allRunning ? "all" : "NOT all", busy * 100.0, windowFps, shownTiles,
               shownTiles ? shownFps / shownTiles : 0.0, qPrintable(load));
    } else {
        printf("phones %2d%s  stream %s%s  load %s\n"
               "   shown:   at 30 fps %2d/%2d  late %5.1f %%  lateness ms p50/p99/max "
               "%5.0f/%5.0f/%5.0f  tile fps %4.1f\n"
               "   decoded: at 30 fps %2d/%2d  late %5.1f %%  lateness ms p50/p99/max "
               "%5.0f/%5.0f/%5.0f  catch-ups %d\n"
               "   CPU %% GUI/render/raster/media %3.0f/%3.0f/%3.0f/%3.0f  swaps/s %5.1f  "
               "render+raster ms per swap %5.1f+%5.1f (per tile %4.2f+%4.2f)\n"
               "   input p50/p99/max %5.1f/%5.1f/%5.1f ms (%d taps, %d lost), of which on our "
               "socket %5.1f/%5.1f/%5.1f ms  Start All longest stall %5.1f ms\n",
               phones, allRunning ? "" : " (NOT all running)", qPrintable(clipNote),
               g_matchTileSize ? " (match tile size)" : "", qPrintable(load), shownAt30, shownTiles,
               lateShare(shownLate), percentile(shownLate, 0.5), percentile(shownLate, 0.99),
               percentile(shownLate, 1.0), shownTiles ? shownFps / shownTiles : 0.0, decodedAt30,
               phones, lateShare(decodedLate), percentile(decodedLate, 0.5),
               percentile(decodedLate, 0.99), percentile(decodedLate, 1.0), catchUps, busy * 100.0,
               100.0 * renderCpu / seconds, 100.0 * rasterCpu / seconds, 100.0 * mediaCpu / seconds,
               windowFps, swaps ? 1000.0 * renderCpu / swaps : 0.0,
               swaps ? 1000.0 * rasterCpu / swaps : 0.0,
               swaps && shownTiles ? 1000.0 * renderCpu / swaps / shownTiles : 0.0,
               swaps && shownTiles ? 1000.0 * rasterCpu / swaps / shownTiles : 0.0,
               percentile(inputMs, 0.5), percentile(inputMs, 0.99), percentile(inputMs, 1.0),
               int(taps.size()), lostTaps, percentile(writtenMs, 0.5), percentile(writtenMs, 0.99),
               percentile(writtenMs, 1.0), startStallMs);
    }
    fflush(stdout);
    {
        std::lock_guard<std::mutex> lock(shownFrames.mutex);
        shownFrames.tiles.clear();
    }
    for (Device *device : group->devices())
        device->videoFeed()->setObserver({});
    group->stopAllDevices();
    spin(phones * 300 + 2000);
    window->close();
    window->deleteLater();
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QGuiApplication app(argc, argv);
    registerParvixTypes();

    QList<int> counts;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--match")
            g_matchTileSize = true;
        else if (QByteArray(argv[i]) == "--busy" && i + 1 < argc) {
            const QString size = QString::fromLocal8Bit(argv[++i]);
            g_clipSize = QSize(size.section('x', 0, 0).toInt(), size.section('x', 1, 1).toInt());
        } else
            counts << QString::fromLocal8Bit(argv[i]).toInt();
    }
    if (counts.isEmpty())
        counts = {16, 32};
    printf("cores %d; load %s\n", QThread::idealThreadCount(), qPrintable(loadAverage()));
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    for (int phones : counts)
        if (!run(engine, phones))
            return 1;
    return 0;
}

// The real main window with N virtual phones streaming at tile settings: how busy the GUI
// thread is and how many frames per second each tile shows.
//
//   ui_bench [--busy WxH] [phones...]   (default: 16 32; run under Xvfb with
//                                        LIBGL_ALWAYS_SOFTWARE=1)
//
// --busy: every phone streams a busy clip of that size (phonesim make-clip, 30 fps, 4 Mbit/s
// scaled by its pixels), and a second table gives per phone count: phones at 30 fps, late
// frames and their lateness against the phone's own clock (a frame's publication after
// decoding against its time stamp, relative to the phone's most punctual frame), the CPU of
// the GUI, render and media threads, window swaps per second, the render thread's CPU per
// swap and per shown tile, and the catch-ups.
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "testsupport.h"
#include "typeregistration.h"
#include "virtualfleet.h"

#include "videoframefeed.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QThread>
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

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool waitFor(const std::function<bool()> &condition, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!condition() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return condition();
}

// CPU seconds of this process's threads whose name starts with `prefix` (/proc, Linux).
double threadsCpuSeconds(const QByteArray &prefix)
{
    double total = 0;
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
        total += double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / ticks;
    }
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

QString g_clip; // --busy: the clip every phone streams

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

bool run(QQmlApplicationEngine &engine, int phones)
{
    VirtualFleet fleet(TestSupport::phonesimPath(),
                       VirtualFleet::Options{phones, {720, 1280}, 30, g_clip.isEmpty()});
    if (!fleet.isValid()) {
        fprintf(stderr, "fleet: %s\n", qPrintable(fleet.errorString()));
        return false;
    }
    for (int i = 0; !g_clip.isEmpty() && i < phones; ++i)
        fleet.setPhoneOption(i, QStringLiteral("clip"), g_clip);
    engine.load(QUrl(QStringLiteral("qrc:/Parvix/src/qml/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return false;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().last());
    int swaps = 0;
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [&swaps] { ++swaps; });
    auto *manager = window->findChild<DeviceGroupManager *>();
    manager->scanDevices();
    waitFor(
        [&] { return !manager->isScanning() && manager->availableDeviceInfos().size() >= phones; },
        30000);
    DeviceGroup *group = manager->currentSelectedGroup();
    group->setCellWidth(220);
    group->addDevices(manager->availableDeviceInfos());
    waitFor([&] { return group->deviceCount() == phones; }, 30000);
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
    std::vector<std::unique_ptr<Lateness>> lateness;
    for (Device *device : group->devices()) {
        lateness.push_back(std::make_unique<Lateness>());
        Lateness *l = lateness.back().get();
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
    spin(kWarmUpMs);

    swaps = 0;
    for (auto &l : lateness) {
        std::lock_guard<std::mutex> lock(l->mutex);
        l->recording = true;
    }
    int catchUps0 = 0;
    for (Device *device : group->devices())
        catchUps0 += device->pipeline() ? device->pipeline()->catchUpCount() : 0;
    const double render0 = threadsCpuSeconds("QSGRenderThread");
    const double media0 = threadsCpuSeconds("MediaThread");
    const double cpuStart = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    spin(kMeasureMs);
    const double busy = (threadCpuMs() - cpuStart) / wall.elapsed();
    const double windowFps = swaps * 1000.0 / wall.elapsed();
    const double renderCpu = threadsCpuSeconds("QSGRenderThread") - render0;
    const double mediaCpu = threadsCpuSeconds("MediaThread") - media0;
    int catchUps = -catchUps0;
    for (Device *device : group->devices())
        catchUps += device->pipeline() ? device->pipeline()->catchUpCount() : 0;
    std::vector<double> allLate;
    int at30 = 0;
    for (auto &l : lateness) {
        std::lock_guard<std::mutex> lock(l->mutex);
        l->recording = false;
        const double fps = l->lateMs.size() * 1000.0 / wall.elapsed();
        at30 += fps >= 28.5 ? 1 : 0;
        allLate.insert(allLate.end(), l->lateMs.begin(), l->lateMs.end());
    }
    const auto late = std::count_if(allLate.begin(), allLate.end(),
                                    [](double ms) { return ms > 2 * 1000.0 / 30; });

    // Tiles in view (the grid creates the others as they scroll in): frames their items drew.
    double fpsSum = 0;
    const auto tiles = shownVideoItems(window->contentItem());
    for (const auto &tile : tiles)
        fpsSum += tile.first->property("fps").toDouble();
    printf("phones %2d  running %s  GUI thread busy %5.1f %%  window frames/s %5.1f  "
           "tiles shown %2d  mean fps per tile %5.1f\n",
           phones, allRunning ? "all" : "NOT all", busy * 100.0, windowFps, int(tiles.size()),
           tiles.isEmpty() ? 0.0 : fpsSum / tiles.size());
    if (!g_clip.isEmpty()) {
        const double seconds = wall.elapsed() / 1000.0;
        printf("     phones at 30 fps %2d/%2d  late %5.1f %%  lateness ms p50/p99/max "
               "%5.0f/%5.0f/%5.0f  CPU %% GUI/render/media %3.0f/%3.0f/%3.0f  swaps/s %5.1f  "
               "render ms per swap %5.1f (per tile %4.2f)  catch-ups %d\n",
               at30, phones, allLate.empty() ? 0.0 : 100.0 * late / allLate.size(),
               percentile(allLate, 0.5), percentile(allLate, 0.99), percentile(allLate, 1.0),
               busy * 100.0, 100.0 * renderCpu / seconds, 100.0 * mediaCpu / seconds, windowFps,
               swaps ? 1000.0 * renderCpu / swaps : 0.0,
               swaps && !tiles.isEmpty() ? 1000.0 * renderCpu / swaps / tiles.size() : 0.0,
               catchUps);
    }
    fflush(stdout);
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
        if (QByteArray(argv[i]) == "--busy" && i + 1 < argc)
            g_clip = QString::fromLocal8Bit(argv[++i]); // a size until the clip is made
        else
            counts << QString::fromLocal8Bit(argv[i]).toInt();
    }
    if (counts.isEmpty())
        counts = {16, 32};
    if (!g_clip.isEmpty()) {
        const QStringList size = g_clip.split(QLatin1Char('x'));
        const double pixels = size.value(0).toDouble() * size.value(1).toDouble();
        const QString bitRate =
            QString::number(qMin(4000000, int(4000000 * pixels / (720 * 1600))));
        g_clip = home.filePath(QStringLiteral("busy.h264"));
        QProcess make;
        make.start(TestSupport::phonesimPath(),
                   {"make-clip", "--size", size.join(QLatin1Char('x')), "--fps", "30", "--bitrate",
                    bitRate, "--seconds", "10", "--out", g_clip});
        if (!make.waitForFinished(600000) || make.exitCode() != 0)
            return 1;
        QFile loadavg(QStringLiteral("/proc/loadavg"));
        loadavg.open(QIODevice::ReadOnly);
        printf("busy clip %s, %s bit/s asked; cores %d; load %s\n", qPrintable(size.join('x')),
               qPrintable(bitRate), QThread::idealThreadCount(),
               loadavg.readAll().trimmed().constData());
    }
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    for (int phones : counts)
        if (!run(engine, phones))
            return 1;
    return 0;
}

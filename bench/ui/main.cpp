// The real main window with N virtual phones streaming at tile settings: how busy the GUI
// thread is and how many frames per second each tile shows.
//
//   ui_bench [phones...]        (default: 16 32; run under Xvfb with LIBGL_ALWAYS_SOFTWARE=1)
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "device.h"
#include "testsupport.h"
#include "typeregistration.h"
#include "virtualfleet.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQml/QQmlExtensionPlugin>

#include <cstdio>
#include <functional>
#include <ctime>
#include <memory>

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

// One run: the window with `phones` tiles; prints one line of figures.
bool run(int phones)
{
    VirtualFleet fleet(TestSupport::phonesimPath(), VirtualFleet::Options{phones, {720, 1280}, 30, true});
    if (!fleet.isValid()) {
        fprintf(stderr, "fleet: %s\n", qPrintable(fleet.errorString()));
        return false;
    }
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.load(QUrl(QStringLiteral("qrc:/Parvix/src/qml/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return false;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    auto *manager = window->findChild<DeviceGroupManager *>();
    manager->scanDevices();
    waitFor([&] { return !manager->isScanning() && manager->availableDeviceInfos().size() >= phones; },
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
    spin(kWarmUpMs);

    const double cpuStart = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    spin(kMeasureMs);
    const double busy = (threadCpuMs() - cpuStart) / wall.elapsed();

    // Tiles in view (the grid creates the others as they scroll in).
    double fpsSum = 0;
    int tiles = 0;
    std::function<void(QQuickItem *)> visit = [&](QQuickItem *item) {
        if (item->objectName() == QLatin1String("video") && item->isVisible()) {
            fpsSum += item->property("fps").toDouble();
            ++tiles;
        }
        for (QQuickItem *child : item->childItems())
            visit(child);
    };
    visit(window->contentItem());
    printf("phones %2d  running %s  GUI thread busy %5.1f %%  tiles shown %2d  mean fps per tile %5.1f\n",
           phones, allRunning ? "all" : "NOT all", busy * 100.0, tiles, tiles ? fpsSum / tiles : 0.0);
    fflush(stdout);
    group->stopAllDevices();
    spin(phones * 300 + 2000);
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
    for (int i = 1; i < argc; ++i)
        counts << QString::fromLocal8Bit(argv[i]).toInt();
    if (counts.isEmpty())
        counts = {16, 32};
    for (int phones : counts)
        if (!run(phones))
            return 1;
    return 0;
}

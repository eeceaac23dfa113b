// The real main window with N virtual phones streaming at tile settings: how busy the GUI
// thread is and how many frames per second each tile shows.
//
//   ui_bench [--js] [phones...]   (default: 16 32; run under Xvfb with LIBGL_ALWAYS_SOFTWARE=1)
//
// --js hands every frame to the tiles through QML as the first version of the window did (a
// JavaScript handler per frame per tile calling present() and setShowSize()), instead of the
// item taking frames from the device's feed, so that both paths are measured alike.
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "testsupport.h"
#include "typeregistration.h"
#include "virtualfleet.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQml/QQmlExtensionPlugin>

#include <cstdio>
#include <ctime>
#include <functional>
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

// The first window's frame path: one JavaScript call per frame per tile.
const char *kJsFramePath = R"(
import QtQuick
Connections {
    property Item video
    property var device
    property int frames: 0
    target: device
    function onYuvFrameReady(width, height, yData, yStride, uData, uStride, vData, vStride) {
        if (!video.visible)
            return
        video.present(width, height, yData, yStride, uData, uStride, vData, vStride)
        device.setShowSize(Qt.size(video.width, video.height))
        frames++
    }
}
)";

bool run(QQmlApplicationEngine &engine, int phones, bool jsPath)
{
    VirtualFleet fleet(TestSupport::phonesimPath(),
                       VirtualFleet::Options{phones, {720, 1280}, 30, true});
    if (!fleet.isValid()) {
        fprintf(stderr, "fleet: %s\n", qPrintable(fleet.errorString()));
        return false;
    }
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
    QList<QObject *> jsHandlers;
    if (jsPath) {
        QQmlComponent component(&engine);
        component.setData(kJsFramePath, QUrl());
        for (const auto &[video, device] : shownVideoItems(window->contentItem())) {
            video->setProperty("feed", QVariant::fromValue<QObject *>(nullptr));
            QObject *handler = component.createWithInitialProperties(
                {{"video", QVariant::fromValue<QObject *>(video)},
                 {"device", QVariant::fromValue<QObject *>(device)}});
            if (!handler) {
                fprintf(stderr, "%s\n", qPrintable(component.errorString()));
                return false;
            }
            jsHandlers << handler;
        }
    }
    spin(kWarmUpMs);

    swaps = 0;
    const double cpuStart = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    spin(kMeasureMs);
    const double busy = (threadCpuMs() - cpuStart) / wall.elapsed();
    const double windowFps = swaps * 1000.0 / wall.elapsed();

    // Tiles in view (the grid creates the others as they scroll in): frames their items drew.
    double fpsSum = 0;
    const auto tiles = shownVideoItems(window->contentItem());
    for (const auto &tile : tiles)
        fpsSum += tile.first->property("fps").toDouble();
    printf("%-4s phones %2d  running %s  GUI thread busy %5.1f %%  window frames/s %5.1f  "
           "tiles shown %2d  mean fps per tile %5.1f\n",
           jsPath ? "js" : "feed", phones, allRunning ? "all" : "NOT all", busy * 100.0, windowFps,
           int(tiles.size()), tiles.isEmpty() ? 0.0 : fpsSum / tiles.size());
    fflush(stdout);
    qDeleteAll(jsHandlers);
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
    bool jsPath = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--js")
            jsPath = true;
        else
            counts << QString::fromLocal8Bit(argv[i]).toInt();
    }
    if (counts.isEmpty())
        counts = {16, 32};
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    for (int phones : counts)
        if (!run(engine, phones, jsPath))
            return 1;
    return 0;
}

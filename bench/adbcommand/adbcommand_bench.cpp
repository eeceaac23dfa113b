// N virtual phones in one group run one adb command, first with the blocking
// executeADBCommand (the GUI thread waits for every phone in turn), then with
// executeADBCommandAsync (the phones side by side on the adb work pool) while a 2 ms
// timer measures how late the event loop serves it. Prints figures only.
//
//   bench_adbcommand [--counts 1,8,32] [--command "shell getprop ro.product.model"] [--runs 3]
#include "adbrunner.h"
#include "device.h"
#include "devicegroup.h"
#include "stallprobe.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {
struct Figures
{
    double blockingMs = -1;  // the blocking call: the window is frozen this long
    double asyncMs = -1;     // start to adbCommandFinished
    double worstLateMs = -1; // the event loop's longest delay of a short tick meanwhile
    bool sameOutput = false;
};

// The longest delay of a short tick while the event loop only waits: the machine's own noise.
double idleLateness(int durationMs)
{
    QEventLoop loop;
    StallProbe probe;
    QTimer::singleShot(durationMs, &loop, &QEventLoop::quit);
    loop.exec();
    return probe.longestMs();
}

Figures measure(DeviceGroup &group, const QString &command)
{
    Figures figures;
    QElapsedTimer clock;
    clock.start();
    const QString blocking = group.executeADBCommand(command);
    figures.blockingMs = double(clock.nsecsElapsed()) / 1e6;

    QString output;
    bool finished = false;
    QEventLoop loop;
    QObject::connect(&group, &DeviceGroup::adbCommandFinished, &loop, [&](const QString &text) {
        output = text;
        finished = true;
        loop.quit();
    });
    clock.restart();
    StallProbe probe;
    group.executeADBCommandAsync(command);
    if (!finished)
        loop.exec();
    figures.asyncMs = double(clock.nsecsElapsed()) / 1e6;
    figures.worstLateMs = std::max(0.0, probe.longestMs());
    figures.sameOutput = output == blocking;
    return figures;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, const QString &fallback) {
        const int index = args.indexOf(name);
        return index >= 0 ? args.value(index + 1, fallback) : fallback;
    };
    QList<int> counts;
    for (const QString &count : option("--counts", "1,8,32").split(','))
        counts << count.toInt();
    const QString command = option("--command", "shell getprop ro.product.model");
    const int runs = std::max(1, option("--runs", "3").toInt());
    if (TestSupport::phonesimPath().isEmpty()) {
        std::printf("the virtual phone is not built\n");
        return 1;
    }
    std::printf(
        "command: adb -s SERIAL %s; times best of %d runs, tick delay the worst; cores: %d\n",
        qPrintable(command), runs, QThread::idealThreadCount());
    std::printf("%6s  %18s  %14s  %22s  %21s  %s\n", "phones", "blocking call (ms)",
                "async run (ms)", "worst tick delay (ms)", "idle tick delay (ms)", "same output");
    for (int phones : counts) {
        VirtualFleet fleet(TestSupport::phonesimPath(), {phones, {720, 1280}, 30, true});
        if (!fleet.isValid()) {
            std::printf("%6d  no fleet: %s\n", phones, qPrintable(fleet.errorString().trimmed()));
            continue;
        }
        DeviceGroup group;
        group.setName(QStringLiteral("Bench"));
        for (const ADBDeviceInfo &info : ADBRunner::getDevices())
            group.addDevice(new Device(nullptr, info.adb_serial));
        QThreadPool::globalInstance()->waitForDone(); // the members' property refreshes
        QCoreApplication::processEvents();
        Figures best;
        bool same = true;
        for (int run = 0; run < runs; ++run) {
            const Figures f = measure(group, command);
            same = same && f.sameOutput;
            if (best.blockingMs < 0 || f.blockingMs < best.blockingMs)
                best.blockingMs = f.blockingMs;
            if (best.asyncMs < 0 || f.asyncMs < best.asyncMs)
                best.asyncMs = f.asyncMs;
            best.worstLateMs = std::max(best.worstLateMs, f.worstLateMs); // worst of all runs
        }
        // The same lateness with nothing running, over as long as the background run took.
        const double idle = idleLateness(int(best.asyncMs));
        std::printf("%6d  %18.1f  %14.1f  %22.1f  %21.1f  %s\n", group.deviceCount(),
                    best.blockingMs, best.asyncMs, best.worstLateMs, idle, same ? "yes" : "NO");
        std::fflush(stdout);
    }
    return 0;
}

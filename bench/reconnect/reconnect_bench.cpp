// N virtual phones in one group, streaming, followed by the device tracker. Prints:
// - adb processes alive at rest (children of this process): in all, per phone, and beyond
//   each session's own server process;
// - for each round, every phone unplugged (or rebooted) and plugged back at once: the time
//   from its return to its first new frame, median and worst.
//
// - with --host-cut, the phones on another computer's adb server (127.0.0.2) which is cut
//   off ("closed": its connections close; "silent": a pulled cable, nothing closes) for
//   --outage seconds and restored: the time until the host is seen away, and from its
//   return to each phone's first new frame.
//
//   bench_reconnect [--phones 4] [--rounds 3] [--drop unplug|reboot]
//   bench_reconnect --host-cut closed|silent [--outage 10] [--phones 2] [--rounds 3]
#include "adbhostwatch.h"
#include "adbrunner.h"
#include "appconfig.h"
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "devicelink.h"
#include "devicetracker.h"
#include "testsupport.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

// Adds the phones to the group on show and starts them.
QList<Device *> startInGroup(DeviceGroupManager &manager, const QStringList &serials)
{
    DeviceGroup *group = manager.currentSelectedGroup();
    QList<Device *> devices;
    for (const QString &serial : serials) {
        auto *device = new Device(nullptr, serial);
        group->addDevice(device);
        devices << device;
        device->startScrcpySession();
    }
    return devices;
}

// Child processes of this process that are still running.
int childProcesses()
{
    int count = 0;
    const QString self = QString::number(::getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // pid (comm) state ppid ...: comm may hold spaces, so read after its ')'.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == self.toLatin1() && fields.at(0) != "Z")
            ++count;
    }
    return count;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

int hostCutRounds(const QString &mode, int phones, int rounds, int outageMs)
{
    const QString host = QStringLiteral("127.0.0.2:5037");
    VirtualFleet local(TestSupport::phonesimPath(), {0, {540, 1200}, 30, true});
    VirtualFleet remote(TestSupport::phonesimPath(), {phones, {540, 1200}, 30, true}, host);
    if (!local.isValid() || !remote.isValid()) {
        std::printf("%s%s\n", qPrintable(local.errorString()), qPrintable(remote.errorString()));
        return 1;
    }
    VirtualFleet::serveTogether({&local, &remote});
    AdbServers::setConfigured({*AdbServer::parse(host)});
    AdbHostWatch *watch = AdbHostWatch::instance();
    watch->watch(AdbServers::configured());
    DeviceGroupManager manager;
    manager.startTracking();
    const QList<Device *> devices = startInGroup(manager, remote.serials());
    const auto published = [&devices] {
        QList<quint64> counts;
        for (Device *device : devices)
            counts << device->videoFeed()->publishedCount();
        return counts;
    };
    if (!QTest::qWaitFor([&] { return !published().contains(0); }, 60000)) {
        std::printf("the phones did not all stream\n");
        return 1;
    }
    for (int round = 1; round <= rounds; ++round) {
        QTest::qWait(3000);
        QElapsedTimer clock;
        clock.start();
        remote.setHostCut(mode == "silent" ? QJsonValue(mode) : QJsonValue(true));
        if (!QTest::qWaitFor([&] { return watch->isHostAway(host); }, 60000)) {
            std::printf("round %d: the cut was not noticed within 60 s\n", round);
            return 1;
        }
        const qint64 noticedMs = clock.elapsed();
        // Waits out the outage while the event loop runs.
        (void)QTest::qWaitFor([&] { return clock.elapsed() >= outageMs; }, outageMs + 1000);
        const QList<quint64> before = published();
        clock.restart();
        remote.setHostCut(false);
        QList<double> delays(devices.size(), -1);
        qint64 backMs = -1;
        const bool back = QTest::qWaitFor(
            [&] {
                if (backMs < 0 && !watch->isHostAway(host))
                    backMs = clock.elapsed();
                const QList<quint64> now = published();
                for (int i = 0; i < devices.size(); ++i) {
                    if (delays.at(i) < 0 && now.at(i) > before.at(i))
                        delays[i] = double(clock.elapsed());
                }
                return !delays.contains(-1);
            },
            120000);
        if (!back) {
            std::printf("round %d: not every phone streamed within 120 s of the return\n", round);
            return 1;
        }
        std::printf("round %d (%s cut, %d s): seen away after %lld ms; restored -> host seen back "
                    "%lld ms, first new frame median %.0f ms, worst %.0f ms\n",
                    round, qPrintable(mode), outageMs / 1000, noticedMs, backMs, median(delays),
                    *std::max_element(delays.cbegin(), delays.cend()));
    }
    return 0;
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
    const int phones = option("--phones", "4").toInt();
    const int rounds = option("--rounds", "3").toInt();
    const QString drop = option("--drop", "unplug");
    if (TestSupport::phonesimPath().isEmpty()) {
        std::printf("the virtual phone is not built\n");
        return 1;
    }
    QTemporaryDir home;
    TestSupport::usePrivateHome(home.path());
    AppConfig::instance()->setDeviceGroupSavePath(home.filePath("groups"));
    if (args.contains("--host-cut"))
        return hostCutRounds(option("--host-cut", "closed"), option("--phones", "2").toInt(),
                             rounds, option("--outage", "10").toInt() * 1000);
    VirtualFleet fleet(TestSupport::phonesimPath(), {phones, {540, 1200}, 30, true});
    if (!fleet.isValid()) {
        std::printf("%s\n", qPrintable(fleet.errorString()));
        return 1;
    }

    DeviceGroupManager manager;
    manager.startTracking();
    const QList<Device *> devices = startInGroup(manager, fleet.serials());
    auto allStreaming = [&] {
        return std::all_of(devices.cbegin(), devices.cend(),
                           [](Device *d) { return d->videoFeed()->publishedCount() > 0; });
    };
    if (!QTest::qWaitFor(allStreaming, 60000)) {
        std::printf("the phones did not all stream\n");
        return 1;
    }
    QTest::qWait(3000); // let the start-up's adb calls finish: the figure is for rest
    const int children = childProcesses();
    std::printf("phones: %d; adb processes alive at rest: %d (%.2f per phone; %d beyond the "
                "sessions' own, %.2f per phone)\n",
                phones, children, double(children) / phones, children - phones,
                double(children - phones) / phones);

    for (int round = 1; round <= rounds; ++round) {
        QElapsedTimer clock;
        if (drop == "reboot") {
            for (const QString &serial : fleet.serials())
                ADBRunner::reboot(serial);
        } else {
            for (const QString &serial : fleet.serials())
                fleet.plug(serial, false);
        }
        const bool away = QTest::qWaitFor(
            [&] {
                return std::all_of(devices.cbegin(), devices.cend(), [](Device *d) {
                    return !d->running() && d->link()->adbState() != QLatin1String("device");
                });
            },
            30000);
        if (!away) {
            std::printf("round %d: the phones did not all drop\n", round);
            return 1;
        }
        // Counted once every session has ended: frames still in flight at the drop are old.
        QList<quint64> before;
        for (Device *device : devices)
            before << device->videoFeed()->publishedCount();
        QList<qint64> returnedAt(devices.size(), -1);
        QList<double> delays(devices.size(), -1);
        QList<double> sincePlug(devices.size(), -1);
        clock.start();
        if (drop != "reboot") {
            for (const QString &serial : fleet.serials())
                fleet.plug(serial, true);
        }
        const bool back = QTest::qWaitFor(
            [&] {
                bool all = true;
                for (int i = 0; i < devices.size(); ++i) {
                    Device *d = devices.at(i);
                    if (returnedAt.at(i) < 0 && d->link()->adbState() == QLatin1String("device"))
                        returnedAt[i] = clock.elapsed();
                    if (delays.at(i) < 0 && returnedAt.at(i) >= 0 &&
                        d->videoFeed()->publishedCount() > before.at(i)) {
                        delays[i] = double(clock.elapsed() - returnedAt.at(i));
                        sincePlug[i] = double(clock.elapsed());
                    }
                    all = all && delays.at(i) >= 0;
                }
                return all;
            },
            90000);
        if (!back) {
            std::printf("round %d: not every phone came back within 90 s\n", round);
            return 1;
        }
        std::printf("round %d (%s): seen back in adb -> first new frame: median %.0f ms, worst "
                    "%.0f ms; %s -> first new frame: median %.0f ms, worst %.0f ms\n",
                    round, qPrintable(drop), median(delays),
                    *std::max_element(delays.cbegin(), delays.cend()),
                    drop == "reboot" ? "phones away" : "plugged back", median(sincePlug),
                    *std::max_element(sincePlug.cbegin(), sincePlug.cend()));
        QTest::qWait(3000);
        const int rest = childProcesses();
        std::printf("  adb processes alive at rest afterwards: %d (%d beyond the sessions' own)\n",
                    rest, rest - phones);
    }
    return 0;
}

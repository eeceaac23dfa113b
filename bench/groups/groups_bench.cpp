// N virtual phones in replay mode, all added to one device group and started with its
// start-all command: decoded frames per phone against what the phones send, the GUI
// thread's busy share, the event loop's lateness, and under group control the time from
// the host's send to the last phone's control log entry. Prints figures only.
//
//   bench_groups [--counts 1,2,4,8,16,32] [--seconds 10] [--taps 20] [--config tile|default|both]
//                [--hosts N]   (the phones spread over N virtual adb hosts, 127.0.0.2 on,
//                               reached through adb forwards; 0: the local server, reverse)
//   bench_groups --busy ...   (phones streaming a busy clip; see busyclip.cpp)
#include "adbrunner.h"
#include "busyclip.h"
#include "controller.h"
#include "controlmsg.h"
#include "device.h"
#include "devicegroup.h"
#include "testsupport.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {
struct Config
{
    const char *name;
    int maxSize;
    int fps;
};

const Config kTile{"tile", 280, 5};
const Config kDefault{"default", 720, 30};
const QSize kScreen(1080, 2400);
constexpr int kPhoneFps = 60; // above both settings: the group's limit decides
constexpr int kWarmUpMs = 2000;
constexpr int kTapSpacingMs = 250;

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Busy and total jiffies of the whole machine (every core), from /proc/stat.
struct MachineTicks
{
    quint64 busy = 0;
    quint64 total = 0;

    static MachineTicks now()
    {
        MachineTicks ticks;
        QFile stat(QStringLiteral("/proc/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            return ticks;
        const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
        for (int i = 1; i < fields.size(); ++i) {
            const quint64 value = fields.at(i).toULongLong();
            ticks.total += value;
            if (i != 4 && i != 5) // idle, iowait
                ticks.busy += value;
        }
        return ticks;
    }
};

// Runs the event loop (sleeping while idle, as the application does) until the condition
// holds or the time is up.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(10);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return condition();
}

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A shown tile's share of the work on the GUI thread: told of new frames by the device's
// feed, it takes the newest one (without a window nothing is drawn; the render thread's
// share is not counted). Frames counts what the phone's decoder published.
struct Tile
{
    VideoFrameFeed *feed;
    QMetaObject::Connection connection;
    int frames = 0;
    quint64 counted = 0;

    explicit Tile(Device *device) : feed(device->videoFeed())
    {
        feed->addWatcher();
        connection = QObject::connect(feed, &VideoFrameFeed::frameAvailable, feed, [this] {
            (void)feed->latest();
            update();
        });
    }
    ~Tile()
    {
        QObject::disconnect(connection);
        feed->removeWatcher();
    }
    void update()
    {
        const quint64 now = feed->publishedCount();
        frames += int(now - counted);
        counted = now;
    }
    void reset()
    {
        update();
        frames = 0;
    }
};

struct Result
{
    int phones = 0;
    int started = 0;
    double minFps = 0, avgFps = 0, maxFps = 0;
    double guiBusy = 0, processCpu = 0, machineBusy = 0;
    double lagAvgMs = 0, lagP99Ms = 0, lagMaxMs = 0;
    double machineBefore = 0;
    double latencyMedianMs = -1, latencyMaxMs = -1;
    int tapsMissing = 0;
    QString note;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values.at(index);
}

int gHosts = 0; // --hosts

Result run(const Config &config, int phones, int seconds, int taps)
{
    Result result;
    result.phones = phones;
    // What the rest of the machine is doing before any phone runs.
    const MachineTicks idle0 = MachineTicks::now();
    spin(1000);
    const MachineTicks idle1 = MachineTicks::now();
    if (idle1.total > idle0.total)
        result.machineBefore = double(idle1.busy - idle0.busy) / double(idle1.total - idle0.total);
    std::vector<std::unique_ptr<VirtualFleet>> fleets;
    QList<VirtualFleet *> served;
    QList<AdbServer> servers;
    if (gHosts > 0) { // the console's own server, without phones
        fleets.push_back(std::make_unique<VirtualFleet>(
            TestSupport::phonesimPath(), VirtualFleet::Options{0, kScreen, kPhoneFps, true}));
        served << fleets.back().get();
    }
    for (int host = 0; host < std::max(1, gHosts); ++host) {
        const int count = phones / std::max(1, gHosts) + (host < phones % std::max(1, gHosts));
        const QString address =
            gHosts > 0 ? QStringLiteral("127.0.0.%1:5037").arg(host + 2) : QString();
        fleets.push_back(std::make_unique<VirtualFleet>(
            TestSupport::phonesimPath(), VirtualFleet::Options{count, kScreen, kPhoneFps, true},
            address));
        if (!fleets.back()->isValid()) {
            result.note = QStringLiteral("no fleet: ") + fleets.back()->errorString().trimmed();
            return result;
        }
        served << fleets.back().get();
        servers << AdbServer::parse(address).value_or(AdbServer());
    }
    VirtualFleet::serveTogether(served);
    AdbServers::setConfigured(servers);

    auto group = std::make_unique<DeviceGroup>();
    group->setName(QStringLiteral("Bench"));
    group->setMaxSize(config.maxSize);
    group->setMaxFPS(config.fps);
    std::vector<std::unique_ptr<Tile>> tiles;
    QObject::connect(group.get(), &DeviceGroup::deviceAddedIntoGroup, group.get(),
                     [&tiles](Device *device) { tiles.push_back(std::make_unique<Tile>(device)); });

    const QList<ADBDeviceInfo> listed = ADBRunner::getPhones();
    group->addDevices(listed);
    if (!waitFor([&] { return group->deviceCount() == phones; }, phones * 200 + 10000)) {
        result.note =
            QStringLiteral("only %1 of %2 phones joined").arg(group->deviceCount()).arg(phones);
        return result;
    }
    QThreadPool::globalInstance()->waitForDone(); // property refreshes of the new members
    QCoreApplication::processEvents();

    group->startAllDevices();
    const QList<Device *> devices = group->devices();
    auto streaming = [&] {
        int count = 0;
        for (size_t i = 0; i < tiles.size(); ++i) {
            tiles.at(i)->update();
            if (tiles.at(i)->frames > 0 && devices.at(int(i))->controller())
                ++count;
        }
        return count;
    };
    waitFor([&] { return streaming() == phones; }, phones * 200 + 30000);
    result.started = streaming();
    spin(kWarmUpMs);

    // The measured window: frames, CPU, and a 10 ms timer's lateness as the loop's delay.
    for (auto &tile : tiles)
        tile->reset();
    std::vector<double> lags;
    QElapsedTimer probeClock;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    qint64 lastTick = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = probeClock.nsecsElapsed();
        lags.push_back(std::max(0.0, (now - lastTick) / 1e6 - 10.0));
        lastTick = now;
    });
    const MachineTicks machine0 = MachineTicks::now();
    const double gui0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double process0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    QElapsedTimer wall;
    wall.start();
    probeClock.start();
    probe.start();
    spin(seconds * 1000);
    probe.stop();
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const double gui1 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double process1 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const MachineTicks machine1 = MachineTicks::now();

    std::vector<double> fps;
    for (auto &tile : tiles)
        tile->update();
    for (auto &tile : tiles)
        fps.push_back(tile->frames / wallSeconds);
    result.minFps = *std::min_element(fps.begin(), fps.end());
    result.maxFps = *std::max_element(fps.begin(), fps.end());
    double sum = 0;
    for (double value : fps)
        sum += value;
    result.avgFps = sum / double(fps.size());
    result.guiBusy = (gui1 - gui0) / wallSeconds;
    result.processCpu = (process1 - process0) / wallSeconds;
    if (machine1.total > machine0.total)
        result.machineBusy =
            double(machine1.busy - machine0.busy) / double(machine1.total - machine0.total);
    double lagSum = 0;
    for (double lag : lags)
        lagSum += lag;
    result.lagAvgMs = lags.empty() ? 0 : lagSum / double(lags.size());
    result.lagP99Ms = lags.empty() ? 0 : percentile(lags, 0.99);
    result.lagMaxMs = lags.empty() ? 0 : percentile(lags, 1.0);

    // Group control: taps on the host, each stamped just before it is sent.
    if (phones >= 2 && taps > 0) {
        group->startGroupControl();
        Device *host = group->hostDevice();
        Controller *controller = host ? host->controller() : nullptr;
        if (controller) {
            const QSize size = host->frameSize();
            std::vector<qint64> sentAt;
            for (int i = 0; i < taps; ++i) {
                ControlMsg touch(ControlMsg::InjectTouchEvent);
                touch.setInjectTouchEvent(ControlMsg::kGenericFingerPointerId, 0, 0, 1,
                                          QRect(QPoint(10 + i, size.height() / 2), size), 1.0f);
                sentAt.push_back(QDateTime::currentMSecsSinceEpoch());
                controller->send(touch);
                spin(kTapSpacingMs);
            }
            spin(1500);
            std::vector<double> latencies;
            for (int i = 0; i < taps; ++i) {
                double last = -1;
                bool missing = false;
                for (Device *device : group->devices()) {
                    if (device == host)
                        continue;
                    const QString serial = device->adbConnectionSerial();
                    const auto owner =
                        std::find_if(fleets.cbegin(), fleets.cend(), [&serial](const auto &fleet) {
                            return fleet->serials().contains(serial);
                        });
                    QList<QJsonObject> entries = (*owner)->controlLog(serial);
                    entries.removeIf([](const QJsonObject &entry) {
                        return entry.value("type").toString() !=
                               QLatin1String("inject_touch_event");
                    });
                    if (i >= entries.size()) {
                        missing = true;
                        continue;
                    }
                    last = std::max(last, entries.at(i).value("timeMs").toDouble());
                }
                if (missing)
                    ++result.tapsMissing;
                else
                    latencies.push_back(last - double(sentAt.at(size_t(i))));
            }
            result.latencyMedianMs = percentile(latencies, 0.5);
            result.latencyMaxMs = percentile(latencies, 1.0);
        }
        group->stopGroupControl();
    }

    tiles.clear();
    group.reset(); // ends every session
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    AdbServers::setConfigured({});
    return result;
}

void printHeader(const Config &config, int seconds)
{
    std::printf(
        "\n== %s settings: max size %d px, %d fps; %d s window; phones 1080x2400, replay; %s ==\n",
        config.name, config.maxSize, config.fps, seconds,
        gHosts > 0 ? qPrintable(QStringLiteral("%1 virtual adb hosts, forward").arg(gHosts))
                   : "local adb server, reverse");
    std::printf("%6s %8s %28s %8s %8s %8s %15s %24s %19s\n", "phones", "stream",
                "fps/phone min/avg/max", "of exp.", "GUI thr", "process", "machine pre/run",
                "loop lag avg/p99/max ms", "tap->last ms med/max");
    std::fflush(stdout);
}

void printRow(const Config &config, const Result &r)
{
    if (!r.note.isEmpty() && r.started == 0) {
        std::printf("%6d  %s\n", r.phones, qPrintable(r.note));
        return;
    }
    const QString latency =
        r.latencyMedianMs < 0
            ? QStringLiteral("-")
            : QStringLiteral("%1/%2%3")
                  .arg(r.latencyMedianMs, 0, 'f', 0)
                  .arg(r.latencyMaxMs, 0, 'f', 0)
                  .arg(r.tapsMissing ? QStringLiteral(" (%1 lost)").arg(r.tapsMissing) : QString());
    std::printf("%6d %4d/%-3d %8.2f/%6.2f/%6.2f (%2d) %7.1f%% %7.1f%% %7.1f%% %6.0f%%/%5.0f%% "
                "%7.1f/%6.1f/%7.1f %19s\n",
                r.phones, r.started, r.phones, r.minFps, r.avgFps, r.maxFps, config.fps,
                100.0 * r.minFps / config.fps, 100.0 * r.guiBusy, 100.0 * r.processCpu,
                100.0 * r.machineBefore, 100.0 * r.machineBusy, r.lagAvgMs, r.lagP99Ms, r.lagMaxMs,
                qPrintable(latency));
    std::fflush(stdout);
}

// Frames count as dropped or delayed once the slowest phone falls under 95% of its rate
// or the loop's 99th-percentile lateness exceeds one frame interval.
bool saturated(const Config &config, const Result &r)
{
    return r.started < r.phones || r.minFps < 0.95 * config.fps || r.lagP99Ms > 1000.0 / config.fps;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    EventTimingApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--busy"))) {
        if (TestSupport::phonesimPath().isEmpty()) {
            std::printf("the virtual phone is not built\n");
            return 1;
        }
        return runBusyBench(args);
    }
    auto option = [&](const QString &name, const QString &fallback) {
        const int index = args.indexOf(name);
        return index >= 0 ? args.value(index + 1, fallback) : fallback;
    };
    QList<int> counts;
    for (const QString &count : option("--counts", "1,2,4,8,16,32").split(','))
        counts << count.toInt();
    const int seconds = option("--seconds", "10").toInt();
    gHosts = option("--hosts", "0").toInt();
    const int taps = option("--taps", "20").toInt();
    const QString which = option("--config", "both");
    if (TestSupport::phonesimPath().isEmpty()) {
        std::printf("the virtual phone is not built\n");
        return 1;
    }
    std::printf("cores: %d; GUI thr = GUI thread CPU time / wall time; process and machine "
                "likewise (machine: all cores, phones included, 100%% = every core busy)\n",
                QThread::idealThreadCount());

    QList<Config> configs;
    if (which == "tile" || which == "both")
        configs << kTile;
    if (which == "default" || which == "both")
        configs << kDefault;
    for (const Config &config : configs) {
        printHeader(config, seconds);
        int firstSaturated = -1;
        int saturatedRuns = 0;
        for (int phones : counts) {
            const Result result = run(config, phones, seconds, taps);
            printRow(config, result);
            if (saturated(config, result)) {
                if (firstSaturated < 0)
                    firstSaturated = phones;
                // Clearly saturated: the slowest phone gets under 80%, or it happened twice.
                if (++saturatedRuns >= 2 || result.minFps < 0.8 * config.fps)
                    break;
            }
        }
        if (firstSaturated < 0)
            std::printf("-> no frames dropped or delayed up to %d phones\n", counts.last());
        else
            std::printf("-> frames first dropped or delayed at %d phones\n", firstSaturated);
    }
    return 0;
}

// Soak: N virtual phones in one group, shown as tiles in a window, for a long time, with a
// random action every few seconds (stop a phone and start it again, enlarge or shrink one, group
// control on and off with touches from the host, start or stop a recording). Samples the
// process's resident memory, open file descriptors and threads, and prints a table and a
// verdict on growth (last quarter of the samples against the first).
//
//   bench_soak [--minutes M] [--phones N] [--seed S] [--sample-seconds T] [--action-seconds A]
//
// Run under Xvfb with LIBGL_ALWAYS_SOFTWARE=1 (scripts/soak.sh does), or with
// QT_QPA_PLATFORM=offscreen.
#include "controller.h"
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "eventwait.h"
#include "mediarecorder.h"
#include "testsupport.h"
#include "typeregistration.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QMap>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <functional>
#include <random>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

namespace {

struct Settings
{
    double minutes = 60;
    int phones = 16;
    quint32 seed = 1;
    int sampleSeconds = 30;
    int actionSeconds = 3;
    // Which kinds of action are drawn: restart, enlarge, group, keys, record.
    QStringList actions{"restart", "enlarge", "group", "keys", "record"};
};

struct Sample
{
    double minute = 0;
    qint64 rssKb = 0;
    qint64 heapKb = 0; // allocated through malloc and not freed: what a leak shows in
    int fds = 0;
    int threads = 0;
    int running = 0;
    int inGroup = 0;
    int recording = 0;
    double framesPerSecond = 0;
    int errors = 0;  // error messages since the previous sample
    double load = 0; // the machine's one-minute load average
};

// The tiles: every phone of the group in a video item fed by its device.
const QStringList kKinds{"restart", "enlarge", "group", "keys", "record"};

const char *kTiles = R"(
import QtQuick
import Parvix
Window {
    width: 1280; height: 720; visible: true
    Flow {
        anchors.fill: parent
        Repeater {
            model: soakGroup.devicesForRepeater
            YuvVideoItem { width: 100; height: 178; feed: modelData.videoFeed }
        }
    }
}
)";

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

qint64 heapInUseKb()
{
#ifdef __GLIBC__
    const struct mallinfo2 info = mallinfo2(); // every arena, and the blocks mapped on their own
    return qint64((info.uordblks + info.hblkhd) / 1024);
#else
    return -1;
#endif
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

int entries(const char *folder)
{
    return int(QDir(QString::fromLatin1(folder))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

Settings parse(const QStringList &args)
{
    Settings s;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &key = args.at(i);
        const QString value = args.at(i + 1);
        if (key == QLatin1String("--minutes"))
            s.minutes = value.toDouble();
        else if (key == QLatin1String("--phones"))
            s.phones = value.toInt();
        else if (key == QLatin1String("--seed"))
            s.seed = value.toUInt();
        else if (key == QLatin1String("--sample-seconds"))
            s.sampleSeconds = value.toInt();
        else if (key == QLatin1String("--action-seconds"))
            s.actionSeconds = value.toInt();
        else if (key == QLatin1String("--actions"))
            s.actions = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    return s;
}

class Soak
{
public:
    Soak(const Settings &settings, DeviceGroupManager *manager)
        : m_settings(settings), m_manager(manager), m_random(settings.seed)
    {}

    DeviceGroup *group() const { return m_manager->currentSelectedGroup(); }

    // Scans and adds the phones the group is missing (all at the start; later those a fault
    // took out), watching their messages.
    int refill(const QStringList &serials)
    {
        QStringList missing = serials;
        for (Device *device : group()->devices())
            missing.removeAll(device->adbConnectionSerial());
        if (missing.isEmpty())
            return 0;
        m_manager->scanDevices();
        waitFor([&] { return !m_manager->isScanning(); }, 30000);
        QList<ADBDeviceInfo> chosen;
        for (const ADBDeviceInfo &info : m_manager->availableDeviceInfos())
            if (missing.contains(info.adb_serial))
                chosen << info;
        const int before = group()->deviceCount();
        group()->addDevices(chosen);
        waitFor([&] { return group()->deviceCount() >= before + chosen.size(); }, 30000);
        for (Device *device : group()->devices()) {
            if (m_watched.contains(device))
                continue;
            m_watched << device;
            QObject::connect(device, &Device::deviceMessage, device,
                             [this](const QString &text, const QString &type) {
                                 if (type != QLatin1String("error"))
                                     return;
                                 ++m_errorsSinceSample;
                                 ++m_errorTexts[text];
                             });
            device->startScrcpySession();
        }
        return int(chosen.size());
    }

    QString act()
    {
        const QList<Device *> devices = group()->devices();
        if (devices.isEmpty())
            return QStringLiteral("none");
        Device *device = devices.at(pick(int(devices.size())));
        if (m_settings.actions.isEmpty())
            return QStringLiteral("nothing");
        const QString kind = m_settings.actions.at(pick(int(m_settings.actions.size())));
        switch (kKinds.indexOf(kind)) {
        case 0:
            // The user looks away from a phone for a moment: stopped, started a little later.
            if (device->running()) {
                device->stopScrcpySession();
                const QPointer<Device> stopped(device);
                QTimer::singleShot(pick(4000) + 1000, [stopped] {
                    if (stopped)
                        stopped->startScrcpySession();
                });
                return QStringLiteral("stop, start");
            }
            device->startScrcpySession();
            return QStringLiteral("start");
        case 1:
            // One enlarged phone at a time, as the window has one enlarged view.
            for (Device *other : devices)
                if (other != device && other->isBigView())
                    other->setIsBigView(false);
            device->setIsBigView(!device->isBigView());
            return device->isBigView() ? QStringLiteral("enlarge") : QStringLiteral("shrink");
        case 2:
            if (group()->groupControlMode()) {
                group()->stopGroupControl();
                return QStringLiteral("group control off");
            }
            group()->startGroupControl();
            return QStringLiteral("group control on");
        case 3:
            // The host's keys and swipes go to every phone while group control is on.
            if (Controller *host =
                    group()->hostDevice() ? group()->hostDevice()->controller() : nullptr) {
                host->actionHome();
                host->actionSwipeUp();
                host->actionBack();
                return QStringLiteral("host keys");
            }
            if (device->controller())
                device->controller()->actionHome();
            return QStringLiteral("home");
        case 4:
            if (device->videoRecorder()->isRecording()) {
                device->stopRecord();
                return QStringLiteral("record stop");
            }
            device->startRecord();
            return QStringLiteral("record start");
        default:
            return QStringLiteral("unknown ") + kind;
        }
    }

    Sample sample(double minute)
    {
        Sample s;
        s.minute = minute;
        s.rssKb = residentKb();
        s.heapKb = heapInUseKb();
        s.fds = entries("/proc/self/fd");
        s.threads = entries("/proc/self/task");
        quint64 frames = 0;
        QHash<const Device *, quint64> sequences;
        for (Device *device : group()->devices()) {
            s.inGroup++;
            s.running += device->running();
            s.recording += device->videoRecorder()->isRecording();
            quint64 sequence = 0;
            device->videoFeed()->latest(&sequence);
            frames += sequence - m_lastSequence.value(device, 0);
            sequences.insert(device, sequence);
        }
        m_lastSequence = sequences; // devices that left are forgotten
        const qint64 elapsed = m_sampleClock.isValid() ? m_sampleClock.restart() : 0;
        if (!m_sampleClock.isValid())
            m_sampleClock.start();
        s.framesPerSecond = elapsed > 0 ? frames * 1000.0 / elapsed : 0;
        s.load = loadAverage();
        s.errors = m_errorsSinceSample;
        m_errorsSinceSample = 0;
        return s;
    }

    QMap<QString, int> errorTexts() const { return m_errorTexts; }

    // Every phone streaming in its tile, no recording, no group control: the state of the
    // start, so that its figures compare with those of the start.
    bool settle()
    {
        group()->stopGroupControl();
        for (Device *device : group()->devices()) {
            device->stopRecord();
            if (device->isBigView())
                device->setIsBigView(false);
            else
                device->startScrcpySession();
        }
        const bool up = waitFor(
            [&] {
                for (Device *device : group()->devices())
                    if (!device->controller() || device->videoRecorder()->recordingThread())
                        return false;
                return group()->deviceCount() == m_settings.phones;
            },
            120000);
        spin(5000);
        return up;
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }

    Settings m_settings;
    DeviceGroupManager *m_manager;
    std::mt19937 m_random;
    QList<QPointer<Device>> m_watched;
    QHash<const Device *, quint64> m_lastSequence;
    QElapsedTimer m_sampleClock;
    int m_errorsSinceSample = 0;
    QMap<QString, int> m_errorTexts;
};

void printSample(const Sample &s)
{
    printf("%7.1f %9.1f %9.1f %5d %7d %7d/%-3d %9d %8.1f %6d %5.1f\n", s.minute, s.rssKb / 1024.0,
           s.heapKb / 1024.0, s.fds, s.threads, s.running, s.inGroup, s.recording,
           s.framesPerSecond, s.errors, s.load);
    fflush(stdout);
}

// Mean of one figure over a run of samples.
double mean(const QList<Sample> &samples, int from, int to,
            const std::function<double(const Sample &)> &of)
{
    double sum = 0;
    for (int i = from; i < to; ++i)
        sum += of(samples.at(i));
    return to > from ? sum / (to - from) : 0;
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
    const Settings settings = parse(app.arguments());

    VirtualFleet fleet(TestSupport::phonesimPath(),
                       VirtualFleet::Options{settings.phones, {720, 1280}, 30, true});
    if (!fleet.isValid()) {
        fprintf(stderr, "fleet: %s\n", qPrintable(fleet.errorString()));
        return 1;
    }
    auto *manager = new DeviceGroupManager;
    Soak soak(settings, manager);

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.rootContext()->setContextProperty(QStringLiteral("soakGroup"), soak.group());
    engine.loadData(kTiles);
    if (engine.rootObjects().isEmpty())
        return 1;

    soak.refill(fleet.serials());
    if (!soak.settle())
        fprintf(stderr, "not every phone came up at the start\n");

    printf("soak: %d phones, %.0f min, seed %u, an action every %d s, a sample every %d s\n",
           settings.phones, settings.minutes, settings.seed, settings.actionSeconds,
           settings.sampleSeconds);
    printf("%7s %9s %9s %5s %7s %11s %9s %8s %6s %5s\n", "minute", "RSS MB", "heap MB", "fds",
           "threads", "running", "recording", "frames/s", "errors", "load");
    QElapsedTimer clock;
    clock.start();
    soak.sample(0); // starts the frame count
    spin(settings.sampleSeconds * 1000);
    const Sample atStart = soak.sample(clock.elapsed() / 60000.0);
    printSample(atStart);
    QList<Sample> samples;
    QMap<QString, int> actions;
    qint64 nextAction = clock.elapsed() + settings.actionSeconds * 1000;
    qint64 nextSample = clock.elapsed() + settings.sampleSeconds * 1000;
    int refilled = 0;
    const qint64 end = qint64(settings.minutes * 60000);
    waitFor(
        [&] {
            if (clock.elapsed() >= nextAction) {
                nextAction += settings.actionSeconds * 1000;
                ++actions[soak.act()];
                if (soak.group()->deviceCount() < settings.phones)
                    refilled += soak.refill(fleet.serials());
            }
            if (clock.elapsed() >= nextSample) {
                nextSample += settings.sampleSeconds * 1000;
                samples << soak.sample(clock.elapsed() / 60000.0);
                printSample(samples.last());
            }
            return clock.elapsed() >= end;
        },
        int(end + 60000));

    // Back to the state of the start: the same figures are expected.
    const bool settled = soak.settle();
    soak.sample(clock.elapsed() / 60000.0);
    spin(settings.sampleSeconds * 1000);
    const Sample atEnd = soak.sample(clock.elapsed() / 60000.0);
    printSample(atEnd);

    printf("\nactions:");
    for (auto it = actions.cbegin(); it != actions.cend(); ++it)
        printf(" %s %d;", qPrintable(it.key()), it.value());
    printf(" phones re-added after leaving %d\n", refilled);
    const QMap<QString, int> errors = soak.errorTexts();
    printf("error messages: %s\n", errors.isEmpty() ? "none" : "");
    for (auto it = errors.cbegin(); it != errors.cend(); ++it)
        printf("  %5d  %s\n", it.value(), qPrintable(it.key()));

    // Recordings each hold a thread and a file while they run; they are taken out of the
    // counts, which would otherwise follow the random number of recordings.
    const auto rss = [](const Sample &x) { return x.rssKb / 1024.0; };
    const auto heap = [](const Sample &x) { return x.heapKb / 1024.0; };
    const auto fds = [](const Sample &x) { return double(x.fds - x.recording); };
    const auto threads = [](const Sample &x) { return double(x.threads - x.recording); };
    bool grows = false;
    if (samples.size() >= 4) {
        const int quarter = int(samples.size()) / 4;
        const int last = int(samples.size());
        printf("first quarter -> last quarter of the run (%d samples each; fds and threads "
               "less running recordings):\n",
               quarter);
        const auto judge = [&](const char *name, const std::function<double(const Sample &)> &of,
                               double factor, double slack) {
            const double first = mean(samples, 0, quarter, of);
            const double later = mean(samples, last - quarter, last, of);
            const bool up = later > first * factor + slack;
            grows = grows || up;
            printf("  %-8s %8.1f -> %8.1f  %s\n", name, first, later, up ? "GROWS" : "no growth");
        };
        // Allowance for the churn of sessions, recordings and the enlarged view.
        judge("RSS MB", rss, 1.10, 8);
        judge("heap MB", heap, 1.10, 4);
        // Descriptors and threads follow how many phones run at that moment: shown here,
        // judged below where every phone runs.
        printf("  %-8s %8.1f -> %8.1f  (judged in the same state)\n", "fds",
               mean(samples, 0, quarter, fds), mean(samples, last - quarter, last, fds));
        printf("  %-8s %8.1f -> %8.1f  (judged in the same state)\n", "threads",
               mean(samples, 0, quarter, threads), mean(samples, last - quarter, last, threads));
    }
    printf("start -> end in the same state (all streaming in tiles, nothing recorded)%s:\n",
           settled ? "" : " [NOT every phone came back]");
    printf("  RSS MB   %8.1f -> %8.1f\n  heap MB  %8.1f -> %8.1f\n  fds      %8d -> %8d\n"
           "  threads  %8d -> %8d\n",
           rss(atStart), rss(atEnd), heap(atStart), heap(atEnd), atStart.fds, atEnd.fds,
           atStart.threads, atEnd.threads);
    const bool sameState = atEnd.fds <= atStart.fds + 2 && atEnd.threads <= atStart.threads + 2 &&
                           rss(atEnd) <= rss(atStart) * 1.10 + 8 &&
                           heap(atEnd) <= heap(atStart) * 1.10 + 4;
    grows = grows || !sameState;
    printf("verdict: %s\n", grows ? "GROWTH" : "no growth");
    fflush(stdout);

    soak.group()->stopAllDevices();
    spin(settings.phones * 300 + 3000);
    // The tiles go before the devices whose feeds they show.
    qDeleteAll(engine.rootObjects());
    delete manager;
    return grows ? 3 : 0;
}

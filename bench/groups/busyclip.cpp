// Phones streaming a busy clip (text and photos scrolling, 720x1600 at 30 fps and 4 Mbit/s by
// default, made by the virtual phone's make-clip) in one group, measured against the
// machine's limit: how many phones FFmpeg alone could decode at 30 fps on every core.
//
//   bench_groups --busy [--counts 4,8,12,16,20] [--seconds 10] [--size 720x1600]
//                [--bitrate 4000000] [--startstop 32]
//
// Per phone count: frames per phone, phones sustained (at least 95 % of 30 fps and under 1 %
// late frames: a frame is late when it reaches the feed more than two frame intervals after
// its phone's quickest frame, timestamps taken on the phone), the GUI thread's busy share, and
// input latency: the delay of a queued event posted to the GUI thread every 4 ms from another
// thread, as input arrives. Every phone has a watching tile: each frame notice reaches the GUI
// thread, which takes the newest frame, as a shown video item does (without drawing it).
// Then Start All and Stop All on --startstop phones: the GUI thread's longest stall (a 2 ms
// timer's largest lateness) and the time until every tile shows a picture.
#include "busyclip.h"
#include "stallprobe.h"

#include "adbrunner.h"
#include "device.h"
#include "devicegroup.h"
#include "testsupport.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace {
double g_longestEventMs = 0; // GUI thread
QString g_longestEvent;
} // namespace

bool EventTimingApplication::notify(QObject *receiver, QEvent *event)
{
    if (QThread::currentThread() != thread() || m_depth > 0)
        return QGuiApplication::notify(receiver, event);
    ++m_depth;
    // CPU time of this thread, not wall time: a handler the scheduler preempted is not long.
    timespec before{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    const int type = event->type();
    const QString what = QStringLiteral("%1 (%2)").arg(
        QString::fromLatin1(receiver->metaObject()->className()), QString::number(type));
    const bool handled = QGuiApplication::notify(receiver, event);
    timespec after{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    const double ms = (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
    --m_depth;
    if (ms > g_longestEventMs) {
        g_longestEventMs = ms;
        g_longestEvent = what;
    }
    return handled;
}

void EventTimingApplication::reset()
{
    g_longestEventMs = 0;
    g_longestEvent.clear();
}

double EventTimingApplication::longestMs()
{
    return g_longestEventMs;
}

QString EventTimingApplication::longestWhat()
{
    return g_longestEvent;
}

namespace {
constexpr int kFps = 30;
constexpr qint64 kFrameUs = 1000000 / kFps;
constexpr int kWarmUpMs = 3000;
constexpr int kInputPostMs = 4;

qint64 steadyUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double machineBusyShare(int ms)
{
    auto read = [] {
        std::pair<quint64, quint64> busyTotal{0, 0};
        QFile stat(QStringLiteral("/proc/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            return busyTotal;
        const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
        for (int i = 1; i < fields.size(); ++i) {
            busyTotal.second += fields.at(i).toULongLong();
            if (i != 4 && i != 5)
                busyTotal.first += fields.at(i).toULongLong();
        }
        return busyTotal;
    };
    const auto before = read();
    QThread::msleep(ms);
    const auto after = read();
    return after.second > before.second
               ? double(after.first - before.first) / double(after.second - before.second)
               : 0;
}

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMs)
        spin(5);
    return condition();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5)));
}

// Bare FFmpeg on the clip, one thread, as the application opens its decoder: frames per CPU
// second (best of three: the machine is shared).
double bareDecodeFpsPerCore(const QByteArray &clip)
{
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
        AVCodecParserContext *parser = av_parser_init(AV_CODEC_ID_H264);
        AVCodecContext *context = avcodec_alloc_context3(codec);
        context->thread_count = 1;
        context->flags |= AV_CODEC_FLAG_LOW_DELAY;
        if (avcodec_open2(context, codec, nullptr) < 0)
            return 0;
        AVPacket *packet = av_packet_alloc();
        AVFrame *frame = av_frame_alloc();
        int frames = 0;
        const double cpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        while (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0 < 2.0) {
            const auto *data = reinterpret_cast<const uint8_t *>(clip.constData());
            int left = int(clip.size());
            while (left > 0) {
                const int used = av_parser_parse2(parser, context, &packet->data, &packet->size,
                                                  data, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
                data += used;
                left -= used;
                if (packet->size == 0)
                    continue;
                if (avcodec_send_packet(context, packet) == 0) {
                    while (avcodec_receive_frame(context, frame) == 0)
                        ++frames;
                }
            }
        }
        best = std::max(best, frames / (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0));
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&context);
        av_parser_close(parser);
    }
    return best;
}

// Posts a stamped event to the GUI thread every few ms from its own thread; the GUI thread
// notes how long each waited.
class InputProbe
{
public:
    explicit InputProbe(QObject *receiver) : m_receiver(receiver)
    {
        m_thread = std::thread([this] {
            while (m_running) {
                const qint64 postedAt = steadyUs();
                QMetaObject::invokeMethod(
                    m_receiver,
                    [this, postedAt] {
                        if (m_recording)
                            m_delaysMs.push_back((steadyUs() - postedAt) / 1000.0);
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(kInputPostMs));
            }
        });
    }
    ~InputProbe()
    {
        m_running = false;
        m_thread.join();
        QCoreApplication::processEvents(); // the last posts, while this still exists
    }
    void record(bool on)
    {
        if (on)
            m_delaysMs.clear();
        m_recording = on;
    }
    const std::vector<double> &delays() const { return m_delaysMs; }

private:
    QObject *m_receiver;
    std::thread m_thread;
    std::atomic_bool m_running{true};
    bool m_recording = false; // GUI thread
    std::vector<double> m_delaysMs;
};

// One phone's frames as its feed publishes them (media thread) and as its tile takes them
// (GUI thread).
struct PhoneFrames
{
    std::atomic_int published{0};
    std::atomic_int late{0};
    std::atomic<qint64> quickestLagUs{std::numeric_limits<qint64>::max()};
    int taken = 0;

    void reset()
    {
        published = 0;
        late = 0;
        taken = 0;
    }
};

// A group of phones streaming the clip, each with a watching tile.
class BusyGroup
{
public:
    BusyGroup(int phones, const QString &clip)
    {
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{phones, {720, 1600}, kFps});
        if (!m_fleet->isValid()) {
            m_error = m_fleet->errorString().trimmed();
            return;
        }
        for (int i = 0; i < phones; ++i) {
            if (!m_fleet->setPhoneOption(i, QStringLiteral("clip"), clip)) {
                m_error = QStringLiteral("cannot set the clip");
                return;
            }
        }
        m_group = std::make_unique<DeviceGroup>();
        m_group->setName(QStringLiteral("Bench"));
        m_group->addDevices(ADBRunner::getDevices());
        if (!waitFor([&] { return m_group->deviceCount() == phones; }, phones * 200 + 15000)) {
            m_error = QStringLiteral("only %1 phones joined").arg(m_group->deviceCount());
            return;
        }
        QThreadPool::globalInstance()->waitForDone();
        m_devices = m_group->devices();
        m_frames = std::vector<PhoneFrames>(size_t(phones));
        for (int i = 0; i < phones; ++i) {
            PhoneFrames *frames = &m_frames[size_t(i)];
            VideoFrameFeed *feed = m_devices.at(i)->videoFeed();
            feed->setObserver([frames](const YuvFrame &frame) {
                ++frames->published;
                if (frame.pts < 0)
                    return;
                const qint64 lag = steadyUs() - frame.pts;
                qint64 quickest = frames->quickestLagUs;
                while (lag < quickest &&
                       !frames->quickestLagUs.compare_exchange_weak(quickest, lag))
                    ;
                if (lag > std::min(quickest, lag) + 2 * kFrameUs)
                    ++frames->late;
            });
            feed->addWatcher();
            QObject::connect(feed, &VideoFrameFeed::frameAvailable, feed, [feed, frames] {
                if (feed->latest().isValid())
                    ++frames->taken;
            });
        }
    }

    ~BusyGroup()
    {
        for (Device *device : std::as_const(m_devices)) {
            device->videoFeed()->setObserver({});
            device->videoFeed()->removeWatcher();
        }
        m_group.reset(); // ends every session
        ADBRunner::workPool()->waitForDone();
        QThreadPool::globalInstance()->waitForDone();
        spin(500);
        m_fleet.reset();
    }

    QString error() const { return m_error; }
    DeviceGroup *group() const { return m_group.get(); }
    std::vector<PhoneFrames> &frames() { return m_frames; }
    int live() const
    {
        int count = 0;
        for (Device *device : m_devices)
            count += device->videoFeed()->publishedCount() > 0 ? 1 : 0;
        return count;
    }
    int running() const
    {
        int count = 0;
        for (Device *device : m_devices)
            count += device->running() ? 1 : 0;
        return count;
    }

private:
    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<DeviceGroup> m_group;
    QList<Device *> m_devices;
    std::vector<PhoneFrames> m_frames;
    QString m_error;
};

void streamingRow(int phones, const QString &clip, int seconds, double capacity, double fpsPerCore,
                  int *bestSustained)
{
    const double machineBefore = machineBusyShare(1000);
    BusyGroup bench(phones, clip);
    if (!bench.error().isEmpty()) {
        std::printf("%6d  %s\n", phones, qPrintable(bench.error()));
        return;
    }
    QObject receiver;
    InputProbe input(&receiver);
    bench.group()->startAllDevices();
    waitFor([&] { return bench.live() == phones; }, phones * 200 + 30000);
    const int started = bench.live();
    spin(kWarmUpMs);

    for (PhoneFrames &frames : bench.frames())
        frames.reset();
    input.record(true);
    const double gui0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double process0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    QElapsedTimer wall;
    wall.start();
    spin(seconds * 1000);
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const double guiBusy = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - gui0) / wallSeconds;
    const double process = (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0) / wallSeconds;
    input.record(false);

    double minFps = 1e9, sumFps = 0;
    int sustained = 0, published = 0, late = 0, taken = 0;
    for (PhoneFrames &frames : bench.frames()) {
        const double fps = frames.published / wallSeconds;
        minFps = std::min(minFps, fps);
        sumFps += fps;
        published += frames.published;
        late += frames.late;
        taken += frames.taken;
        if (fps >= 0.95 * kFps && frames.late < 0.01 * frames.published)
            ++sustained;
    }
    *bestSustained = std::max(*bestSustained, sustained);
    const std::vector<double> &delays = input.delays();
    // Frames per CPU second of the whole application against bare FFmpeg's: what the
    // pipeline costs on top of decoding, whatever else the machine runs.
    const double perCpuSecond = process > 0 ? sumFps / process : 0;
    std::printf("%6d %4d %7.1f/%5.1f %6d %6.1f%% %7.1f%% %7.1f%% %6.0f%% %9.1f %6.1f/%6.1f/%6.1f "
                "%6.0f%% %9.0f %6.0f%%\n",
                phones, started, minFps, sumFps / phones, sustained,
                published ? 100.0 * late / published : 0.0, 100.0 * guiBusy, 100.0 * process,
                100.0 * machineBefore, published ? 100.0 * taken / published : 0.0,
                percentile(delays, 0.5), percentile(delays, 0.99), percentile(delays, 1.0),
                capacity > 0 ? 100.0 * sustained / capacity : 0.0, perCpuSecond,
                fpsPerCore > 0 ? 100.0 * perCpuSecond / fpsPerCore : 0.0);
    std::fflush(stdout);
}

void startStop(int phones, const QString &clip)
{
    BusyGroup bench(phones, clip);
    if (!bench.error().isEmpty()) {
        std::printf("start/stop on %d phones: %s\n", phones, qPrintable(bench.error()));
        return;
    }
    QObject receiver;
    InputProbe input(&receiver);
    StallProbe stall;
    spin(200);

    stall.reset();
    EventTimingApplication::reset();
    input.record(true);
    QElapsedTimer clock;
    clock.start();
    bench.group()->startAllDevices();
    waitFor([&] { return bench.live() == phones; }, phones * 200 + 60000);
    const double allLiveS = clock.nsecsElapsed() / 1e9;
    const int live = bench.live();
    const double startStall = stall.longestMs();
    const double startP99 = percentile(input.delays(), 0.99);
    const double startEvent = EventTimingApplication::longestMs();
    const QString startEventWhat = EventTimingApplication::longestWhat();

    spin(2000);
    stall.reset();
    EventTimingApplication::reset();
    input.record(true);
    clock.restart();
    bench.group()->stopAllDevices();
    waitFor([&] { return bench.running() == 0; }, phones * 300 + 10000);
    const double allStoppedS = clock.nsecsElapsed() / 1e9;
    spin(1000); // the phones' cleanups end on the adb pool meanwhile
    const double stopStall = stall.longestMs();
    const double stopP99 = percentile(input.delays(), 0.99);
    const double stopEvent = EventTimingApplication::longestMs();
    const QString stopEventWhat = EventTimingApplication::longestWhat();

    std::printf("Start All on %d phones: %d live after %.2f s (the group starts one every 200 ms: "
                "%.1f s for the last start); longest GUI stall %.1f ms, input latency p99 %.1f ms; "
                "longest event handler %.1f ms of CPU (%s)\n",
                phones, live, allLiveS, (phones - 1) * 0.2, startStall, startP99, startEvent,
                qPrintable(startEventWhat));
    std::printf(
        "Stop All on %d phones: all stopped after %.2f s (one every 300 ms: %.1f s); "
        "longest GUI stall %.1f ms, input latency p99 %.1f ms; longest event handler %.1f ms "
        "of CPU (%s)\n",
        phones, allStoppedS, (phones - 1) * 0.3, stopStall, stopP99, stopEvent,
        qPrintable(stopEventWhat));
    std::fflush(stdout);
}

QString option(const QStringList &args, const QString &name, const QString &fallback)
{
    const int index = args.indexOf(name);
    return index >= 0 ? args.value(index + 1, fallback) : fallback;
}
} // namespace

int runBusyBench(const QStringList &args)
{
    QList<int> counts;
    for (const QString &count : option(args, "--counts", "4,8,12,16,20").split(','))
        counts << count.toInt();
    const int seconds = option(args, "--seconds", "10").toInt();
    const QString size = option(args, "--size", "720x1600");
    const QString bitrate = option(args, "--bitrate", "4000000");
    const int startStopPhones = option(args, "--startstop", "32").toInt();

    QTemporaryDir dir;
    const QString clip = dir.filePath("busy.h264");
    QProcess make;
    make.start(TestSupport::phonesimPath(),
               {"make-clip", "--size", size, "--fps", QString::number(kFps), "--bitrate", bitrate,
                "--seconds", "10", "--out", clip});
    if (!make.waitForFinished(300000) || make.exitCode() != 0) {
        std::printf("make-clip failed: %s\n", make.readAllStandardError().constData());
        return 1;
    }
    QFile clipFile(clip);
    clipFile.open(QIODevice::ReadOnly);
    const QByteArray clipBytes = clipFile.readAll();

    const int cores = QThread::idealThreadCount();
    const double machine = machineBusyShare(1000);
    const double fpsPerCore = bareDecodeFpsPerCore(clipBytes);
    const double capacity = cores * fpsPerCore / kFps;
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    loadavg.open(QIODevice::ReadOnly);
    std::printf("clip %s at %d fps, %s (%s); cores %d; machine %.0f%% busy before, load %s\n",
                qPrintable(size), kFps, qPrintable(make.readAllStandardOutput().trimmed()),
                qPrintable(bitrate + " bit/s asked"), cores, 100.0 * machine,
                loadavg.readAll().trimmed().constData());
    std::printf("limit: bare FFmpeg %.0f fps per core -> %.1f phones at %d fps on %d cores\n",
                fpsPerCore, capacity, kFps, cores);
    std::printf("\n%6s %4s %13s %6s %7s %8s %8s %7s %9s %20s %7s %9s %7s\n", "phones", "live",
                "fps min/avg", "sust.", "late", "GUI thr", "process", "mach.", "GUI took",
                "input ms p50/p99/max", "of lim.", "fps/CPU-s", "of bare");
    std::fflush(stdout);
    int bestSustained = 0;
    for (int phones : counts) {
        if (phones > 0)
            streamingRow(phones, clip, seconds, capacity, fpsPerCore, &bestSustained);
    }
    std::printf("-> at most %d phones sustained at %d fps: %.0f %% of the limit's %.1f\n",
                bestSustained, kFps, capacity > 0 ? 100.0 * bestSustained / capacity : 0.0,
                capacity);
    std::printf("(sust.: phones at >= 95 %% of %d fps with < 1 %% late frames; mach.: the machine "
                "busy before the phones ran; GUI took: frames the tiles took on the GUI thread, of "
                "those decoded; fps/CPU-s: frames decoded per CPU second of the application; of "
                "bare: against bare FFmpeg per core)\n\n",
                kFps);
    if (startStopPhones > 0)
        startStop(startStopPhones, clip);
    return 0;
}
